// The tables of a set, made once from glibc's iconv; J-Pilot's set numbers and the sets' names.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

#include "convert/charset.h"

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
    // iconv's own failure value.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return cd_ != reinterpret_cast<iconv_t>(-1);
  }

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

// A sequence of the set that decodes to one character: bytes as a single byte or lead << 8 | trail.
struct Sequence {
  uint32_t codePoint;
  uint32_t bytes;
  // clang-tidy 14 takes the defaulted comparison's 0 for a null pointer.
  // NOLINTNEXTLINE(modernize-use-nullptr)
  auto operator<=>(const Sequence&) const = default;
};

// Every sequence of one or two bytes that decodes to one character, and the lead bytes; nothing
// when the set is not ASCII-based (stateful, wide, with gaps) or has characters of three bytes.
struct SetSequences {
  std::vector<Sequence> decoded;
  std::array<bool, 256> lead{};
};

std::optional<SetSequences> ReadSequences(Iconv& toUnicode) {
  SetSequences set;
  std::vector<uint8_t> utf32;
  for (uint32_t b = 0; b < 256; ++b) {
    const uint8_t byte = static_cast<uint8_t>(b);
    const Iconv::Outcome outcome = toUnicode.Convert(&byte, 1, utf32);
    if (outcome == Iconv::Outcome::Incomplete) {
      set.lead[b] = true;
    } else if (outcome == Iconv::Outcome::Done) {
      if (const auto c = SingleCodePoint(utf32)) set.decoded.push_back({*c, b});
    }
  }
  for (uint32_t b = 0; b < 0x80; ++b) {
    const bool single =
        std::any_of(set.decoded.begin(), set.decoded.end(), [b](const Sequence& d) { return d.bytes == b; });
    if (set.lead[b] || !single) return std::nullopt;
  }
  for (uint32_t first = 0x80; first < 256; ++first) {
    if (!set.lead[first]) continue;
    for (uint32_t second = 0; second < 256; ++second) {
      const std::array<uint8_t, 2> pair = {static_cast<uint8_t>(first), static_cast<uint8_t>(second)};
      const Iconv::Outcome outcome = toUnicode.Convert(pair.data(), pair.size(), utf32);
      if (outcome == Iconv::Outcome::Incomplete) return std::nullopt;
      if (outcome != Iconv::Outcome::Done) continue;
      if (const auto c = SingleCodePoint(utf32)) set.decoded.push_back({*c, first << 8 | second});
    }
  }
  std::sort(set.decoded.begin(), set.decoded.end());
  return set;
}

// Of the sequences [begin, end) of one character, the one iconv writes for it (else the first).
size_t OwnSequence(Iconv& fromUnicode, const std::vector<Sequence>& decoded, size_t begin, size_t end) {
  if (end - begin == 1) return begin;
  const uint32_t c = decoded[begin].codePoint;
  const std::array<uint8_t, 4> utf32le = {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                                          static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 24)};
  std::vector<uint8_t> bytes;
  if (fromUnicode.Convert(utf32le.data(), utf32le.size(), bytes) != Iconv::Outcome::Done ||
      (bytes.size() != 1 && bytes.size() != 2)) {
    return begin;
  }
  const uint32_t written = bytes.size() == 1 ? bytes[0] : uint32_t{bytes[0]} << 8 | bytes[1];
  for (size_t k = begin; k < end; ++k) {
    if (decoded[k].bytes == written) return k;
  }
  return begin;
}

}  // namespace

// Fills a Charset's tables from its sequences.
struct CharsetBuilder {
  Charset& set;

