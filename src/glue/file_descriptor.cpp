#include "glue/file_descriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "glue/links.h"

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
  // Links are followed here, under the rule for shared folders; the kernel then follows none.
  std::string real;
  try {
    real = FollowLinks(path);
  } catch (const FileError&) {
    return {};
  }
  // Non-blocking, so that opening a FIFO returns at once; fstat then turns it away.
  FileDescriptor fd(::open(real.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
  if (!fd.IsOpen()) return {};
  struct stat info {};
  if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  const int status = ::fcntl(fd.Get(), F_GETFL);
  if (status < 0 || ::fcntl(fd.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) return {};
  return fd;
}

bool SyncFolder(const std::string& folder) {
  FileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.IsOpen() && ::fsync(fd.Get()) == 0;
}

}  // namespace zun
