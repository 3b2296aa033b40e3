#include "convert/conversion_env.h"

#include <strings.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <new>

#include "convert/status_texts.h"
#include "glue/byte_file.h"
#include "glue/dates.h"
#include "glue/file_problem.h"
#include "glue/file_system.h"
#include "glue/in_place_overwrite.h"
#include "glue/links.h"
#include "glue/paths.h"
#include "record/data_file.h"

namespace zun {
namespace {

// `real` has its links resolved; `folder` ends in a separator.
bool IsDataFolderFile(const std::string& real, const std::string& folder) {
  struct stat file {};
  const bool exists = ::stat(real.c_str(), &file) == 0;
  const std::string name = PathFileName(real);
  for (const char* own : {kDataFileName, kDataBackupName, kDataLockName}) {
    struct stat info {};
    if (exists && ::stat((folder + own).c_str(), &info) == 0 && info.st_dev == file.st_dev &&
        info.st_ino == file.st_ino) {
      return true;  // also a hard link elsewhere
    }
    // Not there yet (or another name on a file system that ignores case).
    if (::strcasecmp(name.c_str(), own) == 0 && IsSameFile(PathDirectory(real), folder)) return true;
  }
  return IsSameFile(PathDirectory(real), folder + kBaseFolderName);  // a base, by any name
}

}  // namespace

const char* FileRefusal(const ConversionEnv& env, const std::string& path) {
  std::string real;
  try {
    real = FollowLinks(path);
  } catch (const PlantedLinkError&) {
    return status::kPlantedLink;
  } catch (const FileError&) {
    return nullptr;  // a link loop: opening it fails
  }
  if (!env.programDir.empty() && IsDataFolderFile(real, env.programDir)) return status::kDataFolderFile;
  try {
    RestoreInterruptedOverwrite(real);
  } catch (const FileError&) {
    return status::kCouldNotOpen;
  }
  return nullptr;
}

const char* OpeningCheck(const TaskRecord& task, const TargetChecks& checks, const char* noTarget, NamesFirst order) {
  if (checks.CheckedCount() == 0) return noTarget;
  const bool noPc = PathFileName(task.PcFile.Trimmed()).empty();
  const bool noPalm = PathFileName(task.PalmFile.Trimmed()).empty();
  if (order == NamesFirst::Pc) {
    if (noPc) return status::kNoPcFile;
    if (noPalm) return status::kNoPalmFile;
  } else {
    if (noPalm) return status::kNoPalmFile;
    if (noPc) return status::kNoPcFile;
  }
  return nullptr;
}

void RefuseOpening(TaskRecord& task, ConversionEnv& env, const char* status) {
  task.Status = status;
  const std::string_view failed = status;
  if (failed == status::kNoPcFile) env.failure = {task.PcFile.Trimmed(), "no file name"};
  if (failed == status::kNoPalmFile) env.failure = {task.PalmFile.Trimmed(), "no file name"};
}

PromptAnswer ConfirmReplace(ConversionEnv& env, const std::string& question, const std::string& path) {
  if (FileExists(path) != FileState::Exists || env.flags.sideChosen || !env.host.AskOverwrite()) {
    return PromptAnswer::Overwrite;
  }
  const OverwriteAnswer answer = env.host.OverwritePrompt(question, path);
  if (answer.doNotAskAgain) {
    env.host.SetAskOverwrite(false);
    if (env.data != nullptr) {
      TaskRecord settings = env.data->Read(kSettingsRecord);
      settings.SetAskOverwrite(false);
      env.data->Write(kSettingsRecord, settings);
    }
  }
  switch (answer.result) {
    case PromptAnswer::Overwrite:
    case PromptAnswer::Skip:
      return answer.result;
    default:
      return PromptAnswer::Stop;
  }
}

void EndOnAnswer(TaskRecord& task, ConversionEnv& env, PromptAnswer answer) {
  if (answer == PromptAnswer::Skip) {
    task.Status = status::kUserSkippedTask;
  } else {
    task.Status = status::kUserStopped;
    env.flags.stopRequested = true;
  }
}

ByteFile CreateWorkFile(const ConversionEnv& env) {
  const std::string folder = env.programDir.empty() ? std::string(".") + kPathSeparator : env.programDir;
  FileDescriptor temporary = CreateAnonymousFile(env.programDir);
  if (!temporary.IsOpen()) throw FileError(folder, SystemReason(errno));
  return ByteFile::ForWriting(std::move(temporary), folder);
}

std::string CollisionText(const Collision& collision) {
  if (collision.places == 0) return "";
  std::string text = "Changed on both sides";
  if (collision.places > 1) text += " (the first of " + std::to_string(collision.places) + " places)";
  text += ":";
  for (const auto& [caption, lines] : {std::pair{"PC File", &collision.pcLines}, {"Palm File", &collision.palmLines}}) {
    text += std::string("\n") + caption + ":";
    if (lines->empty()) text += "\n    (no lines)";
    for (const std::string& line : *lines) text += "\n    " + line;
  }
  return text;
}

double StampOf(const std::string& path) {
  const auto time = ModificationTime(path);
  if (!time) throw FileError("no modification time for " + path);
  return ToAutomationDate(*time);
}

int32_t ProgressFrame(int32_t i, int32_t n) {
  const float step = static_cast<float>(n) / 8.0f;
  const long rounded = std::lrint(static_cast<float>(i) / step);  // the default rounding: halves to even
  return static_cast<int32_t>(rounded % 8) + 1;
}

void ProgressStep(ConversionEnv& env, int32_t i, int32_t n) {
  env.host.SetProgressValue(i);
  env.host.SetTrayIcon(ProgressFrame(i, n), "");
  env.host.LetEventsRun();
  StopIfAbandoned(env);
}

void StopIfAbandoned(ConversionEnv& env) {
  if (env.host.Abandoned()) Fail(status::kUserStopped);
}

std::string ReasonOfStatus(const char* status) {
  const std::string_view text = status;
  return std::string(text.starts_with("Error: ") ? text.substr(7) : text);
}

void Refuse(TaskRecord& task, ConversionEnv& env, const char* status, const std::string& file, std::string reason) {
  task.Status = status;
  env.failure = {file, std::move(reason)};
}

namespace {

// The reason for a failure that did not give one: what is wrong with the file worked on, else
// what the failure said.
std::string ReasonFor(const WorkingOn& workingOn, const char* said) {
  std::string problem = workingOn.replacing ? ReplaceProblem(workingOn.file) : ReadProblem(workingOn.file);
  return problem.empty() ? std::string(said) : problem;
}

}  // namespace

void EndWithCurrentFailure(TaskRecord& task, ConversionEnv& env, const WorkingOn& workingOn) {
  task.Status = status::kCouldNotOpen;
  try {
    throw;
  } catch (const TaskFailure& failure) {
    task.Status = failure.status;
    if (std::string_view(failure.status).starts_with("Error"))
      env.failure = {workingOn.file, ReasonOfStatus(failure.status)};
  } catch (const FileError& error) {
    if (!error.File().empty()) {
      env.failure = {error.File(), error.Reason()};
    } else {
      env.failure = {workingOn.file, ReasonFor(workingOn, error.what())};
    }
  } catch (const std::bad_alloc&) {
    env.failure = {workingOn.file, SystemReason(ENOMEM)};
  } catch (const std::exception& error) {
    env.failure = {workingOn.file, ReasonFor(workingOn, error.what())};
  } catch (...) {
    env.failure = {workingOn.file, ReasonFor(workingOn, "failed")};
  }
}

void EndProgress(ConversionEnv& env) {
  env.host.SetTrayIcon(1, "");
  env.host.ShowProgress(false);
  env.host.SetProgressCaption(kProgressCaption);
  env.host.LetEventsRun();
}

}  // namespace zun
