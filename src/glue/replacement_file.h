// A file that takes the place of another only once it is complete and on disk, keeping what the
// user set up around the old one.
//
// The new content goes into a private temporary file in the real file's folder (a symbolic link
// is followed, so the link stays a link and the file behind it is updated). Commit flushes it to
// disk and renames it over the old file in one step, then flushes the folder: the old content or
// the new one, never a mix, also after a crash or a power cut. Permissions and owner are kept. A
// file with several hard links, or whose owner a new file cannot be given, is overwritten in
// place instead, once the whole new content is on disk and the space for it is reserved, so that
// every name shows the new text. Anything but a regular file (a folder, a FIFO, a device) is never
// replaced, nor is a file without write permission, even for root.
#pragma once
#include <string>

#include "glue/byte_file.h"

namespace zun {

class ReplacementFile {
 public:
  // Throws FileError when `target` may not be replaced or its folder takes no temporary file.
  static ReplacementFile Begin(const std::string& target, ByteFile::WriteBack writeBack = ByteFile::WriteBack::Later);

  ReplacementFile(ReplacementFile&& other) noexcept;
  ReplacementFile& operator=(ReplacementFile&& other) noexcept;
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  ~ReplacementFile();

  ByteFile& Content() { return content_; }
  // Puts the content in place; throws FileError, the old file staying as it was.
  void Commit();

 private:
  ReplacementFile(ByteFile content, std::string target) : content_(std::move(content)), target_(std::move(target)) {}
  void Rename();
  void OverwriteInPlace();

  ByteFile content_;
  std::string target_;      // the real file, links followed
  std::string linkedName_;  // the temporary file's name once it has one; removed unless committed
};

// The path of the file that `path` leads to through symbolic links at its last component (the
// path itself when it is no link); a link loop is a FileError.
std::string FollowLinks(const std::string& path);

// Whether Begin would accept `target`: missing, or a regular file with write permission.
bool MayReplace(const std::string& target);

}  // namespace zun
