#include "glue/browser.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

#include "glue/file_descriptor.h"
#include "glue/file_system.h"
#include "glue/xdg_dirs.h"

namespace zun {
namespace {

constexpr const char* kHtmlType = "text/html";

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  for (std::string part; std::getline(stream, part, separator);) {
    if (!part.empty()) parts.push_back(part);
  }
  return parts;
}

std::vector<std::string> ApplicationFolders() {
  std::vector<std::string> folders;
  if (const std::string home = XdgDataHome(); !home.empty()) folders.push_back(home + "/applications/");
  for (const std::string& folder : XdgDataDirs()) folders.push_back(folder + "/applications/");
  return folders;
}

// The association lists in the order they count: configuration folders, then application
// folders; in each the current desktop's own list before the common one.
std::vector<std::string> AssociationLists() {
  std::vector<std::string> desktops;
  for (std::string desktop : Split(Environment("XDG_CURRENT_DESKTOP"), ':')) {
    for (char& c : desktop) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    desktops.push_back(desktop + "-");
  }
  desktops.emplace_back();
  std::vector<std::string> lists;
  std::vector<std::string> folders = XdgConfigDirs();
  if (const std::string config = XdgConfigHome(); !config.empty()) folders.insert(folders.begin(), config);
  for (const std::string& folder : folders) {
    for (const std::string& desktop : desktops) lists.push_back(folder + "/" + desktop + "mimeapps.list");
  }
  for (const std::string& folder : ApplicationFolders()) {
    for (const std::string& desktop : desktops) lists.push_back(folder + desktop + "mimeapps.list");
    lists.push_back(folder + "defaults.list");  // the older name, still read by xdg-mime
  }
  return lists;
}

// A key file's lines; none for anything that is no regular file of a sensible size (a FIFO
// among the configuration files must not hang the window).
std::vector<std::string> KeyFileLines(const std::string& path) {
  constexpr size_t kMaxKeyFile = size_t{4} * 1024 * 1024;
  const std::optional<std::string> text = ReadSmallFile(path, kMaxKeyFile);
  if (!text) return {};
  std::vector<std::string> lines = Split(*text, '\n');
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return lines;
}

// The desktop entries a group of a key file lists for text/html, in its order.
std::vector<std::string> HtmlEntries(const std::string& path, const std::string& group) {
  std::vector<std::string> entries;
  bool inGroup = false;
  const std::string key = std::string(kHtmlType) + "=";
  for (const std::string& line : KeyFileLines(path)) {
    if (!line.empty() && line.front() == '[') {
      inGroup = line.rfind("[" + group + "]", 0) == 0;
    } else if (inGroup && line.rfind(key, 0) == 0) {
      for (const std::string& entry : Split(line.substr(key.size()), ';')) entries.push_back(entry);
    }
  }
  return entries;
}

bool IsExecutable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

bool ProgramFound(const std::string& program) {
  if (program.find('/') != std::string::npos) return IsExecutable(program);
  for (std::string candidate : Split(Environment("PATH"), ':')) {
    candidate += '/';
    candidate += program;
    if (IsExecutable(candidate)) return true;
  }
  return false;
}

// The general escapes of a key file's string values.
std::string Unescape(const std::string& value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const char c = value[++i];
    out += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

// The [Desktop Entry] group of an entry file; nothing when the entry may not be started
// (hidden, no application, its TryExec program missing, no Exec line).
std::optional<DesktopEntry> ReadDesktopEntry(const std::string& path, const std::vector<std::string>& lines) {
  DesktopEntry entry{path, {}, {}, {}, false};
  bool inEntry = false;
  bool usable = true;
  for (const std::string& line : lines) {
    if (!line.empty() && line.front() == '[') {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    const size_t equals = line.find('=');
    if (!inEntry || equals == std::string::npos) continue;
    std::string key = line.substr(0, equals);
    while (!key.empty() && key.back() == ' ') key.pop_back();
    const size_t start = line.find_first_not_of(' ', equals + 1);
    const std::string value = Unescape(start == std::string::npos ? "" : line.substr(start));
    if (key == "Exec") entry.exec = value;
    if (key == "Name") entry.name = value;
    if (key == "Icon") entry.icon = value;
    if (key == "Terminal") entry.terminal = value == "true";
    if (key == "Hidden" && value == "true") usable = false;
    if (key == "Type" && value != "Application") usable = false;
    if (key == "TryExec" && !ProgramFound(value)) usable = false;
  }
  if (!usable || entry.exec.empty()) return std::nullopt;
  return entry;
}

// An installed, usable entry named by its desktop file ID ("foo.desktop"; "kde-foo.desktop" may
// also be "kde/foo.desktop"). The first file found for an ID decides.
std::optional<DesktopEntry> FindEntry(const std::string& id) {
  std::vector<std::string> names = {id};
  for (size_t dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1)) {
    names.push_back(id.substr(0, dash) + "/" + id.substr(dash + 1));
  }
  for (const std::string& folder : ApplicationFolders()) {
    for (const std::string& name : names) {
      const std::vector<std::string> lines = KeyFileLines(folder + name);
      if (!lines.empty()) return ReadDesktopEntry(folder + name, lines);
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> DefaultApplicationCommand(const std::string& address) {
  const std::vector<std::string> lists = AssociationLists();
  auto commandFor = [&address](const std::string& id) -> std::optional<std::vector<std::string>> {
    // A program that is named but missing is still the desktop's choice: starting it fails.
    const std::optional<DesktopEntry> entry = FindEntry(id);
    return entry ? ExecCommand(*entry, address) : std::nullopt;
  };
  for (const std::string& list : lists) {
    for (const std::string& id : HtmlEntries(list, "Default Applications")) {
      if (auto command = commandFor(id)) return command;
    }
  }
  // No default: the associations, then what the installed applications say they can open.
  std::set<std::string> removed;
  for (const std::string& list : lists) {
    for (const std::string& id : HtmlEntries(list, "Removed Associations")) removed.insert(id);
  }
  std::vector<std::string> candidates;
  for (const std::string& list : lists) {
    for (const std::string& id : HtmlEntries(list, "Added Associations")) candidates.push_back(id);
  }
  for (const std::string& folder : ApplicationFolders()) {
    for (const std::string& id : HtmlEntries(folder + "mimeinfo.cache", "MIME Cache")) candidates.push_back(id);
  }
  for (const std::string& id : candidates) {
    if (removed.count(id) != 0) continue;
    if (auto command = commandFor(id)) return command;
  }
  return std::nullopt;
}

// $BROWSER: commands separated by ":", "%s" standing for the address.
std::optional<std::vector<std::string>> EnvironmentBrowser(const std::string& address) {
  for (const std::string& command : Split(Environment("BROWSER"), ':')) {
    std::vector<std::string> words = Split(command, ' ');
    if (words.empty() || !ProgramFound(words.front())) continue;
    bool placed = false;
    for (std::string& word : words) {
      for (size_t at = word.find("%s"); at != std::string::npos; at = word.find("%s", at + address.size())) {
        word.replace(at, 2, address);
        placed = true;
      }
    }
    if (!placed) words.push_back(address);
    return words;
  }
  return std::nullopt;
}

// A file:// address as a local path for %f: no scheme, no fragment.
std::string LocalPath(const std::string& address) {
  const std::string scheme = "file://";
  if (address.rfind(scheme, 0) != 0) return address;
  return address.substr(scheme.size(),
                        address.find('#') == std::string::npos ? std::string::npos : address.find('#') - scheme.size());
}

// The words of an Exec value as they are split.
struct ExecWords {
  std::vector<std::string> command;
  std::string word;
  bool inWord = false;
  bool wordQuoted = false;  // "" is an empty argument; a word of dropped codes is none
  bool addressPlaced = false;

  void EndWord() {
    if (inWord && (!word.empty() || wordQuoted)) command.push_back(word);
    word.clear();
    inWord = wordQuoted = false;
  }
};

// One field code (the letter after "%"); false for a code the rules do not know.
bool ExpandFieldCode(char code, const DesktopEntry& entry, const std::string& address, ExecWords& words) {
  switch (code) {
    case 'u':
    case 'U':
      words.word += address;
      words.addressPlaced = true;
      return true;
    case 'f':
    case 'F':
      words.word += LocalPath(address);
      words.addressPlaced = true;
      return true;
    case 'c':
      words.word += entry.name;
      return true;
    case 'k':
      words.word += entry.path;
      return true;
    case 'i':
      if (!entry.icon.empty()) {
        words.command.emplace_back("--icon");
        words.word += entry.icon;
      }
      return true;
    case '%':
      words.word += '%';
      return true;
    case 'd':
    case 'D':
    case 'n':
    case 'N':
    case 'v':
    case 'm':
      return true;  // deprecated: dropped
    default:
      return false;
  }
}

}  // namespace

std::optional<std::vector<std::string>> ExecCommand(const DesktopEntry& entry, const std::string& address) {
  ExecWords words;
  bool quoted = false;
  const std::string& exec = entry.exec;
  for (size_t i = 0; i < exec.size(); ++i) {
    const char c = exec[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < exec.size() && std::string("\"`$\\").find(exec[i + 1]) != std::string::npos) {
        words.word += exec[++i];
      } else {
        words.word += c;
      }
    } else if (c == ' ' || c == '\t') {
      words.EndWord();
    } else if (c == '"') {
      words.inWord = words.wordQuoted = quoted = true;
    } else if (c == '%') {
      words.inWord = true;
      if (i + 1 == exec.size() || !ExpandFieldCode(exec[++i], entry, address, words)) return std::nullopt;
    } else {
      words.inWord = true;
      words.word += c;
    }
  }
  if (quoted) return std::nullopt;
  words.EndWord();
  std::vector<std::string>& command = words.command;
  if (command.empty()) return std::nullopt;
  if (!words.addressPlaced) command.push_back(address);
  // Debian's terminal alternative takes the command and its arguments after -e.
  if (entry.terminal) command.insert(command.begin(), {"x-terminal-emulator", "-e"});
  return command;
}

std::optional<std::vector<std::string>> BrowserCommand(const std::string& address) {
  if (auto command = DefaultApplicationCommand(address)) return command;
  if (auto command = EnvironmentBrowser(address)) return command;
  if (ProgramFound("x-www-browser")) return std::vector<std::string>{"x-www-browser", address};
  return std::nullopt;
}

std::string CreateProbePage() {
  std::error_code error;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
  if (error) return {};
  // A name of its own, created exclusively: a fixed name in a shared temporary folder would let
  // anyone put a link there and have the page written through it.
  std::string pattern = (folder / "temphtm-XXXXXX.HTM").string();
  const FileDescriptor page(::mkostemps(pattern.data(), 4, O_CLOEXEC));
  if (!page.IsOpen()) return {};
  const std::string_view content = "\"<HTML> <\\HTML>\"\r\n";
  if (!WriteAll(page.Get(), {reinterpret_cast<const uint8_t*>(content.data()), content.size()})) {
    ::unlink(pattern.c_str());
    return {};
  }
  return pattern;
}

}  // namespace zun
