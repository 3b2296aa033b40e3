// zundoc watch: the task list of a data folder, run whenever the tasks' files change.
#pragma once
#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "tasks/watch_plan.h"

namespace zundoc {

struct WatchOptions {
  // The data folder; relative paths of tasks are taken from it. Empty: the window's, made when
  // missing (see WindowDataFolder).
  std::string dir;
  std::chrono::milliseconds quiet = zun::kDefaultQuietTime;  // files quiet this long: their tasks run
  // Whether a file a run replaces that did not come from the task's last conversion is first
  // copied into the Trash (as for zundoc run).
  bool trash = true;
};

// Watches until SIGINT, SIGTERM, SIGHUP or SIGPIPE, which end it after the task in hand: the
// process then ends by that signal. Prints each task's line as zundoc run does. Returns 1 when it
// cannot watch (no codec, no data folder, no inotify). Changes the current folder to options.dir.
int WatchTaskList(const WatchOptions& options, std::ostream& out, std::ostream& err);

// zundoc watch [--dir DIR] [--quiet SECONDS]: the command line; the exit status.
int Watch(const std::vector<std::string>& args);

}  // namespace zundoc
