#include "glue/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

#include "glue/paths.h"

namespace zun {
namespace {

constexpr int kMaxLinkHops = 40;
constexpr int kNameAttempts = 100;
constexpr size_t kCopyBlock = 1 << 18;

mode_t DefaultFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
  const std::string folder = PathDirectory(path);
  return folder.empty() ? std::string(".") + kPathSeparator : folder;
}

// A name no other process picks: the process, a counter and the clock.
std::string UniqueName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  char name[64];
  std::snprintf(name, sizeof name, ".zun2-%x-%x-%llx", static_cast<unsigned>(::getpid()), counter++, ticks & 0xFFFFFF);
  return folder + name;
}

bool ProcHasDescriptors() { return ::access("/proc/self/fd", X_OK) == 0; }

// Why `real` (links followed) may not be replaced; nothing when it may.
std::optional<std::string> RefusalFor(const std::string& real) {
  struct stat old {};
  if (::lstat(real.c_str(), &old) != 0) {
    if (errno == ENOENT) return std::nullopt;
    return "cannot look at";
  }
  if (!S_ISREG(old.st_mode)) return "not a regular file:";
  // Without any write bit the file is read-only for everyone: root could rename over it.
  if ((old.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, real.c_str(), W_OK, AT_EACCESS) != 0) return "read-only:";
  return std::nullopt;
}

}  // namespace

std::string FollowLinks(const std::string& path) {
  std::string current = path;
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> target(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) throw FileError("cannot read the link " + current);
    const std::string next(target.data(), static_cast<size_t>(n));
    current = next.front() == kPathSeparator ? next : PathDirectory(current).append(next);
  }
  throw FileError("too many links: " + path);
}

bool MayReplace(const std::string& target) {
  try {
    return !RefusalFor(FollowLinks(target));
  } catch (const FileError&) {
    return false;
  }
}

ReplacementFile ReplacementFile::Begin(const std::string& target, ByteFile::WriteBack writeBack) {
  const std::string real = FollowLinks(target);
  if (const auto refusal = RefusalFor(real)) throw FileError(*refusal + " " + target);
  const std::string folder = FolderOf(real);
  FileDescriptor fd;
  std::string named;
  if (ProcHasDescriptors()) fd = FileDescriptor(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (!fd.IsOpen()) {
    for (int attempt = 0; attempt < kNameAttempts && !fd.IsOpen(); ++attempt) {
      named = UniqueName(folder);
      fd = FileDescriptor(::open(named.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (!fd.IsOpen() && errno != EEXIST) break;
    }
    if (!fd.IsOpen()) throw FileError("cannot write beside " + target);
  }
  ReplacementFile file(ByteFile::ForWriting(std::move(fd), target, writeBack), real);
  file.linkedName_ = named;
  return file;
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : content_(std::move(other.content_)),
      target_(std::move(other.target_)),
      linkedName_(std::exchange(other.linkedName_, std::string())) {}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
  if (this != &other) {
    if (!linkedName_.empty()) ::unlink(linkedName_.c_str());
    content_ = std::move(other.content_);
    target_ = std::move(other.target_);
    linkedName_ = std::exchange(other.linkedName_, std::string());
  }
  return *this;
}

ReplacementFile::~ReplacementFile() {
  if (!linkedName_.empty()) ::unlink(linkedName_.c_str());
}

void ReplacementFile::Commit() {
  content_.Sync();
  const int fd = content_.Descriptor();
  struct stat old {};
  const bool exists = ::stat(target_.c_str(), &old) == 0;
  if (exists && (old.st_nlink > 1 || ::fchown(fd, old.st_uid, old.st_gid) != 0)) {
    OverwriteInPlace();
  } else {
    if (::fchmod(fd, exists ? (old.st_mode & 07777) : DefaultFileMode()) != 0) {
      throw FileError("cannot set the permissions of " + target_);
    }
    Rename();
  }
  content_.Close();
}

void ReplacementFile::Rename() {
  const std::string folder = FolderOf(target_);
  if (linkedName_.empty()) {
    const std::string self = "/proc/self/fd/" + std::to_string(content_.Descriptor());
    for (int attempt = 0; attempt < kNameAttempts && linkedName_.empty(); ++attempt) {
      const std::string name = UniqueName(folder);
      if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        linkedName_ = name;
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (linkedName_.empty()) throw FileError("cannot name the new " + target_);
  }
  if (::rename(linkedName_.c_str(), target_.c_str()) != 0) throw FileError("cannot replace " + target_);
  linkedName_.clear();
  SyncFolder(folder);  // best effort: the rename is done, some file systems cannot flush a folder
}

void ReplacementFile::OverwriteInPlace() {
  FileDescriptor out = OpenRegularFile(target_, O_WRONLY | O_NOFOLLOW);
  if (!out.IsOpen()) throw FileError("cannot write " + target_);
  struct stat old {};
  if (::fstat(out.Get(), &old) != 0) throw FileError("cannot write " + target_);
  const int64_t size = content_.Length();
  // Reserved first, so that the copy cannot run out of space halfway through the old text.
  if (size > old.st_size && ::posix_fallocate(out.Get(), old.st_size, size - old.st_size) != 0) {
    throw FileError("no room for " + target_);
  }
  std::vector<uint8_t> block(kCopyBlock);
  for (int64_t at = 0; at < size;) {
    const int64_t got = ReadAll(content_.Descriptor(), block, at);
    if (got <= 0 || !WriteAll(out.Get(), {block.data(), static_cast<size_t>(got)}, at)) {
      throw FileError("cannot write " + target_);
    }
    at += got;
  }
  if (::ftruncate(out.Get(), size) != 0 || ::fdatasync(out.Get()) != 0 || !out.Close()) {
    throw FileError("cannot store " + target_);
  }
}

}  // namespace zun
