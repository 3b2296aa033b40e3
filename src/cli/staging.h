// Signals, standard input and standard output for the conversions, which read and write files.
//
// A signal that ends zundoc (SIGINT, SIGTERM, SIGHUP, or SIGPIPE when its reader went away) is
// noted while a SignalGuard lives: encode and decode then stop the task in hand at its next
// progress point, replacing nothing, and zundoc ends by that signal once everything of its own
// is gone. Standard input is copied into a file without a name, which nothing can leave behind.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "glue/byte_file.h"

namespace zundoc {

inline constexpr const char* kStandardInput = "standard input";
inline constexpr const char* kStandardOutput = "standard output";

// While it lives, those signals are only noted (see Interrupted()); when it goes, a signal that
// arrived meanwhile ends the process as it would have at once. Declare it before the files it
// protects, so they are cleaned up first.
class SignalGuard {
 public:
  SignalGuard();
  ~SignalGuard();
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;
};

// True once one of the signals arrived while a SignalGuard lived.
bool Interrupted();

// Standard input as a file the conversion can read anywhere: standard input itself when it is a
// regular file read from its start, else a copy of it in $TMPDIR (else /tmp), in a file without a
// name (named only for a moment where the folder takes none, or with ZUN2_NO_TMPFILE=1; see
// glue/temporary_files.h). Throws FileError, also when a signal interrupts the copy.
zun::ByteFile StandardInputFile();

// Writes all of `bytes` to standard output; throws FileError (when it fails or a signal arrives).
void WriteToStandardOutput(std::span<const uint8_t> bytes);

}  // namespace zundoc
