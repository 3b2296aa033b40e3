#include "cli/cli_host.h"

#include "cli/staging.h"

namespace zundoc {

void CliHost::ShowProgress(bool shown) {
  if (!shown) progress_.Clear();
}

bool CliHost::Abandoned() { return abandonOnSignal && Interrupted(); }

}  // namespace zundoc
