#include "tasks/task_run.h"

#include <cstdlib>

#include "convert/document_to_text.h"
#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/byte_file.h"
#include "glue/dates.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "tasks/line_sync.h"
#include "tasks/task_memory.h"

namespace zun {
namespace {

enum class Direction { ToText, ToDocument, Ask, Nothing, Neither };

Direction Decide(const TaskRecord& task, const std::string& pcFile, const std::string& palmPath) {
  const bool pcExists = FileExists(pcFile) == FileState::Exists;
  const bool palmExists = FileExists(palmPath) == FileState::Exists;
  if (pcExists && !palmExists) return Direction::ToDocument;
  if (!pcExists && palmExists) return Direction::ToText;
  if (!pcExists && !palmExists) return Direction::Neither;
  const auto pcTime = ModificationTime(pcFile);
  const auto palmTime = ModificationTime(palmPath);
  if (!pcTime || !palmTime) throw FileError("modification time unreadable");
  const bool pcChanged = SideChanged(task.PcDate, *pcTime);
  const bool palmChanged = SideChanged(task.PalmDate, *palmTime);
  if (pcChanged && palmChanged) return Direction::Ask;
  if (pcChanged) return Direction::ToDocument;
  if (palmChanged) return Direction::ToText;
  return Direction::Nothing;
}

void ConvertChosenSide(TaskRecord& task, ConversionEnv& env, bool toDocument) {
  env.flags.sideChosen = true;
  if (toDocument) {
    ConvertTextToDocument(task, env);
  } else {
    ConvertDocumentToText(task, env);
  }
  env.flags.sideChosen = false;
}

// Both changed and no merge: the user decides (with the places that collide, when known).
void AskBothChanged(TaskRecord& task, ConversionEnv& env, const Collision& collision) {
  switch (const PromptAnswer answer = env.host.BothChangedPrompt(collision)) {
    case PromptAnswer::UpdatePc:
      ConvertChosenSide(task, env, false);
      return;
    case PromptAnswer::UpdatePalm:
      ConvertChosenSide(task, env, true);
      return;
    default:  // Skip, Stop, or the prompt closed another way (Stop)
      EndOnAnswer(task, env, answer == PromptAnswer::Skip ? answer : PromptAnswer::Stop);
      return;
  }
}

void RunBothWays(TaskRecord& task, ConversionEnv& env, TaskMemory& memory) {
  const TargetChecks checks = env.host.InstallChecks();
  if (const char* failed = OpeningCheck(task, checks, status::kNoUser, NamesFirst::Pc)) {
    task.Status = failed;
    return;
  }
  const std::string pcFile = task.PcFile.Trimmed();
  const std::string palmPath = PalmFilePath(env.users, checks, checks.FirstChecked(), task.PalmFile.Trimmed());
  // Before the times decide: an interrupted overwrite undone, a file no task may have refused.
  for (const std::string& path : {pcFile, palmPath}) {
    if (const char* refused = FileRefusal(env, path)) {
      task.Status = refused;
      return;
    }
  }
  Direction direction = Decide(task, pcFile, palmPath);
  // A side saved again within the stamps' tolerance changed all the same: its text tells.
  if ((direction == Direction::ToText && memory.ChangedSinceBase(pcFile, ConversionEnv::Side::Pc)) ||
      (direction == Direction::ToDocument && memory.ChangedSinceBase(palmPath, ConversionEnv::Side::Document))) {
    direction = Direction::Ask;
  }
  switch (direction) {
    case Direction::ToDocument:
      ConvertTextToDocument(task, env);
      return;
    case Direction::ToText:
      if (!UpdatePcFromBase(task, env, memory, palmPath)) ConvertDocumentToText(task, env);
      return;
    case Direction::Neither:
      task.Status = status::kBothMissing;
      return;
    case Direction::Nothing:
      task.Status = status::kNoUpdateNecessary;
      return;
    case Direction::Ask:
      break;
  }
  Collision collision;
  if (!MergeBothSides(task, env, memory, palmPath, collision)) AskBothChanged(task, env, collision);
}

}  // namespace

bool SideChanged(double stamp, std::time_t fileTime) {
  // Never set, or nothing this program writes (NaN, infinite, out of the date range): changed.
  if (stamp == 0 || !IsPlausibleDate(stamp)) return true;
  return std::llabs(SecondsBetween(stamp, fileTime)) > kStampTolerance;
}

void RunTask(TaskRecord& task, ConversionEnv& env) {
  TaskMemory memory(task, env);
  try {
    RunBothWays(task, env, memory);
  } catch (const TaskFailure& failure) {
    task.Status = failure.status;  // its reason given where it was thrown
  } catch (...) {
    EndWithCurrentFailure(task, env, WorkingOn{task.PcFile.Trimmed(), true});
  }
  env.flags.sideChosen = false;
  memory.Remember(task);
}

void CarryOutTask(TaskRecord& task, ConversionEnv& env) {
  if (task.Action == TaskAction::BothWays) {
    RunTask(task, env);
    return;
  }
  if (task.Action != TaskAction::PalmToPc && task.Action != TaskAction::PcToPalm) return;
  TaskMemory memory(task, env);
  if (task.Action == TaskAction::PalmToPc) {
    ConvertDocumentToText(task, env);
  } else {
    ConvertTextToDocument(task, env);
  }
  memory.Remember(task);
}

}  // namespace zun
