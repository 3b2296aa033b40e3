#include "cli/run_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>

#include "cli/arguments.h"
#include "cli/cli_host.h"
#include "cli/exit_status.h"
#include "cli/staging.h"
#include "glue/codec_loader.h"
#include "glue/paths.h"
#include "hotsync/jpilot_users.h"
#include "record/data_file.h"
#include "record/task_record.h"
#include "tasks/conversion_run.h"

namespace zundoc {
namespace {

bool RunsAConversion(zun::TaskAction action) {
  return action == zun::TaskAction::PalmToPc || action == zun::TaskAction::PcToPalm ||
         action == zun::TaskAction::BothWays;
}

// The window's part in a run: the install list follows each task's targets, and each outcome is
// printed the moment the task is done.
class PrintingView : public zun::RunView {
 public:
  PrintingView(zun::DataFile& data, CliHost& host, TerminalProgress& progress, int32_t entries, std::ostream& out,
               std::ostream& err)
      : data_(data), host_(host), progress_(progress), entries_(entries), out_(out), err_(err) {}

  void Attach(zun::ConversionEnv& env) { env_ = &env; }

  void ShowTask(int32_t row) override {
    host_.checks = zun::ChecksFromTargets(data_.Read(zun::TaskRecordNumber(row)).Targets, entries_);
    progress_.SetSubject("task " + std::to_string(row) + " of " + std::to_string(data_.TaskCount()));
    env_->failure = {};
    host_.skippedCollision.clear();
  }

  void ShowOutcome(int32_t row, const zun::TaskRecord& task, const std::string& symbol) override {
    progress_.Clear();
    const std::string status = task.Status.Trimmed();
    // A task set to no conversion shows its stored status; an old error there is not this run's.
    const bool failed = RunsAConversion(task.Action) && status.starts_with("Error");
    anyFailed_ = anyFailed_ || failed;
    PrintTaskLine(out_, row, task, symbol);
    if (failed && !env_->failure.file.empty()) {
      err_ << "zundoc: " << EscapeControls(env_->failure.file) << ": " << env_->failure.reason << "\n";
    }
    if (!host_.skippedCollision.empty()) PrintCollision(task.PcFile.Trimmed(), host_.skippedCollision);
    // Interrupted, or nobody reads the lines any more: end after this task, its record written.
    if (Interrupted() || !out_) env_->flags.stopRequested = true;
  }

  bool AnyFailed() const { return anyFailed_; }

 private:
  void PrintCollision(const std::string& pcFile, const std::string& collision) {
    err_ << "zundoc: " << EscapeControls(pcFile) << ": both files changed the same lines; --prefer pc or --prefer palm"
         << " chooses\n";
    size_t start = 0;
    for (size_t end = 0; end != std::string::npos; start = end + 1) {
      end = collision.find('\n', start);
      err_ << "  " << EscapeControls(collision.substr(start, end == std::string::npos ? end : end - start)) << "\n";
    }
  }

  zun::DataFile& data_;
  CliHost& host_;
  TerminalProgress& progress_;
  int32_t entries_;
  std::ostream& out_;
  std::ostream& err_;
  zun::ConversionEnv* env_ = nullptr;
  bool anyFailed_ = false;
};

// Runs the tasks of the data folder that is the current folder; the exit status.
int RunInDataFolder(const RunOptions& options, const zun::DocCodec& codec, std::ostream& out, std::ostream& err) {
  const std::string programDir = zun::CurrentDirectoryWithSeparator();
  std::optional<SignalGuard> signals;  // from when the folder is ours: waiting for it ends on a signal
  zun::DataFile data(programDir);
  zun::JPilotUsers users;
  const int32_t entries = static_cast<int32_t>(zun::FillUserList(users).size()) + 1;  // users, "Custom"
  TerminalProgress progress(StandardErrorIsTerminal());
  CliHost host(progress);
  host.abandonOnSignal = false;  // the task in hand is finished and stored, as the window's Stop does
  host.overwriteAnswer = options.overwrite ? zun::PromptAnswer::Overwrite : zun::PromptAnswer::Skip;
  host.bothChangedAnswer = options.bothChangedAnswer;
  zun::RunFlags flags;
  PrintingView view(data, host, progress, entries, out, err);
  std::optional<std::string> failure;
  try {
    data.OpenAndCheck(options.wait);
    signals.emplace();
    // The tasks asked for are not there to run: the run fails, on an empty list.
    if (!data.RepairNote().empty()) failure = "Error: " + data.RepairNote();
    host.askOverwrite = data.Read(zun::kSettingsRecord).AskOverwrite();
    zun::ConversionEnv env{codec, users, host, flags, programDir, &data};
    env.handheldCharset = zun::HandheldCharsetFor(users.Settings().charSet);
    env.keepBases = true;
    env.useTrash = options.trash;
    view.Attach(env);
    if (auto runFailure = zun::RunAllTasks(data, env, view)) failure = std::move(runFailure);
  } catch (const zun::DataFolderInUse& error) {
    err << "zundoc: " << error.what() << "\n";
    return kExitFolderInUse;
  } catch (const std::exception& error) {
    failure = std::string("Error: ") + error.what();
  }
  progress.Clear();
  if (failure) err << "zundoc: " << *failure << "\n";
  return failure || view.AnyFailed() ? kExitFailed : kExitOk;
}

}  // namespace

std::string WindowDataFolder() {
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  std::string base = dataHome != nullptr && dataHome[0] == '/' ? dataHome : zun::FallbackFolder() + ".local/share";
  if (base.back() != '/') base += '/';
  return base + "zun2";
}

std::optional<std::string> MakeFolders(const std::string& folder) {
  size_t end = 0;
  do {
    end = folder.find('/', end + 1);
    if (::mkdir(folder.substr(0, end).c_str(), 0700) != 0 && errno != EEXIST) return zun::SystemReason(errno);
  } while (end != std::string::npos);
  return std::nullopt;
}

void PrintTaskLine(std::ostream& out, int32_t row, const zun::TaskRecord& task, const std::string& syncSymbol) {
  out << row << '\t' << EscapeControls(task.PcFile.Trimmed()) << '\t' << EscapeControls(task.PalmFile.Trimmed()) << '\t'
      << syncSymbol << '\t' << EscapeControls(task.Status.Trimmed()) << '\n'
      << std::flush;
}

std::string EscapeControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '\t') {
      escaped += "\\t";
    } else if (c == '\n') {
      escaped += "\\n";
    } else if (c == '\r') {
      escaped += "\\r";
    } else if (byte < 0x20 || byte == 0x7f) {
      escaped += "\\x";
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xf];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

int RunTaskList(const RunOptions& options, std::ostream& out, std::ostream& err) {
  const std::string dir = options.dir.empty() ? WindowDataFolder() : options.dir;
  if (options.dir.empty()) {
    if (const auto problem = MakeFolders(dir)) {
      err << "zundoc: " << EscapeControls(dir) << ": " << *problem << "\n";
      return kExitFailed;
    }
  }
  // The window keeps its data in its current folder and resolves relative paths against it.
  if (::chdir(dir.c_str()) != 0) {
    err << "zundoc: " << EscapeControls(dir) << ": " << zun::SystemReason(errno) << "\n";
    return kExitFailed;
  }
  const std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) {
    err << zun::kCodecMissingMessage << "\n";
    return kExitFailed;
  }
  return RunInDataFolder(options, *codec, out, err);
}

}  // namespace zundoc
