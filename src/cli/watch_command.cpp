#include "cli/watch_command.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <iostream>
#include <optional>
#include <set>
#include <vector>

#include "cli/arguments.h"
#include "cli/exit_status.h"
#include "cli/run_command.h"
#include "glue/codec_loader.h"
#include "glue/desktop_notice.h"
#include "glue/file_descriptor.h"
#include "glue/inotify_watcher.h"
#include "glue/paths.h"
#include "hotsync/jpilot_users.h"
#include "record/data_file.h"
#include "tasks/conversion_run.h"
#include "tasks/unattended.h"
#include "tasks/watch_plan.h"

namespace zundoc {
namespace {

// SIGINT, SIGTERM, SIGHUP and SIGPIPE, blocked and read from a descriptor: a wait for files or for
// the data folder ends the moment one arrives, and a run sees it between tasks. A signal that
// whoever started zundoc ignores stays ignored.
class Signals {
 public:
  Signals() {
    sigemptyset(&set_);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
      struct sigaction previous {};
      if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) sigaddset(&set_, signal);
    }
    ::sigprocmask(SIG_BLOCK, &set_, &previous_);
    fd_ = zun::FileDescriptor(::signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC));
  }
  ~Signals() { ::sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  Signals(const Signals&) = delete;
  Signals& operator=(const Signals&) = delete;

  int Descriptor() const { return fd_.Get(); }
  bool Arrived() {
    signalfd_siginfo info{};
    if (arrived_ == 0 && ::read(fd_.Get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      arrived_ = static_cast<int>(info.ssi_signo);
    }
    return arrived_ != 0;
  }
  // Ends the process by the signal that arrived, as it would have ended at once without zundoc's
  // handling (the shell then shows 128 + its number).
  [[noreturn]] void EndProcess() const {
    ::signal(arrived_, SIG_DFL);
    ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
    ::raise(arrived_);
    ::_exit(128 + arrived_);
  }

 private:
  sigset_t set_{};
  sigset_t previous_{};
  zun::FileDescriptor fd_;
  int arrived_ = 0;
};

// How long a data folder found taken right after its lock was free is left alone.
constexpr int kRetryMs = 200;

struct Watching {
  std::ostream& out;
  std::ostream& err;
  std::string programDir;
  const zun::DocCodec& codec;
  zun::JPilotUsers& users;
  int32_t entries;
  Signals& signals;
  zun::FolderWatcher watcher;
  zun::WatchPlan plan;
  std::set<std::string> toldUnwatchable;  // folders already named on standard error
  bool trash = true;
};

// Takes the data folder, waiting while a window or a run holds it; false on a signal.
bool TakeDataFolder(Watching& w, zun::DataFile& data) {
  for (;;) {
    std::string lock;
    try {
      lock = data.LockPath();
    } catch (const zun::FileError&) {
      lock = w.programDir + zun::kDataLockName;  // opening the data file says what is wrong
    }
    if (!zun::WaitForUnlock(lock, w.signals.Descriptor())) return false;
    try {
      data.OpenAndCheck(zun::LockWait::No);
      if (!data.RepairNote().empty()) w.err << "zundoc: " << data.RepairNote() << "\n";
      return true;
    } catch (const zun::DataFolderInUse&) {
      // Taken by another between the wait and the open: wait again, a moment later at the
      // soonest, so that a lock the wait cannot see never makes it spin.
      pollfd signal{w.signals.Descriptor(), POLLIN, 0};
      ::poll(&signal, 1, kRetryMs);
    }
  }
}

void RunDueRows(Watching& w, zun::DataFile& data, const std::vector<int32_t>& rows) {
  zun::UnattendedHost host(data, w.entries);
  zun::RunFlags flags;
  host.onLetEventsRun = [&] {
    if (w.signals.Arrived()) flags.stopRequested = true;  // the run ends after the task in hand
  };
  zun::ConversionEnv env{w.codec, w.users, host, flags, w.programDir, &data};
  env.handheldCharset = zun::HandheldCharsetFor(w.users.Settings().charSet);
  env.keepBases = true;
  env.useTrash = w.trash;
  host.onOutcome = [&](int32_t row, const zun::TaskRecord& task, const std::string& symbol) {
    PrintTaskLine(w.out, row, task, symbol);
    if (task.Status.str().starts_with("Error") && !env.failure.file.empty()) {
      w.err << "zundoc: " << EscapeControls(env.failure.file) << ": " << env.failure.reason << "\n";
    }
    if (w.signals.Arrived()) flags.stopRequested = true;
  };
  zun::TaskHooks hooks = zun::UnattendedHooks(host.answers, w.plan);
  hooks.before = [before = hooks.before, &env](int32_t row, zun::TaskRecord& task) {
    env.failure = {};  // what the line about a failed task names is this task's
    before(row, task);
  };
  if (const std::optional<std::string> failure = zun::RunTasks(data, env, host, rows, hooks)) {
    w.err << "zundoc: " << *failure << "\n";
  }
  const std::vector<zun::LeftTask> left = host.answers.TakeLeftTasks();
  if (!left.empty()) {
    const zun::Notice notice = zun::NoticeFor(left);
    zun::ShowDesktopNotice(notice.summary, notice.body);
  }
}

// Watches the plan's folders; whether files to run were found in folders watched anew.
bool Rearm(Watching& w) {
  const zun::FolderWatcher::Armed armed = w.watcher.WatchFolders(w.plan.Folders());
  for (const std::string& problem : armed.unwatchable) {
    if (w.toldUnwatchable.insert(problem).second) w.err << "zundoc: cannot watch " << problem << "\n";
  }
  return w.plan.FoldersAppeared(armed.added);
}

// Reads the task list and runs what is due, holding the data folder only meanwhile; false on a
// signal.
bool RunWhatIsDue(Watching& w) {
  {
    zun::DataFile data(w.programDir);
    if (!TakeDataFolder(w, data)) return false;
    w.plan.Follow(zun::ReadTaskList(data));
    Rearm(w);  // before the run: what changes while it goes on is seen
    const std::vector<int32_t> rows = w.plan.TakeDueRows();
    if (!rows.empty()) RunDueRows(w, data, rows);
  }
  w.plan.DataFileLeft();
  return !w.signals.Arrived();
}

// Waits for changes until the files have been quiet long enough; false on a signal.
bool AwaitQuiet(Watching& w, zun::QuietTime& quiet) {
  for (;;) {
    const auto left = quiet.Left(zun::QuietTime::Clock::now());
    if (left && left->count() == 0 && w.plan.RunDue()) return true;
    if (left && left->count() == 0) {
      w.plan.TakeDueRows();  // only this program's own writes: nothing to run
      quiet.Reset();
    }
    pollfd waits[2] = {{w.signals.Descriptor(), POLLIN, 0}, {w.watcher.Descriptor(), POLLIN, 0}};
    const int timeout = quiet.Running() ? static_cast<int>(quiet.Left(zun::QuietTime::Clock::now())->count()) : -1;
    if (::poll(waits, 2, timeout) < 0 && errno != EINTR) return false;
    if (w.signals.Arrived()) return false;
    const zun::FolderWatcher::Changes changes = w.watcher.ReadChanges();
    bool relevant = false;
    for (const std::string& path : changes.paths) relevant = w.plan.Changed(path) || relevant;
    if (changes.rearm) relevant = Rearm(w) || relevant;  // a folder that appeared may hold a file already
    if (changes.overflow) {
      w.plan.AllChanged();
      relevant = true;
    }
    if (relevant) quiet.Changed(zun::QuietTime::Clock::now());
  }
}

}  // namespace

