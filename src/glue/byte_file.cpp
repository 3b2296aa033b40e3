#include "glue/byte_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
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
  size_t capacity = static_cast<size_t>(info.st_size);
  std::unique_ptr<uint8_t[]> content = std::make_unique_for_overwrite<uint8_t[]>(capacity);
  size_t got = 0;
  for (;;) {
    uint8_t probe[4096];  // past the expected end: only a file that grew meanwhile has more
    uint8_t* into = got < capacity ? content.get() + got : probe;
    const size_t room = got < capacity ? capacity - got : sizeof probe;
    const ssize_t n = ::read(fd, into, room);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      throw FileError("cannot read " + path);
    }
    if (n == 0) break;
    if (into == probe) {
      auto larger = std::make_unique_for_overwrite<uint8_t[]>(capacity * 2 + sizeof probe);
      std::memcpy(larger.get(), content.get(), got);
      std::memcpy(larger.get() + got, probe, static_cast<size_t>(n));
      content = std::move(larger);
      capacity = capacity * 2 + sizeof probe;
    }
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  file.content_ = std::move(content);
  file.length_ = static_cast<int64_t>(got);
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
      pending_(std::move(other.pending_)),
      content_(std::move(other.content_)),
      path_(std::move(other.path_)) {}

ByteFile& ByteFile::operator=(ByteFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    length_ = other.length_;
    pending_ = std::move(other.pending_);
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
  if (!out.empty()) std::memcpy(out.data(), content_.get() + offset, out.size());
}

namespace {
constexpr size_t kWriteBuffer = 1 << 18;
}  // namespace

void ByteFile::WriteThrough(int64_t offset, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd_, data, size, offset);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw FileError("cannot write " + path_);
    data += written;
    size -= static_cast<size_t>(written);
    offset += written;
  }
}

void ByteFile::Flush() {
  if (pending_.empty()) return;
  WriteThrough(length_, pending_.data(), pending_.size());
  length_ += static_cast<int64_t>(pending_.size());
  pending_.clear();
}

void ByteFile::Append(std::span<const uint8_t> bytes) {
  if (fd_ < 0) throw FileError("file is not open for writing: " + path_);
  if (pending_.size() + bytes.size() > kWriteBuffer) Flush();
  if (bytes.size() >= kWriteBuffer) {
    WriteThrough(length_, bytes.data(), bytes.size());
    length_ += static_cast<int64_t>(bytes.size());
    return;
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

std::span<uint8_t> ByteFile::AppendRoom(size_t count) {
  if (fd_ < 0) throw FileError("file is not open for writing: " + path_);
  if (pending_.size() + count > kWriteBuffer) Flush();
  const size_t at = pending_.size();
  pending_.resize(at + count);
  return {pending_.data() + at, count};
}

void ByteFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  if (fd_ < 0 || offset < 0) throw FileError("file is not open for writing: " + path_);
  const int64_t end = offset + static_cast<int64_t>(bytes.size());
  if (offset >= length_ && end <= Length()) {
    std::copy(bytes.begin(), bytes.end(), pending_.begin() + (offset - length_));
  } else if (offset == Length()) {
    Append(bytes);
  } else {
    Flush();
    WriteThrough(offset, bytes.data(), bytes.size());
    if (end > length_) length_ = end;
  }
}

void ByteFile::Close() {
  if (fd_ < 0) return;
  try {
    Flush();
  } catch (...) {
    ::close(std::exchange(fd_, -1));
    throw;
  }
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) throw FileError("cannot store " + path_);
}

}  // namespace zun
