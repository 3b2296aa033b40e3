// Progress of a long command on standard error: one line redrawn in place, only on a terminal
// and only once the command has taken more than a second, so that quick work and scripts see
// nothing.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace zundoc {

class TerminalProgress {
 public:
  // Nothing is ever shown unless `shown`.
  explicit TerminalProgress(bool shown);
  ~TerminalProgress() { Clear(); }
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  // What the work is on: a file, "task 3 of 12".
  void SetSubject(std::string subject) { subject_ = std::move(subject); }
  // The step ("Compression"); "Progress" stands for none.
  void SetCaption(const std::string& caption);
  void SetRange(int32_t maximum);
  void SetValue(int32_t value);
  // Removes the line: before other output goes to the terminal, and at the end.
  void Clear();

 private:
  void Draw(int percent);

  bool shown_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point drawn_{};
  std::string subject_;
  std::string caption_;
  int32_t maximum_ = 0;
  int lastPercent_ = -1;
  size_t width_ = 0;  // of the line on the terminal
};

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();
// Whether standard output is a terminal.
bool StandardOutputIsTerminal();

}  // namespace zundoc
