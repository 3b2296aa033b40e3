#include "glue/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace zun {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Reset();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FileDescriptor::Reset() {
  if (fd_ >= 0) ::close(std::exchange(fd_, -1));
}

bool FileDescriptor::Close() {
  if (fd_ < 0) return true;
  return ::close(std::exchange(fd_, -1)) == 0;
}

bool WriteAll(int fd, std::span<const uint8_t> bytes, off_t offset) {
  const uint8_t* data = bytes.data();
  size_t size = bytes.size();
  while (size > 0) {
    const ssize_t written = offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
    if (offset >= 0) offset += written;
  }
  return true;
}

int64_t ReadAll(int fd, std::span<uint8_t> out, off_t offset) {
  size_t got = 0;
  while (got < out.size()) {
    const ssize_t n = offset < 0 ? ::read(fd, out.data() + got, out.size() - got)
                                 : ::pread(fd, out.data() + got, out.size() - got, offset + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(got);
}

FileDescriptor OpenRegularFile(const std::string& path, int flags) {
  // Non-blocking, so that opening a FIFO returns at once; fstat then turns it away.
  FileDescriptor fd(::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!fd.IsOpen()) return {};
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  const int status = ::fcntl(fd.Get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) return {};
  return fd;
}

FileDescriptor CreateAnonymousFile(const std::string& folder) {
  const std::string where = folder.empty() ? "." : folder;
  FileDescriptor fd(::open(where.c_str(), O_TMPFILE | O_RDWR | O_EXCL | O_CLOEXEC, 0600));
  if (fd.IsOpen()) return fd;
  // File systems without unnamed files: a unique name, removed at once.
  std::string pattern = where;
  if (pattern.back() != '/') pattern += '/';
  pattern += ".zun2-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  FileDescriptor named(::mkostemp(name.data(), O_CLOEXEC));
  if (named.IsOpen()) ::unlink(name.data());
  return named;
}

bool SyncFolder(const std::string& folder) {
  FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.IsOpen() && ::fsync(fd.Get()) == 0;
}

}  // namespace zun
