// The user's home Trash as the freedesktop.org Trash standard lays it out, so that file
// managers and `gio trash` list and restore what is put there.
#pragma once
#include <string>

namespace zun {

// The home Trash folder with a trailing separator: $XDG_DATA_HOME/Trash/ when XDG_DATA_HOME is an
// absolute path, else ~/.local/share/Trash/. Throws FileError without a home folder.
std::string HomeTrashFolder();

// Puts a copy of the file that `path` leads to into the home Trash, under its own name (made
// unique) with a .trashinfo entry naming its absolute path and the time, both on disk before this
// returns. The file itself stays. Returns the name in the Trash; throws FileError when the copy
// cannot be made complete, leaving nothing of it behind.
std::string PutCopyInTrash(const std::string& path);

}  // namespace zun
