// The main window as a model: what it shows (EditorState) and one operation per user action.
// Every rule of the task list, the editor, the targets, naming, browsing and clip settings mode
// lives here; the window only mirrors the state into widgets and forwards events.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "clipboard/clipboard_conversion.h"
#include "convert/conversion_env.h"
#include "editor/editor_state.h"
#include "editor/file_info.h"
#include "hotsync/user_manager.h"
#include "record/data_file.h"
#include "tasks/conversion_run.h"

namespace zun {

inline constexpr const char* kPcFileFilter =
    "All (*.*)|*.*|Text (*.txt)|*.txt|C (*.c;*.cpp;*.h)|*.c;*.cpp;*.h|Assembler (*.a;*.asm;*.h)|*.a;*.asm;*.h";
inline constexpr const char* kPalmFileFilter =
    "All (*.*)|*.*|Palm Files(*.prc;*.pdb)|*.prc;*.pdb|Palm PRC (*.prc)|*.prc|Palm PDP (*.pdb)|*.pdb";
inline constexpr const char* kPcDialogTitle = "Open PC-File";
inline constexpr const char* kPalmDialogTitle = "Open Palm-File from ";
inline constexpr const char* kCustomDirectoryName = "Custom Directory";

struct FileDialogRequest {
  std::string title;
  std::string filter;       // "label|patterns|label|patterns..."
  int32_t filterIndex = 1;  // from 1
  std::string startFolder;  // empty: the dialog's choice
  std::string fileName;
};

struct FileDialogResult {
  std::string path;
  int32_t filterIndex = 1;
};

// The open-file dialog; nothing when it was cancelled or failed.
class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  virtual std::optional<FileDialogResult> OpenFile(const FileDialogRequest& request) = 0;
};

enum class ListKey { Up, Down, PageUp, PageDown, Home, End };
// What a click on cmd_convert asks the window to do; Nothing while a clipboard conversion runs.
enum class ConvertRequest { StartRun, StopRequested, ConvertClipboard, Nothing };

class EditorModel : public RunView, public ClipboardView {
 public:
  EditorModel(DataFile& data, UserManager& users, RunFlags& flags);

  const EditorState& State() const { return state_; }
  TargetChecks InstallChecks() const { return TargetChecks{state_.installChecks}; }
  // The data file's failure since the last call, if any.
  std::string TakeDataError();

  DateFormatter formatDate = FormatDateWithLocale;
  std::function<ClipboardContent()> clipboardSource;

  // Start-up: the user entries and "Custom", the data file, the switches, the task list.
  // Returns whether the window starts hidden (record 2 says it was left in the tray).
  bool Open();
  // The last start-up step: selection, editor and scroll bar.
  void FinishStart();
  void SetRowsPerPage(int32_t rows);
  // The list shows `rows` rows now (the window was resized): a selected task in view stays in
  // view; one that comes into view is shown in the editor.
  void PageResized(int32_t rows);

  // Task list.
  void AddTask();
  void DeleteTask();
  void SaveDefault();
  // Selects `row` (whatever selected it: a click, a key, an assistive tool), scrolls it into view
  // and shows its task in the editor.
  void SelectRow(int32_t row);
  // A click on `row` at x (from the list's left edge); a click in "Sync" cycles the direction.
  ListColumn ClickItem(int32_t row, int32_t x, const ColumnBounds& columns);
  // The full path a list cell stands for: the PC file, or the document in its first target.
  std::string RowPath(int32_t row, ListColumn column);
  // The browse that a double click on the last clicked column runs.
  void DoubleClick(FileDialogs& dialogs);
  void ScrollTo(int32_t top);
  void KeyDown(ListKey key);
  void TimerTick();

  // Editor.
  void CycleAction();
  void OptionChanged(int32_t entry, bool checked);
  void TargetChanged(int32_t entry, bool checked);
  void TabSpaceEdited(const std::string& text);
  void CategoryEdited(const std::string& text);
  void PcFileEdited(const std::string& text);
  void PalmFileEdited(const std::string& text);
  void PcFileKeyPressed() { state_.lastEditedSide = kPcSide; }
  void PalmFileKeyPressed() { state_.lastEditedSide = kPalmSide; }
  void CaretPlaced() { state_.palmCaret.reset(); }
  // The user left a file box (or pressed Return in it): what it holds now is settled.
  void FileBoxLeft();
  void AutoNamingClicked(bool checked);
  void AskOverwriteClicked(bool checked);
  void ConvertOnChangeClicked(bool checked);
  void BrowsePcFile(FileDialogs& dialogs);
  void BrowsePalmFile(FileDialogs& dialogs);

