// The task list, loading and clearing the editor, the conversion run's captions.
#include "editor/editor_model.h"

#include <algorithm>
#include <utility>

#include "glue/paths.h"
#include "tasks/base_store.h"
#include "tasks/conversion_run.h"

namespace zun {
namespace {

TaskRow RowFor(const TaskRecord& task) {
  return TaskRow{DisplayedAction(task.Action), "", PathFileName(task.PcFile.Trimmed()),
                 PathFileName(task.PalmFile.Trimmed())};
}

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
  state_.installEntries.emplace_back(kCustomEntry);
  state_.installChecks.assign(state_.installEntries.size(), false);
  data_.OpenAndCheck();
  state_.dataError = data_.RepairNote();  // a data file that had to start anew: the window says so
  const TaskRecord settings = data_.Read(kSettingsRecord);
  state_.autoNaming = settings.AutoNaming();
  state_.askOverwrite = settings.AskOverwrite();
  state_.convertOnChange = settings.ConvertOnChange();
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

void EditorModel::PageResized(int32_t rows) {
  rows = std::max(rows, 1);
  if (rows == state_.rowsPerPage) return;
  const bool wasShown = SelectionVisible();
  state_.rowsPerPage = rows;
  const auto count = static_cast<int32_t>(state_.rows.size());
  if (count == 0) return;
  const ScrollRange range = ScrollRangeFor(count, state_.rowsPerPage);
  state_.scroll.maximum = range.maximum;
  state_.scroll.largeChange = range.largeChange;
  state_.top = std::clamp(state_.top, 1, std::max(range.maximum, 1));
  if (wasShown) state_.top = TopRowShowing(state_.selected, state_.top, rows);
  // During a conversion or in clip settings mode the editor shows what it shows.
  if (SelectionVisible() != wasShown && state_.runState == RunState::Idle && !state_.clipSettingsMode) {
    Guarded([&] { RefreshSelection(kRefreshEditor); });
  }
}

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
    if (SelectionVisible()) {
      state_.bandRow = state_.selected;
      LoadEditor(TaskRecordNumber(state_.selected));
    } else {
      state_.bandRow = 0;
      ClearEditor();
    }
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
  // Showing a task changes nothing: no naming and no store, whatever the boxes' change handling does.
  struct Loading {
    bool& flag;
    explicit Loading(bool& f) : flag(f) { flag = true; }
    ~Loading() { flag = false; }
  } loading(loading_);
  ++state_.loads;
  EnableEditor(true);
  buffer_ = data_.Read(record);
  const TaskRecord loaded = buffer_;
  settledPcFile_ = loaded.PcFile.Trimmed();
  settledPalmFile_ = loaded.PalmFile.Trimmed();
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
  state_.statusText = loaded.Status.Trimmed();  // read from its beginning, without the padding
  // Showing the options stores nothing: a blank character stays blank.
  for (size_t i = 0; i < state_.optionChecks.size(); ++i) {
    state_.optionChecks[i] = IsEntryChecked(loaded.Options, static_cast<int>(i));
  }
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
  if (state_.EditorFrozen()) return;
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
    ForgetUnnamedBases(data_, PathDirectory(data_.Path()), users_);  // the deleted task's base goes with it
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
  // Not while the list is locked (a run, clip settings mode), whatever tries to select.
  if (!state_.controls.list || row < 1 || row > static_cast<int32_t>(state_.rows.size())) return;
  if (row == state_.selected && SelectionVisible()) return;
  Guarded([&] {
    ShowRow(row);
    RefreshSelection(kRefreshEditor);
  });
}

ListColumn EditorModel::ClickItem(int32_t row, int32_t x, const ColumnBounds& columns) {
  // The clicked row is loaded first, so a direction change meets that task's own targets.
  SelectRow(row);
  clickedColumn_ = ColumnAt(x, columns);
  if (state_.selected != row) return clickedColumn_;
  Guarded([&] {
    if (clickedColumn_ == ListColumn::Sync) {
      TaskRow& shown = state_.Row(row);
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

std::string EditorModel::RowPath(int32_t row, ListColumn column) {
  if (row < 1 || row > static_cast<int32_t>(state_.rows.size())) return {};
  try {
    const TaskRecord task = data_.Read(TaskRecordNumber(row));
    if (column == ListColumn::PcFile) return task.PcFile.Trimmed();
    if (column != ListColumn::PalmFile) return {};
    const TargetChecks checks = ChecksFromTargets(task.Targets, static_cast<int32_t>(state_.installEntries.size()));
    const int32_t first = checks.FirstChecked();
    if (first < 0 || checks.CustomChecked()) return task.PalmFile.Trimmed();
    return PalmFilePath(users_, checks, first, task.PalmFile.Trimmed());
  } catch (const std::exception&) {
    return {};  // only a tooltip: the next action reports the data file
  }
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
  const int32_t page = std::max(state_.rowsPerPage - 1, 1);
  const int32_t lastShown = std::min(state_.top + state_.rowsPerPage - 1, count);
  int32_t target = selected;
  switch (key) {
    case ListKey::Up:
      target = selected - 1;
      break;
    case ListKey::Down:
      target = selected + 1;
      break;
    case ListKey::PageUp:  // first to the top of the page, then a page further
      target = selected > state_.top ? state_.top : selected - page;
      break;
    case ListKey::PageDown:
      target = selected < lastShown ? lastShown : selected + page;
      break;
    case ListKey::Home:
      target = 1;
      break;
    case ListKey::End:
      target = count;
      break;
  }
  // Selecting scrolls by as little as shows the row: one row at the page's edges for Up and Down.
  SelectRow(std::clamp(target, 1, count));
}

void EditorModel::TimerTick() { state_.newButtonEnlarged = !state_.newButtonEnlarged; }

ConvertRequest EditorModel::ConvertClicked() {
  switch (state_.runState) {
    case RunState::Running:
    case RunState::Stopping:
      flags_.stopRequested = true;
      state_.runState = RunState::Stopping;
      return ConvertRequest::StopRequested;
    case RunState::Clipboard:
      return ConvertRequest::Nothing;
    case RunState::Idle:
      break;
  }
  if (state_.clipSettingsMode) return ConvertRequest::ConvertClipboard;
  EnableEditor(false);  // before the run starts: the editor is frozen while it goes on
  ControlStates& c = state_.controls;
  c.list = c.autoNaming = c.askOverwrite = c.newTask = c.clipSettings = c.exit = false;
  state_.runState = RunState::Running;
  return ConvertRequest::StartRun;
}

bool EditorModel::EndRun() {
  state_.runState = RunState::Idle;
  EnableEditor(true);
  ControlStates& c = state_.controls;
  c.list = c.autoNaming = c.askOverwrite = c.newTask = c.clipSettings = c.exit = true;
  Guarded([&] {
    state_.palmFileInfo = Info(state_.palmFileText, true);
    state_.pcFileInfo = Info(state_.pcFileText, false);
  });
  return FinishConversion();
}

bool EditorModel::RequestExit() {
  if (state_.runState == RunState::Idle) return true;
  exitRequested_ = true;
  if (state_.runState == RunState::Running) ConvertClicked();  // Stop: the run ends after this task
  return false;
}

bool EditorModel::BeginClipboardConversion() {
  if (state_.runState != RunState::Idle) return false;
  state_.runState = RunState::Clipboard;
  return true;
}

bool EditorModel::EndClipboardConversion() { return FinishConversion(); }

bool EditorModel::FinishConversion() {
  state_.runState = RunState::Idle;
  flags_.stopRequested = false;  // nothing of this conversion may reach the next one
  return std::exchange(exitRequested_, false);
}

void EditorModel::ShowTask(int32_t row) {
  Guarded([&] {
    ShowRow(row);
    RefreshSelection(kRefreshEditor);
  });
}

void EditorModel::ShowOutcome(int32_t row, const TaskRecord& task, const std::string& syncSymbol) {
  state_.statusText = task.Status.Trimmed();
  if (row >= 1 && row <= static_cast<int32_t>(state_.rows.size())) state_.Row(row).sync = syncSymbol;
}

void EditorModel::WindowMinimized(bool minimized) {
  Guarded([&] {
    buffer_ = data_.Read(kClipboardRecord);
    buffer_.SetLeftInTray(minimized);
    data_.Write(kClipboardRecord, buffer_);
  });
}

std::string EditorModel::Info(const std::string& path, bool palmSide) {
  // A clipboard document named without a folder is looked for where the conversion puts it.
  const bool clipDocument = palmSide && state_.clipSettingsMode && InstallChecks().CustomChecked() &&
                            !PathFileName(path).empty() && PathDirectory(path).empty();
  return FileInfoText(clipDocument ? ClipboardDocument(path) : path, palmSide, InstallChecks(), users_, formatDate);
}

}  // namespace zun
