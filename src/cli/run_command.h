// zundoc run: the task list of a data folder, run as the window's Convert button runs it.
#pragma once
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

#include "convert/conversion_env.h"

namespace zundoc {

struct RunOptions {
  std::string dir = ".";                        // the data folder; relative task paths are taken from it
  bool overwrite = false;                       // the answer when asking before overwriting is on
  int32_t bothChangedAnswer = zun::kPromptSkip;  // the answer when both files changed
};

// Prints one line per task to `out` as soon as the task is done (row, PC file, Palm file, sync
// symbol, status; TAB-separated, see EscapeControls). Returns the exit status: 1 when a task it
// ran failed or the data file could not be used. Changes the current folder to options.dir.
int RunTaskList(const RunOptions& options, std::ostream& out, std::ostream& err);

// Control characters as \t, \n, \r or \xHH and a backslash as \\, so a path never breaks the
// one-line-per-task output.
std::string EscapeControls(std::string_view text);

}  // namespace zundoc
