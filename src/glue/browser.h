// Finding and starting the desktop's web browser the way the desktop itself does: the default
// application for text/html by the freedesktop association rules (what `xdg-mime query default
// text/html` answers), started as its desktop entry's Exec line says; without one, $BROWSER and
// Debian's x-www-browser, as xdg-open has it.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace zun {

inline constexpr const char* kBrowserNotFoundMessage = "Could not find associated Browser";
inline constexpr const char* kBrowserNotFoundTitle = "Browser Not Found";
inline constexpr const char* kPageNotOpenedMessage = "Web Page not Opened";
inline constexpr const char* kPageNotOpenedTitle = "URL Failed";
inline constexpr const char* kHelpPage = "help/help.htm";

// The program and its arguments that open `address` in the desktop's browser; nothing when the
// desktop has no browser at all.
std::optional<std::vector<std::string>> BrowserCommand(const std::string& address);

// What a desktop entry's [Desktop Entry] group says about starting it.
struct DesktopEntry {
  std::string path;  // the file, for %k
  std::string name;  // for %c
  std::string icon;  // for %i
  std::string exec;  // the Exec value, string escapes already undone
  bool terminal = false;  // Terminal=true: the program runs in a terminal
};

// The Exec value as a command for `address`: quoting and escapes undone, field codes expanded
// (%u %U %f %F the address, a local path for %f %F; %i %c %k %%; deprecated codes dropped), the
// address appended when no field code takes it; an entry for the terminal runs in
// `x-terminal-emulator -e`. Nothing when the value is malformed.
std::optional<std::vector<std::string>> ExecCommand(const DesktopEntry& entry, const std::string& address);

// The page made while the browser is looked up (in the temporary folder); "" when it could not
// be made. The caller removes it in every case.
std::string CreateProbePage();

}  // namespace zun
