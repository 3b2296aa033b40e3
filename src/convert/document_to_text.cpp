#include "convert/document_to_text.h"

#include <cerrno>
#include <optional>
#include <vector>

#include "convert/charset_step.h"
#include "convert/document_text.h"
#include "convert/status_texts.h"
#include "convert/text_bytes.h"
#include "glue/byte_file.h"
#include "glue/dates.h"
#include "glue/file_problem.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "glue/replacement_file.h"

namespace zun {
namespace {

// Opens the document and checks it.
DocumentText OpenDocumentText(ConversionEnv& env, const std::string& documentPath) {
  DocumentText document{PdbReader(ByteFile::OpenForReading(documentPath)), documentPath};
  document.reader.whileWalking = [&env] { env.host.LetEventsRun(); };
  if (const char* failed = CheckDocument(document)) Fail(failed);
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
  int64_t length = 0;
  for (int32_t i = 1; i <= document.records && !out.Settled(); ++i) {
    if (shown) {
      ProgressStep(env, i, document.records);
    } else {
      env.host.LetEventsRun();
    }
    // Decompressed straight into the file's write buffer. A record that does not decompress (cut
    // short, or damaged) is as unreadable as one the file does not hold.
    const int64_t size = PassRecordText(document, env.codec, i, out);
    if (size < 0) Fail(status::kCorrupt);
    length += size;
  }
  if (!out.Settled() && length < document.textLength) Fail(status::kCorrupt);  // cut short
  out.Finish();
}

// "UTF-8 Text": where the document's text goes, into the file as it is or through the set.
DocumentTextOut TextOut(ByteFile& text, const TaskRecord& task, ConversionEnv& env, DocumentText& document,
                        const std::optional<std::string>& pcFile) {
  const Charset* charset = TaskCharset(task, env);
  if (charset == nullptr) return DocumentTextOut(text, nullptr);
  DocumentTextScan scan;
  CopyText(env, document, scan, false);
  const auto pcText = [&] { return pcFile ? PcFileFacts(*pcFile, env) : std::nullopt; };
  const auto pcKeptItsBytes = [&] { return PcFileKeepsItsBytes(*pcFile, *charset, env); };
  const TextBytes bytes = ChoosePcBytes(scan.Facts(), pcText, pcKeptItsBytes);
  return DocumentTextOut(text, bytes == TextBytes::AsTheyAre ? nullptr : charset, bytes);
}

// Where the document of the task is read from, after the checks every decode starts with (the PC
// file's too, when there is one to write); empty when one failed (the status says which).
std::string DocumentToRead(TaskRecord& task, ConversionEnv& env, bool writesPcFile) {
  env.failure = {};
  const TargetChecks checks = env.host.InstallChecks();
  if (const char* failed = OpeningCheck(task, checks, status::kNoSourceUser, NamesFirst::Palm)) {
    RefuseOpening(task, env, failed);
    return {};
  }
  std::string documentPath = PalmFilePath(env.users, checks, checks.FirstChecked(), task.PalmFile.Trimmed());
  for (const std::string& path : {documentPath, writesPcFile ? task.PcFile.Trimmed() : documentPath}) {
    if (const char* refused = FileRefusal(env, path)) {
      Refuse(task, env, refused, path, ReasonOfStatus(refused));
      return {};
    }
  }
  if (FileExists(documentPath) != FileState::Exists) {
    const std::string problem = ReadProblem(documentPath);
    Refuse(task, env, status::kPalmFileMissing, documentPath, problem.empty() ? SystemReason(ENOENT) : problem);
    return {};
  }
  return documentPath;
}

// Writes the text of the document into `text` and closes it. With `replacement` (the text's
// file) the text replaces the PC file once it is complete, unless the task is abandoned. The
// document's time when it was opened.
std::time_t WriteText(ConversionEnv& env, const std::string& documentPath, ByteFile& text, ReplacementFile* replacement,
               const TaskRecord& task, WorkingOn& workingOn) {
  workingOn = {documentPath, false};
  DocumentText document = OpenDocumentText(env, documentPath);
  // "UTF-8 Text": the handheld's character set to UTF-8, where that keeps the text's characters.
  const std::optional<std::string> pcFile =
      replacement != nullptr ? std::optional<std::string>(task.PcFile.Trimmed()) : std::nullopt;
  DocumentTextOut out = TextOut(text, task, env, document, pcFile);
  CopyText(env, document, out, true);
  if (document.reader.File().ChangedSinceOpening()) throw FileError(documentPath, kChangedWhileRead);
  workingOn = {task.PcFile.Trimmed(), true};
  const std::time_t documentTime = document.reader.File().ModifiedAtOpening();
  if (replacement == nullptr) {
    text.Close();
    return documentTime;
  }
  StopIfAbandoned(env);
  const std::string& pcPath = workingOn.file;
  if (env.beforeReplace && FileExists(pcPath) == FileState::Exists) env.beforeReplace(pcPath, ConversionEnv::Side::Pc);
  replacement->Commit();
  return documentTime;
}

}  // namespace

void ConvertDocumentToText(TaskRecord& task, ConversionEnv& env) {
  const std::string documentPath = DocumentToRead(task, env, true);
  if (documentPath.empty()) return;
  const std::string pcFile = task.PcFile.Trimmed();
  // Nothing is asked about a file that will not be written: the document itself, a folder, a
  // FIFO, a read-only file.
  if (IsSameFile(documentPath, pcFile)) {
    Refuse(task, env, status::kCouldNotOpen, pcFile, "the same file as the document");
    return;
  }
  if (!MayReplace(pcFile)) {
    Refuse(task, env, status::kCouldNotOpen, pcFile, ReplaceProblem(pcFile));
    return;
  }
  if (const PromptAnswer answer = ConfirmReplace(env, kPcExistsQuestion, pcFile); answer != PromptAnswer::Overwrite) {
    EndOnAnswer(task, env, answer);
    return;
  }

  bool succeeded = false;
  double pcStamp = 0;
  double palmStamp = 0;
  WorkingOn workingOn{pcFile, true};
  try {
    ReplacementFile text = ReplacementFile::Begin(pcFile, ByteFile::WriteBack::Early);
    // The document as read: one that a HotSync replaced meanwhile is still to convert.
    palmStamp = ToAutomationDate(WriteText(env, documentPath, text.Content(), &text, task, workingOn));
    pcStamp = StampOf(pcFile);
    succeeded = true;
  } catch (...) {
    EndWithCurrentFailure(task, env, workingOn);
  }
  EndProgress(env);
  if (succeeded) {
    task.PalmDate = palmStamp;
    task.PcDate = pcStamp;
    task.Status = status::kOk;
  }
}

void ConvertDocumentToText(TaskRecord& task, ConversionEnv& env, ByteFile& text) {
  const std::string documentPath = DocumentToRead(task, env, false);
  if (documentPath.empty()) return;
  WorkingOn workingOn{documentPath, false};
  bool succeeded = false;
  try {
    WriteText(env, documentPath, text, nullptr, task, workingOn);
    succeeded = true;
  } catch (...) {
    EndWithCurrentFailure(task, env, workingOn);
  }
  EndProgress(env);
  if (succeeded) task.Status = status::kOk;
}

}  // namespace zun
