// zundoc run: the task list of a data folder, run as the window's Convert button runs it.
#pragma once
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "convert/conversion_env.h"
#include "record/data_file.h"

namespace zundoc {

struct RunOptions {
  // The data folder; relative paths of tasks are taken from it. Empty: the window's, created
  // when missing (see WindowDataFolder).
  std::string dir;
  // The answers a window's user would give: to "overwrite?" when asking is on, and when both files
  // of a task changed.
  bool overwrite = false;
  zun::PromptAnswer bothChangedAnswer = zun::PromptAnswer::Skip;
  // Whether a file the run replaces that did not come from the task's last conversion is first
  // copied into the Trash.
  bool trash = true;
  // Whether to wait while another program holds the data folder.
  zun::LockWait wait = zun::LockWait::No;
};

// Prints one line per task to `out` as soon as the task is done (row, PC file, Palm file, sync
// symbol, status; TAB-separated, see EscapeControls), and for a task that failed which file and
// why to `err`. Returns the exit status: 1 when a task it ran failed or the data file could not
// be used, 3 when another program holds the data folder. Changes the current folder to the data
// folder.
int RunTaskList(const RunOptions& options, std::ostream& out, std::ostream& err);

// The data folder of the window that zun2-start starts: $XDG_DATA_HOME/zun2, else
// ~/.local/share/zun2 (a relative XDG_DATA_HOME counts as unset).
std::string WindowDataFolder();

// The line of a task that ran, flushed at once: row, PC file, Palm file, sync symbol and status,
// TAB-separated, each escaped as EscapeControls does.
void PrintTaskLine(std::ostream& out, int32_t row, const zun::TaskRecord& task, const std::string& syncSymbol);

// Makes `folder` and the folders above it that are missing, private to the user as new data
// folders are; the reason when that failed.
std::optional<std::string> MakeFolders(const std::string& folder);

// Control characters as \t, \n, \r or \xHH and a backslash as \\, so a path never breaks the
// one-line-per-task output.
std::string EscapeControls(std::string_view text);

}  // namespace zundoc
