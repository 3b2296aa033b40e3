#include "cli/cli_host.h"

#include "cli/staging.h"

namespace zundoc {

void CliHost::ShowProgress(bool shown) {
  if (!shown) progress_.Clear();
}

zun::PromptAnswer CliHost::BothChangedPrompt(const zun::Collision& collision) {
  if (bothChangedAnswer == zun::PromptAnswer::Skip) skippedCollision = zun::CollisionText(collision);
  return bothChangedAnswer;
}

bool CliHost::Abandoned() { return abandonOnSignal && Interrupted(); }

}  // namespace zundoc
