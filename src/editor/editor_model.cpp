// The task list, loading and clearing the editor, the conversion run's captions.
#include "editor/editor_model.h"

#include <algorithm>

#include "glue/paths.h"

namespace zun {
namespace {

TaskRow RowFor(const TaskRecord& task) {
  return TaskRow{DisplayedAction(task.Action), "", PathFileName(task.PcFile.Trimmed()),
                 PathFileName(task.PalmFile.Trimmed())};
}

constexpr int kRefreshEditor = 2;
constexpr int kRefreshScrollBar = 1;
constexpr int kRefreshAll = kRefreshEditor | kRefreshScrollBar;

}  // namespace

EditorModel::EditorModel(DataFile& data, UserManager& users, RunFlags& flags)
    : data_(data), users_(users), flags_(flags) {}

void EditorModel::Guarded(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const std::exception& error) {
    state_.dataError = std::string("The data file could not be read or written: ") + error.what();
  }
}

std::string EditorModel::TakeDataError() {
  std::string error;
  error.swap(state_.dataError);
  return error;
}

bool EditorModel::Open() {
  state_.installEntries = FillUserList(users_);
  state_.installEntries.push_back(kCustomEntry);
  state_.installChecks.assign(state_.installEntries.size(), false);
  data_.OpenAndCheck();
  const TaskRecord settings = data_.Read(kSettingsRecord);
  state_.autoNaming = settings.AutoNaming();
  state_.askOverwrite = settings.AskOverwrite();
  state_.rows.clear();
  for (int32_t number = 3; number <= data_.RecordCount(); ++number) state_.rows.push_back(RowFor(data_.Read(number)));
  state_.selected = state_.rows.empty() ? 0 : 1;
  state_.top = 1;
  buffer_ = data_.Read(kClipboardRecord);
  return buffer_.LeftInTray();
}

void EditorModel::FinishStart() {
  Guarded([&] { RefreshSelection(kRefreshAll); });
}

void EditorModel::SetRowsPerPage(int32_t rows) { state_.rowsPerPage = std::max(rows, 1); }

bool EditorModel::SelectionVisible() const {
  return !state_.rows.empty() && state_.selected >= 1 && state_.selected >= state_.top &&
         state_.selected - state_.top < state_.rowsPerPage;
}

void EditorModel::RefreshSelection(int flags) {
  if (flags & kRefreshEditor) {
    if (!state_.rows.empty()) {
      state_.timerRunning = false;
      if (state_.newButtonEnlarged) TimerTick();
      state_.controls.convert = true;
      state_.listShapeColour = kTasksColour;
    } else {
      state_.timerRunning = true;
      state_.controls.convert = false;
      state_.listShapeColour = kNoTasksColour;
    }
    namingPaused_ = true;
    if (SelectionVisible()) {
      state_.bandRow = state_.selected;
      LoadEditor(TaskRecordNumber(state_.selected));
    } else {
      state_.bandRow = 0;
      ClearEditor();
    }
    namingPaused_ = false;
  }
  if (flags & kRefreshScrollBar) SetupScrollBar();
}

void EditorModel::SetupScrollBar() {
  if (state_.rows.empty()) return;
  state_.scroll = ScrollRangeFor(static_cast<int32_t>(state_.rows.size()), state_.rowsPerPage);
  state_.controls.scroll = true;
}

void EditorModel::ShowRow(int32_t row) {
  state_.selected = row;
  state_.top = TopRowShowing(row, state_.top, state_.rowsPerPage);
}

void EditorModel::LoadEditor(int32_t record) {
  EnableEditor(true);
  buffer_ = data_.Read(record);
  const TaskRecord loaded = buffer_;
  state_.editorLoading = true;
  for (size_t i = 0; i < state_.installChecks.size(); ++i) {
    state_.installChecks[i] = i < kMaxListEntries && IsEntryChecked(loaded.Targets, static_cast<int>(i));
  }
  state_.editorLoading = false;
  state_.actionPicture = static_cast<int32_t>(DisplayedAction(loaded.Action));
  const std::string pcFile = loaded.PcFile.Trimmed();
  if (!state_.clipSettingsMode && state_.pcFileText == pcFile) {
    state_.pcFileInfo = Info(pcFile, false);
  } else {
    SetPcText(pcFile);
  }
  const std::string palmFile = loaded.PalmFile.Trimmed();
  if (state_.palmFileText == palmFile) {
    state_.palmFileInfo = Info(palmFile, true);
  } else {
    SetPalmText(palmFile);
  }
  SetTabSpaceText(std::to_string(loaded.TabSpace));
  SetCategoryText(std::to_string(loaded.Category));
  state_.statusText = loaded.Status.str();
  // Showing the options stores nothing: a blank character stays blank.
  for (int i = 0; i < kOptionCount; ++i) state_.optionChecks[i] = IsEntryChecked(loaded.Options, i);
}

void EditorModel::ClearEditor() {
  state_.actionPicture = kNoTaskPicture;
  // Emptying the boxes stores nothing: no task is shown, so none may be changed.
  state_.pcFileText.clear();
  state_.palmFileText.clear();
  state_.pcFileInfo.clear();
  state_.palmFileInfo.clear();
  state_.statusText.clear();
  EnableEditor(false);
}

void EditorModel::EnableEditor(bool on) {
  if (state_.convertCaption != kConvertCaption) return;
  ControlStates& c = state_.controls;
  c.action = on;
  c.pcFileLocked = !on;
  c.palmFileLocked = !on;
  c.browsePc = c.browsePalm = c.deleteTask = c.saveDefault = on;
  c.tabSpace = c.category = c.install = c.options = c.statusLabel = on;
}

