#include "glue/in_place_overwrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "glue/byte_file.h"
#include "glue/links.h"
#include "glue/paths.h"
#include "glue/temporary_files.h"

namespace zun {
namespace {

constexpr size_t kCopyBlock = 1 << 18;

std::string FolderOf(const std::string& path) {
  const std::string folder = PathDirectory(path);
  return folder.empty() ? std::string(".") + kPathSeparator : folder;
}

// The inode and birth time of a file (0 where the file system keeps none): with both a kept copy
// never meets a later file that got the inode number again.
struct Identity {
  unsigned long long inode = 0;
  unsigned long long birth = 0;
};

bool IdentityOf(int dirfd, const char* path, int flags, Identity& identity) {
  struct statx info {};
  if (::statx(dirfd, path, flags, STATX_INO | STATX_BTIME, &info) != 0 || (info.stx_mask & STATX_INO) == 0) {
    return false;
  }
  identity.inode = info.stx_ino;
  if ((info.stx_mask & STATX_BTIME) != 0) {
    identity.birth = static_cast<unsigned long long>(info.stx_btime.tv_sec) * 1000000000ull + info.stx_btime.tv_nsec;
  }
  return true;
}

std::string KeptCopyPath(const std::string& folder, const Identity& identity) {
  char name[64];
  std::snprintf(name, sizeof name, ".zun2-keep-%llx-%llx", identity.inode, identity.birth);
  return folder + name;
}

// Room for `size` bytes, so that a copy cannot run out of space halfway; the size stays.
void Reserve(int fd, int64_t size, const std::string& what) {
  if (size == 0 || ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, size) == 0) return;
  if (errno == EOPNOTSUPP || errno == ENOSYS) return;  // the file system cannot: the writes find out
  throw FileError("no room for " + what);
}

// The change time of the kept copy open as `keep` becomes now (-1: none). Done before each change
// of the file it keeps, so that a change of that file later than its copy's by more than a moment
// came from someone else.
void Tick(int keep) {
  const struct timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
  if (keep >= 0) ::futimens(keep, times);
}

// Copies the first `size` bytes of `from` over `to` and cuts `to` there, each change after a Tick
// of `keep`.
void CopyContent(int from, int to, int64_t size, const std::string& what, int keep = -1) {
  Tick(keep);
  Reserve(to, size, what);
  std::vector<uint8_t> block(kCopyBlock);
  for (int64_t at = 0; at < size;) {
    const auto want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(kCopyBlock), size - at));
    const int64_t got = ReadAll(from, {block.data(), want}, at);
    Tick(keep);
    if (got <= 0 || !WriteAll(to, {block.data(), static_cast<size_t>(got)}, at)) {
      throw FileError("cannot write " + what);
    }
    at += got;
  }
  Tick(keep);
  if (::ftruncate(to, size) != 0) throw FileError("cannot write " + what);
}

// Whether `file` changed later than the last Tick of its kept copy `keep` (beyond a clock's coarse
// steps): not by the overwrite that was cut short.
bool ChangedSinceCutShort(const struct stat& file, const struct stat& keep) {
  constexpr int64_t kMoment = 1000000000;  // nanoseconds
  const auto nanoseconds = [](const struct timespec& t) { return int64_t{t.tv_sec} * 1000000000 + t.tv_nsec; };
  return nanoseconds(file.st_ctim) > nanoseconds(keep.st_ctim) + kMoment;
}

