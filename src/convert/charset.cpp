#include "convert/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

namespace zun {
namespace {

struct KnownSet {
  const char* name;     // for iconv
  const char* display;  // for people
};

// Palm's Japanese set is Microsoft's Shift_JIS (CP932): 0x5C stays the backslash.
constexpr KnownSet kWindows1250{"WINDOWS-1250", "Windows-1250"};
constexpr KnownSet kWindows1251{"WINDOWS-1251", "Windows-1251"};
constexpr KnownSet kWindows1252{"WINDOWS-1252", "Windows-1252"};
constexpr KnownSet kWindows1253{"WINDOWS-1253", "Windows-1253"};
constexpr KnownSet kWindows1255{"WINDOWS-1255", "Windows-1255"};
constexpr KnownSet kKoi8R{"KOI8-R", "KOI8-R"};
constexpr KnownSet kIso8859_2{"ISO-8859-2", "ISO-8859-2"};
constexpr KnownSet kShiftJis{"CP932", "Shift_JIS"};
constexpr KnownSet kBig5{"BIG5", "Big5"};
constexpr KnownSet kGbk{"GBK", "GBK"};
constexpr KnownSet kCp949{"CP949", "CP949"};

// Index: J-Pilot's char_set number.
constexpr std::array<const KnownSet*, 18> kJPilotSets = {
    &kWindows1252, &kShiftJis,    &kWindows1250, &kKoi8R,       &kWindows1251, &kBig5,
    &kCp949,       &kWindows1250, &kWindows1252, &kWindows1253, &kIso8859_2,   &kKoi8R,
    &kWindows1251, &kGbk,         &kShiftJis,    &kWindows1255, &kBig5,        &kCp949};

constexpr std::array<const KnownSet*, 11> kKnownSets = {&kWindows1250, &kWindows1251, &kWindows1252, &kWindows1253,
                                                        &kWindows1255, &kKoi8R,       &kIso8859_2,   &kShiftJis,
                                                        &kBig5,        &kGbk,         &kCp949};

constexpr uint32_t kPlaneEscapeBase = 0x10FF00;
constexpr uint32_t kByteOrderMark = 0xFEFF;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return text;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Iconv() {
    if (Usable()) iconv_close(cd_);
  }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  bool Usable() const {
    return cd_ != reinterpret_cast<iconv_t>(-1);
  }  // NOLINT(performance-no-int-to-ptr): iconv's own failure value

  enum class Outcome { Done, Incomplete, Invalid };
  // Converts `in` completely from the initial state; the output goes to `out`.
  Outcome Convert(const uint8_t* in, size_t size, std::vector<uint8_t>& out) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::array<uint8_t, 64> buffer{};
    char* input = const_cast<char*>(reinterpret_cast<const char*>(in));
    size_t inputLeft = size;
    char* output = reinterpret_cast<char*>(buffer.data());
    size_t outputLeft = buffer.size();
    const size_t result = iconv(cd_, &input, &inputLeft, &output, &outputLeft);
    if (result == static_cast<size_t>(-1)) return errno == EINVAL ? Outcome::Incomplete : Outcome::Invalid;
    // A non-zero result counts characters replaced by something else: no mapping of its own.
    if (result != 0 || inputLeft != 0) return Outcome::Invalid;
    // Sets that combine characters hold the last one back until the end.
    if (iconv(cd_, nullptr, nullptr, &output, &outputLeft) == static_cast<size_t>(-1)) return Outcome::Invalid;
    out.assign(buffer.data(), buffer.data() + (buffer.size() - outputLeft));
    return Outcome::Done;
  }

 private:
  iconv_t cd_;
};

// The one code point of UTF-32LE bytes; nothing for none or several.
std::optional<uint32_t> SingleCodePoint(const std::vector<uint8_t>& utf32) {
  if (utf32.size() != 4) return std::nullopt;
  return uint32_t{utf32[0]} | uint32_t{utf32[1]} << 8 | uint32_t{utf32[2]} << 16 | uint32_t{utf32[3]} << 24;
}

// Decodes one UTF-8 character at `p`: its length, 0 when the `size` bytes are a valid but
// incomplete start, -1 when they are not UTF-8 (overlong forms and surrogates included).
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

