#include "glue/links.h"

#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <vector>

#include "glue/paths.h"

namespace zun {
namespace {

constexpr int kMaxLinkHops = 40;

// The parts of `path` between separators, empty ones and "." left out.
void PushParts(const std::string& path, std::deque<std::string>& parts) {
  std::deque<std::string> found;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find(kPathSeparator, start), path.size());
    const std::string part = path.substr(start, end - start);
    if (!part.empty() && part != ".") found.push_back(part);
    start = end + 1;
  }
  parts.insert(parts.begin(), found.begin(), found.end());
}

// `resolved` holds no link, so ".." is its parent folder.
void GoUp(std::string& resolved) {
  if (resolved.empty()) return;  // the root is its own parent
  const size_t last = resolved.rfind(kPathSeparator);
  if (last == std::string::npos || resolved.compare(last + 1, std::string::npos, "..") == 0) {
    resolved += std::string(1, kPathSeparator) + "..";  // a relative start: the current folder was unknown
  } else {
    resolved.erase(last);
  }
}

bool IsShared(const struct stat& folder) { return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0; }

void RefusePlantedLink(const std::string& folder, const struct stat& link, const std::string& path) {
  struct stat info {};
  if (::stat(folder.empty() ? "/" : folder.c_str(), &info) != 0) throw FileError("cannot look at " + folder);
  if (IsShared(info) && link.st_uid != ::geteuid() && link.st_uid != info.st_uid) {
    throw PlantedLinkError("a link of another user in a shared folder: " + path);
  }
}

std::string ReadLink(const std::string& path, const struct stat& link) {
  // The size a link reports may fall short: 0 on some file systems, 64 for /proc's links to open
  // files, whatever their target.
  for (size_t size = static_cast<size_t>(link.st_size > 0 ? link.st_size : 255) + 1; size <= (1 << 16); size *= 2) {
    std::vector<char> target(size);
    const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
    if (n <= 0) break;
    if (static_cast<size_t>(n) < target.size()) return std::string(target.data(), static_cast<size_t>(n));
  }
  throw FileError("cannot read the link " + path);
}

}  // namespace

bool IsSharedFolder(const std::string& folder) {
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && IsShared(info);
}

bool IsPlantedFile(int fd, const std::string& path) {
  struct stat file {};
  struct stat folder {};
  std::string where;
  try {
    where = PathDirectory(FollowLinks(path));
  } catch (const FileError&) {
    return true;  // a planted link on the way
  }
  if (::fstat(fd, &file) != 0 || ::stat(where.empty() ? "/" : where.c_str(), &folder) != 0) return true;
  return IsShared(folder) && file.st_uid != ::geteuid() && file.st_uid != folder.st_uid;
}

std::string FollowLinks(const std::string& path) {
  // Without a separator at its end: the root is "".
  std::string resolved;
  if (path.empty() || path.front() != kPathSeparator) {
    resolved = CurrentDirectoryWithSeparator();  // "./" when it is unknown
    resolved.pop_back();
  }
  std::deque<std::string> rest;
  PushParts(path, rest);
  int hops = 0;
  while (!rest.empty()) {
    const std::string part = std::move(rest.front());
    rest.pop_front();
    if (part == "..") {
      GoUp(resolved);
      continue;
    }
    const std::string next = resolved + kPathSeparator + part;
    struct stat info {};
    if (::lstat(next.c_str(), &info) != 0) {  // missing or out of reach: the rest as written
      resolved = next;
      for (const std::string& later : rest) resolved += kPathSeparator + later;
      break;
    }
    if (!S_ISLNK(info.st_mode)) {
      resolved = next;
      continue;
    }
    if (++hops > kMaxLinkHops) throw FileError("too many links: " + path);
    RefusePlantedLink(resolved, info, next);
    const std::string target = ReadLink(next, info);
    if (target.front() == kPathSeparator) resolved.clear();
    PushParts(target, rest);
  }
  return resolved.empty() ? std::string(1, kPathSeparator) : resolved;
}

}  // namespace zun
