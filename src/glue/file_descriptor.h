// An owned file descriptor and the few ways this program opens files: regular files only, never
// waiting on a FIFO or a device, and private temporary files that leave nothing behind.
#pragma once
#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace zun {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Reset(); }

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  void Reset();
  // Closes and reports whether the kernel accepted everything written (NFS reports late).
  bool Close();

 private:
  int fd_ = -1;
};

// Every byte at `offset` (or at the file position when offset < 0); false on any failure.
bool WriteAll(int fd, std::span<const uint8_t> bytes, off_t offset = -1);
// Fills `out` from `offset` (or the file position when offset < 0) as far as the file goes: the
// number of bytes read, fewer only at its end; -1 on a failure.
int64_t ReadAll(int fd, std::span<uint8_t> out, off_t offset = -1);

// Opens a regular file; nothing for a missing file, a folder, a FIFO or a device, none
// of which is waited for, nor for a path through a link planted in a shared folder (links.h). `flags` are the access
// flags (O_RDONLY, O_RDWR ...), with O_CREAT a missing file is created.
FileDescriptor OpenRegularFile(const std::string& path, int flags);

// A new, empty file in `folder` that has no name: it vanishes with the descriptor, also when
// the process is killed (see temporary_files.h for file systems without unnamed files). Read and
// write. Not open when the folder cannot take one.
FileDescriptor CreateAnonymousFile(const std::string& folder);

// Flushes a folder's entries (a rename in it) to disk; false when it could not.
bool SyncFolder(const std::string& folder);

}  // namespace zun