size_t Utf8Length(uint8_t first) { return first < 0x80 ? 1 : first < 0xE0 ? 2 : first < 0xF0 ? 3 : 4; }

// Length of the run of bytes below 0x80 at the start of p[0, size).
size_t AsciiRun(const uint8_t* p, size_t size) {
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word = 0;
    std::memcpy(&word, p + i, sizeof word);
    if ((word & 0x8080808080808080ull) != 0) break;
  }
  while (i < size && p[i] < 0x80) ++i;
  return i;
}

}  // namespace

std::string HandheldCharsetFor(std::optional<int32_t> jpilotCharSet) {
  const int32_t number = jpilotCharSet.value_or(0);
  if (number < 0 || number >= static_cast<int32_t>(kJPilotSets.size())) return kDefaultHandheldCharset;
  return kJPilotSets[static_cast<size_t>(number)]->name;
}

std::string CharsetDisplayName(const std::string& name) {
  const std::string upper = Upper(name);
  for (const KnownSet* set : kKnownSets) {
    if (upper == set->name) return set->display;
  }
  return name;
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

const Charset* Charset::Find(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<Charset>> made;  // nullptr: not usable
  const std::lock_guard lock(mutex);
  const std::string key = Upper(name);
  auto found = made.find(key);
  if (found == made.end()) {
    std::unique_ptr<Charset> charset(new Charset);
    if (key.empty() || !charset->Build(key)) charset.reset();
    found = made.emplace(key, std::move(charset)).first;
  }
  return found->second.get();
}

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

bool Charset::Build(const std::string& name) {
  Iconv toUnicode("UTF-32LE", name.c_str());
  Iconv fromUnicode(name.c_str(), "UTF-32LE");
  if (!toUnicode.Usable() || !fromUnicode.Usable()) return false;

  // Every sequence that decodes to one character: (code point, bytes), bytes as a single byte
  // or lead << 8 | trail.
  std::vector<std::pair<uint32_t, uint32_t>> decoded;
  std::array<bool, 256> lead{};
  std::vector<uint8_t> utf32;
  for (uint32_t b = 0; b < 256; ++b) {
    const uint8_t byte = static_cast<uint8_t>(b);
    const Iconv::Outcome outcome = toUnicode.Convert(&byte, 1, utf32);
    if (outcome == Iconv::Outcome::Incomplete) {
      lead[b] = true;
    } else if (outcome == Iconv::Outcome::Done) {
      if (const auto c = SingleCodePoint(utf32)) decoded.emplace_back(*c, b);
    }
  }
  for (uint32_t b = 0; b < 0x80; ++b) {
    const bool single = std::any_of(decoded.begin(), decoded.end(), [b](const auto& d) { return d.second == b; });
    if (lead[b] || !single) return false;  // not ASCII-based: stateful, wide or with gaps
  }
  for (uint32_t first = 0x80; first < 256; ++first) {
    if (!lead[first]) continue;
    for (uint32_t second = 0; second < 256; ++second) {
      const std::array<uint8_t, 2> pair = {static_cast<uint8_t>(first), static_cast<uint8_t>(second)};
      const Iconv::Outcome outcome = toUnicode.Convert(pair.data(), pair.size(), utf32);
      if (outcome == Iconv::Outcome::Incomplete) return false;  // characters of three bytes or more
      if (outcome != Iconv::Outcome::Done) continue;
      if (const auto c = SingleCodePoint(utf32)) decoded.emplace_back(*c, first << 8 | second);
    }
  }

  // A character with several sequences keeps the one iconv writes for it (else the first).
  std::sort(decoded.begin(), decoded.end());
  bmp_.assign(0x10000, kNotHeld);
  std::vector<bool> own(decoded.size(), false);
  for (size_t i = 0; i < decoded.size();) {
    size_t end = i;
    while (end < decoded.size() && decoded[end].first == decoded[i].first) ++end;
    const uint32_t c = decoded[i].first;
    size_t chosen = i;
    if (end - i > 1) {
      const std::array<uint8_t, 4> utf32le = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                                              static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 24)};
      std::vector<uint8_t> bytes;
      if (fromUnicode.Convert(utf32le.data(), utf32le.size(), bytes) == Iconv::Outcome::Done &&
          (bytes.size() == 1 || bytes.size() == 2)) {
        const uint32_t written = bytes.size() == 1 ? bytes[0] : uint32_t{bytes[0]} << 8 | bytes[1];
        for (size_t k = i; k < end; ++k) {
          if (decoded[k].second == written) chosen = k;
        }
      }
    }
    if (c >= kPlaneEscapeBase && c <= kPlaneEscapeBase + 0xFF) return false;  // the escapes are taken
    // Only characters below 0x10000 are held; the bytes of others become escapes.
    if (c < bmp_.size() && decoded[chosen].second != kNotHeld) {
      bmp_[c] = static_cast<uint16_t>(decoded[chosen].second);
      own[chosen] = true;
    }
    i = end;
  }

  for (uint32_t b = 0; b < 256; ++b) {
    const bool c1Free = b >= 0x80 && b <= 0x9F && bmp_[b] == kNotHeld;
    escape_[b] = c1Free ? b : kPlaneEscapeBase + b;
    single_[b] = lead[b] ? kLead : escape_[b];
  }
  if (std::any_of(lead.begin(), lead.end(), [](bool l) { return l; })) pairs_.assign(0x10000, kNoChar);
  for (size_t i = 0; i < decoded.size(); ++i) {
    const auto [c, bytes] = decoded[i];
    if (bytes < 0x100) {
      if (own[i]) single_[bytes] = c;
    } else {
      pairs_[bytes] = own[i] ? c : kEscapeOfBoth;
    }
  }
  // Escapes encode back to their byte; an ASCII byte has one only when it is not its character's own.
  for (uint32_t b = 0; b < 256; ++b) {
    if (b < 0x80 && single_[b] != escape_[b]) continue;
    if (escape_[b] < bmp_.size()) {
      bmp_[escape_[b]] = static_cast<uint16_t>(b);
    } else {
      planeEscape_[b] = true;
    }
  }
  for (uint32_t b = 0; b < 0x80; ++b) asciiUnchanged_ = asciiUnchanged_ && single_[b] == b && bmp_[b] == b;
  for (uint32_t b = 0; b < 256; ++b) {
    if (single_[b] == kLead) continue;
    std::vector<uint8_t> utf8;
    AppendUtf8(single_[b], utf8);
    std::copy(utf8.begin(), utf8.end(), singleUtf8_[b].begin());
    singleUtf8Length_[b] = static_cast<uint8_t>(utf8.size());
  }
  // The filters and "?" for a missing character need these bytes as they are.
  for (const char c : std::string_view("\t\n\r ?09AZaz")) {
    const auto b = static_cast<uint8_t>(c);
    if (single_[b] != b || bmp_[b] != b) return false;
  }
  return true;
}

