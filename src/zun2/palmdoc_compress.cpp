// PalmDOC record compression.
//
// The encoder finds the cheapest token sequence for the whole record: a shortest path over the
// positions, where every match costs two bytes whatever its length. Only the longest match at
// each position matters, since every shorter prefix of it is a match at the same distance.
#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "zun2/palmdoc_format.h"
#include "zun2/zun2.h"

namespace {

using namespace zun2;

constexpr int kHashBits = 12;
constexpr int kHashSize = 1 << kHashBits;
constexpr int kHash3Bits = 14;
constexpr int kHash3Size = 1 << kHash3Bits;
// Candidates looked at per position; real text finds its longest match long before this.
constexpr int kChainLimit = 256;
// An empty chain: a position so far back that it is never in reach.
constexpr int32_t kNoPosition = std::numeric_limits<int32_t>::min() / 2;
// Zero bytes behind the copied record, so matches compare eight bytes at a time.
constexpr size_t kPadding = 16;

enum TokenKind : uint8_t { kLiteral, kSpacePair, kRun, kMatch };

uint32_t Hash(uint32_t bytes) { return (bytes * 2654435761u) >> (32 - kHashBits); }
uint32_t Hash3(uint32_t bytes) { return ((bytes & 0xFFFFFF) * 2654435761u) >> (32 - kHash3Bits); }

// Length of the common prefix of a and b, at most `limit` (<= 16).
int CommonLength(const uint8_t* a, const uint8_t* b, int limit) {
  const uint64_t first = Load64(a) ^ Load64(b);
  int length;
  if (first != 0) {
    length = __builtin_ctzll(first) >> 3;
  } else {
    const uint64_t second = Load64(a + 8) ^ Load64(b + 8);
    length = 8 + (second != 0 ? __builtin_ctzll(second) >> 3 : 8);
  }
  return length < limit ? length : limit;
}

// Buffers reused from record to record; they only grow.
struct Workspace {
  std::vector<int32_t> head4 = std::vector<int32_t>(kHashSize);  // newest position of a 4-byte hash
  // Newest position of a 3-byte hash, counted on from record to record and kept in 16 bits, so
  // that the table stays small and needs no reset: a stale or wrapped entry only fails the
  // byte comparison that every candidate must pass.
  std::vector<uint16_t> head3 = std::vector<uint16_t>(kHash3Size, 0);
  uint32_t base = 0;
  std::vector<uint8_t> text;
  std::vector<int32_t> chain;  // older position with the same 4-byte hash
  std::vector<uint8_t> matchLength;
  std::vector<uint16_t> matchDistance;
  // The cheapest encoding of the bytes from a position to the end, kept as keys: cost * 16 plus
  // the position's low four bits. keyOf2 and keyOf4 hold the least key of 2 and 4 positions
  // from there on, so the cheapest end of any match (3 to 10 bytes) takes two loads.
  std::vector<int32_t> key;
  std::vector<int32_t> keyOf2;
  std::vector<int32_t> keyOf4;
  std::vector<uint8_t> choice;  // first token of that encoding: its length, kind in the top bits

