#include "tasks/line_sync.h"

#include <optional>
#include <vector>

#include "convert/charset.h"
#include "convert/charset_step.h"
#include "convert/document_text.h"
#include "convert/status_texts.h"
#include "convert/text_bytes.h"
#include "convert/text_to_document.h"
#include "glue/file_system.h"
#include "glue/replacement_file.h"
#include "tasks/merge.h"

namespace zun {
namespace {

constexpr size_t kMaxText = size_t{1} << 30;

// The base PC text with the handheld's edits; nothing when the task cannot be synced by lines. The
// lines the handheld added take the PC's form as a conversion of the document onto `pcText` (the
// PC file's text; nothing when there is none) would give them.
std::optional<std::string> HandheldSide(const TaskRecord& task, ConversionEnv& env, TaskMemory& memory,
                                        const std::string& palmPath, const std::optional<std::string>& pcText) {
  const std::optional<Base>& base = memory.LoadedBase();
  if (!base || !FiltersKeepLines(task)) return std::nullopt;
  const std::optional<std::string> document =
      ReadDocumentText(palmPath, env.codec, kMaxText, [&env] { env.host.LetEventsRun(); });
  if (!document) return std::nullopt;
  const std::string asPc = DocumentTextAsPc(*document, TaskCharset(task, env),
                                            pcText ? std::optional<std::string_view>(*pcText) : std::nullopt);
  return HandheldEditsOnBase(*base, *document, asPc);
}

// Replaces the PC file with `text` (a copy of the old one into the Trash as the rule says).
void ReplacePcText(TaskMemory& memory, const std::string& pcFile, const std::string& text) {
  if (FileExists(pcFile) == FileState::Exists) memory.BeforeReplace(pcFile, ConversionEnv::Side::Pc);
  ReplacementFile file = ReplacementFile::Begin(pcFile, ByteFile::WriteBack::Early);
  file.Content().Append({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  file.Commit();
}

// Every target's document that a conversion of the task would replace, first into the Trash.
void KeepDocuments(const TaskRecord& task, ConversionEnv& env, TaskMemory& memory) {
  const TargetChecks checks = env.host.InstallChecks();
  for (int32_t i = 0; i < checks.EntryCount(); ++i) {
    if (!checks.IsChecked(i)) continue;
    const std::string target = PalmFilePath(env.users, checks, i, task.PalmFile.Trimmed());
    if (FileExists(target) == FileState::Exists) memory.BeforeReplace(target, ConversionEnv::Side::Document);
  }
}

// The prompt shows UTF-8: a line that is none (of a Latin-1 PC file, or a document in the
// handheld's set) is read in the handheld's set.
void MakeShowable(std::vector<std::string>& lines, const ConversionEnv& env) {
  const Charset* set = Charset::Find(env.handheldCharset);
  for (std::string& line : lines) {
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(line.data()), line.size());
    if (set == nullptr || ScanUtf8(bytes).valid) continue;
    HandheldDecoder decoder(*set);
    std::vector<uint8_t> utf8;
    decoder.Convert(bytes, utf8);
    decoder.Finish(utf8);
    line.assign(utf8.begin(), utf8.end());
  }
}

}  // namespace

bool MergeBothSides(TaskRecord& task, ConversionEnv& env, TaskMemory& memory, const std::string& palmPath,
                    Collision& collision) {
  const std::string pcFile = task.PcFile.Trimmed();
  const std::optional<std::string> ours = ReadSmallFile(pcFile, kMaxText);
  if (!ours) return false;
  const std::optional<std::string> theirs = HandheldSide(task, env, memory, palmPath, ours);
  if (!theirs) return false;
  LineMerge merge = MergeLines(memory.LoadedBase()->pcText, *ours, *theirs);
  if (!merge.merged) {
    collision = std::move(merge.collision);
    for (std::vector<std::string>* lines : {&collision.pcLines, &collision.palmLines}) MakeShowable(*lines, env);
    return false;
  }
  if (merge.text == *theirs) memory.NothingToLose(palmPath);
  KeepDocuments(task, env, memory);  // before anything is replaced: a copy that fails stops all
  if (merge.text != *ours) ReplacePcText(memory, pcFile, merge.text);
  env.flags.sideChosen = true;
  ConvertTextToDocument(task, env);
  env.flags.sideChosen = false;
  return true;
}

bool UpdatePcFromBase(TaskRecord& task, ConversionEnv& env, TaskMemory& memory, const std::string& palmPath) {
  const std::string pcFile = task.PcFile.Trimmed();
  // What the conversion refuses, it reports.
  if (IsSameFile(palmPath, pcFile) || !MayReplace(pcFile)) return false;
  const std::optional<std::string> ours = ReadSmallFile(pcFile, kMaxText);
  const std::optional<std::string> theirs = HandheldSide(task, env, memory, palmPath, ours);
  if (!theirs) return false;
  // A document whose text did not change (a reader kept its place) is no change of the PC file:
  // nothing to ask or write, only the stamps.
  const bool changed = theirs != ours;
  if (changed) {
    if (const PromptAnswer answer = ConfirmReplace(env, kPcExistsQuestion, pcFile); answer != PromptAnswer::Overwrite) {
      EndOnAnswer(task, env, answer);
      return true;
    }
    ReplacePcText(memory, pcFile, *theirs);
  }
  task.PalmDate = StampOf(palmPath);
  task.PcDate = StampOf(pcFile);
  task.Status = changed ? status::kOk : status::kNoUpdateNecessary;
  return true;
}

}  // namespace zun
