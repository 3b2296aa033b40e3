#include "convert/document_to_text.h"

#include <optional>
#include <vector>

#include "convert/charset_step.h"
#include "convert/status_texts.h"
#include "glue/byte_file.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "pdb/pdb_file.h"

namespace zun {
namespace {

// Checks the document and writes its text into `out`.
void CopyText(TaskRecord& task, ConversionEnv& env, const std::string& documentPath, ByteFile& file) {
  DocumentTextOut out(file, TaskCharset(task, env));  // "UTF-8 Text": the handheld's set to UTF-8
  PdbReader reader(ByteFile::OpenForReading(documentPath));
  std::string creator;
  std::string type;
  int32_t recordCount = 0;
  if (ReadPdbHeader(reader, creator, type, recordCount) != 0) FailWith(task, status::kBadHeader);
  if (type != "TEXt" || creator != "REAd") FailWith(task, status::kUnsupportedType);
  if (recordCount < 2) FailWith(task, status::kWrongFormat);
  uint8_t attributes = 0;
  std::span<const uint8_t> record;
  if (ReadPdbRecordView(reader, 0, attributes, record) != 0) FailWith(task, status::kNoDocInfo);
  uint8_t version = 0;
  int32_t textRecords = 0;
  if (ReadDocInfo(record, recordCount, version, textRecords) != 0) FailWith(task, status::kUnknownDocInfo);

  env.host.ShowProgress(true);
  env.host.SetProgressRange(textRecords);
  env.host.LetEventsRun();
  for (int32_t i = 1; i <= textRecords; ++i) {
    env.host.SetProgressValue(i);
    env.host.SetTrayIcon(ProgressFrame(i, textRecords), "");
    env.host.LetEventsRun();
    if (ReadPdbRecordView(reader, i, attributes, record) != 0) FailWith(task, status::kCorrupt);
    if (version == 1) {
      out.Append(record);
      continue;
    }
    const int32_t size = env.codec.GetUncompSize(record.data(), static_cast<int32_t>(record.size()));
    if (size < 0) throw FileError("record does not decompress");
    // Decompressed straight into the file's write buffer.
    const std::span<uint8_t> text = out.AppendRoom(static_cast<size_t>(size));
    if (env.codec.DeCompress(text.data(), record.data(), size) != size) throw FileError("record does not decompress");
  }
  out.Finish();
  if (reader.File().ChangedSinceOpening()) throw FileError("the document changed while it was read");
}

}  // namespace

void ConvertDocumentToText(TaskRecord& task, ConversionEnv& env) {
  const TargetChecks checks = env.host.InstallChecks();
  if (checks.CheckedCount() == 0) {
    task.Status = status::kNoSourceUser;
    return;
  }
  const std::string palmFile = task.PalmFile.Trimmed();
  if (PathFileName(palmFile).empty()) {
    task.Status = status::kNoPalmFile;
    return;
  }
  const std::string pcFile = task.PcFile.Trimmed();
  if (PathFileName(pcFile).empty()) {
    task.Status = status::kNoPcFile;
    return;
  }
  const std::string documentPath = PalmFilePath(env.users, checks, checks.FirstChecked(), palmFile);
  if (FileExists(documentPath) != FileState::Exists) {
    task.Status = status::kPalmFileMissing;
    return;
  }
  const bool pcExists = FileExists(pcFile) == FileState::Exists;
  if (pcExists && !ReplacesWithoutAsking(env)) {
    switch (AskBeforeOverwrite(env, kPcExistsQuestion, pcFile)) {
      case PromptAnswer::Overwrite:
        break;
      case PromptAnswer::Skip:
        task.Status = status::kUserSkippedTask;
        return;
      default:
        task.Status = status::kUserStopped;
        env.flags.stopRequested = true;
        return;
    }
  }

  bool succeeded = false;
  double pcStamp = 0;
  double palmStamp = 0;
  std::optional<std::string> temporary;
  try {
    // A read-only PC file stays as it is, although a rename could replace it.
    if (pcExists && !IsWritableFile(pcFile)) throw FileError("PC file is read-only");
    temporary = CreateTemporaryBeside(pcFile);
    if (!temporary) throw FileError("cannot write beside " + pcFile);
    ByteFile out = ByteFile::CreateForWriting(*temporary, ByteFile::WriteBack::Early);
    CopyText(task, env, documentPath, out);
    out.Close();
    if (!ReplaceWithTemporary(*temporary, pcFile)) throw FileError("cannot replace " + pcFile);
    temporary.reset();
    palmStamp = StampOf(documentPath);
    pcStamp = StampOf(pcFile);
    succeeded = true;
  } catch (const AlreadyReported&) {
  } catch (...) {
    task.Status = status::kCouldNotOpen;
  }
  if (temporary) RemoveFile(*temporary);
  env.host.SetTrayIcon(1, "");
  env.host.ShowProgress(false);
  env.host.LetEventsRun();
  if (succeeded) {
    task.PalmDate = palmStamp;
    task.PcDate = pcStamp;
    task.Status = status::kOk;
  }
}

}  // namespace zun
