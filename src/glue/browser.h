// Finding the desktop's web browser, the way the freedesktop MIME associations give it.
#pragma once
#include <optional>
#include <string>

namespace zun {

inline constexpr const char* kBrowserNotFoundMessage = "Could not find associated Browser";
inline constexpr const char* kBrowserNotFoundTitle = "Browser Not Found";
inline constexpr const char* kPageNotOpenedMessage = "Web Page not Opened";
inline constexpr const char* kPageNotOpenedTitle = "URL Failed";
inline constexpr const char* kHelpPage = "help/help.htm";

// The program of the default application for text/html: the first entry of the
// mimeapps.list files (configuration folders first, then data folders) whose desktop entry
// exists and has an Exec line; its first word, field codes and quotes removed.
std::optional<std::string> DefaultBrowserProgram();

// The page made while the browser is looked up (in the temporary folder); "" when it could not
// be made. The caller removes it in every case.
std::string CreateProbePage();

}  // namespace zun
