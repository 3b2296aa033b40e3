#include "tasks/watch_plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <utility>

#include "glue/dates.h"
#include "glue/file_system.h"
#include "glue/links.h"
#include "glue/paths.h"
#include "record/data_file.h"
#include "tasks/conversion_run.h"
#include "tasks/task_run.h"

namespace zun {
namespace {

// Absolute against the data folder, "." and ".." taken out (as the watcher will name it).
std::string NormalPath(const std::string& path, const std::string& programDir) {
  if (path.empty()) return {};
  const std::string absolute = path.front() == kPathSeparator ? path : programDir + path;
  return std::filesystem::path(absolute).lexically_normal().string();
}

std::string FolderOf(const std::string& path) {
  std::string folder = PathDirectory(path);
  if (folder.size() > 1 && folder.back() == kPathSeparator) folder.pop_back();
  return folder;
}

// What makes a task this task, apart from what its runs write (stamps, status).
size_t SettingsOf(const TaskRecord& task) {
  TaskRecord settings = task;
  settings.PcDate = 0;
  settings.PalmDate = 0;
  settings.Status = "";
  const auto bytes = EncodeTaskRecord(settings);
  return std::hash<std::string_view>{}(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// The paths a change of the file may be reported under: its own, and the file behind its links.
std::vector<std::string> ReportedPaths(const std::string& path) {
  std::vector<std::string> paths{path};
  try {
    const std::string real = std::filesystem::path(FollowLinks(path)).lexically_normal().string();
    if (real != path) paths.push_back(real);
  } catch (const FileError&) {
    // A loop or a planted link: the run says so; the path itself is still watched.
  }
  return paths;
}

// Size, modification time (to the nanosecond) and inode: what tells one version of a file from
// the next; empty for a missing file.
std::string FileSignature(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  return std::to_string(info.st_size) + ' ' + std::to_string(info.st_mtim.tv_sec) + '.' +
         std::to_string(info.st_mtim.tv_nsec) + ' ' + std::to_string(info.st_ino);
}

// Whether the task names both its files (and a target): one still being set up is left alone, as
// its run would only say what is missing.
bool NamesItsFiles(const TaskFiles& files) { return !PathFileName(files.pcFile).empty() && !files.document.empty(); }

}  // namespace

std::vector<TaskRecord> ReadTaskList(const DataFile& data) {
  std::vector<TaskRecord> tasks;
  const int32_t count = data.TaskCount();
  tasks.reserve(static_cast<size_t>(count));
  for (int32_t row = 1; row <= count; ++row) tasks.push_back(data.Read(TaskRecordNumber(row)));
  return tasks;
}

TaskFiles FilesOfTask(const TaskRecord& task, UserManager& users, int32_t installEntries,
                      const std::string& programDir) {
  TaskFiles files;
  files.pcFile = NormalPath(task.PcFile.Trimmed(), programDir);
  const TargetChecks checks = ChecksFromTargets(task.Targets, installEntries);
  const std::string palmFile = task.PalmFile.Trimmed();
  if (checks.FirstChecked() >= 0 && !PathFileName(palmFile).empty()) {
    files.document = NormalPath(PalmFilePath(users, checks, checks.FirstChecked(), palmFile), programDir);
  }
  files.pcStarts = task.Action == TaskAction::PcToPalm || task.Action == TaskAction::BothWays;
  files.documentStarts = task.Action == TaskAction::PalmToPc || task.Action == TaskAction::BothWays;
  return files;
}

WatchPlan::WatchPlan(std::string programDir, UserManager& users, int32_t installEntries)
    : programDir_(std::move(programDir)),
      dataFile_(NormalPath(kDataFileName, programDir_)),
      users_(users),
      installEntries_(installEntries) {}

void WatchPlan::Follow(const std::vector<TaskRecord>& tasks) {
  std::map<size_t, int32_t> unmatched = std::move(seenSettings_);
  seenSettings_.clear();
  rows_.clear();
  rows_.reserve(tasks.size());
  reported_.clear();
  for (const TaskRecord& task : tasks) {
    Row row;
    row.settings = SettingsOf(task);
    row.files = FilesOfTask(task, users_, installEntries_, programDir_);
    row.pcDate = task.PcDate;
    row.palmDate = task.PalmDate;
    // Moved up by a delete, the same task is not new; a task edited or added is.
    const auto known = unmatched.find(row.settings);
    row.fresh = !followed_ || known == unmatched.end() || known->second == 0;
    if (!row.fresh) --known->second;
    row.fresh = row.fresh || freshSettings_.contains(row.settings);
    if (row.files.pcStarts && NamesItsFiles(row.files)) row.reported = ReportedPaths(row.files.pcFile);
    if (row.files.documentStarts && NamesItsFiles(row.files)) {
      for (std::string& path : ReportedPaths(row.files.document)) row.reported.push_back(std::move(path));
    }
    reported_.insert(row.reported.begin(), row.reported.end());
    ++seenSettings_[row.settings];
    rows_.push_back(std::move(row));
  }
  freshSettings_.clear();
  for (const Row& row : rows_) {
    if (row.fresh) freshSettings_.insert(row.settings);
  }
  followed_ = true;
  taskListChanged_ = false;
}

std::set<std::string> WatchPlan::Folders() const {
  std::set<std::string> folders{FolderOf(dataFile_)};
  for (const std::string& path : reported_) folders.insert(FolderOf(path));
  return folders;
}

bool WatchPlan::Changed(const std::string& path) {
  if (path == dataFile_) {
    if (!dataFileLeft_.empty() && FileSignature(dataFile_) == dataFileLeft_) return false;
    taskListChanged_ = true;
    return true;
  }
  if (!reported_.contains(path)) return false;
  changedPaths_.insert(path);
  return true;
}

bool WatchPlan::FoldersAppeared(const std::set<std::string>& folders) {
  bool found = false;
  for (const std::string& path : reported_) {
    if (folders.contains(FolderOf(path)) && FileExists(path) == FileState::Exists) {
      changedPaths_.insert(path);
      found = true;
    }
  }
  return found;
}

bool WatchPlan::Concerned(const Row& row) const {
  if (allChanged_ || row.fresh) return true;
  return std::any_of(row.reported.begin(), row.reported.end(),
                     [this](const std::string& path) { return changedPaths_.contains(path); });
}

bool WatchPlan::RunDue() const {
  if (taskListChanged_) return true;
  return std::any_of(rows_.begin(), rows_.end(), [this](const Row& row) { return Concerned(row) && OutOfStep(row); });
}

WatchPlan::Side WatchPlan::SideState(const std::string& path, double stamp, size_t settings) const {
  const auto left = left_.find(path);
  const bool stampLeft = left != left_.end() && left->second.stamp == stamp;
  // Untouched since this plan ran the task: what that run made of it (also a task left for the
  // user) stands until the file changes. A failure is tried again at the next report (of a
  // permission put right, say).
  if (stampLeft && left->second.stands && left->second.settings == settings &&
      left->second.before == FileSignature(path)) {
    return Side::InStep;
  }
  const std::optional<std::time_t> time = path.empty() ? std::nullopt : ModificationTime(path);
  if (!time || stamp == 0 || !IsPlausibleDate(stamp)) return Side::Changed;
  const long long seconds = std::llabs(SecondsBetween(stamp, *time));
  if (seconds > kStampTolerance) return Side::Changed;
  if (seconds > 0) return Side::Hidden;
  // The same second: another file than this plan's run left there has the stamp's time.
  if (stampLeft && left->second.signature != FileSignature(path)) return Side::Hidden;
  return Side::InStep;
}

bool WatchPlan::OutOfStep(const Row& row) const {
  if (!NamesItsFiles(row.files)) return false;
  return (row.files.pcStarts && SideState(row.files.pcFile, row.pcDate, row.settings) != Side::InStep) ||
         (row.files.documentStarts && SideState(row.files.document, row.palmDate, row.settings) != Side::InStep);
}

void WatchPlan::PrepareTask(int32_t row, TaskRecord& task) {
  if (row < 1 || row > TaskCount()) return;
  const Row& ready = rows_[static_cast<size_t>(row - 1)];
  const TaskFiles& files = ready.files;
  const Side pc = files.pcStarts ? SideState(files.pcFile, task.PcDate, ready.settings) : Side::InStep;
  const Side document = files.documentStarts ? SideState(files.document, task.PalmDate, ready.settings) : Side::InStep;
  // The one side that changed is what the run converts from, and it never writes that side.
  found_ = {FileSignature(files.pcFile), FileSignature(files.document), pc != Side::InStep && document == Side::InStep,
            document != Side::InStep && pc == Side::InStep};
  if (task.Action != TaskAction::BothWays) return;
  if (pc == Side::Hidden) task.PcDate = 0;
  if (document == Side::Hidden) task.PalmDate = 0;
}

void WatchPlan::TaskRan(int32_t row, const TaskRecord& task) {
  if (row < 1 || row > TaskCount()) return;
  Row& ran = rows_[static_cast<size_t>(row - 1)];
  ran.pcDate = task.PcDate;
  ran.palmDate = task.PalmDate;
  // The side converted from is left as the run found it: a save there while the run went on (its
  // stamp may already tell that save's time) is a change still to run.
  const bool stands = !task.Status.str().starts_with("Error");
  const auto left = [&](const std::string& path, double stamp, const std::string& found, bool source) {
    left_[path] = {stamp, source ? found : FileSignature(path), found, ran.settings, stands};
  };
  left(ran.files.pcFile, task.PcDate, found_.pcFile, found_.pcSource);
  if (!ran.files.document.empty()) left(ran.files.document, task.PalmDate, found_.document, found_.documentSource);
}

void WatchPlan::DataFileLeft() { dataFileLeft_ = FileSignature(dataFile_); }

std::vector<int32_t> WatchPlan::TakeDueRows() {
  std::vector<int32_t> due;
  for (size_t i = 0; i < rows_.size(); ++i) {
    Row& row = rows_[i];
    if (Concerned(row) && OutOfStep(row)) {
      due.push_back(static_cast<int32_t>(i + 1));
    }
    row.fresh = false;
  }
  changedPaths_.clear();
  freshSettings_.clear();
  allChanged_ = false;
  return due;
}

std::optional<std::chrono::milliseconds> QuietTime::Left(Clock::time_point now) const {
  if (!end_) return std::nullopt;
  if (now >= *end_) return std::chrono::milliseconds(0);
  // Rounded up: a wait that ends a little early would only wake to wait again.
  return std::chrono::ceil<std::chrono::milliseconds>(*end_ - now);
}

}  // namespace zun
