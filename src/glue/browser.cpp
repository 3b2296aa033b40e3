#include "glue/browser.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "glue/file_system.h"

namespace zun {
namespace {

std::vector<std::string> Folders(const char* variable, const std::string& fallback) {
  const char* value = std::getenv(variable);
  std::stringstream list(value != nullptr && *value != '\0' ? value : fallback);
  std::vector<std::string> folders;
  for (std::string folder; std::getline(list, folder, ':');) {
    if (!folder.empty()) folders.push_back(folder + "/");
  }
  return folders;
}

std::string Home() {
  const char* home = std::getenv("HOME");
  return home != nullptr ? home : "";
}

std::vector<std::string> ConfigFolders() {
  std::vector<std::string> folders = Folders("XDG_CONFIG_HOME", Home() + "/.config");
  for (const std::string& folder : Folders("XDG_CONFIG_DIRS", "/etc/xdg")) folders.push_back(folder);
  return folders;
}

std::vector<std::string> ApplicationFolders() {
  std::vector<std::string> folders;
  for (const std::string& folder : Folders("XDG_DATA_HOME", Home() + "/.local/share")) folders.push_back(folder + "applications/");
  for (const std::string& folder : Folders("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
    folders.push_back(folder + "applications/");
  }
  return folders;
}

// The desktop entries a list file names for text/html, in its order.
std::vector<std::string> HtmlEntries(const std::string& listPath) {
  std::ifstream in(listPath);
  std::vector<std::string> entries;
  bool inDefaults = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.front() == '[') {
      inDefaults = line.rfind("[Default Applications]", 0) == 0;
      continue;
    }
    if (!inDefaults || line.rfind("text/html=", 0) != 0) continue;
    std::stringstream values(line.substr(10));
    for (std::string entry; std::getline(values, entry, ';');) {
      if (!entry.empty()) entries.push_back(entry);
    }
  }
  return entries;
}

std::optional<std::string> ExecProgram(const std::string& desktopFile) {
  std::ifstream in(desktopFile);
  bool inEntry = false;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    if (!inEntry || line.rfind("Exec=", 0) != 0) continue;
    std::string command = line.substr(5);
    std::string program;
    if (!command.empty() && command.front() == '"') {
      const size_t close = command.find('"', 1);
      program = command.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
      program = command.substr(0, command.find(' '));
    }
    if (!program.empty() && program.front() != '%') return program;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> DefaultBrowserProgram() {
  std::vector<std::string> lists;
  for (const std::string& folder : ConfigFolders()) lists.push_back(folder + "mimeapps.list");
  for (const std::string& folder : ApplicationFolders()) {
    lists.push_back(folder + "mimeapps.list");
    lists.push_back(folder + "defaults.list");
  }
  for (const std::string& list : lists) {
    for (const std::string& entry : HtmlEntries(list)) {
      for (const std::string& folder : ApplicationFolders()) {
        if (FileExists(folder + entry) != FileState::Exists) continue;
        if (auto program = ExecProgram(folder + entry)) return program;
      }
    }
  }
  return std::nullopt;
}

std::string CreateProbePage() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return {};
  const std::string path = (folder / "temphtm.HTM").string();
  std::ofstream page(path, std::ios::binary | std::ios::trunc);
  page << "\"<HTML> <\\HTML>\"\r\n";
  page.close();
  return page ? path : std::string();
}

}  // namespace zun
