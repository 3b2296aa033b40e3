#include "convert/text_bytes.h"

#include <algorithm>

#include "convert/nfc.h"
#include "convert/utf8.h"
#include "glue/paths.h"

namespace zun {
namespace {

constexpr size_t kMaxDatabaseName = 31;

std::span<const uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

Trip TripOf(const TaskRecord& task) { return task.Action == TaskAction::PcToPalm ? Trip::OneWay : Trip::BothWays; }

TextBytes ChooseDocumentBytes(Trip trip, const PcTextFacts& text) {
  if (!text.utf8) return TextBytes::AsTheyAre;
  if (trip == Trip::OneWay) return TextBytes::ThroughSet;
  if (text.missing > 0) return TextBytes::AsTheyAre;
  // Such bytes would come back as they are, not through the set.
  if (text.converted.valid && text.converted.multiByte) return TextBytes::AsTheyAre;
  return TextBytes::ThroughSet;
}

TextBytes ChoosePcBytes(const Utf8Facts& document, const std::function<std::optional<Utf8Facts>()>& pcText,
                        const std::function<bool()>& pcKeptItsBytes) {
  if (document.valid && document.multiByte) return TextBytes::AsTheyAre;
  const std::optional<Utf8Facts> pc = pcText();
  if (pc && !pc->valid) return TextBytes::AsTheyAre;
  // Through the set, the text's characters beyond ASCII would turn into others.
  if (!document.valid && pc && pc->multiByte && pcKeptItsBytes()) return TextBytes::Utf8AndSet;
  return TextBytes::ThroughSet;
}

void TextForDocument::Convert(std::span<const uint8_t> piece, std::vector<uint8_t>& out) {
  if (Settled()) return;
  // What was held back goes with the piece up to the piece's first place to cut.
  size_t start = 0;
  if (!held_.empty()) {
    while (start < piece.size() && piece[start] >= 0x80) ++start;
    held_.insert(held_.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(start));
    if (start == piece.size()) return;
    ConvertSegment(held_, out);
    held_.clear();
  }
  const std::span<const uint8_t> rest = piece.subspan(start);
  const size_t cut = LastNfcCut(rest);
  if (cut > 0) ConvertSegment(rest.first(cut), out);
  held_.assign(rest.begin() + static_cast<std::ptrdiff_t>(cut), rest.end());
}

void TextForDocument::Finish(std::vector<uint8_t>& out) {
  if (!Settled() && !held_.empty()) ConvertSegment(held_, out);
  held_.clear();
  encoder_.Finish();
  converted_.Finish();
}

// A segment composes by itself; most go to the set as they are.
void TextForDocument::ConvertSegment(std::span<const uint8_t> segment, std::vector<uint8_t>& out) {
  const size_t mark = out.size();
  HandheldEncoder asItIs = encoder_;
  asItIs.Convert(segment, out);
  if (asItIs.Valid() && asItIs.Missing() > encoder_.Missing() && asItIs.Composable() > encoder_.Composable()) {
    out.resize(mark);
    ConvertUnits(segment, out);
  } else {
    encoder_ = asItIs;
  }
  converted_.Feed(std::span<const uint8_t>(out).subspan(mark));
}

// The segment unit by unit: a character and the characters after it that composing may tie to it
// (its marks, say). What a unit is depends on the text alone, never on where it was cut. A unit is
// composed only when the set cannot hold it as it is, so characters the set holds stay as they are
// (a compatibility ideograph of CP932 or CP949, which composing would replace).
void TextForDocument::ConvertUnits(std::span<const uint8_t> segment, std::vector<uint8_t>& out) {
  size_t plain = 0;  // where the characters that go as they are, not converted yet, start
  size_t unit = 0;
  bool composableUnit = false;
  const auto endUnit = [&](size_t end) {
    if (!composableUnit) return;
    encoder_.Convert(segment.subspan(plain, unit - plain), out);
    ConvertUnit(segment.subspan(unit, end - unit), out);
    plain = end;
  };
  for (size_t at = 0; at < segment.size();) {
    uint32_t c = 0;
    const int length = DecodeUtf8(segment.data() + at, segment.size() - at, c);
    if (length <= 0) break;  // cut off at the end of the text: it goes as it is
    if (at > unit && !BindsToThePrevious(c)) {
      endUnit(at);
      unit = at;
      composableUnit = false;
    }
    composableUnit = composableUnit || MayChangeUnderNfc(c);
    at += static_cast<size_t>(length);
  }
  endUnit(segment.size());
  encoder_.Convert(segment.subspan(plain), out);
}

void TextForDocument::ConvertUnit(std::span<const uint8_t> unit, std::vector<uint8_t>& out) {
  const size_t mark = out.size();
  HandheldEncoder asItIs = encoder_;
  asItIs.Convert(unit, out);
  if (asItIs.Missing() == encoder_.Missing()) {
    encoder_ = asItIs;
    return;
  }
  out.resize(mark);
  const std::optional<std::vector<uint8_t>> composed = ComposeNfc(unit);
  if (!composed) {
    composeFailed_ = true;
    return;
  }
  composedChanged_ = composedChanged_ || !std::equal(unit.begin(), unit.end(), composed->begin(), composed->end());
  encoder_.Convert(*composed, out);
}

bool TextForDocument::Settled() const {
  const PcTextFacts facts = Facts();
  return !facts.utf8 || (trip_ == Trip::BothWays && facts.missing > 0);
}

PcTextFacts TextForDocument::Facts() const {
  return {encoder_.Valid() && !composeFailed_, encoder_.Missing(), converted_.Facts()};
}

std::string PcTextAsDocument(std::string_view pcText, const Charset* set, Trip trip) {
  if (set == nullptr) return std::string(pcText);
  TextForDocument maker(*set, trip);
  std::vector<uint8_t> out;
  maker.Convert(BytesOf(pcText), out);
  maker.Finish(out);
  return maker.Choice() == TextBytes::ThroughSet ? std::string(out.begin(), out.end()) : std::string(pcText);
}

std::string DocumentTextAsPc(std::string_view documentText, const Charset* set,
                             std::optional<std::string_view> pcText) {
  if (set == nullptr) return std::string(documentText);
  const auto pcFacts = [&]() -> std::optional<Utf8Facts> {
    if (!pcText) return std::nullopt;
    return ScanUtf8(BytesOf(*pcText));
  };
  const auto keptItsBytes = [&] { return PcTextAsDocument(*pcText, set, Trip::BothWays) == *pcText; };
  const TextBytes choice = ChoosePcBytes(ScanUtf8(BytesOf(documentText)), pcFacts, keptItsBytes);
  if (choice == TextBytes::AsTheyAre) return std::string(documentText);
  std::vector<uint8_t> out;
  const auto decode = [&](auto decoder) {
    decoder.Convert(BytesOf(documentText), out);
    decoder.Finish(out);
  };
  if (choice == TextBytes::Utf8AndSet) {
    decode(Utf8AndSetDecoder(*set));
  } else {
    decode(HandheldDecoder(*set));
  }
  return std::string(out.begin(), out.end());
}

std::string DatabaseName(std::string_view stem, const Charset* set) {
  if (set != nullptr) {
    TextForDocument maker(*set, Trip::BothWays);
    std::vector<uint8_t> name;
    maker.Convert(BytesOf(stem), name);
    maker.Finish(name);
    if (maker.Choice() == TextBytes::ThroughSet) {
      size_t end = 0;
      while (end < name.size()) {
        const size_t next = end + (set->IsLeadByte(name[end]) ? 2 : 1);
        if (next > kMaxDatabaseName) break;
        end = next;
      }
      return std::string(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(std::min(end, name.size())));
    }
  }
  return CutAtCharacterBoundary(stem, kMaxDatabaseName);
}

}  // namespace zun
