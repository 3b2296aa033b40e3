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
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The length of the UTF-8 character that `c` starts; 0 when it starts none.
size_t Utf8LeadLength(char c) {
  const auto lead = static_cast<unsigned char>(c);
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::string CutAtCharacterBoundary(std::string_view text, size_t maxBytes) {
  if (text.size() <= maxBytes) return std::string(text);
  // The character the cut would split: its lead byte at most three bytes back, all of it there.
  size_t start = maxBytes;
  while (start > 0 && maxBytes - start < 3 && IsContinuation(text[start])) --start;
  const size_t length = Utf8LeadLength(text[start]);
  bool split = start < maxBytes && start + length > maxBytes && start + length <= text.size();
  for (size_t k = 1; split && k < length; ++k) split = IsContinuation(text[start + k]);
  // Only a UTF-8 character is kept whole; other bytes (of a Latin-1 name, say) are cut as bytes.
  return std::string(text.substr(0, split ? start : maxBytes));
}

}  // namespace zun
