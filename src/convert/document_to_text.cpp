#include "convert/document_to_text.h"

#include <vector>

#include "convert/charset_step.h"
#include "convert/status_texts.h"
#include "glue/byte_file.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "glue/replacement_file.h"
#include "pdb/pdb_file.h"

namespace zun {
namespace {

// Checks the document and writes its text into `out`.
void CopyText(ConversionEnv& env, const std::string& documentPath, DocumentTextOut& out) {
  PdbReader reader(ByteFile::OpenForReading(documentPath));
  std::string creator;
  std::string type;
  int32_t recordCount = 0;
  if (ReadPdbHeader(reader, creator, type, recordCount) != 0) Fail(status::kBadHeader);
  if (type != kDocumentType || creator != kDocumentCreator) Fail(status::kUnsupportedType);
  if (recordCount < 2) Fail(status::kWrongFormat);
  uint8_t attributes = 0;
  std::span<const uint8_t> record;
  if (ReadPdbRecordView(reader, 0, attributes, record) != 0) Fail(status::kNoDocInfo);
  uint8_t version = 0;
  int32_t textRecords = 0;
  if (ReadDocInfo(record, recordCount, version, textRecords) != 0) Fail(status::kUnknownDocInfo);

  env.host.ShowProgress(true);
  env.host.SetProgressRange(textRecords);
  env.host.LetEventsRun();
  for (int32_t i = 1; i <= textRecords; ++i) {
    ProgressStep(env, i, textRecords);
    if (ReadPdbRecordView(reader, i, attributes, record) != 0) Fail(status::kCorrupt);
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
  if (reader.File().ChangedSinceOpening()) throw FileError("the document changed while it was read");
}

}  // namespace

void ConvertDocumentToText(TaskRecord& task, ConversionEnv& env) {
  const TargetChecks checks = env.host.InstallChecks();
  if (const char* failed = OpeningCheck(task, checks, status::kNoSourceUser, NamesFirst::Palm)) {
    task.Status = failed;
    return;
  }
  const std::string pcFile = task.PcFile.Trimmed();
  const std::string documentPath = PalmFilePath(env.users, checks, checks.FirstChecked(), task.PalmFile.Trimmed());
  for (const std::string& path : {documentPath, pcFile}) {
    if (const char* refused = FileRefusal(env, path)) {
      task.Status = refused;
      return;
    }
  }
  if (FileExists(documentPath) != FileState::Exists) {
    task.Status = status::kPalmFileMissing;
    return;
  }
  // Nothing is asked about a file that will not be written: the document itself, a folder, a
  // FIFO, a read-only file.
  if (IsSameFile(documentPath, pcFile) || !MayReplace(pcFile)) {
    task.Status = status::kCouldNotOpen;
    return;
  }
  if (const PromptAnswer answer = ConfirmReplace(env, kPcExistsQuestion, pcFile); answer != PromptAnswer::Overwrite) {
    EndOnAnswer(task, env, answer);
    return;
  }

  bool succeeded = false;
  double pcStamp = 0;
  double palmStamp = 0;
  try {
    ReplacementFile text = ReplacementFile::Begin(pcFile, ByteFile::WriteBack::Early);
    // "UTF-8 Text": the handheld's character set to UTF-8.
    DocumentTextOut out(text.Content(), TaskCharset(task, env));
    CopyText(env, documentPath, out);
    out.Finish();
    text.Commit();
    palmStamp = StampOf(documentPath);
    pcStamp = StampOf(pcFile);
    succeeded = true;
  } catch (const TaskFailure& failure) {
    task.Status = failure.status;
  } catch (...) {
    task.Status = status::kCouldNotOpen;
  }
  EndProgress(env);
  if (succeeded) {
    task.PalmDate = palmStamp;
    task.PcDate = pcStamp;
    task.Status = status::kOk;
  }
}

}  // namespace zun
