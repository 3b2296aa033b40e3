#include "tasks/base_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <git2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <unordered_set>

#include "glue/file_descriptor.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "record/data_file.h"
#include "tasks/conversion_run.h"
#include "tasks/merge.h"

namespace zun {
namespace {

// Layout of a base file, every number little-endian:
//   0  8  "ZUN2BASE"
//   8  4  format version, 1
//  12  4  length of PcFile     16  4  length of the document's path
//  20  8  length of the PC text 28  8  length of the document text
//  36     PcFile, the document's path, the PC text, the document text
constexpr char kMagic[] = "ZUN2BASE";
constexpr uint32_t kFormatVersion = 1;
constexpr size_t kHeaderSize = 36;
constexpr const char* kUnfinishedSuffix = ".new";
constexpr size_t kPiece = size_t{1} << 20;
constexpr size_t kMaxBaseFile = (size_t{1} << 31) + (size_t{1} << 30);

void PutNumber(std::string& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t NumberAt(const std::string& bytes, size_t at, int width) {
  uint64_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
  return value;
}

// Fills `part` from `offset` of the file, a megabyte at a time; false unless all of it is there.
bool ReadPart(int fd, uint64_t offset, std::string& part, const std::function<void()>& between) {
  for (size_t at = 0; at < part.size(); at += kPiece) {
    const size_t size = std::min(kPiece, part.size() - at);
    const int64_t got =
        ReadAll(fd, {reinterpret_cast<uint8_t*>(part.data() + at), size}, static_cast<off_t>(offset + at));
    if (got != static_cast<int64_t>(size)) return false;
    between();
  }
  return true;
}

std::string BaseFolder(const std::string& programDir) { return programDir + kBaseFolderName + kPathSeparator; }

// The private folder, made when missing; a link or anything but a folder of this user's is refused.
std::string PrivateBaseFolder(const std::string& programDir) {
  std::string folder = BaseFolder(programDir);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) throw FileError("cannot make " + folder);
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid()) {
    throw FileError("not a private folder: " + folder);
  }
  if ((info.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) throw FileError("cannot protect " + folder);
  return folder;
}

bool IsKey(std::string_view text) {
  return text.size() == GIT_OID_HEXSZ && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// A base no task names, or one a killed run left unfinished.
bool IsUnused(std::string_view name, const std::unordered_set<std::string>& named) {
  if (name.ends_with(kUnfinishedSuffix)) return IsKey(name.substr(0, name.size() - std::strlen(kUnfinishedSuffix)));
  return IsKey(name) && !named.contains(std::string(name));
}

}  // namespace

std::string BaseDocument(UserManager& users, const TargetChecks& checks, const std::string& palmFile) {
  const int32_t first = checks.FirstChecked();
  return first < 0 ? std::string() : PalmFilePath(users, checks, first, palmFile);
}

std::string BaseKey(const std::string& pcFile, const std::string& document) {
  UseLibgit2();
  std::string names = pcFile;
  names += '\0';
  names += document;
  git_oid id{};
  if (git_odb_hash(&id, names.data(), names.size(), GIT_OBJECT_BLOB) != 0) throw FileError("cannot hash the names");
  char hex[GIT_OID_HEXSZ + 1] = {};
  git_oid_fmt(hex, &id);
  return hex;
}

std::optional<Base> LoadBase(const std::string& programDir, const std::string& pcFile, const std::string& document,
                             const std::function<void()>& between) {
  const FileDescriptor fd = OpenRegularFile(BaseFolder(programDir) + BaseKey(pcFile, document), O_RDONLY);
  struct stat info {};
  std::string header(kHeaderSize, '\0');
  if (!fd.IsOpen() || ::fstat(fd.Get(), &info) != 0 || !ReadPart(fd.Get(), 0, header, between) ||
      header.compare(0, 8, kMagic) != 0 || NumberAt(header, 8, 4) != kFormatVersion) {
    return std::nullopt;
  }
  const uint64_t pcName = NumberAt(header, 12, 4);
  const uint64_t documentName = NumberAt(header, 16, 4);
  const uint64_t pcText = NumberAt(header, 20, 8);
  const uint64_t documentText = NumberAt(header, 28, 8);
  // Each part below the file's size, so the sum cannot wrap.
  const auto size = static_cast<uint64_t>(info.st_size);
  if (size > kMaxBaseFile || pcText > size || documentText > size ||
      kHeaderSize + pcName + documentName + pcText + documentText != size) {
    return std::nullopt;
  }
  std::string names(pcName + documentName, '\0');
  Base base{std::string(pcText, '\0'), std::string(documentText, '\0')};
  if (!ReadPart(fd.Get(), kHeaderSize, names, between) || names != pcFile + document ||
      names.compare(0, pcName, pcFile) != 0 || !ReadPart(fd.Get(), kHeaderSize + names.size(), base.pcText, between) ||
      !ReadPart(fd.Get(), kHeaderSize + names.size() + pcText, base.documentText, between)) {
    return std::nullopt;
  }
  return base;
}

void StoreBase(const std::string& programDir, const std::string& pcFile, const std::string& document, const Base& base,
               const std::function<void()>& between) {
  const std::string path = PrivateBaseFolder(programDir) + BaseKey(pcFile, document);
  std::string header(kMagic, 8);
  PutNumber(header, kFormatVersion, 4);
  PutNumber(header, pcFile.size(), 4);
  PutNumber(header, document.size(), 4);
  PutNumber(header, base.pcText.size(), 8);
  PutNumber(header, base.documentText.size(), 8);
  // Written beside the old base and renamed over it: the old one or the new one. Not flushed to
  // disk, unlike the task's files: a base a crash damaged reads as none (its lengths do not add
  // up), and an older one only makes a merge find changes both sides made alike.
  const std::string written = path + kUnfinishedSuffix;
  FileDescriptor fd(::open(written.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
  bool complete = fd.IsOpen();
  for (const std::string* part :
       std::initializer_list<const std::string*>{&header, &pcFile, &document, &base.pcText, &base.documentText}) {
    for (size_t at = 0; complete && at < part->size(); at += kPiece) {
      const size_t size = std::min(kPiece, part->size() - at);
      complete = WriteAll(fd.Get(), {reinterpret_cast<const uint8_t*>(part->data() + at), size});
      between();
    }
  }
  if (!complete || !fd.Close() || ::rename(written.c_str(), path.c_str()) != 0) {
    ::unlink(written.c_str());
    throw FileError("cannot store the base " + path);
  }
}

void RemoveBase(const std::string& programDir, const std::string& pcFile, const std::string& document) {
  RemoveFile(BaseFolder(programDir) + BaseKey(pcFile, document));
}

void ForgetUnnamedBases(const DataFile& data, const std::string& programDir, UserManager& users) {
  const std::string folder = BaseFolder(programDir);
  if (!IsFolder(folder)) return;
  const auto entries = static_cast<int32_t>(FillUserList(users).size()) + 1;  // the users, "Custom"
  std::unordered_set<std::string> named;
  for (int32_t row = 1; row <= data.TaskCount(); ++row) {
    const TaskRecord task = data.Read(TaskRecordNumber(row));
    const TargetChecks checks = ChecksFromTargets(task.Targets, entries);
    named.insert(BaseKey(task.PcFile.Trimmed(), BaseDocument(users, checks, task.PalmFile.Trimmed())));
  }
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return;
  while (const dirent* entry = ::readdir(listing)) {
    if (IsUnused(entry->d_name, named)) ::unlinkat(::dirfd(listing), entry->d_name, 0);
  }
  ::closedir(listing);
}

}  // namespace zun
