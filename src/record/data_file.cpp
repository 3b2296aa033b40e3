#include "record/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <utility>

#include "glue/paths.h"

namespace zun {
namespace {

void WriteRecordAt(int fd, int32_t number, const TaskRecord& record, const std::string& path) {
  if (number < 1) throw FileError("bad record number");
  const auto bytes = EncodeTaskRecord(record);
  const off_t at = static_cast<off_t>(number - 1) * static_cast<off_t>(kTaskRecordSize);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw FileError("cannot write " + path);
    done += static_cast<size_t>(n);
  }
}

}  // namespace

DataFile::DataFile(std::string programDir)
    : programDir_(std::move(programDir)), path_(programDir_ + kDataFileName) {}

DataFile::~DataFile() { Close(); }

void DataFile::Open() {
  Close();
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ < 0) throw FileError("cannot open " + path_);
}

void DataFile::Close() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

void DataFile::OpenAndCheck() {
  Open();
  if (RecordCount() >= 1 && Read(kSettingsRecord).Version.str() == kDataFileVersion) return;
  Close();
  if (::unlink(path_.c_str()) != 0 && errno != ENOENT) throw FileError("cannot replace " + path_);
  Open();
  CreateDefaultRecords();
}

void DataFile::CreateDefaultRecords() {
  Write(kSettingsRecord, DefaultSettingsRecord());
  Write(kClipboardRecord, DefaultClipboardRecord());
}

int32_t DataFile::RecordCount() const {
  struct stat info {};
  if (fd_ < 0 || ::fstat(fd_, &info) != 0) throw FileError("cannot read " + path_);
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(info.st_size) / kTaskRecordSize));
}

int32_t DataFile::TaskCount() const {
  const int32_t count = RecordCount() - 2;
  return count > 0 ? count : 0;
}

TaskRecord DataFile::Read(int32_t number) const {
  if (fd_ < 0 || number < 1) throw FileError("cannot read " + path_);
  std::array<uint8_t, kTaskRecordSize> bytes{};
  const off_t at = static_cast<off_t>(number - 1) * static_cast<off_t>(kTaskRecordSize);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd_, bytes.data() + done, bytes.size() - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw FileError("cannot read " + path_);
    if (n == 0) break;  // past the end: the rest stays zero
    done += static_cast<size_t>(n);
  }
  return DecodeTaskRecord(bytes);
}

void DataFile::Write(int32_t number, const TaskRecord& record) {
  if (fd_ < 0) throw FileError("data file is closed");
  WriteRecordAt(fd_, number, record, path_);
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
  const std::string temporary = programDir_ + kDataTemporaryName;
  const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) throw FileError("cannot create " + temporary);
  try {
    int32_t written = 0;
    for (int32_t number = 1; number <= count; ++number) {
      if (number != skipped) WriteRecordAt(out, ++written, Read(number), temporary);
    }
    if (::fsync(out) != 0) throw FileError("cannot store " + temporary);
  } catch (...) {
    ::close(out);
    ::unlink(temporary.c_str());
    throw;
  }
  if (::close(out) != 0) {
    ::unlink(temporary.c_str());
    throw FileError("cannot store " + temporary);
  }
  // One atomic step: the tasks are always in zundata.dat, before or after the delete.
  if (::rename(temporary.c_str(), path_.c_str()) != 0) {
    ::unlink(temporary.c_str());
    throw FileError("cannot replace " + path_);
  }
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
