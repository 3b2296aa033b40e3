#include "tasks/conversion_run.h"

#include "convert/status_texts.h"
#include "glue/paths.h"
#include "tasks/base_store.h"
#include "tasks/task_run.h"

namespace zun {

std::string SyncSymbol(const std::string& status) {
  if (status.starts_with("Error")) return " ?";
  if (status.starts_with("OK")) return " OK";
  return " -";
}

TargetChecks ChecksFromTargets(const FixedText<32>& targets, int32_t entryCount) {
  TargetChecks checks;
  checks.checked.resize(static_cast<size_t>(entryCount > 0 ? entryCount : 0));
  for (size_t i = 0; i < checks.checked.size(); ++i) checks.checked[i] = IsEntryChecked(targets, static_cast<int>(i));
  return checks;
}

std::optional<std::string> RunAllTasks(DataFile& data, ConversionEnv& env, RunView& view) {
  std::optional<std::string> failure;
  bool everyTaskSeen = true;
  bool anyConverted = false;
  try {
    const int32_t count = data.TaskCount();
    for (int32_t row = 1; row <= count; ++row) {
      view.ShowTask(row);
      env.host.LetEventsRun();
      const TaskRecord before = data.Read(TaskRecordNumber(row));
      TaskRecord task = before;
      CarryOutTask(task, env);  // no conversion: the stored status is shown again
      anyConverted |= task.Action != TaskAction::NoConversion && task.Status.Trimmed() == status::kOk;
      view.ShowOutcome(row, task, SyncSymbol(task.Status.str()));
      env.host.LetEventsRun();
      // On disk before the next task: an "OK" survives a power cut as the files it stands for do.
      if (task != before) {
        data.Write(TaskRecordNumber(row), task);
        data.Sync();
      }
      if (env.flags.stopRequested) {
        everyTaskSeen = row == count;
        break;
      }
    }
    // Bases no task names any more (of renamed tasks), once a run has stored one: a run in which
    // nothing changed leaves the bases alone.
    if (env.keepBases && everyTaskSeen && anyConverted) ForgetUnnamedBases(data, env.programDir, env.users);
  } catch (const std::exception& error) {
    failure = std::string("Error: the data file could not be read or written (") + error.what() + ")";
  }
  env.flags.stopRequested = false;
  return failure;
}

}  // namespace zun
