// The editor's fields: options, number boxes, install targets, the two switches and browsing.
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
  // A bare name for users, a full path for "Custom".
  const std::string text = state_.palmFileText;
  const std::string wanted = InstallChecks().CustomChecked() ? CustomDocumentPath(text) : PathFileName(text);
  if (wanted == text) {
    state_.palmFileInfo = Info(text, true);
  } else {
    SetPalmText(wanted);
  }
}

void EditorModel::AutoNamingClicked(bool checked) {
  state_.autoNaming = checked;
  StoreSwitch(&TaskRecord::SetAutoNaming, checked);
}

void EditorModel::AskOverwriteClicked(bool checked) {
  state_.askOverwrite = checked;
  StoreSwitch(&TaskRecord::SetAskOverwrite, checked);
}

void EditorModel::ConvertOnChangeClicked(bool checked) {
  state_.convertOnChange = checked;
  StoreSwitch(&TaskRecord::SetConvertOnChange, checked);
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
    SettleFileNames();  // a chosen file is no key press
    SetPcText(chosen);
    if (state_.pcFileText == old) PcFileChanged();
    SettleFileNames();
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
    SettleFileNames();  // a chosen file is no key press
    SetPalmText(chosen);
    if (state_.palmFileText == old) PalmFileChanged();
    SettleFileNames();
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
