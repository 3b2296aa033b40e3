#include "glue/file_problem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "glue/byte_file.h"
#include "glue/links.h"
#include "glue/paths.h"

namespace zun {

std::string ReadProblem(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return SystemReason(errno);
  if (S_ISDIR(info.st_mode)) return SystemReason(EISDIR);
  if (!S_ISREG(info.st_mode)) return kNotRegularFile;
  if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) return SystemReason(errno);
  return {};
}

std::string ReplaceProblem(const std::string& path) {
  std::string real;
  try {
    real = FollowLinks(path);
  } catch (const FileError& error) {
    return error.what();
  }
  struct stat info {};
  if (::stat(real.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return SystemReason(EISDIR);
    if (!S_ISREG(info.st_mode)) return kNotRegularFile;
    // Without any write bit a file is read-only for everyone, root included.
    if ((info.st_mode & 0222) == 0) return SystemReason(EACCES);
    if (::faccessat(AT_FDCWD, real.c_str(), W_OK, AT_EACCESS) != 0) return SystemReason(errno);
  } else if (errno != ENOENT) {
    return SystemReason(errno);
  }
  const std::string folder = PathDirectory(real).empty() ? std::string(".") : PathDirectory(real);
  if (::stat(folder.c_str(), &info) != 0) return SystemReason(errno);
  if (!S_ISDIR(info.st_mode)) return SystemReason(ENOTDIR);
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return SystemReason(errno);
  return {};
}

}  // namespace zun
