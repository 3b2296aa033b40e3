#include "record/data_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "glue/in_place_overwrite.h"
#include "glue/links.h"
#include "glue/paths.h"
#include "glue/replacement_file.h"
#include "record/data_file_repair.h"

namespace zun {
namespace {

constexpr int kLockAttempts = 100;

// The lock file, opened for reading: flock needs no more, and a lock file made by another user
// (0644) must not keep out someone who may write the data file. Never through a link, never a
// FIFO; made when missing, without O_CREAT on one that exists (in a sticky shared folder the
// kernel refuses that for another user's file).
FileDescriptor OpenLockFile(const std::string& path) {
  constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    FileDescriptor lock(::open(path.c_str(), kFlags));
    if (!lock.IsOpen() && errno == ENOENT) lock = FileDescriptor(::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666));
    if (!lock.IsOpen() && errno == EEXIST) continue;  // made by someone else meanwhile
    struct stat info {};
    if (!lock.IsOpen() || ::fstat(lock.Get(), &info) != 0 || !S_ISREG(info.st_mode)) break;
    return lock;
  }
  throw FileError("cannot lock " + path);
}

// Whether `path` still names the file open as `fd`.
bool NamesFile(const std::string& path, int fd) {
  struct stat named {};
  struct stat opened {};
  return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &opened) == 0 && named.st_dev == opened.st_dev &&
         named.st_ino == opened.st_ino;
}

void WriteRecordAt(int fd, int32_t number, const TaskRecord& record, const std::string& path) {
  if (number < 1) throw FileError("bad record number");
  const auto bytes = EncodeTaskRecord(record);
  const off_t at = static_cast<off_t>(number - 1) * static_cast<off_t>(kTaskRecordSize);
  if (!WriteAll(fd, bytes, at)) throw FileError("cannot write " + path);
}

}  // namespace

DataFile::DataFile(std::string programDir) : programDir_(std::move(programDir)), path_(programDir_ + kDataFileName) {}

DataFile::~DataFile() { Close(); }

std::string DataFile::LockPath() const { return PathDirectory(FollowLinks(path_)) + kDataLockName; }

void DataFile::Lock(LockWait wait) {
  if (lock_.IsOpen()) return;
  const std::string path = LockPath();
  // Whoever took the lock on a file that was then removed or replaced holds nothing: try again
  // on the file the name now gives.
  for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
    FileDescriptor lock = OpenLockFile(path);
    int taken;
    do {
      taken = ::flock(lock.Get(), LOCK_EX | (wait == LockWait::Yes ? 0 : LOCK_NB));
    } while (taken != 0 && errno == EINTR);
    if (taken != 0) {
      if (errno == EWOULDBLOCK) {
        throw DataFolderInUse("another ZUN2 (a window or \"zundoc run\") is using " + programDir_);
      }
      throw FileError("cannot lock " + path);
    }
    if (NamesFile(path, lock.Get())) {
      lock_ = std::move(lock);
      return;
    }
  }
  throw FileError("cannot lock " + path + ": it keeps being replaced");
}

void DataFile::Open() {
  // A delete cut short while it overwrote a data file with other names: the whole list first.
  RestoreInterruptedOverwrite(FollowLinks(path_));
  // A FIFO or a device in its place is refused without waiting on it.
  fd_ = OpenRegularFile(path_, O_RDWR | O_CREAT);
  if (!fd_.IsOpen()) throw FileError("cannot open " + path_);
  // Its tasks would write wherever whoever put it there wants.
  if (IsPlantedFile(fd_.Get(), path_)) {
    fd_.Reset();
    throw FileError(path_ + " belongs to another user in a shared folder");
  }
}

void DataFile::Close() {
  fd_.Reset();
  lock_.Reset();
}

void DataFile::OpenAndCheck(LockWait wait) {
  Lock(wait);
  repairNote_.clear();
  try {
    Open();
    struct stat info {};
    if (::fstat(fd_.Get(), &info) != 0) throw FileError("cannot read " + path_);
    if (info.st_size == 0) {  // new
      CreateDefaultRecords();
      Sync();
      return;
    }
    std::optional<std::string> damage = DamageOf(fd_.Get());
    if (!damage && RecordCount() >= 1 && Read(kSettingsRecord).Version.str() == kDataFileVersion) return;
    StartAnew(damage.value_or("is not a task list of this version"));
  } catch (...) {
    Close();
    throw;
  }
}

