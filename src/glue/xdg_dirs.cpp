#include "glue/xdg_dirs.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "glue/file_system.h"
#include "glue/paths.h"

namespace zun {
namespace {

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == kPathSeparator; }

std::string AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && IsAbsolute(value) ? value : "";
}

std::string UnderHome(const std::string& relative) {
  const std::string home = HomeFolder();
  return home.empty() ? "" : (home.back() == kPathSeparator ? home : home + kPathSeparator) + relative;
}

std::vector<std::string> AbsoluteList(const char* name, const std::vector<std::string>& fallback) {
  std::vector<std::string> folders;
  const char* value = std::getenv(name);
  std::stringstream list(value != nullptr ? value : "");
  for (std::string folder; std::getline(list, folder, ':');) {
    if (IsAbsolute(folder)) folders.push_back(folder);
  }
  return folders.empty() ? fallback : folders;
}

// XDG_DOCUMENTS_DIR of user-dirs.dirs: a double-quoted "$HOME/..." or absolute path, shell escapes
// allowed; "" when the file does not name it as such.
std::string DocumentsFromUserDirs() {
  constexpr size_t kMaxUserDirs = size_t{64} * 1024;
  const std::string config = XdgConfigHome();
  const std::optional<std::string> text =
      config.empty() ? std::nullopt : ReadSmallFile(config + "/user-dirs.dirs", kMaxUserDirs);
  if (!text) return {};
  const std::string key = "XDG_DOCUMENTS_DIR=\"";
  std::string found;
  std::stringstream lines(*text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value;
    size_t i = key.size();
    for (; i < line.size() && line[i] != '"'; ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) ++i;
      value += line[i];
    }
    if (i == line.size()) continue;  // no closing quote
    if (value == "$HOME" || value.rfind("$HOME/", 0) == 0) value = UnderHome(value.substr(std::min<size_t>(value.size(), 6)));
    if (IsAbsolute(value)) found = value;  // the last assignment counts, as in the shell
  }
  return found;
}

}  // namespace

std::string HomeFolder() {
  if (std::string home = AbsoluteVariable("HOME"); !home.empty()) return home;
  const passwd* pw = ::getpwuid(::getuid());
  return pw != nullptr && pw->pw_dir != nullptr && IsAbsolute(pw->pw_dir) ? pw->pw_dir : "";
}

std::string XdgDataHome() {
  const std::string value = AbsoluteVariable("XDG_DATA_HOME");
  return value.empty() ? UnderHome(".local/share") : value;
}

std::string XdgConfigHome() {
  const std::string value = AbsoluteVariable("XDG_CONFIG_HOME");
  return value.empty() ? UnderHome(".config") : value;
}

std::vector<std::string> XdgDataDirs() { return AbsoluteList("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"}); }

std::vector<std::string> XdgConfigDirs() { return AbsoluteList("XDG_CONFIG_DIRS", {"/etc/xdg"}); }

std::string XdgRuntimeDir() { return AbsoluteVariable("XDG_RUNTIME_DIR"); }

std::string UserDocumentsFolder() {
  std::string folder = DocumentsFromUserDirs();
  if (folder.empty()) folder = AbsoluteVariable("XDG_DOCUMENTS_DIR");
  if (folder.empty() || !IsFolder(folder)) return FallbackFolder();
  return folder.back() == kPathSeparator ? folder : folder + kPathSeparator;
}

}  // namespace zun
