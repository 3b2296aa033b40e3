// Overwriting a file in place (a file with several hard links, or one whose owner a new file could
// not be given) without ever leaving a mix of old and new bytes for good.
//
// Before the first byte of the file changes, its old content (and modification time) is copied
// beside it as ".zun2-keep-<inode>-<birth time>", tied to the file whichever of its names in that
// folder is used, and flushed to disk under that name. The copy goes once the new content is on
// disk. An overwrite that was interrupted (the process killed, the machine down) leaves the copy:
// the next replacement of the file, and the next conversion that reads or writes it, put the old
// content back first, unless the file changed after the overwrite stopped (mended by hand, say):
// then that change stays, and so does the copy, which fails the next overwrite until removed.
#pragma once
#include <cstdint>
#include <string>

namespace zun {

// Overwrites the regular file `target` (links resolved) with the first `size` bytes of the file
// `content`. Throws FileError; the target then holds its old content, or the copy does.
void OverwriteInPlace(const std::string& target, int content, int64_t size);

// Puts back the old content of `path` (links resolved) when an overwrite of it was interrupted.
// Throws FileError when a copy of the user (or of the file's owner) is there but cannot be put
// back; another user's file of that name is no copy and is ignored, and a file changed since its
// overwrite stopped is left as it is.
void RestoreInterruptedOverwrite(const std::string& path);

}  // namespace zun
