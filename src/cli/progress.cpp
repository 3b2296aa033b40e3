#include "cli/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "convert/conversion_env.h"

namespace zundoc {
namespace {

constexpr auto kQuietTime = std::chrono::seconds(1);
constexpr auto kRedrawTime = std::chrono::milliseconds(100);

void WriteToTerminal(const std::string& text) {
  const char* data = text.data();
  size_t size = text.size();
  while (size > 0) {
    const ssize_t written = ::write(STDERR_FILENO, data, size);
    if (written <= 0) return;  // a progress line is not worth an error
    data += written;
    size -= static_cast<size_t>(written);
  }
}

// Columns of the terminal; 80 when it does not say.
size_t TerminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return 80;
  return size.ws_col;
}

}  // namespace

TerminalProgress::TerminalProgress(bool shown) : shown_(shown) {}

void TerminalProgress::SetCaption(const std::string& caption) {
  caption_ = caption == zun::kProgressCaption ? "" : caption;
  lastPercent_ = -1;
}

void TerminalProgress::SetRange(int32_t maximum) {
  maximum_ = maximum;
  lastPercent_ = -1;
}

void TerminalProgress::SetValue(int32_t value) {
  if (!shown_ || maximum_ <= 0) return;
  const int percent = static_cast<int>(int64_t{value} * 100 / maximum_);
  const auto now = std::chrono::steady_clock::now();
  if (percent == lastPercent_ || now - start_ < kQuietTime || (now - drawn_ < kRedrawTime && percent < 100)) return;
  drawn_ = now;
  lastPercent_ = percent;
  Draw(percent);
}

void TerminalProgress::Draw(int percent) {
  const std::string tail = ": " + (caption_.empty() ? "" : caption_ + " ") + std::to_string(percent) + "%";
  std::string subject = subject_;
  // One line, or the carriage return would not go back to its start: a long subject loses its
  // beginning.
  const size_t room = TerminalWidth() - 1;
  if (8 + subject.size() + tail.size() > room && room > 8 + tail.size() + 3) {
    size_t cut = subject.size() - (room - 8 - tail.size() - 3);
    while (cut < subject.size() && (static_cast<unsigned char>(subject[cut]) & 0xC0) == 0x80) ++cut;
    subject = "..." + subject.substr(cut);
  }
  std::string line = "zundoc: " + subject + tail;
  const size_t width = line.size();
  if (width < width_) line.append(width_ - width, ' ');  // over what the longer line left
  WriteToTerminal("\r" + line);
  width_ = width;
}

void TerminalProgress::Clear() {
  if (width_ == 0) return;
  WriteToTerminal("\r" + std::string(width_, ' ') + "\r");
  width_ = 0;
  lastPercent_ = -1;
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

}  // namespace zundoc
