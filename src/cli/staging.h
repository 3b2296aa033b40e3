// The conversions read and write files by path; zundoc stages standard input and output and its
// own temporary files in a private folder that goes away on every way out, also when the command
// is interrupted (SIGINT, SIGTERM, SIGHUP) or its reader goes away (SIGPIPE).
#pragma once
#include <string>

namespace zundoc {

// While it lives, those signals are only noted (see Interrupted()); when it goes, a signal that
// arrived meanwhile ends the process as it would have at once. Declare it before the folders and
// files it protects, so they are cleaned up first.
class SignalGuard {
 public:
  SignalGuard();
  ~SignalGuard();
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;
};

// True once one of the signals arrived while a SignalGuard lived.
bool Interrupted();

class PrivateFolder {
 public:
  // Creates the folder in $TMPDIR (else /tmp); Path() is empty when that failed.
  PrivateFolder();
  // Removes the folder with everything in it.
  ~PrivateFolder();
  PrivateFolder(const PrivateFolder&) = delete;
  PrivateFolder& operator=(const PrivateFolder&) = delete;

  // The folder with a trailing separator.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Copies all of standard input into a new file; on failure `error` says why.
bool CopyStandardInputTo(const std::string& path, std::string& error);

// Copies a file to standard output; on failure `error` says why (empty when the reader went away).
bool CopyToStandardOutput(const std::string& path, std::string& error);

}  // namespace zundoc
