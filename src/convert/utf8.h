// UTF-8 by hand: one character at a time, and what a text's bytes are, found piece by piece.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace zun {

// Decodes one character at `p`: its length, 0 when the `size` bytes are a valid but incomplete
// start, -1 when they are not UTF-8 (overlong forms and surrogates included).
int DecodeUtf8(const uint8_t* p, size_t size, uint32_t& codePoint);
// The length a character with this first byte claims (1 to 4).
inline size_t Utf8Length(uint8_t first) { return first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4; }
// Length of the run of bytes below 0x80 at the start of p[0, size).
inline size_t AsciiRun(const uint8_t* p, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, p + i, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
  }
  while (i < size && p[i] < 0x80) ++i;
  return i;
}
// Appends the UTF-8 bytes of a code point.
void AppendUtf8(uint32_t codePoint, std::vector<uint8_t>& out);

// What a text's bytes are as UTF-8.
struct Utf8Facts {
  bool valid = true;       // valid UTF-8 to the end, nothing cut off
  bool multiByte = false;  // at least one character beyond ASCII
};

// Finds the Utf8Facts of a text given piece by piece (a character may straddle two pieces).
class Utf8Scanner {
 public:
  void Feed(std::span<const uint8_t> bytes);
  // Ends the text: a character cut off at the end makes it invalid.
  void Finish();
  // Once invalid, nothing more can change the facts.
  bool Settled() const { return !facts_.valid; }
  const Utf8Facts& Facts() const { return facts_; }

 private:
  size_t FeedCarried(std::span<const uint8_t> bytes);

  Utf8Facts facts_;
  std::array<uint8_t, 4> carry_{};
  size_t carried_ = 0;
};

Utf8Facts ScanUtf8(std::span<const uint8_t> text);

}  // namespace zun
