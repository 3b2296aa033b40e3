#include "cli/staging.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "glue/file_descriptor.h"

namespace zundoc {
namespace {

constexpr std::array<int, 4> kCleanupSignals = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr size_t kChunk = 1 << 16;

volatile std::sig_atomic_t gSignal = 0;
std::array<struct sigaction, kCleanupSignals.size()> gPreviousActions{};
std::array<bool, kCleanupSignals.size()> gHandled{};

extern "C" void RememberSignal(int signal) { gSignal = signal; }

// Without SA_RESTART, so a blocking read or write returns and the command can clean up.
void CatchSignals() {
  for (size_t i = 0; i < kCleanupSignals.size(); ++i) {
    struct sigaction previous {};
    ::sigaction(kCleanupSignals[i], nullptr, &previous);
    if (previous.sa_handler == SIG_IGN) continue;  // ignored by whoever started us: stays ignored
    struct sigaction action {};
    action.sa_handler = RememberSignal;
    sigemptyset(&action.sa_mask);
    gHandled[i] = ::sigaction(kCleanupSignals[i], &action, &gPreviousActions[i]) == 0;
  }
}

void RestoreSignals() {
  for (size_t i = 0; i < kCleanupSignals.size(); ++i) {
    if (gHandled[i]) ::sigaction(kCleanupSignals[i], &gPreviousActions[i], nullptr);
    gHandled[i] = false;
  }
}

std::string ErrorText(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Writes all of `data`; false on an error or a signal.
bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR && !Interrupted()) continue;
      return false;
    }
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

// Reads up to `size` bytes; -1 on an error or a signal.
ssize_t ReadSome(int fd, char* data, size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, data, size);
    if (got >= 0 || errno != EINTR || Interrupted()) return got;
  }
}

}  // namespace

SignalGuard::SignalGuard() { CatchSignals(); }

SignalGuard::~SignalGuard() {
  RestoreSignals();
  if (const int signal = gSignal; signal != 0) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
}

bool Interrupted() { return gSignal != 0; }

PrivateFolder::PrivateFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/zundoc-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (::mkdtemp(buffer.data()) != nullptr) path_ = std::string(buffer.data()) + "/";
}

PrivateFolder::~PrivateFolder() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

namespace {

// Copies everything from `in` to `out`; on failure `error` says why, with the texts given for a
// failed read and a failed write (empty when the reader of `out` went away).
bool Copy(int in, int out, const char* readFailure, const char* writeFailure, std::string& error) {
  std::vector<char> buffer(kChunk);
  for (;;) {
    const ssize_t got = ReadSome(in, buffer.data(), buffer.size());
    if (got == 0) return true;
    if (got < 0) {
      error = Interrupted() ? "interrupted" : ErrorText(readFailure);
      return false;
    }
    if (!WriteAll(out, buffer.data(), static_cast<size_t>(got))) {
      // A reader that went away (head, a closed pager) is no error to report.
      error = errno == EPIPE ? "" : Interrupted() ? "interrupted" : ErrorText(writeFailure);
      return false;
    }
  }
}

}  // namespace

bool CopyStandardInputTo(const std::string& path, std::string& error) {
  zun::FileDescriptor out(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!out.IsOpen()) {
    error = ErrorText("cannot create a temporary file");
    return false;
  }
  if (!Copy(STDIN_FILENO, out.Get(), "cannot read standard input", "cannot write a temporary file", error)) {
    return false;
  }
  if (!out.Close()) {
    error = ErrorText("cannot write a temporary file");
    return false;
  }
  return true;
}

bool CopyToStandardOutput(const std::string& path, std::string& error) {
  const zun::FileDescriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.IsOpen()) {
    error = ErrorText("cannot read the text");
    return false;
  }
  return Copy(in.Get(), STDOUT_FILENO, "cannot read the text", "cannot write standard output", error);
}

}  // namespace zundoc
