#include "convert/text_to_document.h"

#include <vector>

#include "convert/charset_step.h"
#include "convert/status_texts.h"
#include "convert/text_filter.h"
#include "glue/byte_file.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "pdb/pdb_file.h"

namespace zun {
namespace {

constexpr int32_t kCustomUserId = -1;
constexpr size_t kMaxDatabaseName = 31;
constexpr int32_t kCompressionSlack = 500;

struct Target {
  std::string path;  // empty: no target
  int32_t userId = kCustomUserId;
};

enum class TableOutcome { Ready, Ended };

// Builds one row per checked entry, asking before an existing file is replaced.
TableOutcome BuildTargetTable(TaskRecord& task, ConversionEnv& env, const TargetChecks& checks,
                              std::vector<Target>& table) {
  const std::string palmFile = task.PalmFile.Trimmed();
  table.assign(checks.checked.size(), Target{});
  for (int32_t i = 0; i < checks.EntryCount(); ++i) {
    if (!checks.checked[i]) continue;
    Target row;
    if (!checks.IsCustom(i)) row.userId = env.users.UserIdAt(i);
    row.path = PalmFilePath(env.users, checks, i, palmFile);
    if (FileExists(row.path) == FileState::Exists && !ReplacesWithoutAsking(env)) {
      switch (AskBeforeOverwrite(env, kPalmExistsQuestion, row.path)) {
        case PromptAnswer::Overwrite:
          break;
        case PromptAnswer::Skip:
          if (checks.CheckedCount() == 1) {
            task.Status = status::kUserSkippedTask;
            return TableOutcome::Ended;
          }
          continue;
        default:
          task.Status = status::kUserStopped;
          env.flags.stopRequested = true;
          return TableOutcome::Ended;
      }
    }
    table[i] = row;
  }
  return TableOutcome::Ready;
}


// Writes the document for `source` into `documentPath`.
void WriteDocument(TaskRecord& task, ConversionEnv& env, const std::string& source, const std::string& documentPath) {
  const ByteFile text = ByteFile::OpenForReading(source);
  const int64_t length = text.Length();
  if (length == 0) FailWith(task, status::kPcFileEmpty);
  if (length > INT32_MAX) throw FileError("text too long for a document");
  const int32_t records = static_cast<int32_t>((length + kDocRecordSize - 1) / kDocRecordSize);
  if (records > 0xFFFF - 1) throw FileError("text too long for a document");

  env.host.SetProgressCaption(kCompressionCaption);
  env.host.SetProgressRange(records);
  env.host.LetEventsRun();

  ByteFile document = ByteFile::CreateForWriting(documentPath);
  const std::string name =
      CutAtCharacterBoundary(PathWithoutExtension(PathFileName(task.PalmFile.Trimmed())), kMaxDatabaseName);
  if (WritePdbHeader(document, env.codec, name, "TEXt", "REAd", records + 1) != 0) {
    FailWith(task, status::kCannotCreateHeader);
  }
  const bool compressed = IsEntryChecked(task.Options, kOptCompress);
  if (AppendPdbRecord(document, 0, MakeDocInfo(static_cast<int32_t>(length), records, compressed), task.Category) != 0) {
    FailWith(task, status::kCannotWriteDocInfo);
  }
  std::vector<uint8_t> buffer;
  for (int32_t i = 1; i <= records; ++i) {
    env.host.SetProgressValue(i);
    env.host.SetTrayIcon(ProgressFrame(i, records), "");
    env.host.LetEventsRun();
    const int64_t start = int64_t{i - 1} * kDocRecordSize;
    const int32_t size = static_cast<int32_t>(std::min<int64_t>(kDocRecordSize, length - start));
    std::span<const uint8_t> record = text.View(start, static_cast<size_t>(size));
    if (compressed) {
      buffer.assign(static_cast<size_t>(size + kCompressionSlack), ' ');
      const int32_t written = env.codec.Compress(buffer.data(), record.data(), size);
      if (written < 0 || written > size + kCompressionSlack) throw FileError("compression failed");
      record = std::span<const uint8_t>(buffer.data(), static_cast<size_t>(written));
    }
    if (AppendPdbRecord(document, i, record, 0) != 0) FailWith(task, status::kCannotWriteRecord);
  }
  if (text.ChangedSinceOpening()) throw FileError("the text changed while it was read");
  document.Close();
}

// Copies the document to every target; returns the first target's entry, -1 when there is none.
int32_t Distribute(ConversionEnv& env, const std::vector<Target>& table, const std::string& documentPath) {
  int32_t first = -1;
  for (int32_t i = 0; i < static_cast<int32_t>(table.size()); ++i) {
    const Target& row = table[i];
    if (row.path.empty()) continue;
    if (first < 0) first = i;
    if (!CopyFileSafely(documentPath, row.path)) throw FileError("cannot place " + row.path);
    if (row.userId != kCustomUserId && !InstallForUser(env.users, i, row.path)) {
      throw FileError("cannot queue " + row.path);
    }
  }
  return first;
}


}  // namespace

void ConvertTextToDocument(TaskRecord& task, ConversionEnv& env) {
  const TargetChecks checks = env.host.InstallChecks();
  if (checks.CheckedCount() == 0) {
    task.Status = status::kNoSourceUser;
    return;
  }
  task.PcFile = task.PcFile.Trimmed();
  const std::string pcFile = task.PcFile.Trimmed();
  if (PathFileName(pcFile).empty()) {
    task.Status = status::kNoPcFile;
    return;
  }
  task.PalmFile = task.PalmFile.Trimmed();
  if (PathFileName(task.PalmFile.Trimmed()).empty()) {
    task.Status = status::kNoPalmFile;
    return;
  }
  if (FileExists(pcFile) != FileState::Exists) {
    task.Status = status::kPcFileMissing;
    return;
  }

  std::vector<Target> table;
  if (BuildTargetTable(task, env, checks, table) == TableOutcome::Ended) return;
  bool anyTarget = false;
  for (const Target& row : table) anyTarget = anyTarget || !row.path.empty();
  if (!anyTarget) {
    task.Status = status::kUserSkippedDistribution;
    return;
  }

  const std::string documentPath = env.programDir + kDocumentTemporaryName;
  const std::string filterPath = env.programDir + kFilterTemporaryName;
  const std::string charsetPath = env.programDir + kCharsetTemporaryName;
  bool succeeded = false;
  bool stamped = false;
  double pcStamp = 0;
  double palmStamp = 0;
  env.host.ShowProgress(true);
  try {
    // An empty PC file is reported as such, filtered or not.
    if (FileLength(pcFile).value_or(-1) == 0) FailWith(task, status::kPcFileEmpty);
    // "UTF-8 Text": the handheld's character set before the filters (a copy, also with "Raw!").
    const std::string text = HandheldTextFile(pcFile, charsetPath, task, env);
    const std::string source = FilterText(text, task, env);
    if (source.empty()) throw FileError("filter failed");
    WriteDocument(task, env, source, documentPath);
    const int32_t first = Distribute(env, table, documentPath);
    if (first >= 0) {
      pcStamp = StampOf(pcFile);
      palmStamp = StampOf(table[first].path);
      stamped = true;
    }
    succeeded = true;
  } catch (const AlreadyReported&) {
  } catch (...) {
    task.Status = status::kCouldNotOpen;
  }
  RemoveFile(documentPath);
  RemoveFile(filterPath);
  RemoveFile(charsetPath);
  env.host.SetTrayIcon(1, "");
  env.host.ShowProgress(false);
  env.host.SetProgressCaption(kProgressCaption);
  env.host.LetEventsRun();
  if (succeeded) {
    if (stamped) {
      task.PcDate = pcStamp;
      task.PalmDate = palmStamp;
    }
    task.Status = status::kOk;
  }
}

}  // namespace zun
