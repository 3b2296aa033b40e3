// The one record layout of zundata.dat: 17 fields, 1208 bytes on disk, little-endian integers,
// Automation dates, blank-padded fixed strings.
#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "glue/paths.h"

namespace zun {

// A text of exactly N bytes, padded with blanks; a longer text is cut (never inside a UTF-8
// character). Reading gives all N bytes, padding included.
template <size_t N>
class FixedText {
 public:
  FixedText() : text_(N, ' ') {}
  // Implicit: assigning a text is the point.
  FixedText(std::string_view text) { Assign(text); }
  FixedText& operator=(std::string_view text) {
    Assign(text);
    return *this;
  }
  const std::string& str() const { return text_; }
  std::string Trimmed() const { return TrimTrailingBlanks(text_); }
  char At(size_t index) const { return text_[index]; }
  void SetAt(size_t index, char c) { text_[index] = c; }
  // Takes the bytes as stored on disk, unchanged.
  void SetRaw(std::string_view bytes) { text_.assign(bytes.substr(0, N)).resize(N, ' '); }
  bool operator==(const FixedText&) const = default;

 private:
  void Assign(std::string_view text) {
    text_ = CutAtCharacterBoundary(text, N);
    text_.resize(N, ' ');
  }
  std::string text_;
};

inline constexpr size_t kTaskRecordSize = 1208;
inline constexpr int16_t kSwitchOn = -1;
inline constexpr int16_t kSwitchOff = 0;
inline constexpr const char* kDataFileVersion = "0010";

// The ranges the editor keeps numbers in. A record read from disk keeps what it holds (so that
// writing it back changes nothing); each use brings its number into range.
inline constexpr int16_t kMaxTabSpace = 64;
inline constexpr int16_t kMaxCategory = 15;
inline constexpr int16_t kMaxCounter = 999;

// A task's direction; the same number is its picture. Stored as a 16-bit integer that may hold
// any value: unknown values show and act as no conversion.
enum class TaskAction : int16_t { NoConversion = 1, PalmToPc = 2, PcToPalm = 3, BothWays = 4 };

// The direction shown for a stored value: unknown values as no conversion.
TaskAction DisplayedAction(TaskAction action);
// The direction after `action` in the cycle no conversion, Palm to PC, PC to Palm, both ways.
TaskAction NextAction(TaskAction action);

// Positions in `lst_options` (and characters of `Options`, one further on).
enum OptionEntry {
  kOptCompress = 0,
  kOptTabsToSpaces,
  kOptStripHtml,
  kOptCrToLf,
  kOptAllowBinary,
  kOptRaw,
  kOptUtf8Text
};
inline constexpr int kOptionCount = 7;
inline constexpr int kMaxListEntries = 32;

struct TaskRecord {
  FixedText<4> Version;
  FixedText<512> PcFile;
  double PcDate = 0;
  FixedText<512> PalmFile;
  double PalmDate = 0;
  TaskAction Action{};
  FixedText<32> Options;
  int16_t Category = 0;
  int16_t TabSpace = 0;
  FixedText<32> Targets;
  FixedText<64> Status;
  int16_t PcFilterIndex = 0;
  int16_t PalmFilterIndex = 0;
  int16_t Flag1 = 0;
  int16_t Flag2 = 0;
  int16_t Counter = 0;
  FixedText<20> Reserved;

  // The switches mean different things in the two special records. Record 1: Flag1 "Auto
  // Naming", Flag2 "Ask Overwirte" (both on unless 0). Record 2: Flag1 "File Count up" (on
  // unless 0), Flag2 whether the window was left in the tray (exactly -1).
  bool AutoNaming() const { return Flag1 != kSwitchOff; }
  void SetAutoNaming(bool on) { Flag1 = on ? kSwitchOn : kSwitchOff; }
  bool AskOverwrite() const { return Flag2 != kSwitchOff; }
  void SetAskOverwrite(bool on) { Flag2 = on ? kSwitchOn : kSwitchOff; }
  bool CountUp() const { return Flag1 != kSwitchOff; }
  void SetCountUp(bool on) { Flag1 = on ? kSwitchOn : kSwitchOff; }
  bool LeftInTray() const { return Flag2 == kSwitchOn; }
  void SetLeftInTray(bool on) { Flag2 = on ? kSwitchOn : kSwitchOff; }
  // Record 1: "Convert on change", the first character of Reserved: "1" on, anything else (the
  // blank of every file written before the switch existed) off.
  bool ConvertOnChange() const { return Reserved.At(0) == '1'; }
  void SetConvertOnChange(bool on) { Reserved.SetAt(0, on ? '1' : ' '); }

  bool operator==(const TaskRecord&) const = default;
};

std::array<uint8_t, kTaskRecordSize> EncodeTaskRecord(const TaskRecord& record);
// Every field as stored: encoding the result gives the same bytes back.
TaskRecord DecodeTaskRecord(std::span<const uint8_t, kTaskRecordSize> bytes);

// Record 1 and record 2 of a new data file.
TaskRecord DefaultSettingsRecord();
TaskRecord DefaultClipboardRecord();

// Character `entry` + 1 of an option or target string is "1".
template <size_t N>
bool IsEntryChecked(const FixedText<N>& flags, int entry) {
  return entry >= 0 && static_cast<size_t>(entry) < N && flags.At(static_cast<size_t>(entry)) == '1';
}

}  // namespace zun
