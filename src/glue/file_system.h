// File queries used by the conversions and the window.
#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

namespace zun {

enum class FileState { Exists, NotFound, Unreadable };

// Exists: the entry is there and its modification time can be read. NotFound: no such entry
// (or a missing parent folder). Unreadable: any other failure. Only Exists counts as a file.
FileState FileExists(const std::string& path);

std::optional<std::time_t> ModificationTime(const std::string& path);
std::optional<int64_t> FileLength(const std::string& path);
// Whether two paths lead to the same existing file (through links, hard links included).
bool IsSameFile(const std::string& a, const std::string& b);
// Whether the path leads to a folder.
bool IsFolder(const std::string& path);

// The whole content of a regular file of at most `maxBytes` bytes; nothing for anything else
// (missing, unreadable, larger, a folder, a FIFO or a device: none of them is waited for).
std::optional<std::string> ReadSmallFile(const std::string& path, size_t maxBytes);

// Removes the file if present; true when it is gone afterwards.
bool RemoveFile(const std::string& path);

}  // namespace zun
