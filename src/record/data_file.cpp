#include "record/data_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <utility>

#include "glue/paths.h"
#include "glue/replacement_file.h"

namespace zun {
namespace {

void WriteRecordAt(int fd, int32_t number, const TaskRecord& record, const std::string& path) {
  if (number < 1) throw FileError("bad record number");
  const auto bytes = EncodeTaskRecord(record);
  const off_t at = static_cast<off_t>(number - 1) * static_cast<off_t>(kTaskRecordSize);
  if (!WriteAll(fd, bytes, at)) throw FileError("cannot write " + path);
}

}  // namespace

DataFile::DataFile(std::string programDir) : programDir_(std::move(programDir)), path_(programDir_ + kDataFileName) {}

DataFile::~DataFile() { Close(); }

void DataFile::Lock(LockWait wait) {
  if (lock_.IsOpen()) return;
  const std::string path = programDir_ + kDataLockName;
  FileDescriptor lock(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
  struct stat info {};
  if (!lock.IsOpen() || ::fstat(lock.Get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    throw FileError("cannot lock " + path);
  }
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
  lock_ = std::move(lock);
}

void DataFile::Open() {
  // A FIFO or a device in its place is refused without waiting on it.
  fd_ = OpenRegularFile(path_, O_RDWR | O_CREAT);
  if (!fd_.IsOpen()) throw FileError("cannot open " + path_);
}

void DataFile::Close() {
  fd_.Reset();
  lock_.Reset();
}

void DataFile::OpenAndCheck(LockWait wait) {
  Lock(wait);
  try {
    Open();
    if (RecordCount() >= 1 && Read(kSettingsRecord).Version.str() == kDataFileVersion) return;
    KeepAsBackup();
    // Emptied in place: a link or a second name of the file stays what it was.
    if (::ftruncate(fd_.Get(), 0) != 0) throw FileError("cannot replace " + path_);
    CreateDefaultRecords();
    Sync();
  } catch (...) {
    Close();
    throw;
  }
}

void DataFile::KeepAsBackup() {
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) throw FileError("cannot read " + path_);
  if (info.st_size == 0) return;
  const ByteFile old = ByteFile::ForReading(OpenRegularFile(path_, O_RDONLY), path_);
  ReplacementFile backup = ReplacementFile::Begin(programDir_ + kDataBackupName);
  constexpr size_t kBlock = 1 << 16;
  for (int64_t at = 0; at < old.Length(); at += kBlock) {
    backup.Content().Append(old.View(at, static_cast<size_t>(std::min<int64_t>(kBlock, old.Length() - at))));
  }
  backup.Commit();
}

void DataFile::CreateDefaultRecords() {
  Write(kSettingsRecord, DefaultSettingsRecord());
  Write(kClipboardRecord, DefaultClipboardRecord());
}

int32_t DataFile::RecordCount() const {
  struct stat info {};
  if (!fd_.IsOpen() || ::fstat(fd_.Get(), &info) != 0) throw FileError("cannot read " + path_);
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(info.st_size) / kTaskRecordSize));
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