void DataFile::StartAnew(const std::string& why) {
  KeepAsBackup(fd_, path_, programDir_ + kDataBackupName);
  // A copy was made where the file could not be renamed: it is emptied in place, so a link or a
  // second name of it stays what it was.
  if (::ftruncate(fd_.Get(), 0) != 0) throw FileError("cannot replace " + path_);
  CreateDefaultRecords();
  Sync();
  repairNote_ = std::string(kDataFileName) + " " + why + ". It is kept as " + kDataBackupName +
                ", and the task list starts anew.";
}

void DataFile::CreateDefaultRecords() {
  Write(kSettingsRecord, DefaultSettingsRecord());
  Write(kClipboardRecord, DefaultClipboardRecord());
}

int32_t DataFile::RecordCount() const {
  struct stat info {};
  if (!fd_.IsOpen() || ::fstat(fd_.Get(), &info) != 0) throw FileError("cannot read " + path_);
  const int64_t records = RecordsInSize(info.st_size);
  if (records > kMaxRecords) throw FileError(path_ + " has grown past any task list");
  return static_cast<int32_t>(records);
}

int32_t DataFile::TaskCount() const {
  const int32_t count = RecordCount() - 2;
  return count > 0 ? count : 0;
}

TaskRecord DataFile::Read(int32_t number) const {
  if (!fd_.IsOpen() || number < 1) throw FileError("cannot read " + path_);
  std::array<uint8_t, kTaskRecordSize> bytes{};
  const off_t at = static_cast<off_t>(number - 1) * static_cast<off_t>(kTaskRecordSize);
  // Past the end the rest stays zero.
  if (ReadAll(fd_.Get(), bytes, at) < 0) throw FileError("cannot read " + path_);
  return DecodeTaskRecord(bytes);
}

void DataFile::Write(int32_t number, const TaskRecord& record) {
  if (!fd_.IsOpen()) throw FileError("data file is closed");
  WriteRecordAt(fd_.Get(), number, record, path_);
}

void DataFile::Sync() {
  if (!fd_.IsOpen() || ::fdatasync(fd_.Get()) != 0) throw FileError("cannot store " + path_);
}

int32_t DataFile::AddTask() {
  // One more would make the file one that cannot be a task list.
  if (TaskCount() >= kMaxTasks)
    throw FileError("a task list holds no more than " + std::to_string(kMaxTasks) + " tasks");
  TaskRecord task = Read(kSettingsRecord);
  task.PcDate = 0;
  task.PalmDate = 0;
  task.Status = "";
  task.Reserved = "";
  const int32_t row = TaskCount() + 1;
  Write(TaskRecordNumber(row), task);
  return row;
}

void DataFile::DeleteTask(int32_t row) {
  const int32_t count = RecordCount();
  const int32_t skipped = TaskRecordNumber(row);
  if (row < 1 || skipped > count) return;
  ReplacementFile compacted = ReplacementFile::Begin(path_);
  for (int32_t number = 1; number <= count; ++number) {
    if (number != skipped) compacted.Content().Append(EncodeTaskRecord(Read(number)));
  }
  // One step: the tasks are always in zundata.dat, before or after the delete.
  compacted.Commit();
  Open();
}

void DataFile::SaveAsDefault(int32_t row) {
  TaskRecord defaults = Read(kSettingsRecord);
  const TaskRecord task = Read(TaskRecordNumber(row));
  defaults.PcFile = PathDirectory(task.PcFile.Trimmed());
  defaults.PalmFile = PathDirectory(task.PalmFile.Trimmed());
  defaults.Action = task.Action;
  defaults.Options = task.Options;
  defaults.Category = task.Category;
  defaults.TabSpace = task.TabSpace;
  defaults.Targets = task.Targets;
  Write(kSettingsRecord, defaults);
}

}  // namespace zun
