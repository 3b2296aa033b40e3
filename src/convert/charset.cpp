#include "convert/charset.h"

#include <cstring>

#include "convert/nfc.h"

namespace zun {
namespace {

constexpr uint32_t kPlaneEscapeBase = 0x10FF00;
constexpr uint32_t kByteOrderMark = 0xFEFF;

}  // namespace

std::optional<uint16_t> Charset::Encode(uint32_t codePoint) const {
  if (codePoint < bmp_.size()) {
    const uint16_t bytes = bmp_[codePoint];
    if (bytes == kNotHeld) return std::nullopt;
    return bytes;
  }
  if (codePoint >= kPlaneEscapeBase && codePoint <= kPlaneEscapeBase + 0xFF && planeEscape_[codePoint & 0xFF]) {
    return static_cast<uint16_t>(codePoint & 0xFF);
  }
  return std::nullopt;
}

// The escape of a lead byte, then `next`, the first byte of `codePoint`: the decoder reads the two
// as a pair unless they are none, or a pair it reads as the escapes of both bytes. Whether that
// pair took `next`, so that it cannot start a pair of its own.
bool HandheldEncoder::Follow(uint8_t next, uint32_t codePoint) {
  const uint32_t pair = charset_->pairs_[size_t{*escapedLead_} << 8 | next];
  const bool escapesBoth = pair == Charset::kEscapeOfBoth && (next < 0x80 || codePoint == charset_->escape_[next]);
  if (pair != Charset::kNoChar && !escapesBoth) ++missing_;
  escapedLead_.reset();
  return escapesBoth && next >= 0x80;
}

inline void HandheldEncoder::Put(uint32_t codePoint, uint8_t*& out) {
  if (atStart_) {
    atStart_ = false;
    if (codePoint == kByteOrderMark) {
      changed_ = true;
      ++missing_;
      return;
    }
  }
  if (codePoint >= 0x300 && MayChangeUnderNfc(codePoint)) ++composable_;
  uint16_t bytes =
      codePoint < 0x10000 ? charset_->bmp_[codePoint] : charset_->Encode(codePoint).value_or(Charset::kNotHeld);
  // Any character beyond ASCII was more bytes in UTF-8 than it is now.
  changed_ = changed_ || codePoint >= 0x80 || bytes != codePoint;
  if (bytes == Charset::kNotHeld) {
    ++missing_;
    bytes = '?';
    codePoint = '?';
  }
  if (bytes >= 0x100) {
    if (escapedLead_) Follow(static_cast<uint8_t>(bytes >> 8), codePoint);
    *out++ = static_cast<uint8_t>(bytes >> 8);
    *out++ = static_cast<uint8_t>(bytes & 0xFF);
    return;
  }
  const bool taken = escapedLead_ && Follow(static_cast<uint8_t>(bytes), codePoint);
  *out++ = static_cast<uint8_t>(bytes);
  if (taken) return;
  const uint32_t back = charset_->single_[bytes];
  if (back == Charset::kLead) {
    escapedLead_ = static_cast<uint8_t>(bytes);
  } else if (back != codePoint) {
    ++missing_;  // the escape of a byte that reads back as a character of its own
  }
}

size_t HandheldEncoder::ConvertSome(const uint8_t* data, size_t size, uint8_t*& written) {
  const bool asciiUnchanged = charset_->AsciiUnchanged();
  uint8_t* out = written;  // a local pointer stays in a register
  size_t i = 0;
  while (i < size) {
    const uint8_t first = data[i];
    if (first < 0x80 && asciiUnchanged) {
      if (escapedLead_) Follow(first, first);
      const size_t run = AsciiRun(data + i, size - i);
      std::memcpy(out, data + i, run);
      out += run;
      atStart_ = false;
      i += run;
      continue;
    }
    uint32_t codePoint = 0;
    if (first >= 0xC2 && first <= 0xDF && i + 1 < size && (data[i + 1] & 0xC0) == 0x80) {
      codePoint = (first & 0x1Fu) << 6 | (data[i + 1] & 0x3Fu);  // the common case, two bytes
      i += 2;
    } else {
      const int length = DecodeUtf8(data + i, size - i, codePoint);
      if (length == 0) break;
      if (length < 0) {
        valid_ = false;
        written = out;
        return size;
      }
      i += static_cast<size_t>(length);
    }
    Put(codePoint, out);
  }
  written = out;
  return i;
}

void HandheldEncoder::Convert(std::span<const uint8_t> utf8, std::vector<uint8_t>& out) {
  if (!valid_) return;
  // A character of n bytes becomes at most two, never more than n.
  const size_t base = out.size();
  out.resize(base + carried_ + utf8.size());
  uint8_t* const begin = out.data() + base;
  uint8_t* end = begin;
  size_t i = 0;
  if (carried_ > 0) {
    const size_t need = Utf8Length(carry_[0]);
    while (carried_ < need && i < utf8.size()) carry_[carried_++] = utf8[i++];
    if (carried_ == need) {
      ConvertSome(carry_.data(), carried_, end);
      carried_ = 0;
    }
  }
  if (valid_ && carried_ == 0) {
    const size_t used = i + ConvertSome(utf8.data() + i, utf8.size() - i, end);
    if (valid_) {
      carried_ = utf8.size() - used;
      std::copy(utf8.begin() + static_cast<std::ptrdiff_t>(used), utf8.end(), carry_.begin());
    }
  }
  out.resize(base + static_cast<size_t>(end - begin));
}

void HandheldEncoder::Finish() {
  if (carried_ > 0) valid_ = false;
  carried_ = 0;
}

namespace {

void WriteUtf8(uint32_t c, uint8_t*& out) {
  if (c < 0x80) {
    *out++ = static_cast<uint8_t>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<uint8_t>(0xC0 | c >> 6);
    *out++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<uint8_t>(0xE0 | c >> 12);
    *out++ = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<uint8_t>(0xF0 | c >> 18);
    *out++ = static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F));
    *out++ = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<uint8_t>(0x80 | (c & 0x3F));
  }
}

}  // namespace