inline void HandheldEncoder::Put(uint32_t codePoint, uint8_t*& out) {
  if (atStart_) {
    atStart_ = false;
    if (codePoint == kByteOrderMark) {
      changed_ = true;
      return;
    }
  }
  const uint16_t bytes =
      codePoint < 0x10000 ? charset_.bmp_[codePoint] : charset_.Encode(codePoint).value_or(Charset::kNotHeld);
  // Any character beyond ASCII was more bytes in UTF-8 than it is now.
  changed_ = changed_ || codePoint >= 0x80 || bytes != codePoint;
  if (bytes == Charset::kNotHeld) {
    *out++ = '?';
  } else if (bytes < 0x100) {
    *out++ = static_cast<uint8_t>(bytes);
  } else {
    *out++ = static_cast<uint8_t>(bytes >> 8);
    *out++ = static_cast<uint8_t>(bytes & 0xFF);
  }
}

size_t HandheldEncoder::ConvertSome(const uint8_t* data, size_t size, uint8_t*& written) {
  const bool asciiUnchanged = charset_.AsciiUnchanged();
  uint8_t* out = written;  // a local pointer stays in a register
  size_t i = 0;
  while (i < size) {
    const uint8_t first = data[i];
    if (first < 0x80 && asciiUnchanged) {
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

}  // namespace zun
