// Folders watched with inotify: the kernel reports what changes in them, so nothing is polled and
// nothing runs while they are quiet.
//
// Folders, not files, are watched: an editor that saves by writing a new file and renaming it
// over the old one replaces the file's inode, which a watch on the file itself would lose. A
// folder that does not exist yet is watched through its nearest existing ancestor until it
// appears; a folder reached through a symbolic link is watched where the link leads, and the
// link's own folder tells when the link is pointed elsewhere.
#pragma once
#include <map>
#include <set>
#include <string>
#include <vector>

#include "glue/file_descriptor.h"

namespace zun {

// Joins a folder (no trailing separator, except the root itself) and a name.
std::string JoinPath(const std::string& folder, const std::string& name);

class FolderWatcher {
 public:
  // Throws FileError when the kernel gives no inotify instance.
  FolderWatcher();

  // Readable (poll, QSocketNotifier) while changes wait to be read.
  int Descriptor() const { return fd_.Get(); }

  struct Armed {
    std::set<std::string> added;           // wanted folders watched now that were not before
    std::vector<std::string> unwatchable;  // folders that exist but cannot be watched, with why
  };
  // Watches exactly these folders (absolute, without trailing separator), one kernel watch per
  // folder however many ask for it. Unwatchable: the user's limit of watches reached, no permission.
  Armed WatchFolders(const std::set<std::string>& folders);
  // The kernel watches in use.
  size_t WatchCount() const { return watches_.size(); }

  struct Changes {
    std::set<std::string> paths;  // each entry of a watched folder that changed, as folder/name
    bool rearm = false;           // a watched folder appeared, went or moved: call WatchFolders again
    bool overflow = false;        // the kernel dropped events: anything may have changed
  };
  // What the kernel reported since the last call; never blocks.
  Changes ReadChanges();

 private:
  struct Watch {
    std::set<std::string> folders;     // the wanted folders this watch shows
    std::set<std::string> rearmNames;  // entries whose coming or going changes what is watched
  };
  int Add(const std::string& folder);
  void WatchAncestor(const std::string& folder, std::map<int, Watch>& next);
  void WatchLinkHolders(const std::string& folder, std::map<int, Watch>& next);
  void Note(int wd, uint32_t mask, const std::string& name, Changes& changes) const;

  FileDescriptor fd_;
  std::map<int, Watch> watches_;
};

// Waits, without using the processor, until no process holds the flock() lock on `lockPath`
// (a missing lock file is held by nobody): inotify reports each close of the file, after which
// the lock is tried again. False when `stopFd` became readable first.
bool WaitForUnlock(const std::string& lockPath, int stopFd);

}  // namespace zun
