// The handheld's character set against UTF-8 on the PC: tables made once from glibc's iconv, and
// converters that work piece by piece (a character may straddle two pieces).
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/utf8.h"

namespace zun {

// Western handhelds; also the set when J-Pilot names none.
inline constexpr const char* kDefaultHandheldCharset = "WINDOWS-1252";

// The handheld's set (an iconv name) for J-Pilot's char_set number; Windows-1252 for none, 0
// (J-Pilot's "no conversion", the PC taken as Latin-1) and numbers J-Pilot does not use.
std::string HandheldCharsetFor(std::optional<int32_t> jpilotCharSet);
// The set's usual name ("Windows-1252", "Shift_JIS"); other names as given.
std::string CharsetDisplayName(const std::string& name);

// One set: ASCII-based, every character one or two bytes. A byte sequence of a document decodes
// to a character only when that character encodes back to the same bytes; any other byte decodes
// to an escape character of its own, which encodes back to that byte, so every document survives
// a trip through UTF-8. The escape of byte b is the C1 control U+00b when b is 0x80-0x9F and the
// set has no character there (Windows-1252's 0x81 is U+0081), else U+10FF00 + b (private use).
class Charset {
 public:
  // The set's tables, made at the first call for each name and kept; nothing when iconv does not
  // know the name or the set is not ASCII-based with one- and two-byte characters (UTF-8, UTF-16,
  // EUC-JP, ISO-2022-JP and EBCDIC sets are not).
  static const Charset* Find(const std::string& name);

  // Bytes of the set for a character; nothing when the set cannot hold it.
  std::optional<uint16_t> Encode(uint32_t codePoint) const;
  bool IsLeadByte(uint8_t byte) const { return single_[byte] == kLead; }
  bool AsciiUnchanged() const { return asciiUnchanged_; }

 private:
  friend class HandheldEncoder;
  friend class HandheldDecoder;
  friend struct CharsetBuilder;
  static constexpr uint32_t kLead = 0xFFFFFFFE;          // in single_: the first byte of a pair
  static constexpr uint32_t kNoChar = 0xFFFFFFFF;        // in pairs_: no character of its own
  static constexpr uint32_t kEscapeOfBoth = 0xFFFFFFFD;  // in pairs_: a pair that is not the
                                                         // character's own (both bytes escaped)
  static constexpr uint16_t kNotHeld = 0xFFFF;           // in bmp_

  Charset() = default;

  std::array<uint32_t, 256> single_{};                    // code point (an escape for an undefined byte) or kLead
  std::array<uint32_t, 256> escape_{};                    // the escape of every byte
  std::vector<uint32_t> pairs_;                           // lead << 8 | trail: code point, kNoChar or kEscapeOfBoth
  std::vector<uint16_t> bmp_;                             // code point below 0x10000: byte, lead << 8 | trail, kNotHeld
  std::array<bool, 256> planeEscape_{};                   // whether U+10FF00 + b is the escape of b
  std::array<std::array<uint8_t, 4>, 256> singleUtf8_{};  // single_ in UTF-8, for speed
  std::array<uint8_t, 256> singleUtf8Length_{};
  bool asciiUnchanged_ = true;  // bytes 0x00-0x7F are the same characters both ways
};

// UTF-8 text to the set, piece by piece. A character the set cannot hold becomes "?"; a byte
// order mark at the start is dropped. Once the input is found not to be valid UTF-8, Valid() is
// false and nothing more is written: the caller then keeps the text as it is.
class HandheldEncoder {
 public:
  explicit HandheldEncoder(const Charset& charset) : charset_(&charset) {}
  // Appends the converted piece to `out`; an incomplete character at its end waits for the next.
  void Convert(std::span<const uint8_t> utf8, std::vector<uint8_t>& out);
  // Ends the text: an incomplete character at the end makes it invalid.
  void Finish();
  bool Valid() const { return valid_; }
  // Whether the output differs from the input so far.
  bool Changed() const { return changed_; }
  // Characters so far that would not come back as they were from the output: "?" written for
  // them, the byte order mark dropped, the escape of a byte that reads back as a character of its
  // own or (a lead byte) pairs with the next byte.
  size_t Missing() const { return missing_; }
  // Characters so far that composing (NFC) may change (see MayChangeUnderNfc).
  size_t Composable() const { return composable_; }

 private:
  size_t ConvertSome(const uint8_t* data, size_t size, uint8_t*& written);
  inline void Put(uint32_t codePoint, uint8_t*& out);
  bool Follow(uint8_t next, uint32_t codePoint);

  const Charset* charset_;
  std::array<uint8_t, 4> carry_{};  // the start of a character cut at the end of a piece
  size_t carried_ = 0;
  bool valid_ = true;
  bool changed_ = false;
  bool atStart_ = true;
  size_t missing_ = 0;
  size_t composable_ = 0;
  std::optional<uint8_t> escapedLead_;  // the last byte written: the escape of a lead byte
};

// Text of the set to UTF-8, piece by piece; see Charset for bytes without a character.
class HandheldDecoder {
 public:
  explicit HandheldDecoder(const Charset& charset) : charset_(charset) {}
  // Appends the converted piece to `out`; a lead byte at its end waits for the next piece.
  void Convert(std::span<const uint8_t> text, std::vector<uint8_t>& out);
  // Ends the text: a lead byte left over becomes its escape.
  void Finish(std::vector<uint8_t>& out);
  // Whether a lead byte waits for its trail.
  bool HoldsLead() const { return lead_.has_value(); }

 private:
  size_t WritePair(uint8_t first, uint8_t second, uint8_t*& out) const;

  const Charset& charset_;
  std::optional<uint8_t> lead_;
};

// A document that held the PC text's own UTF-8 and was edited on the handheld since, to UTF-8:
// every UTF-8 character of two to four bytes stays as it is, any other byte goes through the set
// (the byte after a lead byte of the set is that lead's trail, whatever it is).
class Utf8AndSetDecoder {
 public:
  explicit Utf8AndSetDecoder(const Charset& charset) : set_(charset) {}
  void Convert(std::span<const uint8_t> piece, std::vector<uint8_t>& out);
  void Finish(std::vector<uint8_t>& out);

 private:
  HandheldDecoder set_;
  std::vector<uint8_t> held_;  // the start of a UTF-8 character cut at the end of a piece
};

}  // namespace zun
