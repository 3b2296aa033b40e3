#include "convert/charset_step.h"

#include <algorithm>
#include <optional>

#include "glue/file_system.h"

namespace zun {
namespace {

constexpr size_t kPiece = 1 << 16;

}  // namespace

const Charset* TaskCharset(const TaskRecord& task, const ConversionEnv& env) {
  if (!IsEntryChecked(task.Options, kOptUtf8Text) || env.handheldCharset.empty()) return nullptr;
  const Charset* charset = Charset::Find(env.handheldCharset);
  if (charset == nullptr) throw FileError("unusable character set " + env.handheldCharset);
  return charset;
}

std::string HandheldTextFile(const std::string& pcFile, const std::string& convertedPath, const TaskRecord& task,
                             ConversionEnv& env) {
  const Charset* charset = TaskCharset(task, env);
  if (charset == nullptr) return pcFile;
  const ByteFile source = ByteFile::OpenForReading(pcFile);
  const int64_t length = source.Length();
  HandheldEncoder encoder(*charset);
  // Nothing is written while the text stays as it is (plain ASCII): until then the converted text
  // is the start of the PC text, copied once a character changes.
  std::optional<ByteFile> target;
  int64_t unchanged = 0;
  std::vector<uint8_t> converted;
  for (int64_t start = 0; start < length && encoder.Valid(); start += kPiece) {
    const size_t size = static_cast<size_t>(std::min<int64_t>(kPiece, length - start));
    converted.clear();
    encoder.Convert(source.View(start, size), converted);
    if (!target && encoder.Valid() && encoder.Changed()) {
      target = ByteFile::CreateForWriting(convertedPath);
      for (int64_t at = 0; at < unchanged; at += kPiece) {
        target->Append(source.View(at, static_cast<size_t>(std::min<int64_t>(kPiece, unchanged - at))));
      }
    }
    if (target) {
      target->Append(converted);
    } else {
      unchanged += static_cast<int64_t>(converted.size());
    }
    env.host.LetEventsRun();
  }
  encoder.Finish();
  if (source.ChangedSinceOpening()) throw FileError("the text changed while it was read");
  if (!target) return pcFile;
  target->Close();
  if (encoder.Valid()) return convertedPath;
  RemoveFile(convertedPath);
  return pcFile;
}

DocumentTextOut::DocumentTextOut(ByteFile& file, const Charset* charset) : file_(file), charset_(charset) {
  if (charset_ != nullptr) decoder_.emplace(*charset_);
}

void DocumentTextOut::TakeRoom() {
  if (!roomPending_) return;
  roomPending_ = false;
  Append(room_);
}

void DocumentTextOut::Append(std::span<const uint8_t> text) {
  TakeRoom();
  if (!decoder_) {
    file_.Append(text);
    return;
  }
  utf8_.clear();
  decoder_->Convert(text, utf8_);
  file_.Append(utf8_);
}

std::span<uint8_t> DocumentTextOut::AppendRoom(size_t count) {
  TakeRoom();
  if (!decoder_) return file_.AppendRoom(count);
  room_.resize(count);
  roomPending_ = true;
  return room_;
}

void DocumentTextOut::Finish() {
  TakeRoom();
  if (!decoder_) return;
  utf8_.clear();
  decoder_->Finish(utf8_);
  file_.Append(utf8_);
}

}  // namespace zun
