// The option "UTF-8 Text" in the conversions: the PC side is UTF-8, the document holds the
// handheld's character set (ConversionEnv::handheldCharset) where a round trip keeps every
// character (see text_bytes.h for which bytes go where).
#pragma once
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/charset.h"
#include "convert/conversion_env.h"
#include "convert/text_bytes.h"
#include "convert/utf8.h"
#include "glue/byte_file.h"
#include "record/task_record.h"

namespace zun {

// The set a task's conversion uses; nullptr when its option "UTF-8 Text" is off or no set is
// named. Throws FileError when the named set cannot be used.
const Charset* TaskCharset(const TaskRecord& task, const ConversionEnv& env);

// The PC text for the document: with a set, the text as the document holds it (in the set, in a
// private temporary file in the program folder that vanishes with it) when the choice is the set
// and that changes a byte; else `pcText` itself. Throws FileError when the copy cannot be written
// or the PC text changed while it was read.
ByteFile HandheldText(ByteFile pcText, const TaskRecord& task, ConversionEnv& env);

// The facts of the PC file's bytes as UTF-8; nothing when there is no readable PC file.
std::optional<Utf8Facts> PcFileFacts(const std::string& pcFile, ConversionEnv& env);
// Whether the PC file's text goes to a both-ways task's document as its own bytes; false when
// there is no readable PC file.
bool PcFileKeepsItsBytes(const std::string& pcFile, const Charset& charset, ConversionEnv& env);

// Where a document's text goes: into the file as it is (no set), or into UTF-8 as `bytes` says.
class DocumentTextOut {
 public:
  DocumentTextOut(ByteFile& file, const Charset* charset, TextBytes bytes = TextBytes::ThroughSet);
  void Append(std::span<const uint8_t> text);
  // Room for `count` bytes of text at the end, to be filled before the next call.
  std::span<uint8_t> AppendRoom(size_t count);
  // Writes what is still held back; call once after the last text.
  void Finish();
  bool Settled() const { return false; }  // takes all of the text

 private:
  void TakeRoom();

  ByteFile& file_;
  const Charset* charset_;
  std::optional<HandheldDecoder> decoder_;
  std::optional<Utf8AndSetDecoder> mixedDecoder_;
  std::vector<uint8_t> room_;
  bool roomPending_ = false;
  std::vector<uint8_t> utf8_;
};

// Takes a document's text like DocumentTextOut, only to learn its facts as UTF-8.
class DocumentTextScan {
 public:
  void Append(std::span<const uint8_t> text) {
    TakeRoom();
    scanner_.Feed(text);
  }
  std::span<uint8_t> AppendRoom(size_t count);
  void Finish();
  // Once the facts cannot change any more, the rest of the text is not needed.
  bool Settled() const { return scanner_.Settled(); }
  const Utf8Facts& Facts() const { return scanner_.Facts(); }

 private:
  void TakeRoom();

  Utf8Scanner scanner_;
  std::vector<uint8_t> room_;
  bool roomPending_ = false;
};

}  // namespace zun
