#include "glue/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <string_view>
#include <vector>

#include "glue/byte_file.h"
#include "glue/file_descriptor.h"
#include "glue/links.h"
#include "glue/paths.h"
#include "glue/xdg_dirs.h"

namespace zun {
namespace {

constexpr int kNameAttempts = 1000;
constexpr size_t kCopyBlock = 1 << 18;
constexpr const char* kInfoSuffix = ".trashinfo";

// Makes `folder` and its missing parents, each new one private.
void MakePrivateFolders(const std::string& folder) {
  std::string made;
  size_t at = 0;
  while (at < folder.size()) {
    const size_t next = folder.find(kPathSeparator, at + 1);
    made = folder.substr(0, next == std::string::npos ? folder.size() : next);
    at = next == std::string::npos ? folder.size() : next;
    if (made.empty() || made.back() == kPathSeparator) continue;
    if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) throw FileError(made, SystemReason(errno));
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0) throw FileError(folder, SystemReason(errno));
  if (!S_ISDIR(info.st_mode)) throw FileError(folder, SystemReason(ENOTDIR));
}

std::string EscapeTrashPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string escaped;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
        std::string_view("-._~/").find(c) != std::string_view::npos) {
      escaped += c;
    } else {
      escaped += '%';
      escaped += kHex[byte >> 4];
      escaped += kHex[byte & 0xF];
    }
  }
  return escaped;
}

std::string LocalTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  return text;
}

// The n-th candidate name: "notes.txt", then "notes.2.txt", "notes.3.txt" ..., its part before
// the extension cut (never inside a character) where the entry's name would pass NAME_MAX.
std::string CandidateName(const std::string& name, int n) {
  constexpr size_t kMaxName = NAME_MAX - std::string_view(kInfoSuffix).size();
  constexpr size_t kMaxExtension = 32;
  const size_t dot = name.rfind('.');
  const bool extension = dot != std::string::npos && dot != 0 && name.size() - dot <= kMaxExtension;
  const size_t split = extension ? dot : name.size();
  const std::string number = n == 1 ? "" : "." + std::to_string(n);
  const size_t room = kMaxName - number.size() - (name.size() - split);
  return CutAtCharacterBoundary(std::string_view(name).substr(0, split), room) + number + name.substr(split);
}

// Where the entry of the trash name `name` lies, and where its file does.
std::string InfoPath(const std::string& trash, const std::string& name) {
  std::string path = trash;
  path.append("info/").append(name).append(kInfoSuffix);
  return path;
}
std::string FilePath(const std::string& trash, const std::string& name) {
  std::string path = trash;
  path.append("files/").append(name);
  return path;
}

// Copies the whole of `source` into `target` and flushes it; false on any failure.
bool CopyAll(int source, int target) {
  std::vector<uint8_t> block(kCopyBlock);
  for (;;) {
    const int64_t got = ReadAll(source, block);
    if (got < 0) return false;
    if (got == 0) break;
    if (!WriteAll(target, {block.data(), static_cast<size_t>(got)})) return false;
  }
  return ::fsync(target) == 0;
}

// A trash name claimed by creating its .trashinfo exclusively, the entry written and flushed;
// the name, and the open descriptor of its still empty file in files/.
struct Claim {
  std::string name;
  FileDescriptor file;
};

Claim ClaimName(const std::string& trash, const std::string& name, const std::string& info, mode_t mode) {
  for (int n = 1; n <= kNameAttempts; ++n) {
    const std::string candidate = CandidateName(name, n);
    const std::string infoPath = InfoPath(trash, candidate);
    FileDescriptor entry(::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!entry.IsOpen()) {
      if (errno == EEXIST) continue;
      throw FileError(infoPath, SystemReason(errno));
    }
    const std::string filePath = FilePath(trash, candidate);
    FileDescriptor file(::open(filePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    const bool written = file.IsOpen() &&
                         WriteAll(entry.Get(), {reinterpret_cast<const uint8_t*>(info.data()), info.size()}) &&
                         ::fsync(entry.Get()) == 0 && entry.Close();
    if (written) return Claim{candidate, std::move(file)};
    const int error = errno;
    const bool taken = !file.IsOpen() && error == EEXIST;  // a file left without its entry
    if (file.IsOpen()) ::unlink(filePath.c_str());
    ::unlink(infoPath.c_str());
    if (!taken) throw FileError(file.IsOpen() ? infoPath : filePath, SystemReason(error));
  }
  throw FileError(trash, "no free name in the Trash");
}

}  // namespace

std::string HomeTrashFolder() {
  const std::string dataHome = XdgDataHome();
  if (dataHome.empty()) throw FileError("Trash", "no home folder");
  return dataHome + kPathSeparator + "Trash" + kPathSeparator;
}

std::string PutCopyInTrash(const std::string& path) {
  const std::string real = FollowLinks(path);  // absolute, links resolved
  const FileDescriptor source = OpenRegularFile(real, O_RDONLY);
  struct stat info {};
  if (!source.IsOpen() || ::fstat(source.Get(), &info) != 0) throw FileError(path, SystemReason(errno));

  const std::string trash = HomeTrashFolder();
  MakePrivateFolders(trash + "files");
  MakePrivateFolders(trash + "info");
  const std::string entry = "[Trash Info]\nPath=" + EscapeTrashPath(real) + "\nDeletionDate=" + LocalTimeNow() + "\n";
  Claim claim = ClaimName(trash, PathFileName(real), entry, info.st_mode & 0777);
  const std::string filePath = FilePath(trash, claim.name);
  if (!CopyAll(source.Get(), claim.file.Get()) || !claim.file.Close()) {
    const int error = errno;
    ::unlink(filePath.c_str());
    ::unlink(InfoPath(trash, claim.name).c_str());
    throw FileError(filePath, SystemReason(error));
  }
  SyncFolder(trash + "files");
  SyncFolder(trash + "info");
  return claim.name;
}

}  // namespace zun
