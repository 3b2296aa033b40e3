// What keeps a file from being read or replaced, in the words the user sees beside a task's
// status ("No such file or directory", "Is a directory", "Permission denied"). Asked after a
// failure that did not say why.
#pragma once
#include <string>

namespace zun {

inline constexpr const char* kNotRegularFile = "not a regular file";
inline constexpr const char* kChangedWhileRead = "changed while it was read";

// Empty when `path` looks readable as a regular file.
std::string ReadProblem(const std::string& path);
// Empty when `path` (links followed) looks replaceable: missing or a writable regular file, in a
// folder that takes new files.
std::string ReplaceProblem(const std::string& path);

}  // namespace zun
