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

bool CopyStandardInputTo(const std::string& path, std::string& error) {
  const int out = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (out < 0) {
    error = ErrorText("cannot create a temporary file");
    return false;
  }
  std::vector<char> buffer(kChunk);
  bool ok = true;
  for (;;) {
    const ssize_t got = ReadSome(STDIN_FILENO, buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) {
      error = Interrupted() ? "interrupted" : ErrorText("cannot read standard input");
      ok = false;
      break;
    }
    if (!WriteAll(out, buffer.data(), static_cast<size_t>(got))) {
      error = Interrupted() ? "interrupted" : ErrorText("cannot write a temporary file");
      ok = false;
      break;
    }
  }
  if (::close(out) != 0 && ok) {
    error = ErrorText("cannot write a temporary file");
    ok = false;
  }
  return ok;
}

bool CopyToStandardOutput(const std::string& path, std::string& error) {
  const int in = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    error = ErrorText("cannot read the text");
    return false;
  }
  std::vector<char> buffer(kChunk);
  bool ok = true;
  for (;;) {
    const ssize_t got = ReadSome(in, buffer.data(), buffer.size());
    if (got == 0) break;
    if (got < 0) {
      error = Interrupted() ? "interrupted" : ErrorText("cannot read the text");
      ok = false;
      break;
    }
    if (!WriteAll(STDOUT_FILENO, buffer.data(), static_cast<size_t>(got))) {
      // A reader that went away (head, a closed pager) is no error to report.
      error = errno == EPIPE ? "" : Interrupted() ? "interrupted" : ErrorText("cannot write standard output");
      ok = false;
      break;
    }
  }
  ::close(in);
  return ok;
}

}  // namespace zundoc
