// PalmDOC record compression.
//
// Token stream, one byte at a time:
//   0x00, 0x09-0x7F   the byte itself
//   0x01-0x08         that many following bytes, copied unchanged
//   0x80-0xBF + 1     14 bits: distance (11 bits, 1-2047) and length - 3 (3 bits, 3-10)
//   0xC0-0xFF         a space followed by (byte XOR 0x80)
//
// The encoder finds the cheapest token sequence for the whole record: a shortest path over the
// positions, where every match costs two bytes whatever its length. Only the longest match at
// each position matters, since every shorter prefix of it is a match at the same distance.
#include "zun2/zun2.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr int kMaxDistance = 2047;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 10;
constexpr int kMaxRun = 8;
constexpr int kHashBits = 12;
constexpr int kHashSize = 1 << kHashBits;
// Candidates looked at per position; real text finds its longest match long before this.
constexpr int kChainLimit = 512;

enum TokenKind : uint8_t { kLiteral, kSpacePair, kRun, kMatch };

bool IsPlainLiteral(uint8_t b) { return b == 0 || (b >= 0x09 && b <= 0x7F); }

uint32_t Hash3(const uint8_t* p) {
  uint32_t v = (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

// Buffers reused from record to record; they only grow.
struct Workspace {
  std::vector<int32_t> head = std::vector<int32_t>(kHashSize);
  std::vector<int32_t> chain;
  std::vector<uint8_t> matchLength;
  std::vector<uint16_t> matchDistance;
  std::vector<int32_t> cost;
  std::vector<uint8_t> tokenLength;  // length of the token that ends at a position on the best path
  std::vector<uint8_t> tokenKind;
  std::vector<uint16_t> tokenDistance;
  std::vector<int32_t> starts;

  void Reserve(size_t n) {
    if (cost.size() >= n + 1) return;
    chain.resize(n + 1);
    matchLength.resize(n + 1);
    matchDistance.resize(n + 1);
    cost.resize(n + 1);
    tokenLength.resize(n + 1);
    tokenKind.resize(n + 1);
    tokenDistance.resize(n + 1);
    starts.resize(n + 1);
  }
};

void FindLongestMatches(const uint8_t* src, int n, Workspace& w) {
  std::fill(w.head.begin(), w.head.end(), -1);
  for (int i = 0; i < n; ++i) {
    w.matchLength[i] = 0;
    if (n - i < kMinMatch) continue;
    const int maxLength = std::min(kMaxMatch, n - i);
    const uint32_t h = Hash3(src + i);
    int best = 0;
    int bestDistance = 0;
    int depth = 0;
    for (int j = w.head[h]; j >= 0 && i - j <= kMaxDistance && depth < kChainLimit; j = w.chain[j], ++depth) {
      if (src[j + best] != src[i + best]) continue;  // cannot beat the best so far
      int length = 0;
      while (length < maxLength && src[j + length] == src[i + length]) ++length;
      if (length > best) {
        best = length;
        bestDistance = i - j;
        if (best == maxLength) break;
      }
    }
    if (best >= kMinMatch) {
      w.matchLength[i] = static_cast<uint8_t>(best);
      w.matchDistance[i] = static_cast<uint16_t>(bestDistance);
    }
    w.chain[i] = w.head[h];
    w.head[h] = i;
  }
}

void Relax(Workspace& w, int from, int to, int cost, TokenKind kind, int distance = 0) {
  if (cost < w.cost[to]) {
    w.cost[to] = cost;
    w.tokenLength[to] = static_cast<uint8_t>(to - from);
    w.tokenKind[to] = kind;
    w.tokenDistance[to] = static_cast<uint16_t>(distance);
  }
}

void FindCheapestPath(const uint8_t* src, int n, Workspace& w) {
  std::fill(w.cost.begin(), w.cost.begin() + n + 1, std::numeric_limits<int32_t>::max());
  w.cost[0] = 0;
  for (int i = 0; i < n; ++i) {
    const int c = w.cost[i];
    const uint8_t b = src[i];
    if (b == ' ' && i + 1 < n && src[i + 1] >= 0x40 && src[i + 1] <= 0x7F) Relax(w, i, i + 2, c + 1, kSpacePair);
    if (IsPlainLiteral(b)) Relax(w, i, i + 1, c + 1, kLiteral);
    for (int length = kMinMatch; length <= w.matchLength[i]; ++length) {
      Relax(w, i, i + length, c + 2, kMatch, w.matchDistance[i]);
    }
    const int maxRun = std::min(kMaxRun, n - i);
    for (int k = 1; k <= maxRun; ++k) Relax(w, i, i + k, c + 1 + k, kRun);
  }
}

int32_t EmitPath(uint8_t* dst, const uint8_t* src, int n, Workspace& w) {
  int count = 0;
  for (int end = n; end > 0; end -= w.tokenLength[end]) w.starts[count++] = end;
  uint8_t* out = dst;
  while (count > 0) {
    const int end = w.starts[--count];
    const int length = w.tokenLength[end];
    const int start = end - length;
    switch (w.tokenKind[end]) {
      case kLiteral:
        *out++ = src[start];
        break;
      case kSpacePair:
        *out++ = static_cast<uint8_t>(src[start + 1] ^ 0x80);
        break;
      case kRun:
        *out++ = static_cast<uint8_t>(length);
        std::memcpy(out, src + start, length);
        out += length;
        break;
      case kMatch: {
        const unsigned pair = 0x8000u | (unsigned{w.tokenDistance[end]} << 3) | unsigned(length - kMinMatch);
        *out++ = static_cast<uint8_t>(pair >> 8);
        *out++ = static_cast<uint8_t>(pair & 0xFF);
        break;
      }
    }
  }
  return static_cast<int32_t>(out - dst);
}

}  // namespace

int32_t Compress(uint8_t* destination, const uint8_t* source, int32_t sourceLength) {
  if (destination == nullptr || source == nullptr || sourceLength <= 0) return 0;
  thread_local Workspace workspace;
  workspace.Reserve(static_cast<size_t>(sourceLength));
  FindLongestMatches(source, sourceLength, workspace);
  FindCheapestPath(source, sourceLength, workspace);
  return EmitPath(destination, source, sourceLength, workspace);
}

int32_t GetUncompSize(const uint8_t* compressed, int32_t length) {
  if (length <= 0) return 0;
  if (compressed == nullptr) return -1;
  int64_t produced = 0;
  int32_t i = 0;
  while (i < length) {
    const uint8_t c = compressed[i++];
    if (c >= 1 && c <= 8) {
      if (length - i < c) return -1;
      i += c;
      produced += c;
    } else if (c < 0x80) {
      produced += 1;
    } else if (c >= 0xC0) {
      produced += 2;
    } else {
      if (i >= length) return -1;
      const unsigned pair = ((unsigned{c} << 8) | compressed[i++]) & 0x3FFF;
      const unsigned distance = pair >> 3;
      if (distance == 0 || distance > produced) return -1;
      produced += (pair & 7) + kMinMatch;
    }
  }
  if (produced > std::numeric_limits<int32_t>::max()) return -1;
  return static_cast<int32_t>(produced);
}

int32_t DeCompress(uint8_t* destination, const uint8_t* compressed, int32_t uncompressedLength) {
  if (uncompressedLength <= 0) return 0;
  if (destination == nullptr || compressed == nullptr) return -1;
  int32_t o = 0;
  const uint8_t* in = compressed;
  while (o < uncompressedLength) {
    const uint8_t c = *in++;
    const int32_t room = uncompressedLength - o;
    if (c >= 1 && c <= 8) {
      const int32_t n = std::min<int32_t>(c, room);
      std::memcpy(destination + o, in, n);
      in += c;
      o += n;
    } else if (c < 0x80) {
      destination[o++] = c;
    } else if (c >= 0xC0) {
      destination[o++] = ' ';
      if (room > 1) destination[o++] = static_cast<uint8_t>(c ^ 0x80);
    } else {
      const unsigned pair = ((unsigned{c} << 8) | *in++) & 0x3FFF;
      const int32_t distance = static_cast<int32_t>(pair >> 3);
      if (distance == 0 || distance > o) return -1;
      const int32_t n = std::min<int32_t>(static_cast<int32_t>(pair & 7) + kMinMatch, room);
      // Byte by byte: a match may overlap the bytes it produces.
      for (int32_t k = 0; k < n; ++k, ++o) destination[o] = destination[o - distance];
    }
  }
  return o;
}
