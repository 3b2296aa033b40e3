#include "glue/byte_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "glue/file_problem.h"

namespace zun {

namespace {
// Large enough that sequential reads cost few system calls, small enough to stay in the cache.
constexpr size_t kReadWindow = 1 << 17;
constexpr size_t kWriteBuffer = 1 << 18;
}  // namespace

std::string SystemReason(int error) { return std::strerror(error); }

ByteFile ByteFile::OpenForReading(const std::string& path) {
  FileDescriptor fd = OpenRegularFile(path, O_RDONLY);
  if (!fd.IsOpen()) {
    const std::string problem = ReadProblem(path);
    throw FileError(path, problem.empty() ? "not a readable file" : problem);
  }
  return ForReading(std::move(fd), path);
}

ByteFile ByteFile::ForReading(FileDescriptor fd, std::string name) {
  ByteFile file;
  file.fd_ = std::move(fd);
  file.reading_ = true;
  file.path_ = std::move(name);
  file.RememberState();
  return file;
}

void ByteFile::RememberState() {
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) throw FileError(path_, SystemReason(errno));
  length_ = static_cast<int64_t>(info.st_size);
  modifiedSeconds_ = static_cast<int64_t>(info.st_mtim.tv_sec);
  modifiedNanoseconds_ = static_cast<int64_t>(info.st_mtim.tv_nsec);
}

bool ByteFile::ChangedSinceOpening() const {
  if (!reading_) return false;
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) return true;
  return static_cast<int64_t>(info.st_size) != length_ || info.st_mtim.tv_sec != modifiedSeconds_ ||
         info.st_mtim.tv_nsec != modifiedNanoseconds_;
}

ByteFile ByteFile::CreateForWriting(const std::string& path, WriteBack writeBack) {
  FileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.IsOpen()) throw FileError(path, SystemReason(errno));
  return ForWriting(std::move(fd), path, writeBack);
}

ByteFile ByteFile::ForWriting(FileDescriptor fd, std::string name, WriteBack writeBack) {
  ByteFile file;
  file.fd_ = std::move(fd);
  file.writeBackEarly_ = writeBack == WriteBack::Early;
  file.path_ = std::move(name);
  return file;
}

ByteFile ByteFile::ForStream(Sink sink, std::string name) {
  ByteFile file;
  file.sink_ = std::move(sink);
  file.path_ = std::move(name);
  return file;
}

ByteFile ByteFile::ReadBack() && {
  Flush();
  ByteFile file = ForReading(std::move(fd_), std::move(path_));
  return file;
}

void ByteFile::Sync() {
  Flush();
  if (!sink_ && ::fdatasync(fd_.Get()) != 0) throw FileError(path_, SystemReason(errno));
}

std::span<const uint8_t> ByteFile::View(int64_t offset, size_t count) const {
  if (!reading_) throw FileError("file is open for writing: " + path_);
  if (offset < 0 || offset > length_ || static_cast<int64_t>(count) > length_ - offset) {
    throw FileError("read past the end of " + path_);
  }
  const bool inWindow = offset >= windowStart_ &&
                        offset - windowStart_ + static_cast<int64_t>(count) <= static_cast<int64_t>(window_.size());
  if (!inWindow) {
    const size_t size =
        static_cast<size_t>(std::min(static_cast<int64_t>(std::max(count, kReadWindow)), length_ - offset));
    window_.resize(size);
    const int64_t got = ReadAll(fd_.Get(), window_, offset);
    if (got != static_cast<int64_t>(size)) {
      window_.clear();
      throw FileError(path_, got >= 0 ? kChangedWhileRead : SystemReason(errno));
    }
    windowStart_ = offset;
  }
  return {window_.data() + (offset - windowStart_), count};
}

void ByteFile::ReadAt(int64_t offset, std::span<uint8_t> out) const {
  const std::span<const uint8_t> bytes = View(offset, out.size());
  if (!out.empty()) std::memcpy(out.data(), bytes.data(), out.size());
}

void ByteFile::WriteThrough(int64_t offset, const uint8_t* data, size_t size) {
  if (sink_) {
    if (offset != length_) throw FileError("a stream is written in order: " + path_);
    sink_({data, size});
    return;
  }
  if (!WriteAll(fd_.Get(), {data, size}, static_cast<off_t>(offset))) throw FileError(path_, SystemReason(errno));
}

void ByteFile::Flush() {
  if (pending_.empty() || reading_) return;
  WriteThrough(length_, pending_.data(), pending_.size());
  if (writeBackEarly_) {
    ::sync_file_range(fd_.Get(), length_, static_cast<off_t>(pending_.size()), SYNC_FILE_RANGE_WRITE);
  }
  length_ += static_cast<int64_t>(pending_.size());
  pending_.clear();
}

void ByteFile::Append(std::span<const uint8_t> bytes) {
  if (!Writable()) throw FileError("file is not open for writing: " + path_);
  if (pending_.size() + bytes.size() > kWriteBuffer) Flush();
  if (bytes.size() >= kWriteBuffer) {
    WriteThrough(length_, bytes.data(), bytes.size());
    length_ += static_cast<int64_t>(bytes.size());
    return;
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
}

std::span<uint8_t> ByteFile::AppendRoom(size_t count) {
  if (!Writable()) throw FileError("file is not open for writing: " + path_);
  if (pending_.size() + count > kWriteBuffer) Flush();
  const size_t at = pending_.size();
  pending_.resize(at + count);
  return {pending_.data() + at, count};
}

void ByteFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  if (!Writable() || offset < 0) throw FileError("file is not open for writing: " + path_);
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
  if (sink_) {
    Flush();
    return;
  }
  if (!fd_.IsOpen()) return;
  try {
    Flush();
  } catch (...) {
    fd_.Reset();
    throw;
  }
  if (!fd_.Close()) throw FileError(path_, SystemReason(errno));
}

}  // namespace zun
