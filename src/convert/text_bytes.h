// Which bytes a text takes on the other side with the option "UTF-8 Text": the characters in the
// other side's form, or its own bytes unchanged. The rule: a round trip through the handheld
// never changes a character that neither side changed. The conversions and anything else that
// needs "the text as the other side would hold it" decide here.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/charset.h"
#include "convert/utf8.h"
#include "record/task_record.h"

namespace zun {

// Whether what goes to the document may come back: a both-ways task's text does; a one-way
// task's (and the clipboard's) does not.
enum class Trip { OneWay, BothWays };
Trip TripOf(const TaskRecord& task);

// Utf8AndSet, on the way back only: the document holds the PC text's own UTF-8 and what the
// handheld added in its set (Utf8AndSetDecoder).
enum class TextBytes { AsTheyAre, ThroughSet, Utf8AndSet };

// What converting a PC text for the handheld found.
struct PcTextFacts {
  bool utf8 = true;     // the text is valid UTF-8
  size_t missing = 0;   // characters that would not come back as they were (TextForDocument)
  Utf8Facts converted;  // the converted bytes, read as UTF-8
};

// Text to document. A text that is not UTF-8 keeps its bytes. A one-way text goes through the set
// ("?" for what it cannot hold). A both-ways text goes through the set only when every character
// comes back as it was, and when its bytes in the set would not read back as UTF-8 text (which
// comes back unchanged); otherwise it keeps its bytes (readers that read UTF-8 show them right).
TextBytes ChooseDocumentBytes(Trip trip, const PcTextFacts& text);

// Document to text. A document that is UTF-8 with a character beyond ASCII is UTF-8 text already
// and keeps its bytes, and so does one whose PC file exists and is not UTF-8 (the file keeps its
// encoding). A document that is not UTF-8 whose PC file's text went to it as its own bytes (see
// ChooseDocumentBytes) was edited on the handheld: Utf8AndSet. Any other document goes through the
// set into UTF-8. `pcText` gives the facts of the existing PC file (nothing when there is none),
// `pcKeptItsBytes` whether its text goes to the document as its own bytes; each is asked only when
// the choice depends on it.
TextBytes ChoosePcBytes(const Utf8Facts& document, const std::function<std::optional<Utf8Facts>()>& pcText,
                        const std::function<bool()>& pcKeptItsBytes);

// A PC text for the document, piece by piece: composed (NFC) where composing lets the set hold
// it, then in the set, "?" for characters it cannot hold. Pieces may cut characters anywhere;
// the result is the same however the text was cut.
class TextForDocument {
 public:
  TextForDocument(const Charset& set, Trip trip) : encoder_(set), trip_(trip) {}
  void Convert(std::span<const uint8_t> piece, std::vector<uint8_t>& out);
  void Finish(std::vector<uint8_t>& out);
  // Whether the text keeps its bytes whatever follows (nothing more is converted then).
  bool Settled() const;
  // Whether the output differs from the input so far.
  bool Changed() const { return composedChanged_ || encoder_.Changed(); }
  PcTextFacts Facts() const;
  TextBytes Choice() const { return ChooseDocumentBytes(trip_, Facts()); }

 private:
  void ConvertSegment(std::span<const uint8_t> segment, std::vector<uint8_t>& out);
  void ConvertUnits(std::span<const uint8_t> segment, std::vector<uint8_t>& out);
  void ConvertUnit(std::span<const uint8_t> unit, std::vector<uint8_t>& out);

  HandheldEncoder encoder_;
  Trip trip_;
  std::vector<uint8_t> held_;  // the text from the last place it may be cut
  bool composeFailed_ = false;
  bool composedChanged_ = false;
  Utf8Scanner converted_;
};

// The same on whole texts in memory. `set` nothing: the option is off, the bytes stay.
// The PC text as the document would hold it.
std::string PcTextAsDocument(std::string_view pcText, const Charset* set, Trip trip);
// The document's text as the PC would hold it; `pcText`: the PC file's text, nothing when there
// is no PC file.
std::string DocumentTextAsPc(std::string_view documentText, const Charset* set, std::optional<std::string_view> pcText);

// The database name for a document file's name less its extension: its characters in the set
// when they all come back from it, cut to 31 bytes without splitting a character of the set;
// otherwise its own bytes, cut without splitting a UTF-8 character.
std::string DatabaseName(std::string_view stem, const Charset* set);

}  // namespace zun
