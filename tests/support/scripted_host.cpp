#include "support/scripted_host.h"

namespace zun {

OverwriteAnswer ScriptedHost::OverwritePrompt(const std::string&, const std::string& path) {
  overwritePrompts.push_back(path);
  if (overwriteAnswers.empty()) return {PromptAnswer::Skip, false};
  const OverwriteAnswer answer = overwriteAnswers.front();
  overwriteAnswers.pop_front();
  return answer;
}

PromptAnswer ScriptedHost::BothChangedPrompt(const Collision& collision) {
  ++bothChangedPrompts;
  collisions.push_back(collision);
  if (bothChangedAnswers.empty()) return laterBothChangedAnswer;
  const PromptAnswer answer = bothChangedAnswers.front();
  bothChangedAnswers.pop_front();
  return answer;
}

void ScriptedHost::ToggleClipSettings() {
  ++clipModeToggles;
  clipSettingsMode = !clipSettingsMode;
  if (clipSettingsMode) {
    checksOutsideClipMode_ = checks;
    checks = TargetChecks{{true}};  // "Custom", the install list while clip settings mode shows record 2
  } else {
    checks = checksOutsideClipMode_;
  }
}

}  // namespace zun
