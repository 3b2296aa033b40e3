// A file read or written at explicit byte offsets. Every failure throws FileError, which the
// operations that use it turn into a status.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "glue/file_descriptor.h"

namespace zun {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // What went wrong with `file`, in the user's words ("No space left on device"), for a message
  // "FILE: reason" beside the task's status.
  FileError(std::string file, std::string reason)
      : std::runtime_error(file + ": " + reason), file_(std::move(file)), reason_(std::move(reason)) {}
  // Empty when the failure did not say.
  const std::string& File() const { return file_; }
  const std::string& Reason() const { return reason_; }

 private:
  std::string file_;
  std::string reason_;
};

// The system's words for an errno value.
std::string SystemReason(int error);

// Leaves new elements uninitialized: a write buffer is filled before it is read.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

class ByteFile {
 public:
  // Opens a regular file for reading (nothing else, and never waiting on a FIFO); the length is
  // fixed at opening. Reads go through a window of the file that moves forward as it is read,
  // so a whole file never sits in freshly allocated memory.
  static ByteFile OpenForReading(const std::string& path);
  static ByteFile ForReading(FileDescriptor fd, std::string name);
  // When the disk starts writing what is appended: at the file system's leisure, or piece by
  // piece as it is appended (for a file that will replace another: the rename then need not
  // wait for all of it, nor the freeing of the old file's blocks behind it).
  enum class WriteBack { Later, Early };
  // Creates the file empty (an older one is replaced).
  static ByteFile CreateForWriting(const std::string& path, WriteBack writeBack = WriteBack::Later);
  // Writes into an empty file already open for writing (a temporary file).
  static ByteFile ForWriting(FileDescriptor fd, std::string name, WriteBack writeBack = WriteBack::Later);
  // Hands what is appended to `sink` in order, in large pieces (standard output): nothing can be
  // written at an earlier offset or read back, and Sync only hands over what is pending. The sink
  // throws FileError when it cannot take the bytes.
  using Sink = std::function<void(std::span<const uint8_t>)>;
  static ByteFile ForStream(Sink sink, std::string name);

  ByteFile(ByteFile&& other) noexcept = default;
  ByteFile& operator=(ByteFile&& other) noexcept = default;
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;
  ~ByteFile() = default;

  // A file written so far, read from its start: for a temporary text written and then read
  // again (its descriptor must be open for reading too).
  ByteFile ReadBack() &&;
  // Writes what is pending and waits until the disk holds it (the data and the size; times and
  // other metadata may follow later).
  void Sync();
  int Descriptor() const { return fd_.Get(); }

  int64_t Length() const { return length_ + static_cast<int64_t>(pending_.size()); }

  // Reads exactly `out.size()` bytes at the 0-based `offset`; throws when they are not all there
  // (also when the file has shrunk since it was opened).
  void ReadAt(int64_t offset, std::span<uint8_t> out) const;
  // The same bytes without a copy, valid until the next read from this file.
  std::span<const uint8_t> View(int64_t offset, size_t count) const;
  // Whether a file opened for reading was written to since (its size or time changed): what
  // was read from it may then mix old and new bytes.
  bool ChangedSinceOpening() const;
  // A file opened for reading: its modification time then (seconds), which is the time of what
  // was read even when the path names a newer file by now.
  std::time_t ModifiedAtOpening() const { return static_cast<std::time_t>(modifiedSeconds_); }

  // Appended bytes are gathered and written in large pieces; a failure may therefore show at a
  // later write or at Close.
  void WriteAt(int64_t offset, std::span<const uint8_t> bytes);
  void Append(std::span<const uint8_t> bytes);
  // Room for `count` bytes at the end, to be filled before the next call on the file.
  std::span<uint8_t> AppendRoom(size_t count);
  // Writes what is pending and closes; throws when the data could not be stored.
  void Close();

 private:
  ByteFile() = default;
  void WriteThrough(int64_t offset, const uint8_t* data, size_t size);
  void Flush();
  void RememberState();
  bool Writable() const { return (fd_.IsOpen() || sink_) && !reading_; }

  using Bytes = std::vector<uint8_t, UninitializedAllocator<uint8_t>>;

  FileDescriptor fd_;
  bool reading_ = false;
  bool writeBackEarly_ = false;
  int64_t length_ = 0;  // reading: the file's length at opening; writing: bytes on disk
  Bytes pending_;       // writing: bytes that follow length_
  // Reading: the bytes of the file from windowStart_ on; a read outside them moves the window.
  mutable Bytes window_;
  mutable int64_t windowStart_ = 0;
  int64_t modifiedSeconds_ = 0;  // reading: the file's modification time at opening
  int64_t modifiedNanoseconds_ = 0;
  std::string path_;
  Sink sink_;  // a stream: appended bytes go here instead of into a file
};

}  // namespace zun
