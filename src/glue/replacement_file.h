// A file that takes the place of another only once it is complete and on disk, keeping what the
// user set up around the old one.
//
// The new content goes into a private temporary file in the real file's folder (a symbolic link
// is followed, so the link stays a link and the file behind it is updated). Commit flushes it to
// disk and renames it over the old file in one step, then flushes the folder: the old content or
// the new one, never a mix, also after a crash or a power cut. Permissions and owner are kept. A
// file with several hard links, or whose owner a new file cannot be given, is overwritten in
// place instead, once the whole new content is on disk, so that every name shows the new text;
// its old content is kept beside it meanwhile (see in_place_overwrite.h). Anything but a regular
// file (a folder, a FIFO, a device) is never replaced, nor is a file without write permission,
// even for root. Links planted by other users in shared folders are not followed (see links.h).
#pragma once
#include <string>

#include "glue/byte_file.h"

namespace zun {

class ReplacementFile {
 public:
  // Throws FileError when `target` may not be replaced, its folder takes no temporary file or an
  // interrupted overwrite of it cannot be undone (which comes first).
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

  ByteFile content_;
  std::string target_;         // the real file, links followed
  std::string temporaryName_;  // the temporary file's name once it has one; removed unless committed
};

// Whether Begin would accept `target`: missing, or a regular file with write permission.
bool MayReplace(const std::string& target);

}  // namespace zun
