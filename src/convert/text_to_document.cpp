#include "convert/text_to_document.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <vector>

#include "convert/charset_step.h"
#include "convert/status_texts.h"
#include "convert/text_bytes.h"
#include "convert/text_filter.h"
#include "glue/byte_file.h"
#include "glue/dates.h"
#include "glue/file_problem.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "glue/replacement_file.h"
#include "pdb/pdb_file.h"
#include "zun2/zun2.h"

namespace zun {
namespace {

constexpr int32_t kCustomUserId = -1;

struct Target {
  int32_t entry = 0;  // in the install list
  std::string path;
  int32_t userId = kCustomUserId;
};

enum class TableOutcome { Ready, Ended };

// Builds one row per checked entry in list order, asking before an existing file is replaced; a
// skipped target leaves the table. A target that is the PC file itself, that may not be replaced
// or that no conversion may touch, ends the task before anything is asked.
TableOutcome BuildTargetTable(TaskRecord& task, ConversionEnv& env, const TargetChecks& checks,
                              std::vector<Target>& table) {
  const std::string palmFile = task.PalmFile.Trimmed();
  const std::string pcFile = task.PcFile.Trimmed();
  table.clear();
  for (int32_t i = 0; i < checks.EntryCount(); ++i) {
    if (!checks.IsChecked(i)) continue;
    const int32_t userId = checks.IsCustom(i) ? kCustomUserId : EntryUserId(env.users, i);
    Target row{i, PalmFilePath(env.users, checks, i, palmFile), userId};
    if (const char* refused = FileRefusal(env, row.path)) {
      Refuse(task, env, refused, row.path, ReasonOfStatus(refused));
      return TableOutcome::Ended;
    }
    // Refused before anything is written: a user's copy that cannot be queued is of no use.
    if (userId != kCustomUserId && !MayQueue(row.path)) {
      Refuse(task, env, status::kLineBreakInPath, row.path, ReasonOfStatus(status::kLineBreakInPath));
      return TableOutcome::Ended;
    }
    if (IsSameFile(row.path, pcFile)) {
      Refuse(task, env, status::kCouldNotOpen, row.path, "the same file as the text");
      return TableOutcome::Ended;
    }
    if (!MayReplace(row.path)) {
      Refuse(task, env, status::kCouldNotOpen, row.path, ReplaceProblem(row.path));
      return TableOutcome::Ended;
    }
    table.push_back(std::move(row));
  }
  const bool several = table.size() > 1;
  for (auto row = table.begin(); row != table.end();) {
    const PromptAnswer answer = ConfirmReplace(env, kPalmExistsQuestion, row->path);
    if (answer == PromptAnswer::Skip && several) {
      row = table.erase(row);  // the other targets still get the document
      continue;
    }
    if (answer != PromptAnswer::Overwrite) {
      EndOnAnswer(task, env, answer);
      return TableOutcome::Ended;
    }
    ++row;
  }
  return TableOutcome::Ready;
}

// The name inside the document: the one asked for, else the Palm file's name less its extension;
// with "UTF-8 Text" in the handheld's set where the set holds it.
std::string NameInDocument(const TaskRecord& task, const ConversionEnv& env) {
  const std::string stem =
      env.databaseName.empty() ? PathWithoutExtension(PathFileName(task.PalmFile.Trimmed())) : env.databaseName;
  return DatabaseName(stem, TaskCharset(task, env));
}

// Writes the document of `text` into `document`.
void WriteDocument(const TaskRecord& task, ConversionEnv& env, const ByteFile& text, ByteFile& document) {
  const int64_t length = text.Length();
  const std::string pcFile = task.PcFile.Trimmed();
  if (length == 0) Fail(status::kPcFileEmpty);
  if (length > INT32_MAX) throw FileError(pcFile, kTooLongForADocument);
  const int32_t records = static_cast<int32_t>((length + kDocRecordSize - 1) / kDocRecordSize);
  if (records > 0xFFFF - 1) throw FileError(pcFile, kTooLongForADocument);

  env.host.SetProgressCaption(kCompressionCaption);
  env.host.SetProgressRange(records);
  env.host.LetEventsRun();

  const std::string name = NameInDocument(task, env);
  if (WritePdbHeader(document, env.codec, name, kDocumentType, kDocumentCreator, records + 1) != 0) {
    Fail(status::kCannotCreateHeader);
  }
  const bool compressed = IsEntryChecked(task.Options, kOptCompress);
  if (AppendPdbRecord(document, 0, MakeDocInfo(static_cast<int32_t>(length), records, compressed), task.Category) !=
      0) {
    Fail(status::kCannotWriteDocInfo);
  }
  // As much as the compressor may write for a whole record, so that no record can overrun it.
  std::vector<uint8_t> buffer(static_cast<size_t>(CompressBound(kDocRecordSize)));
  for (int32_t i = 1; i <= records; ++i) {
    ProgressStep(env, i, records);
    const int64_t start = int64_t{i - 1} * kDocRecordSize;
    const int32_t size = static_cast<int32_t>(std::min<int64_t>(kDocRecordSize, length - start));
    std::span<const uint8_t> record = text.View(start, static_cast<size_t>(size));
    if (compressed) {
      const int32_t written = env.codec.Compress(buffer.data(), record.data(), size);
      if (written < 0 || written > CompressBound(size)) throw FileError("compression failed");
      record = std::span<const uint8_t>(buffer.data(), static_cast<size_t>(written));
    }
    if (AppendPdbRecord(document, i, record, 0) != 0) Fail(status::kCannotWriteRecord);
  }
  if (text.ChangedSinceOpening()) throw FileError(pcFile, kChangedWhileRead);
}

// A user's backup folder that the HotSync software has not made yet (it does at the first sync).
void MakeBackupFolder(const std::string& path) {
  const std::string folder = PathDirectory(path);
  if (!folder.empty() && !IsFolder(folder)) ::mkdir(folder.c_str(), 0755);
}

// Copies the document to every target in the table, queueing it for each user; `workingOn`
// follows the target in hand.
void Distribute(ConversionEnv& env, const std::vector<Target>& table, const ByteFile& document, WorkingOn& workingOn) {
  constexpr int64_t kCopyBlock = 1 << 17;
  for (const Target& row : table) {
    workingOn = {row.path, true};
    if (row.userId != kCustomUserId) MakeBackupFolder(row.path);
    ReplacementFile placed = ReplacementFile::Begin(row.path);
    for (int64_t at = 0; at < document.Length(); at += kCopyBlock) {
      placed.Content().Append(document.View(at, static_cast<size_t>(std::min(kCopyBlock, document.Length() - at))));
    }
    StopIfAbandoned(env);
    placed.Commit();
    if (row.userId != kCustomUserId && !InstallForUser(env.users, row.entry, row.path)) {
      throw FileError(row.path, "cannot be queued for installation");
    }
  }
}

// Makes the document from the text and places it at every target; the stamps of the PC file and
// the first target when there is a PC file.
void MakeAndDistribute(TaskRecord& task, ConversionEnv& env, std::optional<ByteFile> supplied,
                       const std::vector<Target>& table, WorkingOn& workingOn) {
  const std::string pcFile = task.PcFile.Trimmed();
  ByteFile pcText = supplied ? std::move(*supplied) : ByteFile::OpenForReading(pcFile);
  // An empty PC file is reported as such, filtered or not.
  if (pcText.Length() == 0) Fail(status::kPcFileEmpty);
  // The text as read: one that an editor saved meanwhile is still to convert.
  const std::time_t pcTime = pcText.ModifiedAtOpening();
  // "UTF-8 Text": the handheld's character set before the filters (a copy, also with "Raw!").
  const ByteFile text = FilterText(HandheldText(std::move(pcText), task, env), task, env);
  ByteFile document = CreateWorkFile(env);
  WriteDocument(task, env, text, document);
  const ByteFile written = std::move(document).ReadBack();
  // Every target that will be replaced is cleared first: one refused replaces none.
  for (const Target& row : table) {
    if (!env.beforeReplace || FileExists(row.path) != FileState::Exists) continue;
    workingOn = {row.path, true};
    env.beforeReplace(row.path, ConversionEnv::Side::Document);
  }
  Distribute(env, table, written, workingOn);
  if (!supplied) {
    task.PcDate = ToAutomationDate(pcTime);
    task.PalmDate = StampOf(table.front().path);  // the first target in list order
  }
}

// The conversion of the PC file, or of `supplied` standing in for it.
void Convert(TaskRecord& task, ConversionEnv& env, std::optional<ByteFile> supplied) {
  env.failure = {};
  const TargetChecks checks = env.host.InstallChecks();
  if (const char* failed = OpeningCheck(task, checks, status::kNoSourceUser, NamesFirst::Pc)) {
    RefuseOpening(task, env, failed);
    return;
  }
  // Stored without their padding, as the conversion used them.
  task.PcFile = task.PcFile.Trimmed();
  task.PalmFile = task.PalmFile.Trimmed();
  const std::string pcFile = task.PcFile.Trimmed();
  if (const char* refused = supplied ? nullptr : FileRefusal(env, pcFile)) {
    Refuse(task, env, refused, pcFile, ReasonOfStatus(refused));
    return;
  }
  if (!supplied && FileExists(pcFile) != FileState::Exists) {
    const std::string problem = ReadProblem(pcFile);
    Refuse(task, env, status::kPcFileMissing, pcFile, problem.empty() ? SystemReason(ENOENT) : problem);
    return;
  }

  std::vector<Target> table;
  if (BuildTargetTable(task, env, checks, table) == TableOutcome::Ended) return;
  if (table.empty()) {
    task.Status = status::kUserSkippedDistribution;
    return;
  }

  // The stamps change only with success.
  TaskRecord converted = task;
  WorkingOn workingOn{pcFile, false};
  bool succeeded = false;
  env.host.ShowProgress(true);
  try {
    MakeAndDistribute(converted, env, std::move(supplied), table, workingOn);
    succeeded = true;
  } catch (...) {
    EndWithCurrentFailure(task, env, workingOn);
  }
  EndProgress(env);
  if (succeeded) {
    task = converted;
    task.Status = status::kOk;
  }
}

}  // namespace

void ConvertTextToDocument(TaskRecord& task, ConversionEnv& env) { Convert(task, env, std::nullopt); }

void ConvertTextToDocument(TaskRecord& task, ConversionEnv& env, ByteFile text) { Convert(task, env, std::move(text)); }

}  // namespace zun
