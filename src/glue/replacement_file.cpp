#include "glue/replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "glue/in_place_overwrite.h"
#include "glue/links.h"
#include "glue/paths.h"
#include "glue/temporary_files.h"

namespace zun {
namespace {

mode_t DefaultFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string FolderOf(const std::string& path) {
  const std::string folder = PathDirectory(path);
  return folder.empty() ? std::string(".") + kPathSeparator : folder;
}

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
  RestoreInterruptedOverwrite(real);
  TemporaryFile temporary = CreateTemporaryFile(FolderOf(real), LinkedLater::Yes);
  if (!temporary.fd.IsOpen()) throw FileError("cannot write beside " + target);
  ReplacementFile file(ByteFile::ForWriting(std::move(temporary.fd), target, writeBack), real);
  file.temporaryName_ = std::move(temporary.name);
  return file;
}

ReplacementFile::ReplacementFile(ReplacementFile&& other) noexcept
    : content_(std::move(other.content_)),
      target_(std::move(other.target_)),
      temporaryName_(std::exchange(other.temporaryName_, std::string())) {}

ReplacementFile& ReplacementFile::operator=(ReplacementFile&& other) noexcept {
  if (this != &other) {
    if (!temporaryName_.empty()) ::unlink(temporaryName_.c_str());
    content_ = std::move(other.content_);
    target_ = std::move(other.target_);
    temporaryName_ = std::exchange(other.temporaryName_, std::string());
  }
  return *this;
}

ReplacementFile::~ReplacementFile() {
  if (!temporaryName_.empty()) ::unlink(temporaryName_.c_str());
}

void ReplacementFile::Commit() {
  content_.Sync();
  const int fd = content_.Descriptor();
  struct stat old {};
  const bool exists = ::stat(target_.c_str(), &old) == 0;
  if (exists && (old.st_nlink > 1 || ::fchown(fd, old.st_uid, old.st_gid) != 0)) {
    OverwriteInPlace(target_, fd, content_.Length());
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
  if (temporaryName_.empty()) temporaryName_ = NameUnnamedFile(content_.Descriptor(), folder);
  if (temporaryName_.empty()) throw FileError("cannot name the new " + target_);
  if (::rename(temporaryName_.c_str(), target_.c_str()) != 0) throw FileError("cannot replace " + target_);
  temporaryName_.clear();
  SyncFolder(folder);  // best effort: the rename is done, some file systems cannot flush a folder
}

}  // namespace zun
