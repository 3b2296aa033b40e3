#include "tasks/conversion_run.h"

#include "convert/status_texts.h"
#include "glue/paths.h"
#include "tasks/base_store.h"
#include "tasks/task_run.h"

namespace zun {
namespace {

// What a run over rows saw: whether it reached the last of them, and whether any task converted.
struct RowsSeen {
  bool all = true;
  bool anyConverted = false;
};

// One task of the list: shown, carried out by its direction, its outcome shown and stored. Whether
// it converted.
bool RunRow(int32_t row, DataFile& data, ConversionEnv& env, RunView& view, const TaskHooks& hooks) {
  view.ShowTask(row);
  env.host.LetEventsRun();
  const TaskRecord before = data.Read(TaskRecordNumber(row));
  TaskRecord task = before;
  if (hooks.before) hooks.before(row, task);
  CarryOutTask(task, env);  // no conversion: the stored status is shown again
  if (hooks.after) hooks.after(row, task);
  view.ShowOutcome(row, task, SyncSymbol(task.Status.str()));
  env.host.LetEventsRun();
  // On disk before the next task: an "OK" survives a power cut as the files it stands for do.
  if (task != before) {
    data.Write(TaskRecordNumber(row), task);
    data.Sync();
  }
  return task.Action != TaskAction::NoConversion && task.Status.Trimmed() == status::kOk;
}

// Runs `rows` in order until a Stop; throws what the data file throws.
RowsSeen RunRows(DataFile& data, ConversionEnv& env, RunView& view, const std::vector<int32_t>& rows,
                 const TaskHooks& hooks) {
  RowsSeen seen;
  const int32_t count = data.TaskCount();
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i] < 1 || rows[i] > count) continue;
    seen.anyConverted = RunRow(rows[i], data, env, view, hooks) || seen.anyConverted;
    if (env.flags.stopRequested) {
      seen.all = i + 1 == rows.size();
      break;
    }
  }
  return seen;
}

std::string DataFileFailure(const std::exception& error) {
  return std::string("Error: the data file could not be read or written (") + error.what() + ")";
}

}  // namespace

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

std::optional<std::string> RunTasks(DataFile& data, ConversionEnv& env, RunView& view,
                                    const std::vector<int32_t>& rows, const TaskHooks& hooks) {
  std::optional<std::string> failure;
  try {
    RunRows(data, env, view, rows, hooks);
  } catch (const std::exception& error) {
    failure = DataFileFailure(error);
  }
  env.flags.stopRequested = false;
  return failure;
}

std::optional<std::string> RunAllTasks(DataFile& data, ConversionEnv& env, RunView& view) {
  std::optional<std::string> failure;
  try {
    std::vector<int32_t> rows;
    for (int32_t row = 1; row <= data.TaskCount(); ++row) rows.push_back(row);
    const RowsSeen seen = RunRows(data, env, view, rows, {});
    // Bases no task names any more (of renamed tasks), once a run has stored one: a run in which
    // nothing changed leaves the bases alone. A run of some rows cannot tell.
    if (env.keepBases && seen.all && seen.anyConverted) ForgetUnnamedBases(data, env.programDir, env.users);
  } catch (const std::exception& error) {
    failure = DataFileFailure(error);
  }
  env.flags.stopRequested = false;
  return failure;
}

}  // namespace zun
