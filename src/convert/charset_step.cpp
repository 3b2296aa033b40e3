#include "convert/charset_step.h"

#include <algorithm>
#include <optional>

#include "glue/file_descriptor.h"

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

ByteFile HandheldText(ByteFile pcText, const TaskRecord& task, ConversionEnv& env) {
  const Charset* charset = TaskCharset(task, env);
  if (charset == nullptr) return pcText;
  const int64_t length = pcText.Length();
  HandheldEncoder encoder(*charset);
  // Nothing is written while the text stays as it is (plain ASCII): until then the converted text
  // is the start of the PC text, copied once a character changes.
  std::optional<ByteFile> target;
  int64_t unchanged = 0;
  std::vector<uint8_t> converted;
  for (int64_t start = 0; start < length && encoder.Valid(); start += kPiece) {
    const size_t size = static_cast<size_t>(std::min<int64_t>(kPiece, length - start));
    converted.clear();
    encoder.Convert(pcText.View(start, size), converted);
    if (!target && encoder.Valid() && encoder.Changed()) {
      FileDescriptor temporary = CreateAnonymousFile(env.programDir);
      if (!temporary.IsOpen()) throw FileError("cannot write the converted text in " + env.programDir);
      target = ByteFile::ForWriting(std::move(temporary), "converted text");
      for (int64_t at = 0; at < unchanged; at += kPiece) {
        target->Append(pcText.View(at, static_cast<size_t>(std::min<int64_t>(kPiece, unchanged - at))));
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
  // What was read may mix old and new text.
  if (pcText.ChangedSinceOpening()) throw FileError("the text changed while it was converted");
  if (!target || !encoder.Valid()) return pcText;
  return std::move(*target).ReadBack();
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
