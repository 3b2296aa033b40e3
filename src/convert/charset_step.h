// The option "UTF-8 Text" in the conversions: the PC side is UTF-8, the document holds the
// handheld's character set (ConversionEnv::handheldCharset).
#pragma once
#include <span>
#include <string>
#include <vector>

#include "convert/charset.h"
#include "convert/conversion_env.h"
#include "glue/byte_file.h"
#include "record/task_record.h"

namespace zun {

// The set a task's conversion uses; nullptr when its option "UTF-8 Text" is off or no set is
// named. Throws FileError when the named set cannot be used.
const Charset* TaskCharset(const TaskRecord& task, const ConversionEnv& env);

// The PC text for the document: with a set and a text that is valid UTF-8, the text in that set,
// in a private temporary file in the program folder that vanishes with it; else `pcText` itself
// (bytes as they are, also when converting would change nothing). Throws FileError when the copy
// cannot be written or the PC text changed while it was read.
ByteFile HandheldText(ByteFile pcText, const TaskRecord& task, ConversionEnv& env);

// Where a document's text goes: into the file as it is, or through the set into UTF-8.
class DocumentTextOut {
 public:
  DocumentTextOut(ByteFile& file, const Charset* charset);
  void Append(std::span<const uint8_t> text);
  // Room for `count` bytes of text at the end, to be filled before the next call.
  std::span<uint8_t> AppendRoom(size_t count);
  // Writes what is still held back; call once after the last text.
  void Finish();

 private:
  void TakeRoom();

  ByteFile& file_;
  const Charset* charset_;
  std::optional<HandheldDecoder> decoder_;
  std::vector<uint8_t> room_;
  bool roomPending_ = false;
  std::vector<uint8_t> utf8_;
};

}  // namespace zun
