#include "tasks/conversion_run.h"

#include "convert/document_to_text.h"
#include "convert/text_to_document.h"
#include "glue/paths.h"
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
  try {
    const int32_t count = data.TaskCount();
    for (int32_t row = 1; row <= count; ++row) {
      view.ShowTask(row);
      env.host.LetEventsRun();
      const TaskRecord before = data.Read(TaskRecordNumber(row));
      TaskRecord task = before;
      switch (task.Action) {
        case TaskAction::PalmToPc:
          ConvertDocumentToText(task, env);
          break;
        case TaskAction::PcToPalm:
          ConvertTextToDocument(task, env);
          break;
        case TaskAction::BothWays:
          RunTask(task, env);
          break;
        default:  // no conversion: the stored status is shown again
          break;
      }
      view.ShowOutcome(row, task, SyncSymbol(task.Status.str()));
      env.host.LetEventsRun();
      // On disk before the next task: an "OK" survives a power cut as the files it stands for do.
      if (task != before) {
        data.Write(TaskRecordNumber(row), task);
        data.Sync();
      }
      if (env.flags.stopRequested) break;
    }
  } catch (const std::exception& error) {
    failure = std::string("Error: the data file could not be read or written (") + error.what() + ")";
  }
  env.flags.stopRequested = false;
  return failure;
}

}  // namespace zun
