// Runs that nobody attends (zundoc watch, the window's "Convert on change"): no prompt is shown.
// Where a run would ask, the answer is the one that loses nothing: a file the task converted
// before is updated, as in any run; one it never converted stays as it is; two changed sides that
// could not be merged stay as they are. The user hears of what was left (a status, a desktop notice).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_env.h"
#include "record/data_file.h"
#include "tasks/conversion_run.h"
#include "tasks/watch_plan.h"

namespace zun {

inline constexpr const char* kMustChooseStatus = "Both files changed: choose which to keep";
inline constexpr const char* kNotReplacedStatus = "Not replaced: existing file never converted by this task";

// A task a run left for the user.
struct LeftTask {
  std::string pcFile;
  std::string palmFile;
  bool bothChanged = false;  // else: an existing file the task never converted
  int32_t collisions = 0;    // where both sides' changes collide; 0: not compared line by line
};

class UnattendedAnswers {
 public:
  // Before a task runs, its record as read (the stamps say which sides it converted before).
  void BeginTask(const TaskRecord& task);
  // In place of the overwrite prompt: Overwrite for a side the task converted before, Skip for a
  // file it never converted.
  OverwriteAnswer Overwrite(const std::string& question);
  // In place of the both-changed prompt (what could be merged was merged before it is asked): Skip.
  PromptAnswer BothChanged(const Collision& collision);
  // After the task: the status for what was answered in the user's place.
  void EndTask(TaskRecord& task);
  // The tasks left for the user since the last call.
  std::vector<LeftTask> TakeLeftTasks();

 private:
  TaskRecord task_;
  bool skippedUnknown_ = false;
  bool skippedBothChanged_ = false;
  int32_t collisions_ = 0;
  std::vector<LeftTask> left_;
};

// The desktop notice about tasks left for the user.
struct Notice {
  std::string summary;
  std::string body;
};
Notice NoticeFor(const std::vector<LeftTask>& left);

// How the tasks of an unattended run ended, for the tray's tip: "2 OK, 1 failed, 1 left for you".
struct RunTally {
  int ok = 0;
  int failed = 0;
  int left = 0;
  int other = 0;  // no update necessary, skipped, stopped
  void Count(const std::string& status);
  std::string Text() const;
};

// The window's part in an unattended run of a data file's tasks: the install list follows each
// task's targets, prompts are answered as above, nothing is drawn.
class UnattendedHost : public ConversionHost, public RunView {
 public:
  UnattendedHost(DataFile& data, int32_t installEntries) : data_(data), installEntries_(installEntries) {}

  UnattendedAnswers answers;
  std::function<void()> onLetEventsRun;
  std::function<void(int32_t row, const TaskRecord& task, const std::string& syncSymbol)> onOutcome;

  TargetChecks InstallChecks() override { return checks_; }
  bool AskOverwrite() override { return true; }  // every existing file is looked at
  void SetAskOverwrite(bool) override {}
  OverwriteAnswer OverwritePrompt(const std::string& question, const std::string&) override {
    return answers.Overwrite(question);
  }
  PromptAnswer BothChangedPrompt(const Collision& collision) override { return answers.BothChanged(collision); }
  void ShowProgress(bool) override {}
  void SetProgressCaption(const std::string&) override {}
  void SetProgressRange(int32_t) override {}
  void SetProgressValue(int32_t) override {}
  void SetTrayIcon(int32_t, const std::string&) override {}
  void LetEventsRun() override {
    if (onLetEventsRun) onLetEventsRun();
  }

  void ShowTask(int32_t row) override;
  void ShowOutcome(int32_t row, const TaskRecord& task, const std::string& syncSymbol) override {
    if (onOutcome) onOutcome(row, task, syncSymbol);
  }

 private:
  DataFile& data_;
  int32_t installEntries_;
  TargetChecks checks_;
};

// The hooks of an unattended run of the rows `plan` found due: the answers follow each task, a
// both-ways task sees the changes its stamps would hide, and the plan learns how each task ended.
TaskHooks UnattendedHooks(UnattendedAnswers& answers, WatchPlan& plan);

}  // namespace zun
