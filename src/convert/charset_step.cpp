#include "convert/charset_step.h"

#include <algorithm>
#include <optional>

#include "convert/text_bytes.h"
#include "glue/file_descriptor.h"
#include "glue/file_system.h"

namespace zun {
namespace {

constexpr size_t kPiece = 1 << 16;

// The converted text, written only once it differs from the PC text: until then it is the
// start of the PC text, which is copied then.
class ConvertedCopy {
 public:
  ConvertedCopy(const ByteFile& pcText, const std::string& folder) : pcText_(pcText), folder_(folder) {}
  void Take(const std::vector<uint8_t>& converted, bool changedSoFar) {
    if (!target_ && changedSoFar) Begin();
    if (target_) {
      target_->Append(converted);
    } else {
      unchanged_ += static_cast<int64_t>(converted.size());
    }
  }
  bool Written() const { return target_.has_value(); }
  ByteFile Result() && { return std::move(*target_).ReadBack(); }

 private:
  void Begin() {
    FileDescriptor temporary = CreateAnonymousFile(folder_);
    if (!temporary.IsOpen()) throw FileError("cannot write the converted text in " + folder_);
    target_ = ByteFile::ForWriting(std::move(temporary), "converted text");
    for (int64_t at = 0; at < unchanged_; at += kPiece) {
      target_->Append(pcText_.View(at, static_cast<size_t>(std::min<int64_t>(kPiece, unchanged_ - at))));
    }
  }

  const ByteFile& pcText_;
  const std::string& folder_;
  std::optional<ByteFile> target_;
  int64_t unchanged_ = 0;
};

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
  TextForDocument maker(*charset, TripOf(task));
  ConvertedCopy copy(pcText, env.programDir);
  std::vector<uint8_t> converted;
  for (int64_t start = 0; start < length; start += kPiece) {
    const size_t size = static_cast<size_t>(std::min<int64_t>(kPiece, length - start));
    converted.clear();
    maker.Convert(pcText.View(start, size), converted);
    if (maker.Settled()) return pcText;  // keeps its bytes, whatever follows
    copy.Take(converted, maker.Changed());
    env.host.LetEventsRun();
  }
  converted.clear();
  maker.Finish(converted);
  // The choice is made on the whole text: a text that is not UTF-8 far into it keeps its bytes.
  if (maker.Choice() != TextBytes::ThroughSet) return pcText;
  copy.Take(converted, maker.Changed());
  // What was read may mix old and new text.
  if (pcText.ChangedSinceOpening()) throw FileError("the text changed while it was converted");
  if (!copy.Written()) return pcText;
  return std::move(copy).Result();
}

std::optional<Utf8Facts> PcFileFacts(const std::string& pcFile, ConversionEnv& env) {
  if (FileExists(pcFile) != FileState::Exists) return std::nullopt;
  try {
    const ByteFile text = ByteFile::OpenForReading(pcFile);
    Utf8Scanner scanner;
    for (int64_t start = 0; start < text.Length() && !scanner.Settled(); start += kPiece) {
      scanner.Feed(text.View(start, static_cast<size_t>(std::min<int64_t>(kPiece, text.Length() - start))));
      env.host.LetEventsRun();
    }
    scanner.Finish();
    return scanner.Facts();
  } catch (const FileError&) {
    return std::nullopt;  // nothing readable to keep the encoding of
  }
}

bool PcFileKeepsItsBytes(const std::string& pcFile, const Charset& charset, ConversionEnv& env) {
  try {
    const ByteFile text = ByteFile::OpenForReading(pcFile);
    TextForDocument maker(charset, Trip::BothWays);
    std::vector<uint8_t> converted;
    for (int64_t start = 0; start < text.Length() && !maker.Settled(); start += kPiece) {
      converted.clear();
      maker.Convert(text.View(start, static_cast<size_t>(std::min<int64_t>(kPiece, text.Length() - start))), converted);
      env.host.LetEventsRun();
    }
    converted.clear();
    maker.Finish(converted);
    return maker.Choice() == TextBytes::AsTheyAre;
  } catch (const FileError&) {
    return false;
  }
}

DocumentTextOut::DocumentTextOut(ByteFile& file, const Charset* charset, TextBytes bytes)
    : file_(file), charset_(charset) {
  if (charset_ == nullptr) return;
  if (bytes == TextBytes::Utf8AndSet) {
    mixedDecoder_.emplace(*charset_);
  } else {
    decoder_.emplace(*charset_);
  }
}

void DocumentTextOut::TakeRoom() {
  if (!roomPending_) return;
  roomPending_ = false;
  Append(room_);
}

void DocumentTextOut::Append(std::span<const uint8_t> text) {
  TakeRoom();
  if (charset_ == nullptr) {
    file_.Append(text);
    return;
  }
  utf8_.clear();
  if (mixedDecoder_) {
    mixedDecoder_->Convert(text, utf8_);
  } else {
    decoder_->Convert(text, utf8_);
  }
  file_.Append(utf8_);
}

std::span<uint8_t> DocumentTextOut::AppendRoom(size_t count) {
  TakeRoom();
  if (charset_ == nullptr) return file_.AppendRoom(count);
  room_.resize(count);
  roomPending_ = true;
  return room_;
}

void DocumentTextOut::Finish() {
  TakeRoom();
  if (charset_ == nullptr) return;
  utf8_.clear();
  if (mixedDecoder_) {
    mixedDecoder_->Finish(utf8_);
  } else {
    decoder_->Finish(utf8_);
  }
  file_.Append(utf8_);
}

void DocumentTextScan::TakeRoom() {
  if (!roomPending_) return;
  roomPending_ = false;
  scanner_.Feed(room_);
}

std::span<uint8_t> DocumentTextScan::AppendRoom(size_t count) {
  TakeRoom();
  room_.resize(count);
  roomPending_ = true;
  return room_;
}

void DocumentTextScan::Finish() {
  TakeRoom();
  scanner_.Finish();
}

}  // namespace zun
