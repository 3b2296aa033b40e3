#include "hotsync/jpilot_users.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "glue/file_system.h"
#include "glue/paths.h"

namespace zun {
namespace {

constexpr const char* kSettingsFile = "jpilot.rc";
constexpr const char* kInstallFile = "jpilot.install";
constexpr const char* kInstallRewrite = "jpilot.install.tmp";
constexpr std::chrono::milliseconds kRetryStep{50};

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string LoginName() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_name != nullptr) return pw->pw_name;
  for (const char* name : {"LOGNAME", "USER"}) {
    if (const char* value = std::getenv(name); value != nullptr && *value != '\0') return value;
  }
  return "user";
}

// The path with its folder's symbolic links resolved: J-Pilot re-points backup/ at each backup,
// and the install list must keep naming the file that was written.
std::string Resolved(const std::string& path) {
  const std::string folder = PathDirectory(path);
  char* real = ::realpath(folder.empty() ? "." : folder.c_str(), nullptr);
  if (real == nullptr) return AbsolutePath(path);
  std::string resolved(real);
  std::free(real);
  if (resolved.back() != kPathSeparator) resolved.push_back(kPathSeparator);
  return resolved + PathFileName(path);
}

bool ListHoldsLine(const std::string& listPath, const std::string& line) {
  std::ifstream in(listPath);
  std::string existing;
  while (std::getline(in, existing)) {
    if (existing == line) return true;
  }
  return false;
}

bool AppendLine(const std::string& listPath, const std::string& line) {
  const int fd = ::open(listPath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  const std::string text = line + "\n";
  const ssize_t written = ::write(fd, text.data(), text.size());
  const bool closed = ::close(fd) == 0;
  return written == static_cast<ssize_t>(text.size()) && closed;
}

}  // namespace

std::string JPilotFolder() {
  const char* home = std::getenv("JPILOT_HOME");
  std::string base = home != nullptr && *home != '\0' ? home : FallbackFolder();
  if (base.back() != kPathSeparator) base.push_back(kPathSeparator);
  return base + ".jpilot" + kPathSeparator;
}

JPilotUsers::JPilotUsers() : JPilotUsers(JPilotFolder(), std::chrono::milliseconds(3000)) {}

JPilotUsers::JPilotUsers(std::string jpilotFolder, std::chrono::milliseconds syncWait)
    : folder_(std::move(jpilotFolder)), syncWait_(syncWait) {
  if (folder_.back() != kPathSeparator) folder_.push_back(kPathSeparator);
  parent_ = PathDirectory(folder_.substr(0, folder_.size() - 1));
  present_ = IsFolder(folder_);
  userName_ = LoginName();
  if (present_) ReadSettings();
}

void JPilotUsers::ReadSettings() {
  std::ifstream in(folder_ + kSettingsFile);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string name = line.substr(0, space);
    const std::string value = line.substr(space + 1);
    if (name == "user" && !value.empty()) {
      userName_ = value;
    } else if (name == "user_id") {
      const long id = std::strtol(value.c_str(), nullptr, 10);
      if (id > 0 && id <= INT32_MAX) userId_ = static_cast<int32_t>(id);
    }
  }
}

int32_t JPilotUsers::UserIdAt(int32_t index) { return present_ && index == 0 ? userId_ : 0; }

bool JPilotUsers::QueueInstall(const std::string& path) {
  if (!present_) return false;
  const std::string line = Resolved(path);
  const std::string listPath = folder_ + kInstallFile;
  // While a sync rewrites the list it keeps a temporary copy; a line added now could be lost.
  const auto deadline = std::chrono::steady_clock::now() + syncWait_;
  while (FileExists(folder_ + kInstallRewrite) != FileState::NotFound) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kRetryStep);
  }
  return ListHoldsLine(listPath, line) || AppendLine(listPath, line);
}

}  // namespace zun
