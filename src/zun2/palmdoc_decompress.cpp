// PalmDOC record decompression, bounds-checked on both sides.
//
// Callers ask GetUncompSize for the size and then DeCompress for the bytes. GetUncompSize decodes
// the record right away into a buffer of its own, from a padded copy of the input, and DeCompress
// hands that result over when it is asked for the same bytes; any other request is decoded afresh.
#include <algorithm>
#include <limits>
#include <new>
#include <vector>

#include "zun2/palmdoc_format.h"
#include "zun2/palmdoc_vector_decode.h"
#include "zun2/zun2.h"

namespace {

using namespace zun2;

// Readable bytes behind the copied input and writable bytes behind the decoded output, so the
// decoders copy eight to thirty-two bytes at a time without a bounds test per token.
constexpr size_t kSlack = kVectorSlack;
// Tokens expand at most five times (a 2-byte pair gives 10 bytes).
constexpr int64_t kMaxExpansion = 5;
// Larger records are only counted, not decoded ahead.
constexpr int32_t kMaxDecodedAhead = 1 << 20;

// The tokens that are not pairs, for one store each: the byte itself (0x00, 0x09-0x7F), or a
// space and the byte XOR 0x80 (0xC0-0xFF), with how many of the two bytes count.
struct SingleTokens {
  uint16_t bytes[256];
  uint8_t produced[256];
  constexpr SingleTokens() : bytes(), produced() {
    for (int c = 0; c < 256; ++c) {
      const bool spaced = c >= 0xC0;
      bytes[c] = static_cast<uint16_t>(spaced ? (' ' | ((c ^ 0x80) << 8)) : c);
      produced[c] = static_cast<uint8_t>(spaced ? 2 : 1);
    }
  }
};
constexpr SingleTokens kSingles;

// Decodes the token bytes from `i` to `length` of a padded input into `out` (room for every
// byte plus kSlack), going on from `o` bytes already there. The only branch real text cannot
// predict is pair or not; bytes and space pairs share one table-driven store. Returns the bytes
// produced, or -1 for a malformed record.
int64_t DecodeTokens(const uint8_t* in, int64_t i, int64_t length, uint8_t* out, int64_t o) {
  while (i < length) {
    const uint8_t c = in[i];
    if (!IsPairLead(c)) {
      if (IsRun(c)) [[unlikely]] {
        std::memcpy(out + o, in + i + 1, 8);
        o += c;
        i += c + 1;
        continue;
      }
      std::memcpy(out + o, &kSingles.bytes[c], 2);
      o += kSingles.produced[c];
      i += 1;
      continue;
    }
    const uint8_t next = in[i + 1];  // a pair cut off reads padding and fails below
    const int64_t distance = ((c & 0x3F) << 5) | (next >> 3);
    const int length3 = (next & 7) + kMinMatch;
    if (distance == 0 || distance > o) return -1;
    uint8_t* at = out + o;
    if (distance >= 8) [[likely]] {
      // Sixteen bytes in two steps; bytes past the match are rewritten by the tokens after it.
      std::memcpy(at, at - distance, 8);
      std::memcpy(at + 8, at - distance + 8, 8);
    } else {
      for (int k = 0; k < length3; ++k) at[k] = at[k - distance];  // the match overlaps itself
    }
    o += length3;
    i += 2;
  }
  return i == length ? o : -1;  // a run or pair running past the end is malformed
}

int64_t DecodePadded(const uint8_t* in, int64_t length, uint8_t* out) {
  int64_t i = 0;
  int64_t o = 0;
  if (VectorDecodeAvailable() && !DecodeVectorPrefix(in, length, out, i, o)) return -1;
  return DecodeTokens(in, i, length, out, o);
}

// Counts without decoding, for records too large to decode ahead.
int64_t CountDecodedSize(const uint8_t* in, int64_t length) {
  int64_t i = 0;
  int64_t produced = 0;
  while (i < length) {
    const uint8_t c = in[i++];
    if (c < 0x80) {
      produced += IsRun(c) ? c : 1;
      i += IsRun(c) ? c : 0;
    } else if (c >= 0xC0) {
      produced += 2;
    } else {
      if (i >= length) return -1;
      const uint8_t next = in[i++];
      const int64_t distance = ((c & 0x3F) << 5) | (next >> 3);
      if (distance == 0 || distance > produced) return -1;
      produced += (next & 7) + kMinMatch;
    }
  }
  return i == length ? produced : -1;
}

struct DecodedRecord {
  const uint8_t* source = nullptr;  // the caller's bytes, compared by address and content
  int32_t sourceLength = 0;
  int32_t size = -1;
  std::vector<uint8_t> input;   // copy of the source, padded
  std::vector<uint8_t> output;  // the decoded bytes, padded
};

[[gnu::noinline]] DecodedRecord& ThreadRecord() {
  thread_local DecodedRecord record;
  return record;
}

bool IsDecoded(const DecodedRecord& r, const uint8_t* compressed, int32_t size) {
  return r.size >= 0 && r.source == compressed && r.size == size &&
         std::memcmp(compressed, r.input.data(), static_cast<size_t>(r.sourceLength)) == 0;
}

}  // namespace

