#include "convert/document_to_text.h"

#include <vector>

#include "convert/charset_step.h"
#include "convert/status_texts.h"
#include "convert/text_bytes.h"
#include "glue/byte_file.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "glue/replacement_file.h"
#include "pdb/pdb_file.h"

namespace zun {
namespace {

struct DocumentText {
  PdbReader reader;
  uint8_t version = 0;
  int32_t records = 0;  // text records, 1 to N
};

// Opens the document and checks it.
DocumentText OpenDocumentText(const std::string& documentPath) {
  DocumentText document{PdbReader(ByteFile::OpenForReading(documentPath))};
  std::string creator;
  std::string type;
  int32_t recordCount = 0;
  if (ReadPdbHeader(document.reader, creator, type, recordCount) != 0) Fail(status::kBadHeader);
  if (type != kDocumentType || creator != kDocumentCreator) Fail(status::kUnsupportedType);
  if (recordCount < 2) Fail(status::kWrongFormat);
  uint8_t attributes = 0;
  std::span<const uint8_t> record;
  if (ReadPdbRecordView(document.reader, 0, attributes, record) != 0) Fail(status::kNoDocInfo);
  if (ReadDocInfo(record, recordCount, document.version, document.records) != 0) Fail(status::kUnknownDocInfo);
  return document;
}

// Hands the document's text to `out` (DocumentTextOut or DocumentTextScan) record by record,
// until it has what it needs; with `shown`, the progress shows each record.
template <typename Out>
void CopyText(ConversionEnv& env, DocumentText& document, Out& out, bool shown) {
  if (shown) {
    env.host.ShowProgress(true);
    env.host.SetProgressRange(document.records);
    env.host.LetEventsRun();
  }
  uint8_t attributes = 0;
  std::span<const uint8_t> record;
  for (int32_t i = 1; i <= document.records && !out.Settled(); ++i) {
    if (shown) {
      ProgressStep(env, i, document.records);
    } else {
      env.host.LetEventsRun();
    }
    if (ReadPdbRecordView(document.reader, i, attributes, record) != 0) Fail(status::kCorrupt);
    if (document.version == 1) {
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
}

// "UTF-8 Text": the set the document's text goes through, nullptr for its bytes as they are.
const Charset* SetForText(const TaskRecord& task, ConversionEnv& env, DocumentText& document,
                          const std::string& pcFile) {
  const Charset* charset = TaskCharset(task, env);
  if (charset == nullptr) return nullptr;
  DocumentTextScan scan;
  CopyText(env, document, scan, false);
  const auto pcText = [&] { return PcFileFacts(pcFile, env); };
  return ChoosePcBytes(scan.Facts(), pcText) == TextBytes::ThroughSet ? charset : nullptr;
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
    DocumentText document = OpenDocumentText(documentPath);
    DocumentTextOut out(text.Content(), SetForText(task, env, document, pcFile));
    CopyText(env, document, out, true);
    if (document.reader.File().ChangedSinceOpening()) throw FileError("the document changed while it was read");
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
