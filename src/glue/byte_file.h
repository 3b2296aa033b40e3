// A file read or written at explicit byte offsets. Every failure throws FileError, which the
// operations that use it turn into a status.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zun {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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
  // Reads the whole file into memory: documents and texts are small, and every later read is
  // then a bounds-checked copy.
  static ByteFile OpenForReading(const std::string& path);
  // Creates the file empty (an older one is replaced).
  static ByteFile CreateForWriting(const std::string& path);

  ByteFile(ByteFile&& other) noexcept;
  ByteFile& operator=(ByteFile&& other) noexcept;
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;
  ~ByteFile();

  int64_t Length() const { return length_ + static_cast<int64_t>(pending_.size()); }

  // Reads exactly `count` bytes at the 0-based `offset`; throws when they are not all there.
  void ReadAt(int64_t offset, std::span<uint8_t> out) const;
  // The bytes of a file opened for reading.
  std::span<const uint8_t> Contents() const { return {content_.get(), static_cast<size_t>(length_)}; }

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

  int fd_ = -1;
  int64_t length_ = 0;      // reading: the file's length; writing: bytes on disk
  std::vector<uint8_t, UninitializedAllocator<uint8_t>> pending_;  // writing: bytes that follow length_
  std::unique_ptr<uint8_t[]> content_;  // reading: the whole file, not zeroed first
  std::string path_;
};

}  // namespace zun
