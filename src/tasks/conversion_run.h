// The conversion run: every task of the list once, in order, each by its direction.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

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

// The check marks a task's Targets give an install list of `entryCount` entries.
TargetChecks ChecksFromTargets(const FixedText<32>& targets, int32_t entryCount);

}  // namespace zun
