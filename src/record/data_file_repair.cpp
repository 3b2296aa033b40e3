#include "record/data_file_repair.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "glue/byte_file.h"
#include "glue/paths.h"
#include "record/task_record.h"

namespace zun {
namespace {

constexpr int64_t kRecordSize = kTaskRecordSize;
constexpr int64_t kScanRecords = 64;
constexpr int64_t kCopyBlock = 1 << 16;

bool AllZero(const uint8_t* bytes, size_t size) {
  return size == 0 || (bytes[0] == 0 && std::memcmp(bytes, bytes + 1, size - 1) == 0);
}

// The first record (from 1) that holds zero bytes only; 0 when there is none.
int64_t FirstEmptyRecord(int fd, int64_t records) {
  std::vector<uint8_t> block(static_cast<size_t>(kScanRecords * kRecordSize));
  for (int64_t first = 0; first < records; first += kScanRecords) {
    const int64_t count = std::min(kScanRecords, records - first);
    const auto wanted = static_cast<size_t>(count * kRecordSize);
    const int64_t got = ReadAll(fd, {block.data(), wanted}, static_cast<off_t>(first * kRecordSize));
    if (got < 0) throw FileError("cannot read the data file");
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(got), block.begin() + static_cast<std::ptrdiff_t>(wanted),
              0);  // past the end
    for (int64_t i = 0; i < count; ++i) {
      if (AllZero(block.data() + i * kRecordSize, kRecordSize)) return first + i + 1;
    }
  }
  return 0;
}

bool HasHole(int fd, int64_t size) {
  // A file system that cannot tell reports no hole; the scan for empty records still sees one.
  const off_t hole = ::lseek(fd, 0, SEEK_HOLE);
  return hole >= 0 && hole < size;
}

// Whether the data file may simply be renamed: a regular file under this one name (a link stays a
// link to the file behind it), whose owner and group a new file made here gets.
bool MayRename(const struct stat& opened, const std::string& path) {
  struct stat named {};
  if (::lstat(path.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) return false;
  if (named.st_dev != opened.st_dev || named.st_ino != opened.st_ino || named.st_nlink != 1) return false;
  return ::geteuid() == 0 || (opened.st_uid == ::geteuid() && opened.st_gid == ::getegid());
}

// The owner where it may be given (root may, others only their own), the mode in any case: a
// private data file never gets a backup others can read.
void GiveModeAndOwner(int fd, const struct stat& of, const std::string& path) {
  if (::fchown(fd, of.st_uid, of.st_gid) != 0) {
    // Not allowed: the file stays this user's, and the mode below still keeps others out.
  }
  if (::fchmod(fd, of.st_mode & 0777) != 0) throw FileError("cannot set the permissions of " + path);
}

void RenameToBackup(FileDescriptor& fd, const struct stat& opened, const std::string& path, const std::string& backup) {
  if (::rename(path.c_str(), backup.c_str()) != 0) throw FileError("cannot keep " + path + " as " + backup);
  FileDescriptor fresh(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!fresh.IsOpen()) {
    // Back where it was: a start without any data file would begin a new list unannounced.
    if (::rename(backup.c_str(), path.c_str()) != 0) {
      // Then the old list is in the backup, and the next start begins a new one.
    }
    throw FileError("cannot create " + path);
  }
  GiveModeAndOwner(fresh.Get(), opened, path);
  fd = std::move(fresh);
}

// Copies what the file holds: its data, never its holes nor blocks of zero bytes.
void CopyData(int from, int to, int64_t size, const std::string& backup) {
  std::vector<uint8_t> block(static_cast<size_t>(kCopyBlock));
  for (int64_t at = 0; at < size;) {
    off_t data = ::lseek(from, at, SEEK_DATA);
    off_t end = size;
    if (data < 0 && errno == ENXIO) break;  // nothing but a hole is left
    if (data < 0) {
      data = at;  // holes cannot be told here: all of it is read
    } else {
      const off_t hole = ::lseek(from, data, SEEK_HOLE);
      end = hole > data ? std::min<off_t>(hole, size) : size;
    }
    if (end <= data) break;
    for (int64_t piece = data; piece < end; piece += kCopyBlock) {
      const auto count = static_cast<size_t>(std::min(kCopyBlock, end - piece));
      if (ReadAll(from, {block.data(), count}, piece) != static_cast<int64_t>(count)) {
        throw FileError("cannot read the data file");
      }
      if (!AllZero(block.data(), count) && !WriteAll(to, {block.data(), count}, piece)) {
        throw FileError("cannot write " + backup);
      }
    }
    at = end;
  }
}

void CopyToBackup(int fd, const struct stat& opened, const std::string& backup) {
  if (::unlink(backup.c_str()) != 0 && errno != ENOENT) throw FileError("cannot replace " + backup);
  FileDescriptor copy(::open(backup.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!copy.IsOpen()) throw FileError("cannot create " + backup);
  try {
    GiveModeAndOwner(copy.Get(), opened, backup);
    CopyData(fd, copy.Get(), opened.st_size, backup);
    if (::ftruncate(copy.Get(), opened.st_size) != 0 || ::fdatasync(copy.Get()) != 0 || !copy.Close()) {
      throw FileError("cannot write " + backup);
    }
  } catch (...) {
    ::unlink(backup.c_str());  // never half a backup
    throw;
  }
}

}  // namespace

int64_t RecordsInSize(int64_t size) {
  int64_t records = size / kRecordSize;
  const int64_t twiceRest = 2 * (size % kRecordSize);
  if (twiceRest > kRecordSize || (twiceRest == kRecordSize && records % 2 == 1)) ++records;
  return records;
}

std::optional<std::string> DamageOf(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) throw FileError("cannot read the data file");
  const int64_t records = RecordsInSize(info.st_size);
  if (records > kMaxRecords) {
    return "is damaged: it would hold " + std::to_string(records - 2) + " tasks, far more than any task list";
  }
  if (HasHole(fd, info.st_size)) return "is damaged: it has holes";
  if (const int64_t empty = FirstEmptyRecord(fd, records)) {
    return "is damaged: record " + std::to_string(empty) + " holds only zero bytes";
  }
  return std::nullopt;
}

void KeepAsBackup(FileDescriptor& fd, const std::string& path, const std::string& backup) {
  struct stat opened {};
  if (::fstat(fd.Get(), &opened) != 0) throw FileError("cannot read " + path);
  if (MayRename(opened, path)) {
    RenameToBackup(fd, opened, path, backup);
  } else {
    CopyToBackup(fd.Get(), opened, backup);
  }
  if (!SyncFolder(PathDirectory(backup))) throw FileError("cannot store " + backup);
}

}  // namespace zun
