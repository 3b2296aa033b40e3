#include "convert/utf8.h"

#include <cstring>

namespace zun {

int DecodeUtf8(const uint8_t* p, size_t size, uint32_t& codePoint) {
  const uint8_t first = p[0];
  if (first < 0x80) {
    codePoint = first;
    return 1;
  }
  int length = 0;
  uint8_t low = 0x80;  // the range of the second byte
  uint8_t high = 0xBF;
  if (first >= 0xC2 && first <= 0xDF) {
    length = 2;
    codePoint = first & 0x1Fu;
  } else if (first >= 0xE0 && first <= 0xEF) {
    length = 3;
    codePoint = first & 0x0Fu;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    length = 4;
    codePoint = first & 0x07u;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return -1;
  }
  for (int k = 1; k < length; ++k) {
    if (static_cast<size_t>(k) >= size) return 0;
    const uint8_t next = p[k];
    if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return -1;
    codePoint = codePoint << 6 | (next & 0x3Fu);
  }
  return length;
}

void AppendUtf8(uint32_t c, std::vector<uint8_t>& out) {
  if (c < 0x80) {
    out.push_back(static_cast<uint8_t>(c));
  } else if (c < 0x800) {
    out.insert(out.end(), {static_cast<uint8_t>(0xC0 | c >> 6), static_cast<uint8_t>(0x80 | (c & 0x3F))});
  } else if (c < 0x10000) {
    out.insert(out.end(), {static_cast<uint8_t>(0xE0 | c >> 12), static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)),
                           static_cast<uint8_t>(0x80 | (c & 0x3F))});
  } else {
    out.insert(out.end(), {static_cast<uint8_t>(0xF0 | c >> 18), static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F)),
                           static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F)), static_cast<uint8_t>(0x80 | (c & 0x3F))});
  }
}

// Completes a character carried over from the last piece; the bytes of `bytes` it took.
size_t Utf8Scanner::FeedCarried(std::span<const uint8_t> bytes) {
  size_t i = 0;
  const size_t need = Utf8Length(carry_[0]);
  while (carried_ < need && i < bytes.size()) carry_[carried_++] = bytes[i++];
  if (carried_ < need) return i;
  uint32_t codePoint = 0;
  if (DecodeUtf8(carry_.data(), carried_, codePoint) < 0) {
    facts_.valid = false;
  } else {
    facts_.multiByte = true;  // only a character of several bytes is carried
  }
  carried_ = 0;
  return i;
}

void Utf8Scanner::Feed(std::span<const uint8_t> bytes) {
  if (Settled()) return;
  size_t i = carried_ > 0 ? FeedCarried(bytes) : 0;
  if (carried_ > 0 || Settled()) return;
  const uint8_t* p = bytes.data();
  const size_t size = bytes.size();
  while (i < size) {
    const uint8_t first = p[i];
    if (first < 0x80) {
      i += AsciiRun(p + i, size - i);
      continue;
    }
    facts_.multiByte = true;
    // The common cases first: two bytes, and three bytes whose lead allows any continuation.
    if (first >= 0xC2 && first <= 0xDF && i + 1 < size && (p[i + 1] & 0xC0) == 0x80) {
      i += 2;
      continue;
    }
    if (first >= 0xE1 && first <= 0xEF && first != 0xED && i + 2 < size && (p[i + 1] & 0xC0) == 0x80 &&
        (p[i + 2] & 0xC0) == 0x80) {
      i += 3;
      continue;
    }
    uint32_t codePoint = 0;
    const int length = DecodeUtf8(p + i, size - i, codePoint);
    if (length < 0) {
      facts_.valid = false;
      return;
    }
    if (length == 0) {  // cut by the end of the piece
      carried_ = size - i;
      std::memcpy(carry_.data(), p + i, carried_);
      return;
    }
    i += static_cast<size_t>(length);
  }
}

void Utf8Scanner::Finish() {
  if (carried_ > 0) facts_.valid = false;
  carried_ = 0;
}

Utf8Facts ScanUtf8(std::span<const uint8_t> text) {
  Utf8Scanner scanner;
  scanner.Feed(text);
  scanner.Finish();
  return scanner.Facts();
}

}  // namespace zun