  void Prepare(const uint8_t* source, size_t n) {
    if (key.size() < n + kMaxMatch + 1) {
      text.resize(n + kPadding);
      chain.resize(n + 1);
      matchLength.resize(n + 1);
      matchDistance.resize(n + 1);
      key.resize(n + kMaxMatch + 1);
      keyOf2.resize(n + kMaxMatch + 1);
      keyOf4.resize(n + kMaxMatch + 1);
      choice.resize(n + 1);
    }
    std::memcpy(text.data(), source, n);
    std::memset(text.data() + n, 0, kPadding);
    std::fill(head4.begin(), head4.end(), kNoPosition);
    base += static_cast<uint32_t>(n) + kMaxDistance + 1;  // an earlier record is never in reach
  }
};

// For every position the longest match (3 to 10 bytes, distance 1 to 2047). Matches of four bytes
// and more come from a chain of positions with the same 4-byte hash; a 3-byte match is the newest
// position with the same 3-byte hash, when its bytes agree.
[[gnu::noinline]] void FindLongestMatches(int n, Workspace& w) {
  // Plain pointers: a store through uint8_t may alias anything, so the vectors' own pointers
  // would be loaded again after every position.
  const uint8_t* __restrict src = w.text.data();
  int32_t* __restrict head4 = w.head4.data();
  uint16_t* __restrict head3 = w.head3.data();
  int32_t* __restrict chain = w.chain.data();
  uint8_t* __restrict matchLength = w.matchLength.data();
  uint16_t* __restrict matchDistance = w.matchDistance.data();
  const uint32_t base = w.base;
  int previousLength = 0;
  int previousDistance = 0;
  for (int i = 0; i < n; ++i) {
    int best = 0;
    int bestDistance = 0;
    const int maxLength = std::min(kMaxMatch, n - i);
    if (maxLength >= kMinMatch) {
      const uint32_t bytes = Load32(src + i);
      // The match found one byte earlier still holds here, one byte shorter; try it first.
      if (previousLength >= kMinMatch) {
        best = CommonLength(src + i - previousDistance, src + i, maxLength);
        bestDistance = previousDistance;
      }
      if (maxLength >= 4) {
        const uint32_t h4 = Hash(bytes);
        const int newest = head4[h4];
        int depth = 0;
        for (int j = newest; best < maxLength && i - j <= kMaxDistance && depth < kChainLimit; j = chain[j], ++depth) {
          // It cannot beat the best so far unless the four bytes up to position `best` agree.
          const int at = best > 3 ? best - 3 : 0;
          if (Load32(src + j + at) != Load32(src + i + at)) continue;
          const int length = CommonLength(src + j, src + i, maxLength);
          if (length > best) {
            best = length;
            bestDistance = i - j;
          }
        }
        chain[i] = newest;
        head4[h4] = i;
      }
      const uint32_t h3 = Hash3(bytes);
      if (best < kMinMatch) {
        const int distance = static_cast<uint16_t>(base + static_cast<uint32_t>(i) - head3[h3]);
        const int j = i - distance;
        if (distance >= 1 && distance <= kMaxDistance && j >= 0 && ((Load32(src + j) ^ bytes) & 0xFFFFFF) == 0) {
          best = kMinMatch;
          bestDistance = i - j;
        }
      }
      head3[h3] = static_cast<uint16_t>(base + static_cast<uint32_t>(i));
    }
    if (best < kMinMatch) best = 0;
    matchLength[i] = static_cast<uint8_t>(best);
    matchDistance[i] = static_cast<uint16_t>(bestDistance);
    previousLength = best;
    previousDistance = bestDistance;
  }
}

constexpr uint8_t kKindShift = 4;

constexpr int kKeyShift = 4;
constexpr int kPositionBits = (1 << kKeyShift) - 1;

// Stores the cheapest cost from i to the end, and the least keys of the windows that start at i.
[[gnu::always_inline]] inline void Settle(int i, int cost, int32_t* __restrict key, int32_t* __restrict keyOf2,
                                          int32_t* __restrict keyOf4) {
  key[i] = (cost << kKeyShift) | (i & kPositionBits);
  keyOf2[i] = std::min(key[i], key[i + 1]);
  keyOf4[i] = std::min(keyOf2[i], keyOf2[i + 2]);
}

[[gnu::noinline]] void FindCheapestPath(int n, Workspace& w) {
  const uint8_t* __restrict src = w.text.data();
  const uint8_t* __restrict matchLength = w.matchLength.data();
  uint8_t* __restrict choice = w.choice.data();
  int32_t* __restrict key = w.key.data();
  int32_t* __restrict keyOf2 = w.keyOf2.data();
  int32_t* __restrict keyOf4 = w.keyOf4.data();
  const auto cost = [&](int position) { return key[position] >> kKeyShift; };
  for (int j = n + 1; j <= n + 4; ++j) key[j] = keyOf2[j] = keyOf4[j] = std::numeric_limits<int32_t>::max();
  Settle(n, 0, key, keyOf2, keyOf4);
  int nextSpecial = n;  // first position at or after i whose byte needs a literal run
  // From the end backwards: each position takes the cheapest first token plus the cost of the rest.
  for (int i = n - 1; i >= 0; --i) {
    int best = std::numeric_limits<int32_t>::max() >> kKeyShift;
    int length = 0;
    TokenKind kind = kLiteral;
    const uint8_t b = src[i];
    if (IsPlainLiteral(b)) {
      best = 1 + cost(i + 1);
      length = 1;
    } else {
      nextSpecial = i;
    }
    if (b == ' ' && i + 1 < n && src[i + 1] >= 0x40 && src[i + 1] <= 0x7F && 1 + cost(i + 2) < best) {
      best = 1 + cost(i + 2);
      length = 2;
      kind = kSpacePair;
    }
    // Every match costs two bytes, whatever its length: the cheapest end among the positions
    // 3 to `longest` bytes ahead is the least key of two windows that cover them.
    const int longest = matchLength[i];
    if (longest >= kMinMatch) {
      const int first = i + kMinMatch;
      const int last = i + longest;
      const int span = last - first + 1;
      const int32_t* windows = span >= 4 ? keyOf4 : span >= 2 ? keyOf2 : key;
      const int width = span >= 4 ? 4 : span >= 2 ? 2 : 1;
      const int32_t least = std::min(windows[first], windows[last - width + 1]);
      if (2 + (least >> kKeyShift) < best) {
        best = 2 + (least >> kKeyShift);
        length = kMinMatch + (((least & kPositionBits) - first) & kPositionBits);
        kind = kMatch;
      }
    }
    // A run only pays when it holds a byte that needs one; plain bytes cost one each anyway.
    const int maxRun = std::min(kMaxRun, n - i);
    for (int k = nextSpecial - i + 1; k <= maxRun; ++k) {
      if (1 + k + cost(i + k) < best) {
        best = 1 + k + cost(i + k);
        length = k;
        kind = kRun;
      }
    }
    Settle(i, best, key, keyOf2, keyOf4);
    choice[i] = static_cast<uint8_t>(length | (kind << kKindShift));
  }
}

[[gnu::noinline]] int32_t EmitPath(uint8_t* dst, int n, Workspace& w) {
  const uint8_t* __restrict src = w.text.data();
  const uint8_t* __restrict choice = w.choice.data();
  const uint16_t* __restrict matchDistance = w.matchDistance.data();
  uint8_t* out = dst;
  for (int start = 0; start < n;) {
    const int length = choice[start] & ((1 << kKindShift) - 1);
    switch (static_cast<TokenKind>(choice[start] >> kKindShift)) {
      case kLiteral:
        *out++ = src[start];
        break;
      case kSpacePair:
        *out++ = static_cast<uint8_t>(src[start + 1] ^ 0x80);
        break;
      case kRun:
        *out++ = static_cast<uint8_t>(length);
        std::memcpy(out, src + start, static_cast<size_t>(length));
        out += length;
        break;
      case kMatch: {
        const unsigned pair = 0x8000u | (unsigned{matchDistance[start]} << 3) | unsigned(length - kMinMatch);
        *out++ = static_cast<uint8_t>(pair >> 8);
        *out++ = static_cast<uint8_t>(pair & 0xFF);
        break;
      }
    }
    start += length;
  }
  return static_cast<int32_t>(out - dst);
}

// Not inlined, so the loops see a plain reference instead of a thread-local lookup per access.
[[gnu::noinline]] Workspace& ThreadWorkspace() {
  thread_local Workspace workspace;
  return workspace;
}

}  // namespace

int32_t Compress(uint8_t* destination, const uint8_t* source, int32_t sourceLength) {
  if (destination == nullptr || source == nullptr || sourceLength <= 0) return 0;
  Workspace& w = ThreadWorkspace();
  w.Prepare(source, static_cast<size_t>(sourceLength));
  FindLongestMatches(sourceLength, w);
  FindCheapestPath(sourceLength, w);
  return EmitPath(destination, sourceLength, w);
}
