#include "glue/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <vector>

#include "glue/file_system.h"

namespace zun {
namespace {

constexpr const char* kPrefix = ".zun2-tmp-";
constexpr int kNameAttempts = 100;

bool UnnamedFilesSwitchedOff() {
  const char* value = std::getenv("ZUN2_NO_TMPFILE");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

// A file of /proc, whose size says nothing: up to 4 KB of it.
std::string ReadProcFile(const std::string& path) {
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::string text(4096, '\0');
  const int64_t got = fd.IsOpen() ? ReadAll(fd.Get(), {reinterpret_cast<uint8_t*>(text.data()), text.size()}) : -1;
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return text;
}

std::string LinkText(const char* path) {
  char target[256];
  const ssize_t n = ::readlink(path, target, sizeof target);
  return n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
}

// Eight hex digits for the machine and the process namespace in which process IDs mean something:
// the machine ID, the host name and the namespace of process IDs.
const std::string& MachineTag() {
  static const std::string tag = [] {
    std::string identity = ReadSmallFile("/etc/machine-id", 256).value_or("");
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    identity += std::string("\n") + host + "\n" + LinkText("/proc/self/ns/pid");
    uint32_t hash = 2166136261u;  // FNV-1a
    for (const char c : identity) hash = (hash ^ static_cast<uint8_t>(c)) * 16777619u;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08x", hash);
    return std::string(hex);
  }();
  return tag;
}

// The first eight hex digits of the boot's ID; "0" when it is unknown.
const std::string& BootTag() {
  static const std::string tag = [] {
    const std::string id = ReadProcFile("/proc/sys/kernel/random/boot_id");
    return id.size() >= 8 ? id.substr(0, 8) : std::string("0");
  }();
  return tag;
}

// When a process started (clock ticks since the boot); 0 when it cannot be read.
unsigned long long StartTime(pid_t pid) {
  const std::string stat = ReadProcFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t nameEnd = stat.rfind(')');  // the command's name may hold blanks
  if (nameEnd == std::string::npos) return 0;
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string skipped;
  for (int field = 3; field < 22; ++field) fields >> skipped;
  unsigned long long start = 0;
  fields >> start;  // field 22
  return fields ? start : 0;
}

std::string NewName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  static pid_t startOf = 0;
  static unsigned long long start = 0;
  const pid_t self = ::getpid();
  if (startOf != self) {  // a forked child is another process
    startOf = self;
    start = StartTime(self);
  }
  char tail[96];
  std::snprintf(tail, sizeof tail, "-%d-%llu-%x", static_cast<int>(self), start, counter++);
  return folder + kPrefix + MachineTag() + "-" + BootTag() + tail;
}

struct NameFields {
  std::string machine, boot;
  long long pid = 0;
  unsigned long long start = 0;
};

bool ParseName(const char* name, NameFields& fields) {
  if (std::strncmp(name, kPrefix, std::strlen(kPrefix)) != 0) return false;
  char machine[16] = {};
  char boot[16] = {};
  unsigned number = 0;
  if (std::sscanf(name + std::strlen(kPrefix), "%8[0-9a-f]-%8[0-9a-f]-%lld-%llu-%x", machine, boot, &fields.pid,
                  &fields.start, &number) != 5) {
    return false;
  }
  fields.machine = machine;
  fields.boot = boot;
  return fields.pid > 0;
}

bool IsDead(const NameFields& fields) {
  if (fields.machine != MachineTag()) return false;  // another machine's processes cannot be seen
  if (fields.boot != BootTag()) return true;
  const auto pid = static_cast<pid_t>(fields.pid);
  if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
  const unsigned long long start = StartTime(pid);
  return start != 0 && fields.start != 0 && start != fields.start;  // the ID went to a new process
}

// Whether the folder was cleaned by this process already.
bool FirstVisit(const std::string& folder) {
  static std::set<std::string> visited;
  return visited.insert(folder).second;
}

FileDescriptor CreateNamed(const std::string& folder, std::string& name) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name = NewName(folder);
    FileDescriptor fd(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (fd.IsOpen() || errno != EEXIST) return fd;
  }
  return {};
}

}  // namespace

void RemoveStaleTemporaryFiles(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(dir)) {
    NameFields fields;
    struct stat info {};
    if (ParseName(entry->d_name, fields) && ::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && IsDead(fields)) {
      stale.emplace_back(entry->d_name);
    }
  }
  for (const std::string& name : stale) ::unlinkat(::dirfd(dir), name.c_str(), 0);
  ::closedir(dir);
}

TemporaryFile CreateTemporaryFile(const std::string& folder, LinkedLater linkedLater) {
  const std::string where = folder.empty() ? std::string("./") : folder;
  TemporaryFile file;
  const bool unnamedUsable =
      !UnnamedFilesSwitchedOff() && (linkedLater == LinkedLater::No || ::access("/proc/self/fd", X_OK) == 0);
  if (unnamedUsable) {
    // Never to be linked: O_EXCL keeps it so.
    const int exclusive = linkedLater == LinkedLater::No ? O_EXCL : 0;
    file.fd = FileDescriptor(::open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC | exclusive, 0600));
  }
  // A folder once per process; one without unnamed files, where stale files gather, every time.
  if (FirstVisit(where) || !file.fd.IsOpen()) RemoveStaleTemporaryFiles(where);
  if (!file.fd.IsOpen()) file.fd = CreateNamed(where, file.name);
  if (!file.fd.IsOpen()) file.name.clear();
  return file;
}

std::string NameUnnamedFile(int fd, const std::string& folder) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = NewName(folder.empty() ? std::string("./") : folder);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return name;
    if (errno != EEXIST) break;
  }
  return {};
}

FileDescriptor CreateAnonymousFile(const std::string& folder) {
  TemporaryFile file = CreateTemporaryFile(folder, LinkedLater::No);
  if (!file.name.empty()) ::unlink(file.name.c_str());  // a name only for as long as it takes
  return std::move(file.fd);
}

}  // namespace zun
