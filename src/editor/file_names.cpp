// The two file boxes and automatic naming. A box's change handling runs when its text changes.
#include <string_view>
#include <utility>

#include "editor/editor_model.h"
#include "glue/file_system.h"
#include "glue/paths.h"
#include "glue/xdg_dirs.h"

namespace zun {
namespace {

bool IsAbsolute(const std::string& path) { return !path.empty() && path.front() == kPathSeparator; }

// A name made for one side never names the other side's file (a text called x.pdb would
// otherwise be named as its own document): then the whole name gets the extension.
std::string NotTheSameFile(const std::string& named, const std::string& other, const std::string& name,
                           const std::string& extension) {
  std::string candidate = named + PathWithoutExtension(name) + extension;
  if (candidate != other && !IsSameFile(candidate, other)) return candidate;
  return named + name + extension;
}

// Whether `after` is `before` with one character typed or deleted: a key press, not a paste or a
// text set by other means.
bool IsKeyStep(std::string_view before, std::string_view after) {
  if (before.size() > after.size()) std::swap(before, after);
  const size_t added = after.size() - before.size();
  if (added == 0 || added > 4) return false;  // a UTF-8 character has at most 4 bytes
  size_t same = 0;
  while (same < before.size() && before[same] == after[same]) ++same;
  return after.substr(same + added) == before.substr(same);
}

}  // namespace

// An edit by any means (typing, pasting, an input method, an assistive tool) counts as typed.
// What the record holds before an edit that is not a key press is settled.
void EditorModel::PcFileEdited(const std::string& text) {
  state_.lastEditedSide = kPcSide;
  Guarded([&] {
    if (!IsKeyStep(state_.pcFileText, text)) SettleFileNames();
    SetPcText(text);
  });
}

void EditorModel::PalmFileEdited(const std::string& text) {
  state_.lastEditedSide = kPalmSide;
  Guarded([&] {
    if (!IsKeyStep(state_.palmFileText, text)) SettleFileNames();
    SetPalmText(text);
  });
}

void EditorModel::FileBoxLeft() {
  Guarded([&] { SettleFileNames(); });
}

void EditorModel::SettleFileNames() {
  if (state_.clipSettingsMode || state_.selected < 1) return;
  const TaskRecord task = data_.Read(TaskRecordNumber(state_.selected));
  settledPcFile_ = task.PcFile.Trimmed();
  settledPalmFile_ = task.PalmFile.Trimmed();
}

bool EditorModel::FitsField(const std::string& stored, std::string& info) {
  if (stored.size() <= kMaxPathBytes) return true;
  info = kInfoTooLong;  // the box keeps what was typed
  return false;
}

// A path typed key by key reaches the record's limit with a cut of itself, which naming follows
// on the other side: both fields go back to what they held before that typing (or before the
// paste that was too long), and the other box shows it again.
void EditorModel::RestoreSettledFileNames() {
  if (state_.selected < 1) return;
  StoreEdit([&](TaskRecord& task) {
    task.PcFile = settledPcFile_;
    task.PalmFile = settledPalmFile_;
  });
  TaskRow& row = state_.Row(state_.selected);
  row.pcName = PathFileName(settledPcFile_);
  row.palmName = PathFileName(settledPalmFile_);
  if (state_.lastEditedSide == kPcSide && state_.palmFileText != settledPalmFile_) {
    state_.palmFileText = settledPalmFile_;
    state_.palmFileInfo = Info(settledPalmFile_, true);
  } else if (state_.lastEditedSide == kPalmSide && state_.pcFileText != settledPcFile_) {
    state_.pcFileText = settledPcFile_;
    state_.pcFileInfo = Info(settledPcFile_, false);
  }
}

std::string EditorModel::DocumentFolder() {
  std::string folder = data_.Read(kSettingsRecord).PalmFile.Trimmed();
  if (IsAbsolute(folder)) return folder;
  folder = PathDirectory(state_.pcFileText);
  if (IsAbsolute(folder)) return folder;
  return UserDocumentsFolder();
}

std::string EditorModel::CustomDocumentPath(const std::string& path) {
  return IsAbsolute(path) ? path : DocumentFolder() + path;
}

void EditorModel::SetPcText(const std::string& text) {
  if (text == state_.pcFileText) return;
  state_.pcFileText = text;
  PcFileChanged();
}

void EditorModel::SetPalmText(const std::string& text) {
  if (text == state_.palmFileText) return;
  state_.palmFileText = text;
  PalmFileChanged();
}

void EditorModel::PcFileChanged() {
  // In clip settings mode the PC side is the clipboard: the task still selected keeps its file.
  if (state_.rows.empty() || state_.selected < 1 || state_.clipSettingsMode) return;
  const std::string text = state_.pcFileText;
  if (!FitsField(text, state_.pcFileInfo)) {
    RestoreSettledFileNames();
    return;
  }
  state_.Row(state_.selected).pcName = PathFileName(text);
  state_.pcFileInfo = Info(text, false);
  TaskAction action{};
  StoreEdit([&](TaskRecord& task) {
    task.PcFile = text;
    action = task.Action;
  });
  if (NamingActive() &&
      (action == TaskAction::PcToPalm || (action == TaskAction::BothWays && state_.lastEditedSide == kPcSide))) {
    NamePalmFromPc(PathFileName(text));
  }
}

void EditorModel::NamePalmFromPc(const std::string& name) {
  if (name.empty()) return;  // a folder names no document
  std::string folder;
  if (InstallChecks().CustomChecked()) folder = PathDirectory(CustomDocumentPath(PathDirectory(state_.palmFileText)));
  SetPalmText(NotTheSameFile(folder, state_.pcFileText, name, ".pdb"));
}

void EditorModel::PalmFileChanged() {
  if (!state_.clipSettingsMode && (state_.rows.empty() || state_.selected < 1)) return;
  std::string text = state_.palmFileText;
  const bool custom = InstallChecks().CustomChecked();
  // A document for "Custom" named without a folder would land in the data folder.
  if (custom && !text.empty() && !loading_ && !state_.clipSettingsMode) text = CustomDocumentPath(text);
  std::string name = PathFileName(text);
  if (NamingActive() && !name.empty() && PathExtension(name).empty()) {
    // A name typed without extension gets ".pdb", the caret staying just before it.
    name += ".pdb";
    text += ".pdb";
    state_.palmCaret = text.size() - 4;
  }
  state_.palmFileText = text;
  state_.palmFileInfo = Info(text, true);
  const std::string stored = custom ? text : PathFileName(text);
  if (!FitsField(stored, state_.palmFileInfo)) {
    if (!state_.clipSettingsMode) RestoreSettledFileNames();
    return;
  }
  if (state_.clipSettingsMode) {
    StoreEdit([&](TaskRecord& task) { task.PalmFile = stored; });
    return;
  }
  state_.Row(state_.selected).palmName = name;
  TaskAction action{};
  StoreEdit([&](TaskRecord& task) {
    task.PalmFile = stored;
    action = task.Action;
  });
  if (NamingActive() &&
      (action == TaskAction::PalmToPc || (action == TaskAction::BothWays && state_.lastEditedSide == kPalmSide))) {
    NamePcFromPalm(name);
  }
}

void EditorModel::NamePcFromPalm(const std::string& name) {
  if (name.empty()) return;
  std::string folder = PathDirectory(state_.pcFileText);
  if (folder.empty()) folder = data_.Read(kSettingsRecord).PcFile.Trimmed();
  if (folder.empty()) folder = FallbackFolder();
  const TargetChecks checks = InstallChecks();
  std::string palmPath = state_.palmFileText;
  if (!checks.CustomChecked() && checks.FirstChecked() >= 0) {
    palmPath = UserBackupDir(users_, checks.FirstChecked()) + PathFileName(palmPath);
  }
  SetPcText(NotTheSameFile(folder, palmPath, name, ".txt"));
}

}  // namespace zun