  // The characters the set holds (below U+10000) with their own sequences; false when the set
  // claims an escape character for itself.
  bool TakeCharacters(const SetSequences& sequences, Iconv& fromUnicode, std::vector<bool>& own) {
    const std::vector<Sequence>& decoded = sequences.decoded;
    set.bmp_.assign(0x10000, Charset::kNotHeld);
    own.assign(decoded.size(), false);
    for (size_t i = 0; i < decoded.size();) {
      size_t end = i;
      while (end < decoded.size() && decoded[end].codePoint == decoded[i].codePoint) ++end;
      const uint32_t c = decoded[i].codePoint;
      if (c >= kPlaneEscapeBase && c <= kPlaneEscapeBase + 0xFF) return false;
      const size_t chosen = OwnSequence(fromUnicode, decoded, i, end);
      // Only characters below 0x10000 are held; the bytes of others become escapes.
      if (c < set.bmp_.size() && decoded[chosen].bytes != Charset::kNotHeld) {
        set.bmp_[c] = static_cast<uint16_t>(decoded[chosen].bytes);
        own[chosen] = true;
      }
      i = end;
    }
    return true;
  }

  // What each byte and pair decodes to; the escapes.
  void TakeBytes(const SetSequences& sequences, const std::vector<bool>& own) {
    for (uint32_t b = 0; b < 256; ++b) {
      const bool c1Free = b >= 0x80 && b <= 0x9F && set.bmp_[b] == Charset::kNotHeld;
      set.escape_[b] = c1Free ? b : kPlaneEscapeBase + b;
      set.single_[b] = sequences.lead[b] ? Charset::kLead : set.escape_[b];
    }
    if (std::find(sequences.lead.begin(), sequences.lead.end(), true) != sequences.lead.end()) {
      set.pairs_.assign(0x10000, Charset::kNoChar);
    }
    for (size_t i = 0; i < sequences.decoded.size(); ++i) {
      const auto [c, bytes] = sequences.decoded[i];
      if (bytes < 0x100) {
        if (own[i]) set.single_[bytes] = c;
      } else {
        set.pairs_[bytes] = own[i] ? c : Charset::kEscapeOfBoth;
      }
    }
    // Escapes encode back to their byte; an ASCII byte has one only when it is not its character's own.
    for (uint32_t b = 0; b < 256; ++b) {
      if (b < 0x80 && set.single_[b] != set.escape_[b]) continue;
      if (set.escape_[b] < set.bmp_.size()) {
        set.bmp_[set.escape_[b]] = static_cast<uint16_t>(b);
      } else {
        set.planeEscape_[b] = true;
      }
    }
  }

  // The UTF-8 of every single byte; whether ASCII and the bytes the filters and "?" need stay.
  bool Finish() {
    for (uint32_t b = 0; b < 0x80; ++b) {
      set.asciiUnchanged_ = set.asciiUnchanged_ && set.single_[b] == b && set.bmp_[b] == b;
    }
    for (uint32_t b = 0; b < 256; ++b) {
      if (set.single_[b] == Charset::kLead) continue;
      std::vector<uint8_t> utf8;
      AppendUtf8(set.single_[b], utf8);
      std::copy(utf8.begin(), utf8.end(), set.singleUtf8_[b].begin());
      set.singleUtf8Length_[b] = static_cast<uint8_t>(utf8.size());
    }
    for (const char c : std::string_view("\t\n\r ?09AZaz")) {
      const auto b = static_cast<uint8_t>(c);
      if (set.single_[b] != b || set.bmp_[b] != b) return false;
    }
    return true;
  }

  bool Build(const std::string& name) {
    Iconv toUnicode("UTF-32LE", name.c_str());
    Iconv fromUnicode(name.c_str(), "UTF-32LE");
    if (!toUnicode.Usable() || !fromUnicode.Usable()) return false;
    const std::optional<SetSequences> sequences = ReadSequences(toUnicode);
    std::vector<bool> own;
    if (!sequences || !TakeCharacters(*sequences, fromUnicode, own)) return false;
    TakeBytes(*sequences, own);
    return Finish();
  }
};

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

const Charset* Charset::Find(const std::string& name) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<Charset>> made;  // nullptr: not usable
  const std::lock_guard lock(mutex);
  const std::string key = Upper(name);
  auto found = made.find(key);
  if (found == made.end()) {
    std::unique_ptr<Charset> charset(new Charset);
    if (key.empty() || !CharsetBuilder{*charset}.Build(key)) charset.reset();
    found = made.emplace(key, std::move(charset)).first;
  }
  return found->second.get();
}

}  // namespace zun
