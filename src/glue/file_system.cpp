#include "glue/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "glue/file_descriptor.h"

namespace zun {

FileState FileExists(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) return FileState::Exists;
  return (errno == ENOENT || errno == ENOTDIR) ? FileState::NotFound : FileState::Unreadable;
}

std::optional<std::time_t> ModificationTime(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return info.st_mtime;
}

std::optional<int64_t> FileLength(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<int64_t>(info.st_size);
}

bool IsSameFile(const std::string& a, const std::string& b) {
  struct stat first {};
  struct stat second {};
  return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> ReadSmallFile(const std::string& path, size_t maxBytes) {
  const FileDescriptor fd = OpenRegularFile(path, O_RDONLY);
  struct stat info {};
  if (!fd.IsOpen() || ::fstat(fd.Get(), &info) != 0 || static_cast<uint64_t>(info.st_size) > maxBytes) {
    return std::nullopt;
  }
  // One byte more than expected: a file that grew since is noticed.
  std::string bytes(static_cast<size_t>(info.st_size) + 1, '\0');
  const int64_t got = ReadAll(fd.Get(), {reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()});
  if (got < 0 || got > info.st_size) return std::nullopt;
  bytes.resize(static_cast<size_t>(got));
  return bytes;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }

}  // namespace zun