  // Conversion run.
  ConvertRequest ConvertClicked();
  // The run ended; true when an exit asked for meanwhile is due now.
  bool EndRun();
  // An exit (the window's close, the tray's "Exit"): true when it may happen now; otherwise it
  // waits for the conversion going on, which a run ends after its current task.
  bool RequestExit();
  // A clipboard conversion starts (false while another conversion runs) and ends; the end
  // answers as EndRun does.
  bool BeginClipboardConversion();
  bool EndClipboardConversion();
  void ShowTask(int32_t row) override;
  void ShowOutcome(int32_t row, const TaskRecord& task, const std::string& syncSymbol) override;

  // Clip settings mode and the clipboard conversion.
  void ToggleClipSettings() override;
  void CountUpClicked(bool checked);
  void CountUpEdited(const std::string& text);
  ClipboardContent ReadClipboard() override;
  bool ClipSettingsMode() override { return state_.clipSettingsMode; }
  void EnableClipControls(bool on) override;
  bool CountUpChecked() override { return state_.countUp; }
  void ShowCounter(int32_t next) override;
  void ShowClipStatus(const std::string& status) override;

  // The window was minimized (hidden in the tray) or shown again.
  void WindowMinimized(bool minimized);

 private:
  // Runs a user action; a failure of the data file ends it and is kept for the window to show.
  void Guarded(const std::function<void()>& operation);

  static constexpr int kRefreshScrollBar = 1;
  static constexpr int kRefreshEditor = 2;
  static constexpr int kRefreshAll = kRefreshEditor | kRefreshScrollBar;

  bool SelectionVisible() const;
  void RefreshSelection(int flags);
  void SetupScrollBar();
  void ShowRow(int32_t row);
  void LoadEditor(int32_t record);
  void ClearEditor();
  void EnableEditor(bool on);
  void SwitchEditorMode(bool normal);
  bool FinishConversion();

  // Reads the record being edited (record 2 in clip settings mode, kept in the buffer), lets
  // `change` alter it and writes it back; nothing when no task is selected.
  void StoreEdit(const std::function<void(TaskRecord&)>& change);
  void TargetCheckChanged(int32_t entry);
  void EnforceSingleTarget(TaskAction action);
  void StoreTargetsAndFollowPalmBox();
  // Stores a switch of record 1.
  void StoreSwitch(void (TaskRecord::*set)(bool), bool on);
  void SetTabSpaceText(const std::string& text);
  void SetCategoryText(const std::string& text);

  void SetPcText(const std::string& text);
  void SetPalmText(const std::string& text);
  void PcFileChanged();
  void PalmFileChanged();
  void NamePalmFromPc(const std::string& name);
  void NamePcFromPalm(const std::string& name);
  // The information box of one side brought up to date, nothing stored.
  void RefreshFileInfo(bool palmSide);
  // Whether `stored` fits its field; when not, the information box says so.
  bool FitsField(const std::string& stored, std::string& info);
  // A text too long for its field is not stored: both file names go back to what they were when
  // the editing began (SettleFileNames).
  void SettleFileNames();
  void RestoreSettledFileNames();
  // Where a "Custom" document named without a folder goes: the default Palm folder, else beside
  // its PC file, else the user's documents folder; never the data folder.
  std::string DocumentFolder();
  std::string CustomDocumentPath(const std::string& path);
  bool NamingActive() const { return state_.autoNaming && !loading_; }
  std::string Info(const std::string& path, bool palmSide);
  std::string OpenDialog(FileDialogs& dialogs, bool palmSide, const std::string& startFolder,
                         const std::string& fileName, const std::string& from);

  DataFile& data_;
  UserManager& users_;
  RunFlags& flags_;
  EditorState state_;
  TaskRecord buffer_;     // the record last read for the editor; record 2 in clip settings mode
  bool loading_ = false;  // the editor loads a task: chk_autonaming grayed, nothing stored
  ListColumn clickedColumn_ = ListColumn::Sync;
  int32_t savedRow_ = 0;
  bool exitRequested_ = false;
  std::string settledPcFile_, settledPalmFile_;  // the file names when the editing began
};

}  // namespace zun