size_t HandheldDecoder::WritePair(uint8_t first, uint8_t second, uint8_t*& out) const {
  const uint32_t c = charset_.pairs_[size_t{first} << 8 | second];
  if (c == Charset::kNoChar) {  // an invalid trail byte starts afresh
    WriteUtf8(charset_.escape_[first], out);
    return 0;
  }
  if (c == Charset::kEscapeOfBoth) {  // a character's second spelling: both bytes kept
    WriteUtf8(charset_.escape_[first], out);
    if (second < 0x80) return 0;
    WriteUtf8(charset_.escape_[second], out);
    return 1;
  }
  WriteUtf8(c, out);
  return 1;
}

void HandheldDecoder::Convert(std::span<const uint8_t> text, std::vector<uint8_t>& out) {
  const uint8_t* p = text.data();
  const size_t size = text.size();
  // Every byte becomes at most four; a lead byte held back may add two escapes at the start.
  const size_t base = out.size();
  out.resize(base + 4 * size + 8);
  uint8_t* const begin = out.data() + base;
  uint8_t* w = begin;
  size_t i = 0;
  if (lead_ && size > 0) {
    i = WritePair(*lead_, p[0], w);
    lead_.reset();
  }
  const auto& utf8 = charset_.singleUtf8_;
  const auto& lengths = charset_.singleUtf8Length_;
  const bool asciiUnchanged = charset_.AsciiUnchanged();
  if (charset_.pairs_.empty()) {
    // One byte a character: a table look-up each, eight ASCII bytes at a time.
    while (i + 8 <= size) {
      uint64_t word = 0;
      std::memcpy(&word, p + i, sizeof word);
      if (asciiUnchanged && (word & 0x8080808080808080ull) == 0) {
        std::memcpy(w, p + i, sizeof word);
        w += sizeof word;
        i += sizeof word;
        continue;
      }
      for (const size_t end = i + 8; i < end; ++i) {
        std::memcpy(w, utf8[p[i]].data(), 4);
        w += lengths[p[i]];
      }
    }
    for (; i < size; ++i) {
      std::memcpy(w, utf8[p[i]].data(), 4);
      w += lengths[p[i]];
    }
  }
  while (i < size) {
    const uint8_t b = p[i];
    if (b < 0x80 && asciiUnchanged) {
      const size_t run = AsciiRun(p + i, size - i);
      std::memcpy(w, p + i, run);
      w += run;
      i += run;
    } else if (charset_.single_[b] != Charset::kLead) {
      std::memcpy(w, utf8[b].data(), 4);
      w += lengths[b];
      ++i;
    } else if (i + 1 == size) {
      lead_ = b;
      ++i;
    } else {
      i += 1 + WritePair(b, p[i + 1], w);
    }
  }
  out.resize(base + static_cast<size_t>(w - begin));
}

void HandheldDecoder::Finish(std::vector<uint8_t>& out) {
  if (lead_) AppendUtf8(charset_.escape_[*lead_], out);
  lead_.reset();
}

namespace {

// Where the next UTF-8 character of two or more bytes starts in text[from, end), or one that the
// end cuts off; `end` when there is none.
size_t NextUtf8Character(std::span<const uint8_t> text, size_t from) {
  for (size_t at = from; at < text.size(); ++at) {
    uint32_t c = 0;
    if (text[at] >= 0xC2 && text[at] <= 0xF4 && DecodeUtf8(&text[at], text.size() - at, c) != -1) return at;
  }
  return text.size();
}

}  // namespace

void Utf8AndSetDecoder::Convert(std::span<const uint8_t> piece, std::vector<uint8_t>& out) {
  std::vector<uint8_t> joined;
  std::span<const uint8_t> text = piece;
  if (!held_.empty()) {
    joined = std::move(held_);
    joined.insert(joined.end(), piece.begin(), piece.end());
    text = joined;
  }
  held_.clear();
  for (size_t at = 0; at < text.size();) {
    if (set_.HoldsLead()) {  // a pair of the set goes first
      set_.Convert(text.subspan(at, 1), out);
      ++at;
      continue;
    }
    const size_t next = NextUtf8Character(text, at);
    if (next > at) {
      set_.Convert(text.subspan(at, next - at), out);
      at = next;
      continue;
    }
    uint32_t c = 0;
    const int length = DecodeUtf8(&text[at], text.size() - at, c);
    if (length == 0) {  // cut off: it waits for the next piece
      held_.assign(text.begin() + static_cast<std::ptrdiff_t>(at), text.end());
      return;
    }
    out.insert(out.end(), text.begin() + static_cast<std::ptrdiff_t>(at),
               text.begin() + static_cast<std::ptrdiff_t>(at) + length);
    at += static_cast<size_t>(length);
  }
}

void Utf8AndSetDecoder::Finish(std::vector<uint8_t>& out) {
  set_.Convert(held_, out);
  held_.clear();
  set_.Finish(out);
}

}  // namespace zun