// The old content of `target` (open as `fd`) and its modification time, on disk as `keep`; the
// copy stays open.
FileDescriptor KeepOldContent(int fd, const struct stat& old, const std::string& keep, const std::string& folder) {
  struct stat existing {};
  if (::lstat(keep.c_str(), &existing) == 0) throw FileError("a kept copy is in the way: " + keep);
  TemporaryFile copy = CreateTemporaryFile(folder, LinkedLater::Yes);
  if (!copy.fd.IsOpen()) throw FileError("cannot keep the old content in " + folder);
  const struct timespec times[2] = {old.st_atim, old.st_mtim};
  // Readable by whoever could read the old file, so that another writer of it can put it back.
  const mode_t mode = old.st_mode & (::fchown(copy.fd.Get(), static_cast<uid_t>(-1), old.st_gid) == 0 ? 0666 : 0606);
  try {
    CopyContent(fd, copy.fd.Get(), old.st_size, keep);
    if (::fchmod(copy.fd.Get(), mode | 0600) != 0 || ::futimens(copy.fd.Get(), times) != 0 ||
        ::fsync(copy.fd.Get()) != 0) {
      throw FileError("cannot store " + keep);
    }
    const std::string self = "/proc/self/fd/" + std::to_string(copy.fd.Get());
    const bool named = copy.name.empty()
                           ? ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, keep.c_str(), AT_SYMLINK_FOLLOW) == 0
                           : ::rename(copy.name.c_str(), keep.c_str()) == 0;
    if (!named) throw FileError("cannot name " + keep);
  } catch (const FileError&) {
    if (!copy.name.empty()) ::unlink(copy.name.c_str());
    throw;
  }
  SyncFolder(folder);  // best effort: some file systems cannot flush a folder
  return std::move(copy.fd);
}

// Copies `keep` back over the file open as `fd`, with its modification time, and removes it.
void PutBack(int fd, const std::string& keep, const std::string& target) {
  FileDescriptor copy = OpenRegularFile(keep, O_RDONLY | O_NOFOLLOW);
  struct stat kept {};
  if (!copy.IsOpen() || ::fstat(copy.Get(), &kept) != 0) throw FileError("cannot read " + keep);
  CopyContent(copy.Get(), fd, kept.st_size, target);
  const struct timespec times[2] = {{0, UTIME_OMIT}, kept.st_mtim};
  if (::futimens(fd, times) != 0 || ::fsync(fd) != 0) throw FileError("cannot store " + target);
  if (::unlink(keep.c_str()) != 0) throw FileError("cannot remove " + keep);
  SyncFolder(FolderOf(keep));
}

}  // namespace

void OverwriteInPlace(const std::string& target, int content, int64_t size) {
  FileDescriptor out = OpenRegularFile(target, O_RDWR | O_NOFOLLOW);
  struct stat old {};
  Identity identity;
  if (!out.IsOpen() || ::fstat(out.Get(), &old) != 0 || !IdentityOf(out.Get(), "", AT_EMPTY_PATH, identity)) {
    throw FileError("cannot write " + target);
  }
  const std::string folder = FolderOf(target);
  const std::string keep = KeptCopyPath(folder, identity);
  const FileDescriptor kept = KeepOldContent(out.Get(), old, keep, folder);
  try {
    CopyContent(content, out.Get(), size, target, kept.Get());
    if (::fdatasync(out.Get()) != 0) throw FileError("cannot store " + target);
  } catch (const FileError&) {
    try {
      PutBack(out.Get(), keep, target);
    } catch (const FileError&) {
      // The copy stays; the next access puts it back.
    }
    throw;
  }
  ::unlink(keep.c_str());
  SyncFolder(folder);
  if (!out.Close()) throw FileError("cannot store " + target);
}

void RestoreInterruptedOverwrite(const std::string& path) {
  struct stat info {};
  Identity identity;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || !IdentityOf(AT_FDCWD, path.c_str(), 0, identity)) {
    return;
  }
  const std::string keep = KeptCopyPath(FolderOf(path), identity);
  struct stat kept {};
  if (::lstat(keep.c_str(), &kept) != 0 || !S_ISREG(kept.st_mode)) return;
  // Anyone may put a file of that name into a shared folder: there only the user's own copy, or
  // one of the file's owner, is the file's content. Elsewhere whoever could make it could replace
  // the file as well.
  if (IsSharedFolder(FolderOf(path)) && kept.st_uid != ::geteuid() && kept.st_uid != info.st_uid) return;
  // Changed since (fixed by hand, say): that change is the file's content now, and the copy stays,
  // in the way of the next overwrite, until someone looks.
  if (ChangedSinceCutShort(info, kept)) return;
  FileDescriptor target = OpenRegularFile(path, O_RDWR);
  if (!target.IsOpen()) throw FileError("cannot put back the old content of " + path);
  PutBack(target.Get(), keep, path);
}

}  // namespace zun
