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

// Whether composing may tie this character to the one before it: a combining mark, a character
// that combines with the one before it, or one whose decomposition starts with either. Composing
// a text in parts cut before characters that are none of them composes the whole; every
// character that may change and is none of them (U+212B, a compatibility ideograph) is a part of
// its own.
bool BindsToThePrevious(uint32_t codePoint);

// The text composed; nothing when it is not valid UTF-8. NUL bytes stay as they are.
std::optional<std::vector<uint8_t>> ComposeNfc(std::span<const uint8_t> utf8);

// Where a text may be cut so that composing the parts composes the whole: before any ASCII byte
// (no ASCII character combines with the one before it). The last such place in `text` that is
// not its start; 0 when there is none.
size_t LastNfcCut(std::span<const uint8_t> text);

}  // namespace zun
