#include "cli/run_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "cli/exit_status.h"
#include "cli/staging.h"
#include "glue/codec_loader.h"
#include "glue/paths.h"
#include "hotsync/jpilot_users.h"
#include "record/data_file.h"
#include "record/task_record.h"
#include "tasks/conversion_run.h"
#include "tasks/scripted_host.h"

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
  PrintingView(zun::DataFile& data, zun::ScriptedHost& host, zun::RunFlags& flags, int32_t entries, std::ostream& out)
      : data_(data), host_(host), flags_(flags), entries_(entries), out_(out) {}

  void ShowTask(int32_t row) override {
    host_.checks = zun::ChecksFromTargets(data_.Read(zun::TaskRecordNumber(row)).Targets, entries_);
  }

  void ShowOutcome(int32_t row, const zun::TaskRecord& task, const std::string& symbol) override {
    const std::string status = task.Status.Trimmed();
    // A task set to no conversion shows its stored status; an old error there is not this run's.
    if (RunsAConversion(task.Action) && status.starts_with("Error")) anyFailed_ = true;
    out_ << row << '\t' << EscapeControls(task.PcFile.Trimmed()) << '\t' << EscapeControls(task.PalmFile.Trimmed())
         << '\t' << symbol << '\t' << EscapeControls(status) << '\n'
         << std::flush;
    // Interrupted, or nobody reads the lines any more: end after this task, its record written.
    if (Interrupted() || !out_) flags_.stopRequested = true;
  }

  bool AnyFailed() const { return anyFailed_; }

 private:
  zun::DataFile& data_;
  zun::ScriptedHost& host_;
  zun::RunFlags& flags_;
  int32_t entries_;
  std::ostream& out_;
  bool anyFailed_ = false;
};

}  // namespace

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
  // The window keeps its data in its current folder and resolves relative paths against it.
  if (::chdir(options.dir.c_str()) != 0) {
    err << "zundoc: cannot use the folder " << options.dir << ": " << std::strerror(errno) << "\n";
    return kExitFailed;
  }
  const std::string programDir = zun::CurrentDirectoryWithSeparator();
  const std::optional<zun::DocCodec> codec = zun::LoadDocCodec(zun::CodecSearchFolders());
  if (!codec) {
    err << zun::kCodecMissingMessage << "\n";
    return kExitFailed;
  }
  std::optional<SignalGuard> signals;  // from when the folder is ours: waiting for it ends on a signal
  zun::DataFile data(programDir);
  zun::JPilotUsers users;
  const int32_t entries = static_cast<int32_t>(zun::FillUserList(users).size()) + 1;  // users, "Custom"
  zun::ScriptedHost host;
  zun::RunFlags flags;
  PrintingView view(data, host, flags, entries, out);
  std::optional<std::string> failure;
  try {
    data.OpenAndCheck(options.wait);
    signals.emplace();
    host.askOverwrite = data.Read(zun::kSettingsRecord).AskOverwrite();
    host.laterOverwriteAnswer = {options.overwrite ? zun::PromptAnswer::Overwrite : zun::PromptAnswer::Skip, false};
    host.laterBothChangedAnswer = options.bothChangedAnswer;
    zun::ConversionEnv env{*codec, users, host, flags, programDir, &data};
    env.handheldCharset = zun::HandheldCharsetFor(users.Settings().charSet);
    failure = zun::RunAllTasks(data, env, view);
  } catch (const zun::DataFolderInUse& error) {
    err << "zundoc: " << error.what() << "\n";
    return kExitFolderInUse;
  } catch (const std::exception& error) {
    failure = std::string("Error: ") + error.what();
  }
  if (failure) err << "zundoc: " << *failure << "\n";
  return failure || view.AnyFailed() ? kExitFailed : kExitOk;
}

}  // namespace zundoc
