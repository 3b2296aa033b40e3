// A ConversionHost with answers given in advance, for the command line and the tests. It records
// what a window would have shown.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_env.h"

namespace zun {

class ScriptedHost : public ConversionHost {
 public:
  TargetChecks checks{{true}};
  bool askOverwrite = false;
  std::deque<OverwriteAnswer> overwriteAnswers;
  OverwriteAnswer laterOverwriteAnswer{kPromptSkip, false};
  std::deque<int32_t> bothChangedAnswers;
  int32_t laterBothChangedAnswer = kPromptSkip;
  std::function<void()> onLetEventsRun;

  // What was shown.
  std::vector<std::string> overwritePrompts;  // the paths asked about
  int bothChangedPrompts = 0;
  std::vector<int32_t> trayFrames;
  std::string trayTip;
  std::vector<std::string> progressCaptions;
  int32_t progressMaximum = 0;
  int32_t progressValue = 0;
  bool progressShown = false;

  TargetChecks InstallChecks() override { return checks; }
  bool AskOverwrite() override { return askOverwrite; }
  void SetAskOverwrite(bool on) override { askOverwrite = on; }
  OverwriteAnswer OverwritePrompt(const std::string& question, const std::string& path) override;
  int32_t BothChangedPrompt() override;
  void ShowProgress(bool shown) override { progressShown = shown; }
  void SetProgressCaption(const std::string& caption) override { progressCaptions.push_back(caption); }
  void SetProgressRange(int32_t maximum) override {
    progressMaximum = maximum;
    progressValue = 0;
  }
  void SetProgressValue(int32_t value) override { progressValue = value; }
  void SetTrayIcon(int32_t frame, const std::string& tip) override {
    trayFrames.push_back(frame);
    trayTip = tip;
  }
  void LetEventsRun() override {
    if (onLetEventsRun) onLetEventsRun();
  }
};

}  // namespace zun
