// Test support: the window's part played from a script, for the tests, the benchmarks and the
// fuzzers (zundoc has its own host): answers given in advance, and a record of what a window
// would have shown.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "clipboard/clipboard_conversion.h"
#include "convert/conversion_env.h"
#include "tasks/conversion_run.h"

namespace zun {

class ScriptedHost : public ConversionHost, public RunView, public ClipboardView {
 public:
  TargetChecks checks{{true}};
  bool askOverwrite = false;
  std::deque<OverwriteAnswer> overwriteAnswers;  // then Skip
  std::deque<PromptAnswer> bothChangedAnswers;
  PromptAnswer laterBothChangedAnswer = PromptAnswer::Skip;
  std::function<void()> onLetEventsRun;

  // What was shown.
  std::vector<std::string> overwritePrompts;  // the paths asked about
  int bothChangedPrompts = 0;
  std::vector<Collision> collisions;  // what each both-changed prompt was shown
  std::vector<int32_t> trayFrames;
  std::string trayTip;
  std::vector<std::string> progressCaptions;
  int32_t progressMaximum = 0;
  bool progressShown = false;

  TargetChecks InstallChecks() override { return checks; }
  bool AskOverwrite() override { return askOverwrite; }
  void SetAskOverwrite(bool on) override { askOverwrite = on; }
  OverwriteAnswer OverwritePrompt(const std::string& question, const std::string& path) override;
  PromptAnswer BothChangedPrompt(const Collision& collision) override;
  void ShowProgress(bool shown) override { progressShown = shown; }
  void SetProgressCaption(const std::string& caption) override { progressCaptions.push_back(caption); }
  void SetProgressRange(int32_t maximum) override { progressMaximum = maximum; }
  void SetProgressValue(int32_t) override {}
  void SetTrayIcon(int32_t frame, const std::string& tip) override {
    trayFrames.push_back(frame);
    trayTip = tip;
  }
  void LetEventsRun() override {
    if (onLetEventsRun) onLetEventsRun();
  }

  // The conversion run.
  std::function<void(int32_t row)> onShowTask;  // e.g. set `checks` from the task's Targets
  struct Outcome {
    int32_t row;
    TaskRecord task;
    std::string symbol;
  };
  std::vector<int32_t> shownRows;
  std::vector<Outcome> outcomes;

  void ShowTask(int32_t row) override {
    shownRows.push_back(row);
    if (onShowTask) onShowTask(row);
  }
  void ShowOutcome(int32_t row, const TaskRecord& task, const std::string& symbol) override {
    outcomes.push_back({row, task, symbol});
  }

  // The clipboard.
  std::optional<std::string> clipboardText;
  bool clipboardAnswered = true;
  bool clipSettingsMode = false;
  std::vector<bool> clipControlsEnabled;
  int clipModeToggles = 0;

  ClipboardContent ReadClipboard() override { return {clipboardText, clipboardAnswered}; }
  bool ClipSettingsMode() override { return clipSettingsMode; }
  void ToggleClipSettings() override;
  void EnableClipControls(bool on) override { clipControlsEnabled.push_back(on); }
  bool CountUpChecked() override { return false; }
  void ShowCounter(int32_t) override {}
  void ShowClipStatus(const std::string&) override {}

 private:
  TargetChecks checksOutsideClipMode_;
};

}  // namespace zun
