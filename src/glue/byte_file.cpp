#include "glue/byte_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace zun {

ByteFile ByteFile::OpenForReading(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open " + path);
  ByteFile file;
  file.path_ = path;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw FileError("not a readable file: " + path);
  }
  std::vector<uint8_t> content;
  content.reserve(static_cast<size_t>(info.st_size));
  uint8_t buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      ::close(fd);
      throw FileError("cannot read " + path);
    }
    if (got == 0) break;
    content.insert(content.end(), buffer, buffer + got);
  }
  ::close(fd);
  file.content_ = std::move(content);
  file.length_ = static_cast<int64_t>(file.content_.size());
  return file;
}

ByteFile ByteFile::CreateForWriting(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw FileError("cannot create " + path);
  ByteFile file;
  file.fd_ = fd;
  file.path_ = path;
  return file;
}

ByteFile::ByteFile(ByteFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      length_(other.length_),
      content_(std::move(other.content_)),
      path_(std::move(other.path_)) {}

ByteFile& ByteFile::operator=(ByteFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    length_ = other.length_;
    content_ = std::move(other.content_);
    path_ = std::move(other.path_);
  }
  return *this;
}

ByteFile::~ByteFile() {
  if (fd_ >= 0) ::close(fd_);
}

void ByteFile::ReadAt(int64_t offset, std::span<uint8_t> out) const {
  if (fd_ >= 0) throw FileError("file is open for writing: " + path_);
  if (offset < 0 || offset > length_ || static_cast<int64_t>(out.size()) > length_ - offset) {
    throw FileError("read past the end of " + path_);
  }
  if (!out.empty()) std::memcpy(out.data(), content_.data() + offset, out.size());
}

void ByteFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  if (fd_ < 0 || offset < 0) throw FileError("file is not open for writing: " + path_);
  const uint8_t* data = bytes.data();
  size_t left = bytes.size();
  int64_t at = offset;
  while (left > 0) {
    const ssize_t written = ::pwrite(fd_, data, left, at);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw FileError("cannot write " + path_);
    data += written;
    left -= static_cast<size_t>(written);
    at += written;
  }
  if (at > length_) length_ = at;
}

void ByteFile::Close() {
  if (fd_ < 0) return;
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) throw FileError("cannot store " + path_);
}

}  // namespace zun
