// The clipboard's text becomes a Palm document with the settings of the clipboard task (record 2).
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "convert/conversion_env.h"
#include "record/data_file.h"

namespace zun {

inline constexpr const char* kClipboardTemporaryName = "zunclip.tmp";
inline constexpr const char* kClipboardDocumentName = "clipboard.pdb";
inline constexpr int32_t kClipSuccessFrame = 9;
inline constexpr int32_t kClipFailureFrame = 10;

namespace status {
// The clipboard's owner did not hand over its text in time (not the same as holding none).
inline constexpr const char* kClipboardNoAnswer = "clipboard did not answer";
}  // namespace status

// What reading the clipboard gave: its text, nothing when it holds no text; `answered` is false
// when the program that owns the clipboard did not answer.
struct ClipboardContent {
  std::optional<std::string> text;
  bool answered = true;
};

// What the clipboard conversion needs from the window.
class ClipboardView {
 public:
  virtual ~ClipboardView() = default;
  // The clipboard's text. Waiting for it lets events run: an owner that does not answer must
  // not freeze the window.
  virtual ClipboardContent ReadClipboard() = 0;
  virtual bool ClipSettingsMode() = 0;
  // Enters or leaves clip settings mode; in it the install list shows record 2's targets.
  virtual void ToggleClipSettings() = 0;
  virtual void EnableClipControls(bool on) = 0;
  virtual bool CountUpChecked() = 0;                           // chk_countup
  virtual void ShowCounter(int32_t next) = 0;                  // txt_countup
  virtual void ShowClipStatus(const std::string& status) = 0;  // txt_status, in clip settings mode
};

// Where the clipboard document goes, from record 2's PalmFile; `fallbackFolder` ends with the
// separator.
std::string ClipboardDocumentPath(const std::string& palmFile, const std::string& fallbackFolder);
// Where it goes for this user: a name without a folder into the documents folder (else home).
std::string ClipboardDocument(const std::string& palmFile);
// The path with the number inserted between base name (cut to 28) and extension: notes007.pdb.
std::string NumberedPath(const std::string& path, int32_t number);
// The number after `number`: 999 is followed by 1.
int32_t NextCounter(int32_t number);

void ConvertClipboard(DataFile& data, ConversionEnv& env, ClipboardView& view);

}  // namespace zun
