// Canonical composition (Unicode NFC) of UTF-8 text, through GLib: "e" followed by a combining
// acute accent becomes the one character "é".
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace zun {

// Whether composing may change a text because of this character, alone or with its neighbours: a
// combining mark, a character that combines with the one before it (Hangul vowels and finals,
// some Indic vowel signs), one whose decomposition does not compose back to it (U+212B ANGSTROM
// SIGN, a compatibility ideograph). A text without any of them is composed already. Every
// character below U+0300 is none of them.
bool MayChangeUnderNfc(uint32_t codePoint);

// The text composed; nothing when it is not valid UTF-8. NUL bytes stay as they are.
std::optional<std::vector<uint8_t>> ComposeNfc(std::span<const uint8_t> utf8);

// Where a text may be cut so that composing the parts composes the whole: before any ASCII byte
// (no ASCII character combines with the one before it). The last such place in `text` that is
// not its start; 0 when there is none.
size_t LastNfcCut(std::span<const uint8_t> text);

}  // namespace zun
