// File queries and the safe-replace helpers used by the conversions.
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

// The whole content of a regular file of at most `maxBytes` bytes; nothing for anything else
// (missing, unreadable, larger, a folder, a FIFO or a device: none of them is waited for).
std::optional<std::string> ReadSmallFile(const std::string& path, size_t maxBytes);

// Removes the file if present; true when it is gone afterwards.
bool RemoveFile(const std::string& path);

// A new, empty temporary file beside `target` (same folder, so a rename replaces atomically).
// Returns its path, or nothing when the folder cannot be written.
std::optional<std::string> CreateTemporaryBeside(const std::string& target);

// Gives `temporary` the permissions `target` has, or the default ones for a new file, and renames
// it over `target`. On failure the temporary file is removed.
bool ReplaceWithTemporary(const std::string& temporary, const std::string& target);

// Copies `source` to `target` through a temporary file beside the target: a failed copy leaves
// the old target in place.
bool CopyFileSafely(const std::string& source, const std::string& target);

// True when an existing file may be opened for writing (a read-only file is not replaced).
bool IsWritableFile(const std::string& path);

}  // namespace zun
