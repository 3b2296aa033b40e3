#include "cli/staging.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
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

std::string StagingFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return folder;
}

// Reads up to `size` bytes of standard input; throws FileError on a failure or a signal.
size_t ReadStandardInput(uint8_t* data, size_t size) {
  for (;;) {
    if (Interrupted()) throw zun::FileError(kStandardInput, "interrupted");
    const ssize_t got = ::read(STDIN_FILENO, data, size);
    if (got >= 0) return static_cast<size_t>(got);
    if (errno != EINTR) throw zun::FileError(kStandardInput, zun::SystemReason(errno));
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

zun::ByteFile StandardInputFile() {
  struct stat info {};
  if (::fstat(STDIN_FILENO, &info) == 0 && S_ISREG(info.st_mode) && ::lseek(STDIN_FILENO, 0, SEEK_CUR) == 0) {
    zun::FileDescriptor own(::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3));
    if (own.IsOpen()) return zun::ByteFile::ForReading(std::move(own), kStandardInput);
  }
  const std::string folder = StagingFolder();
  zun::FileDescriptor copy = zun::CreateAnonymousFile(folder);
  if (!copy.IsOpen()) throw zun::FileError(folder, zun::SystemReason(errno));
  std::vector<uint8_t> buffer(kChunk);
  for (size_t got; (got = ReadStandardInput(buffer.data(), buffer.size())) > 0;) {
    if (!zun::WriteAll(copy.Get(), {buffer.data(), got})) throw zun::FileError(folder, zun::SystemReason(errno));
  }
  return zun::ByteFile::ForReading(std::move(copy), kStandardInput);
}

void WriteToStandardOutput(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    // Checked before each write: a signal that cut a write short must not wait for the next.
    if (Interrupted()) throw zun::FileError(kStandardOutput, "interrupted");
    const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) throw zun::FileError(kStandardOutput, zun::SystemReason(errno));
    bytes = bytes.subspan(static_cast<size_t>(written));
  }
}

}  // namespace zundoc
