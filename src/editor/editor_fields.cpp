// The editor's fields: options, number boxes, install targets, the file boxes with automatic
// naming, the two switches and browsing.
#include <algorithm>

#include "editor/editor_model.h"
#include "editor/number_text.h"
#include "glue/file_system.h"
#include "glue/paths.h"

namespace zun {
namespace {

constexpr size_t kNumberBoxLength = 2;

}  // namespace

void EditorModel::StoreEdit(const std::function<void(TaskRecord&)>& change) {
  if (loading_) return;
  if (state_.clipSettingsMode) {
    change(buffer_);  // the buffer holds record 2 for the whole mode
    data_.Write(kClipboardRecord, buffer_);
    return;
  }
  if (state_.selected < 1) return;
  buffer_ = data_.Read(TaskRecordNumber(state_.selected));
  change(buffer_);
  data_.Write(TaskRecordNumber(state_.selected), buffer_);
}

void EditorModel::CycleAction() {
  if (!SelectionVisible() || state_.clipSettingsMode) return;
  Guarded([&] {
    TaskRow& shown = state_.Row(state_.selected);
    const TaskAction action = NextAction(shown.action);
    shown.action = action;
    state_.actionPicture = static_cast<int32_t>(action);
    StoreEdit([&](TaskRecord& task) { task.Action = action; });
    if (action != TaskAction::PcToPalm && InstallChecks().CheckedCount() > 1) EnforceSingleTarget(action);
  });
}

void EditorModel::OptionChanged(int32_t entry, bool checked) {
  if (entry < 0 || entry >= kOptionCount) return;
  state_.optionChecks[static_cast<size_t>(entry)] = checked;
  Guarded([&] {
    StoreEdit([&](TaskRecord& task) { task.Options.SetAt(static_cast<size_t>(entry), checked ? '1' : '0'); });
  });
}

void EditorModel::TabSpaceEdited(const std::string& text) {
  Guarded([&] { SetTabSpaceText(text); });
}

void EditorModel::CategoryEdited(const std::string& text) {
  Guarded([&] { SetCategoryText(text); });
}

void EditorModel::SetTabSpaceText(const std::string& text) {
  const NumberBox box = ReadNumberBox(text, kNumberBoxLength, kMaxTabSpace);
  state_.tabSpaceText = box.text;
  StoreEdit([&](TaskRecord& task) { task.TabSpace = static_cast<int16_t>(box.value); });
}

void EditorModel::SetCategoryText(const std::string& text) {
  const NumberBox box = ReadNumberBox(text, kNumberBoxLength, kMaxCategory);
  state_.categoryText = box.text;
  StoreEdit([&](TaskRecord& task) { task.Category = static_cast<int16_t>(box.value); });
}

// Install targets. The nested check changes of a re-check or of unchecking the others are
// computed at once: the final check marks are what the rules leave.

void EditorModel::TargetChanged(int32_t entry, bool checked) {
  if (entry < 0 || entry >= static_cast<int32_t>(state_.installChecks.size())) return;
  state_.installChecks[static_cast<size_t>(entry)] = checked;
  Guarded([&] { TargetCheckChanged(entry); });
}

void EditorModel::TargetCheckChanged(int32_t entry) {
  if (entry >= kMaxListEntries || state_.editorLoading) return;
  if (!state_.clipSettingsMode && state_.selected < 1) return;
  std::vector<bool>& checks = state_.installChecks;
  const auto at = static_cast<size_t>(entry);
  if (InstallChecks().CheckedCount() == 0) checks[at] = true;  // the last one stays checked
  const TaskAction action =
      state_.clipSettingsMode ? buffer_.Action : data_.Read(TaskRecordNumber(state_.selected)).Action;
  const bool customChecked = InstallChecks().CustomChecked();
  const bool exclusive = state_.clipSettingsMode ? customChecked : (action != TaskAction::PcToPalm || customChecked);
  if (checks[at] && exclusive) {
    for (size_t i = 0; i < checks.size(); ++i) checks[i] = static_cast<int32_t>(i) == entry;
  }
  StoreTargetsAndFollowPalmBox();
}

void EditorModel::EnforceSingleTarget(TaskAction action) {
  const TargetChecks checks = InstallChecks();
  if (action == TaskAction::PcToPalm || checks.CheckedCount() <= 1) return;
  const int32_t first = checks.FirstChecked();
  for (size_t i = 0; i < state_.installChecks.size(); ++i) state_.installChecks[i] = static_cast<int32_t>(i) == first;
  StoreTargetsAndFollowPalmBox();
}

void EditorModel::StoreTargetsAndFollowPalmBox() {
  StoreEdit([&](TaskRecord& task) {
    const size_t stored = std::min<size_t>(state_.installChecks.size(), kMaxListEntries);
    for (size_t i = 0; i < stored; ++i) task.Targets.SetAt(i, state_.installChecks[i] ? '1' : '0');
  });
  // A bare name for users, a full path in the custom folder for "Custom".
  const std::string text = state_.palmFileText;
  std::string wanted = PathFileName(text);
  if (InstallChecks().CustomChecked()) {
    std::string folder = PathDirectory(text);
    if (folder.empty()) folder = data_.Read(kSettingsRecord).PalmFile.Trimmed();
    if (folder.empty()) folder = FallbackFolder();
    wanted = folder + PathFileName(text);
  }
  if (wanted == text) {
    state_.palmFileInfo = Info(text, true);
  } else {
    SetPalmText(wanted);
  }
}

// File boxes and automatic naming. A box's change handling runs when its text changes.

// An edit by any means (typing, pasting, an input method, an assistive tool) counts as typed.
void EditorModel::PcFileEdited(const std::string& text) {
  state_.lastEditedSide = kPcSide;
  Guarded([&] { SetPcText(text); });
}

void EditorModel::PalmFileEdited(const std::string& text) {
  state_.lastEditedSide = kPalmSide;
  Guarded([&] { SetPalmText(text); });
}

bool EditorModel::FitsField(const std::string& stored, std::string& info) {
  if (stored.size() <= kMaxPathBytes) return true;
  info = kInfoTooLong;  // the box keeps what was typed; the record keeps the last name that fitted
  return false;
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
  if (!FitsField(text, state_.pcFileInfo)) return;
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

namespace {

// A name made for one side never names the other side's file (a text called x.pdb would
// otherwise be named as its own document): then the whole name gets the extension.
std::string NotTheSameFile(const std::string& named, const std::string& other, const std::string& name,
                           const std::string& extension) {
  std::string candidate = named + PathWithoutExtension(name) + extension;
  if (candidate != other && !IsSameFile(candidate, other)) return candidate;
  return named + name + extension;
}

}  // namespace

void EditorModel::NamePalmFromPc(const std::string& name) {
  const std::string folder = InstallChecks().CustomChecked() ? PathDirectory(state_.palmFileText) : "";
  SetPalmText(NotTheSameFile(folder, state_.pcFileText, name, ".pdb"));
}

void EditorModel::PalmFileChanged() {
  if (!state_.clipSettingsMode && (state_.rows.empty() || state_.selected < 1)) return;
  std::string text = state_.palmFileText;
  std::string name = PathFileName(text);
  if (NamingActive() && !name.empty() && PathExtension(name).empty()) {
    // A name typed without extension gets ".pdb", the caret staying just before it.
    name += ".pdb";
    text += ".pdb";
    state_.palmFileText = text;
    state_.palmCaret = text.size() - 4;
  }
  state_.palmFileInfo = Info(text, true);
  const std::string stored = InstallChecks().CustomChecked() ? text : PathFileName(text);
  if (!FitsField(stored, state_.palmFileInfo)) return;
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

void EditorModel::AutoNamingClicked(bool checked) {
  state_.autoNaming = checked;
  StoreSwitch(&TaskRecord::SetAutoNaming, checked);
}

void EditorModel::AskOverwriteClicked(bool checked) {
  state_.askOverwrite = checked;
  StoreSwitch(&TaskRecord::SetAskOverwrite, checked);
}

void EditorModel::StoreSwitch(void (TaskRecord::*set)(bool), bool on) {
  Guarded([&] {
    TaskRecord settings = data_.Read(kSettingsRecord);
    (settings.*set)(on);
    data_.Write(kSettingsRecord, settings);
  });
}

// Browsing.

std::string EditorModel::OpenDialog(FileDialogs& dialogs, bool palmSide, const std::string& startFolder,
                                    const std::string& fileName, const std::string& from) {
  TaskRecord settings = data_.Read(kSettingsRecord);
  FileDialogRequest request;
  request.title = palmSide ? kPalmDialogTitle + from : kPcDialogTitle;
  request.filter = palmSide ? kPalmFileFilter : kPcFileFilter;
  request.filterIndex = palmSide ? settings.PalmFilterIndex : settings.PcFilterIndex;
  request.startFolder = startFolder;
  request.fileName = fileName;
  const std::optional<FileDialogResult> result = dialogs.OpenFile(request);
  if (!result || result->path.empty()) return {};
  (palmSide ? settings.PalmFilterIndex : settings.PcFilterIndex) = static_cast<int16_t>(result->filterIndex);
  data_.Write(kSettingsRecord, settings);
  return result->path;
}

void EditorModel::BrowsePcFile(FileDialogs& dialogs) {
  if (state_.clipSettingsMode) return;
  state_.lastEditedSide = kPcSide;
  Guarded([&] {
    const std::string old = state_.pcFileText;
    const std::string chosen = OpenDialog(dialogs, false, PathDirectory(old), PathFileName(old), "");
    if (chosen.empty()) {
      RefreshFileInfo(false);  // cancelled: nothing else changes, above all no name made for the other side
      return;
    }
    SetPcText(chosen);
    if (state_.pcFileText == old) PcFileChanged();
  });
}

void EditorModel::BrowsePalmFile(FileDialogs& dialogs) {
  state_.lastEditedSide = kPalmSide;
  Guarded([&] {
    const std::string old = state_.palmFileText;
    const TargetChecks checks = InstallChecks();
    std::string chosen;
    if (checks.CustomChecked()) {
      chosen = OpenDialog(dialogs, true, PathDirectory(old), PathFileName(old), kCustomDirectoryName);
    } else if (const int32_t user = checks.FirstChecked(); user >= 0) {
      const std::string folder = UserBackupDir(users_, user);  // selects the user
      // Only the name stays: a user's documents are looked for in that user's backup folder.
      chosen = PathFileName(OpenDialog(dialogs, true, folder, PathFileName(old), users_.UserName()));
    }
    if (chosen.empty()) {
      RefreshFileInfo(true);  // cancelled: nothing else changes
      return;
    }
    SetPalmText(chosen);
    if (state_.palmFileText == old) PalmFileChanged();
  });
}

void EditorModel::RefreshFileInfo(bool palmSide) {
  if (!state_.clipSettingsMode && (state_.rows.empty() || state_.selected < 1)) return;
  if (!palmSide) {
    if (FitsField(state_.pcFileText, state_.pcFileInfo)) state_.pcFileInfo = Info(state_.pcFileText, false);
    return;
  }
  const std::string& palm = state_.palmFileText;
  const std::string stored = InstallChecks().CustomChecked() ? palm : PathFileName(palm);
  if (FitsField(stored, state_.palmFileInfo)) state_.palmFileInfo = Info(palm, true);
}

}  // namespace zun
