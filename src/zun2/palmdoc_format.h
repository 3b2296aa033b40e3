// The PalmDOC record format, shared by the encoder and the decoder.
//
// Token stream, one byte at a time:
//   0x00, 0x09-0x7F   the byte itself
//   0x01-0x08         that many following bytes, copied unchanged
//   0x80-0xBF + 1     14 bits: distance (11 bits, 1-2047) and length - 3 (3 bits, 3-10)
//   0xC0-0xFF         a space followed by (byte XOR 0x80)
#pragma once
#include <cstdint>
#include <cstring>

namespace zun2 {

inline constexpr int kMaxDistance = 2047;
inline constexpr int kMinMatch = 3;
inline constexpr int kMaxMatch = 10;
inline constexpr int kMaxRun = 8;

inline bool IsPlainLiteral(uint8_t b) { return b == 0 || (b >= 0x09 && b <= 0x7F); }
inline bool IsRun(uint8_t b) { return b - 1u < 8u; }
inline bool IsPairLead(uint8_t b) { return (b & 0xC0) == 0x80; }

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline uint64_t Load64(const uint8_t* p) {
  uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace zun2