int WatchTaskList(const WatchOptions& options, std::ostream& out, std::ostream& err) {
  const std::string dir = options.dir.empty() ? WindowDataFolder() : options.dir;
  std::optional<std::string> problem = options.dir.empty() ? MakeFolders(dir) : std::nullopt;
  if (!problem && ::chdir(dir.c_str()) != 0) problem = zun::SystemReason(errno);
  if (problem) {
    err << "zundoc: " << EscapeControls(dir) << ": " << *problem << "\n";
    return kExitFailed;
  }
  const std::string programDir = zun::CurrentDirectoryWithSeparator();
  const std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) {
    err << zun::kCodecMissingMessage << "\n";
    return kExitFailed;
  }
  zun::JPilotUsers users;
  const int32_t entries = static_cast<int32_t>(zun::FillUserList(users).size()) + 1;  // users, "Custom"
  Signals signals;
  try {
    Watching w{out, err,          programDir, *codec, users, entries, signals, {}, {programDir, users, entries},
               {},  options.trash};
    zun::QuietTime quiet(options.quiet);
    // At the start every task is new: what changed while nobody watched runs at once.
    while (RunWhatIsDue(w) && AwaitQuiet(w, quiet)) quiet.Reset();
  } catch (const std::exception& error) {
    err << "zundoc: " << error.what() << "\n";
    return kExitFailed;
  }
  out.flush();
  if (signals.Arrived()) signals.EndProcess();
  return kExitFailed;
}

// Seconds from 0 to 3600, with up to three decimals ("2", "0.25").
std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
  const size_t point = text.find('.');
  const std::string whole = text.substr(0, point);
  std::string fraction = point == std::string::npos ? "" : text.substr(point + 1);
  const auto digits = [](const std::string& part) { return part.find_first_not_of("0123456789") == std::string::npos; };
  if (whole.empty() || whole.size() > 4 || fraction.size() > 3 || !digits(whole) || !digits(fraction)) {
    return std::nullopt;
  }
  if (point != std::string::npos && fraction.empty()) return std::nullopt;
  fraction.resize(3, '0');
  const long milliseconds = std::stol(whole) * 1000 + std::stol(fraction);
  if (milliseconds > 3600L * 1000) return std::nullopt;
  return std::chrono::milliseconds(milliseconds);
}

int Watch(const std::vector<std::string>& args) {
  const Arguments parsed = ParseArguments(args, {{"--dir", true}, {"--quiet", true}, {"--no-trash", false}});
  if (parsed.help) return PrintHelp();
  if (!parsed.problem.empty()) return UsageError(parsed.problem);
  if (!parsed.operands.empty()) return UsageError("watch takes no file; give the data folder with --dir");
  WatchOptions options;
  for (const auto& [option, value] : parsed.options) {
    if (option == "--dir") {
      if (value.empty()) return UsageError("--dir needs a folder");
      options.dir = value;
    } else if (option == "--quiet") {
      const auto quiet = ParseSeconds(value);
      if (!quiet) return UsageError("--quiet takes seconds from 0 to 3600");
      options.quiet = *quiet;
    } else if (option == "--no-trash") {
      options.trash = false;
    }
  }
  return WatchTaskList(options, std::cout, std::cerr);
}

}  // namespace zundoc
