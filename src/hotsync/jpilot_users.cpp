#include "hotsync/jpilot_users.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>
#include <vector>

#include "glue/file_system.h"
#include "glue/paths.h"

namespace zun {
namespace {

constexpr const char* kSettingsFile = "jpilot.rc";
constexpr const char* kInstallFile = "jpilot.install";
constexpr const char* kInstallRewrite = "jpilot.install.tmp";
constexpr std::chrono::milliseconds kRetryStep{50};

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

// An install list longer than this is not J-Pilot's; nothing is added to it.
constexpr size_t kMaxInstallList = size_t{4} * 1024 * 1024;

// Each line of the list, without its line end.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

bool AppendLine(const std::string& listPath, const std::string& line) {
  // Not through a link at the last step (as root it would write wherever the link points), and
  // never waiting on a FIFO: only a regular file is appended to.
  const int fd = ::open(listPath.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  // A list whose last line has no line break (written by hand) gets one first, or the new path
  // would run on in that line.
  char last = '\n';
  ok = ok && (info.st_size == 0 || ::pread(fd, &last, 1, info.st_size - 1) == 1);
  const std::string text = (last == '\n' ? "" : "\n") + line + "\n";
  ok = ok && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return ::close(fd) == 0 && ok;
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

JPilotSettings ParseJPilotSettings(std::string_view text) {
  JPilotSettings settings;
  for (const std::string_view line : Lines(text)) {
    const size_t space = line.find(' ');
    if (space == std::string_view::npos) continue;
    const std::string_view name = line.substr(0, space);
    const std::string value(line.substr(space + 1));
    const auto number = [&]() -> std::optional<int32_t> {
      char* end = nullptr;
      errno = 0;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (end == value.c_str() || errno != 0 || n < INT32_MIN || n > INT32_MAX) return std::nullopt;
      return static_cast<int32_t>(n);
    };
    if (name == "user" && !value.empty()) {
      settings.user = value;
    } else if (name == "user_id") {
      const std::optional<int32_t> id = number();
      settings.userId = id && *id > 0 ? *id : 0;
    } else if (name == "char_set") {
      settings.charSet = number();
    }
  }
  return settings;
}

void JPilotUsers::ReadSettings() {
  const std::optional<std::string> text = ReadSmallFile(folder_ + kSettingsFile, kMaxSettingsFile);
  if (!text) return;
  settings_ = ParseJPilotSettings(*text);
  if (!settings_.user.empty()) userName_ = settings_.user;
  if (settings_.userId > 0) userId_ = settings_.userId;
}

int32_t JPilotUsers::UserIdAt(int32_t index) { return present_ && index == 0 ? userId_ : 0; }

bool JPilotUsers::QueueInstall(const std::string& path) {
  if (!present_) return false;
  const std::string line = Resolved(path);
  if (!MayQueue(line)) return false;
  const std::string listPath = folder_ + kInstallFile;
  // While a sync rewrites the list it keeps a temporary copy; a line added now could be lost.
  const auto deadline = std::chrono::steady_clock::now() + syncWait_;
  while (FileExists(folder_ + kInstallRewrite) != FileState::NotFound) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kRetryStep);
  }
  const std::optional<std::string> list = FileExists(listPath) == FileState::NotFound
                                              ? std::optional<std::string>("")
                                              : ReadSmallFile(listPath, kMaxInstallList);
  if (!list) return false;
  for (const std::string_view queued : Lines(*list)) {
    if (queued == line) return true;
  }
  return AppendLine(listPath, line);
}

}  // namespace zun
