// The window's part in a conversion, played by zundoc: the install list, the answers its options
// give, progress on a terminal, and an end to the task in hand when zundoc is being ended.
#pragma once
#include "cli/progress.h"
#include "convert/conversion_env.h"

namespace zundoc {

class CliHost : public zun::ConversionHost {
 public:
  explicit CliHost(TerminalProgress& progress) : progress_(progress) {}

  zun::TargetChecks checks{{true}};  // "Custom" alone; a run sets each task's targets
  bool askOverwrite = false;
  zun::PromptAnswer overwriteAnswer = zun::PromptAnswer::Skip;
  zun::PromptAnswer bothChangedAnswer = zun::PromptAnswer::Skip;
  // On a signal: end the task in hand at once, replacing nothing (encode, decode); a run lets it
  // finish instead, as the window's Stop does.
  bool abandonOnSignal = true;

  zun::TargetChecks InstallChecks() override { return checks; }
  bool AskOverwrite() override { return askOverwrite; }
  void SetAskOverwrite(bool on) override { askOverwrite = on; }
  zun::OverwriteAnswer OverwritePrompt(const std::string&, const std::string&) override { return {overwriteAnswer}; }
  // A collision left as it is: what the prompt would have shown, for the run to print.
  std::string skippedCollision;

  zun::PromptAnswer BothChangedPrompt(const zun::Collision& collision) override;
  void ShowProgress(bool shown) override;
  void SetProgressCaption(const std::string& caption) override { progress_.SetCaption(caption); }
  void SetProgressRange(int32_t maximum) override { progress_.SetRange(maximum); }
  void SetProgressValue(int32_t value) override { progress_.SetValue(value); }
  void SetTrayIcon(int32_t, const std::string&) override {}
  void LetEventsRun() override {}
  bool Abandoned() override;

 private:
  TerminalProgress& progress_;
};

}  // namespace zundoc
