#include "glue/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "glue/paths.h"

namespace zun {
namespace {

mode_t DefaultFileMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

}  // namespace

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

std::optional<std::string> ReadSmallFile(const std::string& path, size_t maxBytes) {
  // Non-blocking, so that opening a FIFO returns at once; fstat then turns it away.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::string> text;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && static_cast<uint64_t>(info.st_size) <= maxBytes) {
    std::string bytes(maxBytes + 1, '\0');
    size_t got = 0;
    for (;;) {
      const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        if (n == 0) text = bytes.substr(0, got);
        break;
      }
      got += static_cast<size_t>(n);
      if (got > maxBytes) break;  // grew since fstat
    }
  }
  ::close(fd);
  return text;
}

bool RemoveFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::optional<std::string> CreateTemporaryBeside(const std::string& target) {
  std::string folder = PathDirectory(target);
  std::vector<char> pattern;
  const std::string templ = folder + "." + PathFileName(target) + ".zun2-XXXXXX";
  pattern.assign(templ.begin(), templ.end());
  pattern.push_back('\0');
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return std::nullopt;
  ::close(fd);
  return std::string(pattern.data());
}

bool ReplaceWithTemporary(const std::string& temporary, const std::string& target) {
  struct stat old {};
  const mode_t mode = ::stat(target.c_str(), &old) == 0 ? (old.st_mode & 07777) : DefaultFileMode();
  // No fsync: the rename already happens only after every byte was written, and file systems
  // order the data of a file renamed over another before the rename (ext4's auto_da_alloc).
  bool ok = ::chmod(temporary.c_str(), mode) == 0 && ::rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(temporary.c_str());
  return ok;
}

bool CopyFileSafely(const std::string& source, const std::string& target) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  const std::optional<std::string> temporary = CreateTemporaryBeside(target);
  if (!temporary) {
    ::close(in);
    return false;
  }
  const int out = ::open(temporary->c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  bool ok = out >= 0;
  std::vector<uint8_t> buffer(1 << 16);
  while (ok) {
    const ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = WriteAll(out, buffer.data(), static_cast<size_t>(got));
  }
  ::close(in);
  if (out >= 0 && ::close(out) != 0) ok = false;
  if (!ok) {
    ::unlink(temporary->c_str());
    return false;
  }
  return ReplaceWithTemporary(*temporary, target);
}

bool IsWritableFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

}  // namespace zun
