// Temporary files beside the files they become or serve.
//
// They have no name (O_TMPFILE) wherever the file system allows, so they vanish with their
// process, also a killed one. Where it does not (FUSE, NFS, vfat), or when the environment sets
// ZUN2_NO_TMPFILE=1 (the tests take the named path with it), a file is named
// ".zun2-tmp-" followed by its machine (with the process namespace), the boot, the process ID, the
// process's start time and a number: whoever next writes in that folder can tell which of them
// are its user's and dead, and removes those.
#pragma once
#include <string>

#include "glue/file_descriptor.h"

namespace zun {

struct TemporaryFile {
  FileDescriptor fd;
  std::string name;  // empty while the file has none
};

// Whether the file will be linked into the folder later (an unnamed file can be only through
// /proc/self/fd).
enum class LinkedLater { No, Yes };

// A new empty file in `folder` (read and write, mode 0600); not open when the folder takes none.
// Stale named files of the user in that folder are removed first.
TemporaryFile CreateTemporaryFile(const std::string& folder, LinkedLater linkedLater);

// Links the unnamed file of `fd` into `folder` under a temporary name: the name, empty when it
// cannot.
std::string NameUnnamedFile(int fd, const std::string& folder);

// Removes the named temporary files in `folder` that belong to the user and whose process is gone
// (another boot of this machine, or no such process any more); files of other machines, of
// other process namespaces and of live processes stay.
void RemoveStaleTemporaryFiles(const std::string& folder);

}  // namespace zun
