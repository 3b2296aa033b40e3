#include "zun2/palmdoc_vector_decode.h"

#include <algorithm>
#include <cstring>

#include "zun2/palmdoc_format.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>

namespace zun2 {
namespace {

// For the space flags of eight single-byte tokens: where each token's bytes go in 16 output
// bytes (0x80 gives 0), and the spaces in front of the flagged ones.
struct Expansion {
  alignas(16) uint8_t shuffle[256][16];
  alignas(16) uint8_t spaces[256][16];
  constexpr Expansion() : shuffle(), spaces() {
    for (int flags = 0; flags < 256; ++flags) {
      int at = 0;
      for (int token = 0; token < 8; ++token) {
        if ((flags & (1 << token)) != 0) {
          shuffle[flags][at] = 0x80;
          spaces[flags][at++] = ' ';
        }
        shuffle[flags][at++] = static_cast<uint8_t>(token);
      }
      for (; at < 16; ++at) shuffle[flags][at] = 0x80;
    }
  }
};
constexpr Expansion kExpansion;

void Copy8(uint8_t* to, const uint8_t* from) {
  uint64_t v;
  std::memcpy(&v, from, sizeof v);
  std::memcpy(to, &v, sizeof v);
}

#define ZUN2_VECTOR_TARGET __attribute__((target("ssse3,popcnt")))

ZUN2_VECTOR_TARGET __m128i Load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
ZUN2_VECTOR_TARGET __m128i LoadTable(const uint8_t* p) { return _mm_load_si128(reinterpret_cast<const __m128i*>(p)); }

// Bit n set when byte n of the 16 starts a pair (0x80-0xBF) or a run (0x01-0x08).
ZUN2_VECTOR_TARGET uint64_t LeadBits(const uint8_t* p) {
  const __m128i v = Load(p);
  const __m128i top = _mm_and_si128(v, _mm_set1_epi8(static_cast<char>(0xC0)));
  const __m128i pairs = _mm_cmpeq_epi8(top, _mm_set1_epi8(static_cast<char>(0x80)));
  // 0x01-0x08 + 0x7F are the only bytes that become -128..-121.
  const __m128i runs = _mm_cmplt_epi8(_mm_add_epi8(v, _mm_set1_epi8(0x7F)), _mm_set1_epi8(-120));
  return static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(pairs, runs)));
}

// Writes up to 16 single-byte tokens from `p` at `out`; returns the bytes the first `count` make.
ZUN2_VECTOR_TARGET int64_t ExpandSingles(const uint8_t* p, uint32_t count, uint8_t* out) {
  const __m128i w = Load(p);
  const __m128i c0 = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i spacedBytes = _mm_cmpeq_epi8(_mm_and_si128(w, c0), c0);
  const uint32_t spaced = static_cast<uint32_t>(_mm_movemask_epi8(spacedBytes));
  const __m128i flipped = _mm_xor_si128(w, _mm_and_si128(spacedBytes, _mm_set1_epi8(static_cast<char>(0x80))));
  const uint32_t low = spaced & 0xFF;
  const uint32_t high = spaced >> 8;
  const __m128i first =
      _mm_or_si128(_mm_shuffle_epi8(flipped, LoadTable(kExpansion.shuffle[low])), LoadTable(kExpansion.spaces[low]));
  const __m128i second = _mm_or_si128(_mm_shuffle_epi8(_mm_srli_si128(flipped, 8), LoadTable(kExpansion.shuffle[high])),
                                      LoadTable(kExpansion.spaces[high]));
  // Bytes past `count` tokens are overwritten by the tokens after them.
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), first);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 + __builtin_popcount(low)), second);
  return count + static_cast<uint32_t>(__builtin_popcount(spaced & ((1u << count) - 1)));
}

}  // namespace

bool VectorDecodeAvailable() {
  // One CPUID query (leaf 1: ECX bit 9 SSSE3, bit 23 POPCNT); inside a virtual machine each
  // query is a trip to the hypervisor, so not the dozen that a full feature scan makes.
  static const bool available = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    return (ecx & (1u << 9)) != 0 && (ecx & (1u << 23)) != 0;
  }();
  return available;
}

ZUN2_VECTOR_TARGET bool DecodeVectorPrefix(const uint8_t* in, int64_t length, uint8_t* out, int64_t& i, int64_t& o) {
  i = 0;
  o = 0;
  while (i + 32 <= length) {
    // Bit 32 stops the scan at the end of the 32 bytes.
    const uint64_t leads = LeadBits(in + i) | (LeadBits(in + i + 16) << 16) | (uint64_t{1} << 32);
    uint32_t pos = 0;
    do {
      const uint32_t singles = std::min<uint32_t>(static_cast<uint32_t>(__builtin_ctzll(leads >> pos)), 16);
      o += ExpandSingles(in + i + pos, singles, out + o);
      pos += singles;
      if (pos >= 32) break;
      if (((leads >> pos) & 1) == 0) [[unlikely]]
        continue;  // more than 16 singles in a row
      const uint8_t c = in[i + pos];
      if (IsRun(c)) [[unlikely]] {
        Copy8(out + o, in + i + pos + 1);
        o += c;
        pos += 1u + c;
        continue;
      }
      const uint8_t next = in[i + pos + 1];
      const int64_t distance = ((c & 0x3F) << 5) | (next >> 3);
      if (distance == 0 || distance > o) return false;
      uint8_t* at = out + o;
      if (distance >= 8) [[likely]] {
        Copy8(at, at - distance);
        Copy8(at + 8, at - distance + 8);  // after the first copy: a match may overlap itself
      } else {
        for (int k = 0; k < kMaxMatch; ++k) at[k] = at[k - distance];
      }
      o += (next & 7) + kMinMatch;
      pos += 2;
    } while (pos < 32);
    i += pos;
  }
  return true;
}

}  // namespace zun2

#else

namespace zun2 {
bool VectorDecodeAvailable() { return false; }
bool DecodeVectorPrefix(const uint8_t*, int64_t, uint8_t*, int64_t& i, int64_t& o) {
  i = 0;
  o = 0;
  return true;
}
}  // namespace zun2

#endif
