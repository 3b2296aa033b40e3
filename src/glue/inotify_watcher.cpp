#include "glue/inotify_watcher.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "glue/byte_file.h"
#include "glue/paths.h"

namespace zun {
namespace {

// What happens to a file when it is written, replaced, created, removed or touched, and to the
// folder itself when it goes. IN_EXCL_UNLINK: a removed file that stays open reports nothing more.
constexpr uint32_t kFolderEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_MODIFY |
                                   IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;
// An entry of these kinds came or went.
constexpr uint32_t kEntryEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;
// The watch ended or no longer shows the folder it was made for.
constexpr uint32_t kWatchEnded = IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

// A wait for the lock also tries again this often, for holders whose close inotify cannot see
// (another machine on a network file system).
constexpr int kUnlockRetryMs = 30'000;

std::string ParentOf(const std::string& folder) {
  const size_t cut = folder.rfind(kPathSeparator);
  if (cut == std::string::npos || cut == 0) return std::string(1, kPathSeparator);
  return folder.substr(0, cut);
}

// Reads what waits on an inotify descriptor; the events' masks together.
uint32_t Drain(int fd) {
  uint32_t masks = 0;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event{};
      std::memcpy(&event, buffer + at, sizeof event);
      masks |= event.mask;
      at += static_cast<ssize_t>(sizeof event + event.len);
    }
  }
  return masks;
}

}  // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == kPathSeparator) return folder + name;
  return folder + kPathSeparator + name;
}

FolderWatcher::FolderWatcher() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  if (!fd_.IsOpen()) throw FileError(std::string("cannot watch folders: ") + std::strerror(errno));
}

int FolderWatcher::Add(const std::string& folder) {
  return ::inotify_add_watch(fd_.Get(), folder.c_str(), kFolderEvents);
}

FolderWatcher::Armed FolderWatcher::WatchFolders(const std::set<std::string>& folders) {
  std::map<int, Watch> next;
  Armed armed;
  for (const std::string& folder : folders) {
    const int wd = Add(folder);
    const int error = errno;
    if (wd >= 0) {
      next[wd].folders.insert(folder);
      WatchLinkHolders(folder, next);
      const auto before = watches_.find(wd);
      if (before == watches_.end() || !before->second.folders.contains(folder)) armed.added.insert(folder);
    } else if (error == ENOENT || error == ENOTDIR) {
      WatchAncestor(folder, next);
    } else {
      armed.unwatchable.push_back(folder + ": " + std::strerror(error));
    }
  }
  for (const auto& [wd, watch] : watches_) {
    if (!next.contains(wd)) ::inotify_rm_watch(fd_.Get(), wd);
  }
  watches_ = std::move(next);
  return armed;
}

// The folder is missing: its nearest existing ancestor tells when the next folder on the way
// comes (or a file there that stood in the way goes).
void FolderWatcher::WatchAncestor(const std::string& folder, std::map<int, Watch>& next) {
  std::string child = folder;
  for (std::string parent = ParentOf(folder);; parent = ParentOf(parent)) {
    if (const int wd = Add(parent); wd >= 0) {
      next[wd].rearmNames.insert(PathFileName(child));
      WatchLinkHolders(parent, next);
      return;
    }
    if (parent.size() <= 1) return;
    child = parent;
  }
}

// Each symbolic link on the way to the folder: the folder holding it tells when it is re-pointed.
void FolderWatcher::WatchLinkHolders(const std::string& folder, std::map<int, Watch>& next) {
  for (size_t cut = folder.find(kPathSeparator, 1);; cut = folder.find(kPathSeparator, cut + 1)) {
    const std::string prefix = folder.substr(0, cut);
    struct stat info {};
    if (::lstat(prefix.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
      if (const int wd = Add(ParentOf(prefix)); wd >= 0) next[wd].rearmNames.insert(PathFileName(prefix));
    }
    if (cut == std::string::npos) return;
  }
}

void FolderWatcher::Note(int wd, uint32_t mask, const std::string& name, Changes& changes) const {
  const auto found = watches_.find(wd);
  if (found == watches_.end()) return;  // a watch given up meanwhile
  const Watch& watch = found->second;
  if (mask & kWatchEnded) changes.rearm = true;
  if (name.empty()) return;
  if ((mask & kEntryEvents) && watch.rearmNames.contains(name)) changes.rearm = true;
  for (const std::string& folder : watch.folders) changes.paths.insert(JoinPath(folder, name));
}

FolderWatcher::Changes FolderWatcher::ReadChanges() {
  Changes changes;
  alignas(inotify_event) char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(fd_.Get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // nothing more waiting (EAGAIN)
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      inotify_event event{};
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof event;
      at += static_cast<ssize_t>(sizeof event + event.len);
      if (event.mask & IN_Q_OVERFLOW) {
        changes.overflow = true;
        continue;
      }
      Note(event.wd, event.mask, event.len > 0 ? std::string(name, ::strnlen(name, event.len)) : std::string(),
           changes);
    }
  }
  return changes;
}

bool WaitForUnlock(const std::string& lockPath, int stopFd) {
  // Opened once for the whole wait: opening and closing it anew would wake this very wait.
  FileDescriptor probe(::open(lockPath.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!probe.IsOpen()) return true;  // no lock file: nobody holds it (opening the data file says the rest)
  FileDescriptor closes(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (closes.IsOpen() &&
      ::inotify_add_watch(closes.Get(), lockPath.c_str(), IN_CLOSE | IN_DELETE_SELF | IN_MOVE_SELF) < 0) {
    closes.Reset();
  }
  for (;;) {
    if (::flock(probe.Get(), LOCK_SH | LOCK_NB) == 0) {
      ::flock(probe.Get(), LOCK_UN);
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return true;
    pollfd waits[2] = {{stopFd, POLLIN, 0}, {closes.Get(), POLLIN, 0}};
    // Without inotify, the lock is tried every second.
    const int ready = ::poll(waits, closes.IsOpen() ? 2 : 1, closes.IsOpen() ? kUnlockRetryMs : 1000);
    if (ready > 0 && (waits[0].revents & (POLLIN | POLLHUP | POLLERR))) return false;
    // A lock file removed or replaced: whoever locks the data folder next uses the new one.
    if (closes.IsOpen() && (Drain(closes.Get()) & kWatchEnded)) return true;
  }
}

}  // namespace zun
