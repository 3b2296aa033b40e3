// The conversion run: every task of the list once, in order, each by its direction.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "convert/conversion_env.h"
#include "record/data_file.h"

namespace zun {

// " ?" for a status beginning with "Error", " OK" for one beginning with "OK", " -" otherwise.
std::string SyncSymbol(const std::string& status);

// What the run shows besides the conversions' own progress.
class RunView {
 public:
  virtual ~RunView() = default;
  // Select row `row` (from 1) and load its task into the editor; the install list's check
  // marks then show the task's targets.
  virtual void ShowTask(int32_t row) = 0;
  // The task of `row` is done: show its status (all 64 characters) and its "Sync" symbol.
  virtual void ShowOutcome(int32_t row, const TaskRecord& task, const std::string& syncSymbol) = 0;
};

// Runs the tasks 1..n (n taken at the start) and writes each back; ends after the current task
// once env.flags.stopRequested is set, and clears the flag at the end. Returns a text when the
// data file failed, which ends the run.
std::optional<std::string> RunAllTasks(DataFile& data, ConversionEnv& env, RunView& view);

// What a run nobody attends adds around each task: `before` sees the record as read, `after` the
// outcome before it is shown and stored.
struct TaskHooks {
  std::function<void(int32_t row, TaskRecord& task)> before;
  std::function<void(int32_t row, TaskRecord& task)> after;
};
// Runs the tasks of `rows` as RunAllTasks runs the whole list (rows past its end are passed over).
std::optional<std::string> RunTasks(DataFile& data, ConversionEnv& env, RunView& view, const std::vector<int32_t>& rows,
                                    const TaskHooks& hooks = {});

// The check marks a task's Targets give an install list of `entryCount` entries.
TargetChecks ChecksFromTargets(const FixedText<32>& targets, int32_t entryCount);

}  // namespace zun