int32_t GetUncompSize(const uint8_t* compressed, int32_t length) {
  if (length <= 0) return 0;
  if (compressed == nullptr) return -1;
  DecodedRecord& r = ThreadRecord();
  r.size = -1;
  int64_t produced;
  if (length > kMaxDecodedAhead) {
    produced = CountDecodedSize(compressed, length);
  } else {
    try {
      // Grown, never shrunk: a vector that grows again would zero the new part first.
      const size_t inputSize = static_cast<size_t>(length) + kSlack;
      const size_t outputSize = static_cast<size_t>(length * kMaxExpansion) + kSlack;
      if (r.input.size() < inputSize) r.input.resize(inputSize);
      if (r.output.size() < outputSize) r.output.resize(outputSize);
    } catch (const std::bad_alloc&) {
      return -1;
    }
    std::memcpy(r.input.data(), compressed, static_cast<size_t>(length));
    std::memset(r.input.data() + length, 0, kSlack);
    produced = DecodePadded(r.input.data(), length, r.output.data());
    if (produced >= 0) {
      r.source = compressed;
      r.sourceLength = length;
      r.size = static_cast<int32_t>(produced);
    }
  }
  if (produced < 0 || produced > std::numeric_limits<int32_t>::max()) return -1;
  return static_cast<int32_t>(produced);
}

int32_t DeCompress(uint8_t* destination, const uint8_t* compressed, int32_t uncompressedLength) {
  if (uncompressedLength <= 0) return 0;
  if (destination == nullptr || compressed == nullptr) return -1;
  const DecodedRecord& r = ThreadRecord();
  if (IsDecoded(r, compressed, uncompressedLength)) {
    std::memcpy(destination, r.output.data(), static_cast<size_t>(uncompressedLength));
    return uncompressedLength;
  }
  // Decoded afresh: writes stop at uncompressedLength, reads at the bytes that produce it.
  int32_t o = 0;
  const uint8_t* in = compressed;
  while (o < uncompressedLength) {
    const uint8_t c = *in++;
    const int32_t room = uncompressedLength - o;
    if (c < 0x80) {
      if (!IsRun(c)) {
        destination[o++] = c;
        continue;
      }
      const int32_t n = std::min<int32_t>(c, room);
      std::memcpy(destination + o, in, static_cast<size_t>(n));
      in += c;
      o += n;
    } else if (c >= 0xC0) {
      destination[o++] = ' ';
      if (room > 1) destination[o++] = static_cast<uint8_t>(c ^ 0x80);
    } else {
      const unsigned pair = ((unsigned{c} << 8) | *in++) & 0x3FFF;
      const int32_t distance = static_cast<int32_t>(pair >> 3);
      if (distance == 0 || distance > o) return -1;
      const int32_t n = std::min(static_cast<int32_t>(pair & 7) + kMinMatch, room);
      uint8_t* at = destination + o;
      for (int32_t k = 0; k < n; ++k) at[k] = at[k - distance];
      o += n;
    }
  }
  return o;
}
