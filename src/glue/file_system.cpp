#include "glue/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
  std::string bytes(static_cast<size_t>(info.st_size) + 1, '\0');
  size_t got = 0;
  for (;;) {
    const ssize_t n = ::read(fd.Get(), bytes.data() + got, bytes.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    got += static_cast<size_t>(n);
    if (got > maxBytes) return std::nullopt;  // grew since it was opened
    if (got == bytes.size()) bytes.resize(std::min(bytes.size() * 2, maxBytes + 1));
  }
  bytes.resize(got);
  return bytes;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

}  // namespace zun
