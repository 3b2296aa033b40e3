#include "glue/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace zun {

std::string PathFileName(std::string_view path) {
  const size_t cut = path.rfind(kPathSeparator);
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

std::string PathDirectory(std::string_view path) {
  const size_t cut = path.rfind(kPathSeparator);
  return cut == std::string_view::npos ? std::string() : std::string(path.substr(0, cut + 1));
}

std::string PathWithoutExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string PathExtension(std::string_view name) {
  const size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string TrimTrailingBlanks(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && text[end - 1] == ' ') --end;
  return std::string(text.substr(0, end));
}

std::string FallbackFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') {
    const passwd* pw = getpwuid(getuid());
    home = (pw != nullptr && pw->pw_dir != nullptr) ? pw->pw_dir : "/";
  }
  std::string folder(home);
  if (folder.back() != kPathSeparator) folder.push_back(kPathSeparator);
  return folder;
}

std::string CurrentDirectoryWithSeparator() {
  std::error_code error;
  const std::string dir = std::filesystem::current_path(error).string();
  if (error || dir.empty()) return std::string(".") + kPathSeparator;
  return dir.back() == kPathSeparator ? dir : dir + kPathSeparator;
}

std::string AbsolutePath(std::string_view path) {
  if (!path.empty() && path.front() == kPathSeparator) return std::string(path);
  return CurrentDirectoryWithSeparator() + std::string(path);
}

}  // namespace zun

namespace zun {
std::string CutAtCharacterBoundary(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  size_t end = maxBytes;
  // Step back while the first byte left out continues the character before it.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return std::string(text.substr(0, end));
}
}  // namespace zun
