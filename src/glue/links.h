// Symbolic links, resolved by the program itself so that every path it writes through is checked.
//
// A link in a shared folder (sticky and writable by everyone, such as /tmp) is followed only when
// it belongs to the user or to the folder's owner: anyone may plant a link there, and one that
// points at the user's own files would otherwise redirect a write onto them. This is the kernel's
// protected-symlinks rule, which does not help when the program follows links itself (and which
// some systems leave off).
#pragma once
#include <string>

#include "glue/byte_file.h"

namespace zun {

class PlantedLinkError : public FileError {
 public:
  using FileError::FileError;
};

// Whether a folder is shared: sticky and writable by everyone; false when it cannot be looked at.
bool IsSharedFolder(const std::string& folder);

// Whether the file open as `fd` (named `path`) lies in a shared folder and belongs neither to the
// user nor to the folder's owner: anyone may have put it there (the kernel's protected-regular
// rule, which only some systems turn on).
bool IsPlantedFile(int fd, const std::string& path);

// `path` with every symbolic link along it resolved, "." and ".." taken out and made absolute; a
// missing last part (or missing folders and what follows them) stays as written. Throws
// PlantedLinkError for a link another user planted in a shared folder, FileError for a link loop or
// a link that cannot be read.
std::string FollowLinks(const std::string& path);

}  // namespace zun
