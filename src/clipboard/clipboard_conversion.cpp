#include "clipboard/clipboard_conversion.h"

#include <algorithm>
#include <cstdio>

#include "convert/status_texts.h"
#include "convert/text_to_document.h"
#include "glue/byte_file.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "glue/xdg_dirs.h"

namespace zun {
namespace {

constexpr size_t kMaxBaseName = 28;

// The clipboard's text in a private file without a name; nothing when it cannot be written.
std::optional<ByteFile> ClipboardFile(const std::string& folder, const std::string& text) {
  try {
    FileDescriptor fd = CreateAnonymousFile(folder);
    if (!fd.IsOpen()) return std::nullopt;
    ByteFile file = ByteFile::ForWriting(std::move(fd), kClipboardTemporaryName);
    file.Append(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
    return std::move(file).ReadBack();
  } catch (const FileError&) {
    return std::nullopt;
  }
}

std::string TrayTip(const std::string& status) { return std::string("ZUN2\r\n- ") + status; }

}  // namespace

std::string ClipboardDocumentPath(const std::string& palmFile, const std::string& fallbackFolder) {
  std::string path;
  if (palmFile.empty()) {
    path = fallbackFolder + kClipboardDocumentName;
  } else if (PathDirectory(palmFile).empty()) {
    path = fallbackFolder + palmFile;
  } else if (PathFileName(palmFile).empty()) {
    path = palmFile + kClipboardDocumentName;
  } else {
    path = palmFile;
  }
  if (FileExists(path) == FileState::Unreadable) path = fallbackFolder + kClipboardDocumentName;
  return path;
}

std::string NumberedPath(const std::string& path, int32_t number) {
  // Base name and extension come from the file name alone, so a dot in a folder name stays put.
  const std::string name = PathFileName(path);
  const std::string base = CutAtCharacterBoundary(PathWithoutExtension(name), kMaxBaseName);
  char digits[8];
  std::snprintf(digits, sizeof digits, "%03d", std::clamp<int32_t>(number, 0, kMaxCounter));
  return PathDirectory(path) + base + digits + PathExtension(name);
}

int32_t NextCounter(int32_t number) {
  const int32_t next = std::clamp<int32_t>(number, 0, kMaxCounter) + 1;
  return next > kMaxCounter ? 1 : next;
}

std::string ClipboardDocument(const std::string& palmFile) {
  return ClipboardDocumentPath(palmFile, UserDocumentsFolder());
}

void ConvertClipboard(DataFile& data, ConversionEnv& env, ClipboardView& view) {
  // Record 2 only once the text is there: events run while it is read, and what the user changes
  // in clip settings meanwhile is what this conversion uses and keeps.
  const ClipboardContent content = view.ReadClipboard();
  TaskRecord clip = data.Read(kClipboardRecord);
  const std::optional<std::string>& text = content.text;
  if (!text) {
    const char* status = content.answered ? status::kClipboardEmpty : status::kClipboardNoAnswer;
    env.host.SetTrayIcon(kClipFailureFrame, TrayTip(status));
    clip.Status = status;
  } else {
    const bool wasInClipMode = view.ClipSettingsMode();
    if (!wasInClipMode) view.ToggleClipSettings();
    view.EnableClipControls(false);
    std::optional<ByteFile> clipFile = ClipboardFile(env.programDir, *text);

    TaskRecord work = clip;
    work.Action = TaskAction::PcToPalm;  // nothing comes back from the clipboard's document
    std::string path = ClipboardDocument(work.PalmFile.Trimmed());
    if (view.CountUpChecked()) {
      path = NumberedPath(path, work.Counter);
      const int32_t next = NextCounter(work.Counter);
      view.ShowCounter(next);
      clip.Counter = static_cast<int16_t>(next);
    }
    work.PcFile = env.programDir + kClipboardTemporaryName;
    work.PalmFile = path;
    env.flags.sideChosen = true;  // an existing document is replaced without asking
    if (clipFile) {
      ConvertTextToDocument(work, env, std::move(*clipFile));
    } else {
      work.Status = status::kPcFileMissing;  // the text could not be written down
    }
    env.flags.sideChosen = false;

    const std::string status = work.Status.Trimmed();
    env.host.SetTrayIcon(status.starts_with("OK") ? kClipSuccessFrame : kClipFailureFrame, TrayTip(status));
    clip.Status = work.Status;
    view.EnableClipControls(true);
    if (!wasInClipMode) view.ToggleClipSettings();
  }
  data.Write(kClipboardRecord, clip);
  if (view.ClipSettingsMode()) view.ShowClipStatus(clip.Status.str());
}

}  // namespace zun
