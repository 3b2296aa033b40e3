// "UTF-8 Text": round trips of every set's documents and texts, invalid UTF-8, real texts in the
// handheld's sets, both-ways round trips that keep every text, the names of documents, which
// bytes each side would hold, J-Pilot's char_set.
#include "convert/charset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <tuple>

#include "convert/conversion_fixture.h"
#include "convert/text_bytes.h"
#include "glue/file_system.h"

using zun::TaskAction;
using zuntest::AsBytes;
using zuntest::Bytes;
using zuntest::Hex;

namespace {

// Converts in pieces of random sizes, so that characters straddle pieces.
template <typename Converter>
Bytes InPieces(Converter& converter, const Bytes& in, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes out;
  for (size_t at = 0, size = 0; at < in.size(); at += size) {
    size = std::min(in.size() - at, size_t{1} + random() % (random() % 2 ? 5 : 3000));
    converter.Convert(std::span<const uint8_t>(in.data() + at, size), out);
  }
  return out;
}
Bytes ToUtf8(const zun::Charset& set, const Bytes& text, uint32_t seed = 1) {
  zun::HandheldDecoder decoder(set);
  Bytes out = InPieces(decoder, text, seed);
  decoder.Finish(out);
  return out;
}
// The text as the document holds it; nothing when it keeps its own bytes (one way: when it is not
// valid UTF-8).
std::optional<Bytes> ToHandheld(const zun::Charset& set, const Bytes& utf8, uint32_t seed = 1,
                                zun::Trip trip = zun::Trip::OneWay) {
  zun::TextForDocument maker(set, trip);
  Bytes out = InPieces(maker, utf8, seed);
  maker.Finish(out);
  return maker.Choice() == zun::TextBytes::ThroughSet ? std::optional(out) : std::nullopt;
}

TEST(Charset, EveryDocumentAndEveryTextTheSetHoldsSurviveARoundTripAndNoOtherTextIsTaken) {
  Bytes document;  // every byte, every pair (also broken ones), then random bytes, a lead byte last
  for (uint32_t b = 0; b < 0x10000; ++b)
    document.insert(document.end(), {static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b)});
  const Bytes noise = zuntest::RandomBytes(100000, 7);
  document.insert(document.end(), noise.begin(), noise.end());
  document.push_back(0x81);
  for (const char* name : {"WINDOWS-1250", "WINDOWS-1251", "WINDOWS-1252", "WINDOWS-1253", "WINDOWS-1255", "KOI8-R",
                           "ISO-8859-2", "CP932", "BIG5", "GBK", "CP949"}) {
    SCOPED_TRACE(name);
    const zun::Charset* set = zun::Charset::Find(name);
    ASSERT_NE(set, nullptr);
    for (uint32_t seed : {1u, 2u}) {
      // Both ways: every character of the text comes back as it was, so the set takes it.
      const std::optional<Bytes> back = ToHandheld(*set, ToUtf8(*set, document, seed), seed + 10, zun::Trip::BothWays);
      ASSERT_TRUE(back.has_value());
      ASSERT_TRUE(*back == document);
    }
    std::vector<uint32_t> held;
    for (uint32_t c = 0; c < 0x10000; ++c) {
      if ((c < 0x80 || c > 0x9F) && set->Encode(c)) held.push_back(c);  // C1: escapes, not characters
    }
    EXPECT_GT(held.size(), set->IsLeadByte(0x81) || set->IsLeadByte(0xA4) ? 7000u : 220u);
    std::mt19937 random(3);
    Bytes text;
    for (int i = 0; i < 30000; ++i) zun::AppendUtf8(held[random() % held.size()], text);
    const std::optional<Bytes> stored = ToHandheld(*set, text, 1, zun::Trip::BothWays);
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(ToUtf8(*set, *stored, 5) == text);
  }
  const zun::Charset& western = *zun::Charset::Find("windows-1252");
  EXPECT_EQ(ToUtf8(western, {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x80}), AsBytes("\u0081\u008D\u008F\u0090\u009D€"))
      << "bytes Windows-1252 leaves undefined are C1 controls";
  EXPECT_EQ(ToHandheld(western, AsBytes("\uFEFFa Ж π 日 \U0001F600 \U0010FF41")), AsBytes("a ? ? ? ? ?"))
      << "a byte order mark is dropped; what the set cannot hold becomes \"?\"";
  for (const char* invalid : {"caf\xE9", "\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "a\xE2\x82"}) {
    EXPECT_FALSE(ToHandheld(western, AsBytes(invalid)).has_value()) << invalid;
  }
  for (const char* unusable : {"UTF-8", "UTF-16", "EUC-JP", "ISO-2022-JP", "IBM037", "no-such-set", ""}) {
    EXPECT_EQ(zun::Charset::Find(unusable), nullptr) << unusable;
  }
}

// Samples of J-Pilot's numbering, from either end and of each kind of set; unknown numbers and none
// are Windows-1252.
TEST(Charset, JPilotsCharSetNamesTheHandheldsSet) {
  EXPECT_EQ(zun::HandheldCharsetFor(std::nullopt), "WINDOWS-1252");
  for (const auto& [number, set] : {std::pair{0, "WINDOWS-1252"},
                                    {1, "CP932"},
                                    {3, "KOI8-R"},
                                    {10, "ISO-8859-2"},
                                    {13, "GBK"},
                                    {15, "WINDOWS-1255"},
                                    {17, "CP949"},
                                    {18, "WINDOWS-1252"}}) {
    EXPECT_EQ(zun::HandheldCharsetFor(number), set) << number;
  }
  EXPECT_EQ(zun::CharsetDisplayName("CP932"), "Shift_JIS");
  EXPECT_EQ(zun::CharsetDisplayName("windows-1251"), "Windows-1251");
}

struct RealText {
  const char* set;
  const char* text;
  const char* hex;  // the text in the set
};

const RealText kRealTexts[] = {
    {"WINDOWS-1252", "L’été, Cécile a payé 20 € pour « Le Cœur ».",
     "4c92e974e92c2043e963696c65206120706179e9203230208020706f757220ab204c6520439c757220bb2e"},
    {"WINDOWS-1252", "Die Größe ärgert Jürgen – „wirklich“.",
     "446965204772f6df6520e47267657274204afc7267656e209620847769726b6c696368932e"},
    {"WINDOWS-1251", "Съешь же ещё этих булок, да выпей чаю.",
     "d1fae5f8fc20e6e520e5f9b820fdf2e8f520e1f3ebeeea2c20e4e020e2fbefe5e920f7e0fe2e"},
    {"KOI8-R", "Съешь же ещё этих булок, да выпей чаю.",
     "f3dfc5dbd820d6c520c5dda320dcd4c9c820c2d5cccfcb2c20c4c120d7d9d0c5ca20dec1c02e"},
    {"WINDOWS-1253", "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία.",
     "cee5f3eae5f0dce6f920f4e7ed20f8f5f7eff6e8fcf1e120e2e4e5ebf5e3ecdfe12e"},
    {"CP932", "いろはにほへと　日本語のテキスト①、C:\\ｱｲｳ",
     "82a282eb82cd82c982d982d682c6814093fa967b8cea82cc8365834c8358836787408141433a5cb1b2b3"},
};

class Utf8Text : public zuntest::ConversionTest {
 protected:
  // A conversion with "UTF-8 Text" on, or off, and "Raw!" as given.
  std::string Convert(TaskAction action, bool on = true, bool raw = false) {
    return Status(Task(action, {{zun::kOptUtf8Text, on}, {zun::kOptRaw, raw}}));
  }
  // The document changes on the handheld's side and nothing else: its header's modification date
  // (a reader that saves its place changes no more), and its time.
  void TouchDocument() {
    Bytes bytes = zuntest::ReadBytes(document);
    ++bytes[43];
    zuntest::WriteBytes(document, bytes);
    zuntest::SetModificationTime(document, *zun::ModificationTime(text) + 60);
  }
  std::string StoredName(const std::string& path) { return reinterpret_cast<char*>(zuntest::ReadBytes(path).data()); }
};

// The text goes to the document, the document changes, and the text comes back byte for byte;
// only a text the set holds entirely is in the set on the handheld. What the handheld adds comes
// back too, without changing what it did not touch.
TEST_F(Utf8Text, ABothWaysRoundTripKeepsEveryText) {
  const std::pair<std::string, std::string> cases[] = {
      // the text, the document's bytes ("": the same)
      {"L’été à Zoë: 20 €\n", "L\x92\xE9t\xE9 \xE0 Zo\xEB: 20 \x80\n"},
      {"Съешь ещё, 日本語 and 😀\n", ""},
      {"Latin-1: caf\xE9 cr\xE8me\n", ""},
      {"Caf\xC3\xA9 and one stray \xFF byte\n", ""},
      {"\uFEFFA byte order mark, caf\xC3\xA9\n", ""},
      // The first invalid byte far past the first pieces read: the document is never cut short.
      {"\xC3\xA9" + std::string(200000, 'a') + "\xFF\n", ""},
  };
  for (const auto& [utf8, stored] : cases) {
    SCOPED_TRACE(utf8.substr(0, 40));
    zuntest::WriteText(text, utf8);
    std::remove(document.c_str());
    zun::TaskRecord task = Run(Task(TaskAction::BothWays, {{zun::kOptUtf8Text, true}}));
    ASSERT_EQ(task.Status.Trimmed(), "OK");
    EXPECT_TRUE(DocumentBytes() == AsBytes(stored.empty() ? utf8 : stored));
    TouchDocument();
    task = Run(task);
    ASSERT_EQ(task.Status.Trimmed(), "OK");
    EXPECT_TRUE(zuntest::ReadText(text) == utf8);
    if (!zun::ScanUtf8(AsBytes(utf8)).valid) {
      ASSERT_EQ(Convert(TaskAction::PcToPalm), "OK");
      EXPECT_TRUE(DocumentBytes() == AsBytes(utf8)) << "one way, too, not UTF-8 means bytes as they are";
    }
    // In the file's own encoding.
    HandheldWrites(zuntest::DecodedText(document) + " \xFC\n");
    zuntest::SetModificationTime(document, *zun::ModificationTime(text) + 120);
    task = Run(task);
    ASSERT_EQ(task.Status.Trimmed(), "OK");
    EXPECT_EQ(zuntest::ReadText(text), utf8 + (zun::ScanUtf8(AsBytes(utf8)).valid ? " \u00FC\n" : " \xFC\n"));
  }
  zuntest::WriteText(text, "Ж, Cafe\xCC\x81\n");  // "e" and a combining acute: composed to "é"
  ASSERT_EQ(Convert(TaskAction::PcToPalm), "OK");
  EXPECT_EQ(DocumentBytes(), AsBytes("?, Caf\xE9\n")) << "one way: \"?\" for what the set lacks";
}

// The document's file name without its last extension, 31 bytes at most.
TEST_F(Utf8Text, TheDatabaseNameIsInTheSetWhereTheSetHoldsIt) {
  zuntest::WriteText(text, "x");
  for (const auto& [file, on, name] : std::vector<std::tuple<std::string, bool, std::string>>{
           {"my.notes.v2", false, "my.notes.v2"},
           {std::string(40, 'L'), false, std::string(31, 'L')},
           {"R\xC3\xA9sum\xC3\xA9", true, "R\xE9sum\xE9"},
           {"Re\xCC\x81sume\xCC\x81", true, "R\xE9sum\xE9"},
           {"R\xC3\xA9sum\xC3\xA9", false, "R\xC3\xA9sum\xC3\xA9"},
           {"\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C", true, "\xD0\x96\xD0\xB8\xD0\xB7\xD0\xBD\xD1\x8C"},
           {std::string(30, 'a') + "\xC3\xA9\xC3\xA9", true, std::string(30, 'a') + "\xE9"},
           {std::string(30, 'a') + "\xD0\x96", true, std::string(30, 'a')}}) {
    const std::string path = s.files / (file + ".pdb");
    zun::TaskRecord task = Task(TaskAction::PcToPalm, {{zun::kOptUtf8Text, on}});
    task.PalmFile = path;
    ASSERT_EQ(Status(task), "OK");
    EXPECT_EQ(StoredName(path), name) << file;
  }
  const zun::Charset* japanese = zun::Charset::Find("CP932");
  EXPECT_EQ(zun::DatabaseName(std::string(30, 'a') + "日", japanese), std::string(30, 'a')) << "no pair split";
}

// What the conversions would make of a text, for anyone who needs the other side's form of it.
TEST(TextBytes, WhatEachSideWouldHold) {
  using zun::Trip;
  const zun::Charset* western = zun::Charset::Find("WINDOWS-1252");
  const zun::Charset* japanese = zun::Charset::Find("CP932");
  const zun::Charset* korean = zun::Charset::Find("CP949");
  EXPECT_EQ(zun::PcTextAsDocument("\u00C3\u00A9", western, Trip::BothWays), "\u00C3\u00A9")
      << "in the set it would be C3 A9, which comes back as UTF-8";
  EXPECT_EQ(zun::PcTextAsDocument("\u0081", zun::Charset::Find("WINDOWS-1251"), Trip::BothWays), "\u0081")
      << "its escape, 0x81, would come back as \"Ѓ\"";
  EXPECT_EQ(zun::PcTextAsDocument("\u0081\n", japanese, Trip::BothWays), "\x81\n") << "an escaped lead byte";
  EXPECT_EQ(zun::PcTextAsDocument("\u0081A", japanese, Trip::BothWays), "\u0081A") << "it would pair with \"A\"";
  // Conjoining jamo the set holds only composed, then a compatibility ideograph it holds as it is.
  const std::string hangul = zun::PcTextAsDocument("\u1100\u1161\uF900", korean, Trip::BothWays);
  EXPECT_EQ(zun::DocumentTextAsPc(hangul, korean, std::nullopt), "\uAC00\uF900");
  EXPECT_EQ(zun::DocumentTextAsPc("😀 \x93\xFA\x93\xC3\xA9", japanese, "😀"), "😀 \u65E5\u79BF\uFF69")
      << "a pair of the set first";
}

TEST_F(Utf8Text, RealTextsReachTheHandheldInItsSetAndComeBack) {
  for (const RealText& real : kRealTexts) {
    SCOPED_TRACE(real.set);
    handheldCharset = real.set;
    // Long enough for several records, shifted so that a two-byte character straddles two.
    std::string utf8 = "x";
    while (utf8.size() < 12000) utf8 += std::string(real.text) + "\n";
    zuntest::WriteText(text, utf8);
    ASSERT_EQ(Convert(TaskAction::PcToPalm, true, true), "OK") << "\"Raw!\": the copy is converted all the same";
    const Bytes stored = DocumentBytes();
    const Bytes line = Hex(real.hex);
    std::string expected = "x";
    while (expected.size() < stored.size()) expected += std::string(line.begin(), line.end()) + "\n";
    ASSERT_TRUE(stored == zuntest::AsBytes(expected));
    ASSERT_EQ(Convert(TaskAction::PalmToPc), "OK");
    EXPECT_EQ(zuntest::ReadText(text), utf8);
  }
  // The first character to change comes late, cut by the boundary of the pieces read (64 KiB).
  handheldCharset = "WINDOWS-1252";
  const std::string ascii(65535, 'a');
  zuntest::WriteText(text, ascii + "é" + ascii + "€");
  ASSERT_EQ(Convert(TaskAction::PcToPalm, true, true), "OK");
  EXPECT_TRUE(DocumentBytes() == AsBytes(ascii + "\xE9" + ascii + "\x80"));
}

}  // namespace