void EditorModel::AddTask() {
  if (state_.clipSettingsMode) return;
  Guarded([&] {
    const int32_t row = data_.AddTask();
    state_.rows.push_back(RowFor(data_.Read(TaskRecordNumber(row))));
    ShowRow(row);
    RefreshSelection(kRefreshAll);
    ScrollTo(state_.scroll.maximum);
  });
}

void EditorModel::DeleteTask() {
  if (!SelectionVisible() || state_.clipSettingsMode) return;
  Guarded([&] {
    const int32_t deleted = state_.selected;
    const int32_t count = static_cast<int32_t>(state_.rows.size());
    data_.DeleteTask(deleted);
    state_.rows.erase(state_.rows.begin() + (deleted - 1));
    const int32_t next = deleted == count ? deleted - 1 : deleted;
    const ScrollRange range = ScrollRangeFor(count - 1, state_.rowsPerPage);
    state_.top = std::clamp(state_.top, 1, std::max(range.maximum, 1));
    if (next >= 1) {
      ShowRow(next);
    } else {
      state_.selected = 0;
    }
    RefreshSelection(kRefreshAll);
  });
}

void EditorModel::SaveDefault() {
  if (!SelectionVisible() || state_.clipSettingsMode) return;
  Guarded([&] { data_.SaveAsDefault(state_.selected); });
}

void EditorModel::SelectRow(int32_t row) {
  if (row < 1 || row > static_cast<int32_t>(state_.rows.size()) || row == state_.selected) return;
  Guarded([&] {
    ShowRow(row);
    RefreshSelection(kRefreshEditor);
  });
}

ListColumn EditorModel::ClickItem(int32_t row, int32_t xTwips, int32_t listWidthTwips) {
  // The clicked row is loaded first, so a direction change meets that task's own targets.
  SelectRow(row);
  clickedColumn_ = ColumnAt(xTwips, ColumnsForWidth(listWidthTwips));
  if (state_.selected != row) return clickedColumn_;
  Guarded([&] {
    if (clickedColumn_ == ListColumn::Sync) {
      TaskRow& shown = state_.rows[row - 1];
      const TaskAction action = NextAction(shown.action);
      shown.action = action;
      TaskRecord task = data_.Read(TaskRecordNumber(row));
      task.Action = action;
      data_.Write(TaskRecordNumber(row), task);
      if (action != TaskAction::PcToPalm && InstallChecks().CheckedCount() >= 2) EnforceSingleTarget(action);
    }
    RefreshSelection(kRefreshEditor);
  });
  return clickedColumn_;
}

void EditorModel::DoubleClick(FileDialogs& dialogs) {
  if (clickedColumn_ == ListColumn::PcFile) BrowsePcFile(dialogs);
  if (clickedColumn_ == ListColumn::PalmFile) BrowsePalmFile(dialogs);
}

void EditorModel::ScrollTo(int32_t top) {
  if (state_.rows.empty()) return;
  Guarded([&] {
    state_.top = std::clamp(top, 1, std::max(state_.scroll.maximum, 1));
    RefreshSelection(kRefreshEditor);
  });
}

void EditorModel::KeyDown(ListKey key) {
  const int32_t count = static_cast<int32_t>(state_.rows.size());
  if (count == 0 || !state_.controls.list) return;
  const int32_t selected = state_.selected;
  if (key == ListKey::Up) {
    if (selected == state_.top && selected > 1) ScrollTo(state_.top - 1);
    SelectRow(std::max(selected - 1, 1));
  } else {
    if (selected + 1 == state_.top + state_.rowsPerPage && selected < count) ScrollTo(state_.top + 1);
    SelectRow(std::min(selected + 1, count));
  }
}

void EditorModel::TimerTick() { state_.newButtonEnlarged = !state_.newButtonEnlarged; }

ConvertRequest EditorModel::ConvertClicked() {
  if (state_.clipSettingsMode) return ConvertRequest::ConvertClipboard;
  if (state_.convertCaption == kStopCaption || state_.convertCaption == kWaitCaption) {
    flags_.stopRequested = true;
    state_.convertCaption = kWaitCaption;
    return ConvertRequest::StopRequested;
  }
  EnableEditor(false);  // before the caption changes: EnableEditor acts only under "Convert"
  ControlStates& c = state_.controls;
  c.list = c.autoNaming = c.askOverwrite = c.newTask = c.clipSettings = c.exit = false;
  state_.convertCaption = kStopCaption;
  return ConvertRequest::StartRun;
}

void EditorModel::EndRun() {
  state_.convertCaption = kConvertCaption;
  EnableEditor(true);
  ControlStates& c = state_.controls;
  c.list = c.autoNaming = c.askOverwrite = c.newTask = c.clipSettings = c.exit = true;
  flags_.stopRequested = false;
  Guarded([&] {
    state_.palmFileInfo = Info(state_.palmFileText, true);
    state_.pcFileInfo = Info(state_.pcFileText, false);
  });
}

void EditorModel::ShowTask(int32_t row) {
  Guarded([&] {
    ShowRow(row);
    RefreshSelection(kRefreshEditor);
  });
}

void EditorModel::ShowOutcome(int32_t row, const TaskRecord& task, const std::string& syncSymbol) {
  state_.statusText = task.Status.str();
  if (row >= 1 && row <= static_cast<int32_t>(state_.rows.size())) state_.rows[row - 1].sync = syncSymbol;
}

void EditorModel::WindowMinimized(bool minimized) {
  Guarded([&] {
    buffer_ = data_.Read(kClipboardRecord);
    buffer_.SetLeftInTray(minimized);
    data_.Write(kClipboardRecord, buffer_);
  });
}

std::string EditorModel::Info(const std::string& path, bool palmSide) {
  return FileInfoText(path, palmSide, InstallChecks(), users_, formatDate);
}

}  // namespace zun
