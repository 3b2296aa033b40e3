// Telling a data file that cannot be a task list, and keeping it as zundata.bak before the list
// starts anew.
//
// This program writes zundata.dat whole records at a time, in order, each holding blanks in its
// text fields. So a file cannot be a task list it wrote when it
// - holds more than kMaxTasks tasks (ten times the 100,000 the window is measured with; a file
//   that large is a sparse or runaway file, and would cost the window a gigabyte),
// - has a hole (a part never written: a sparse file, or a crash before the data reached the disk),
// - or holds a record of zero bytes only where a record must be.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "glue/file_descriptor.h"

namespace zun {

inline constexpr int64_t kMaxTasks = 1000000;
inline constexpr int64_t kMaxRecords = kMaxTasks + 2;  // the settings and the clipboard task too

// Records in a file of `size` bytes: size / 1208, rounded to the nearest whole number (halves to
// even).
int64_t RecordsInSize(int64_t size);

// Why the data file open as `fd` cannot be a task list, as the end of a sentence that starts with
// its name ("is damaged: it has holes"); nothing when it can be one. Reads the whole file.
std::optional<std::string> DamageOf(int fd);

// Keeps the data file open as `fd` at `path` as `backup`, with the data file's mode and owner,
// never through a link at `backup` and never writing its holes. A regular file with one name
// whose owner a new file can have is renamed, and `fd` is then a new, empty file at `path` with
// the old one's mode and owner; any other (a link, a file with other names) is copied, data only,
// and `fd` stays.
void KeepAsBackup(FileDescriptor& fd, const std::string& path, const std::string& backup);

}  // namespace zun
