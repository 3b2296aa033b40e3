// Everything the main window shows, as plain data. The window mirrors it into its widgets.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "editor/list_geometry.h"
#include "record/task_record.h"

namespace zun {

inline constexpr const char* kConvertCaption = "Convert";
inline constexpr const char* kStopCaption = "Stop";
inline constexpr const char* kWaitCaption = "Wait";
inline constexpr const char* kConvertClipCaption = "Convert Clip";
inline constexpr const char* kConvertTip = "convert all tasks";
inline constexpr const char* kConvertClipTip = "convert clipboard";
inline constexpr const char* kClipSetupCaption = "Clip Setup";
inline constexpr const char* kClipSetupTip = "clipboard settings";
inline constexpr const char* kClipDoneCaption = "Done";
inline constexpr const char* kClipDoneTip = "exit clipboard settings";
// The caption of the editor's frame says which task the editor shows.
inline constexpr const char* kTaskEditorCaption = "Selected task";
inline constexpr const char* kClipEditorCaption = "Clipboard task settings";

inline constexpr int32_t kNoTaskPicture = 5;
inline constexpr int32_t kPcSide = 3;    // LastEditedSide: the PC file box
inline constexpr int32_t kPalmSide = 2;  // LastEditedSide: the Palm file box

// Colours in the Windows blue-green-red order, as the window's shapes take them.
inline constexpr uint32_t kTasksColour = 0x00FF00;
inline constexpr uint32_t kNoTasksColour = 0x80FF80;
inline constexpr uint32_t kClipModeEndColour = 0x00FF00;
inline constexpr uint32_t kClipShapeColour = 0xC0C000;

// A conversion run over the task list, or a clipboard conversion, and whether Stop was asked for.
enum class RunState { Idle, Running, Stopping, Clipboard };

struct TaskRow {
  TaskAction action = TaskAction::NoConversion;  // as shown: 1-4
  std::string sync;                              // "", " OK", " ?" or " -"
  std::string pcName;
  std::string palmName;
  bool operator==(const TaskRow&) const = default;
};

// Enabled, read-only and visible states of the controls.
struct ControlStates {
  bool list = true, scroll = true, newTask = true, convert = false, clipSettings = true, exit = true;
  bool autoNaming = true, askOverwrite = true, switchesVisible = true;
  // The editor (EnableEditor and clip settings mode).
  bool action = false, browsePc = false, browsePalm = false, deleteTask = false, saveDefault = false;
  bool tabSpace = false, category = false, install = false, options = false, statusLabel = false;
  bool pcFileLocked = true, palmFileLocked = true, tabSpaceLocked = false, categoryLocked = false;
  // Clip settings mode only.
  bool countUpVisible = false, countUp = true, countUpTextLocked = false;
};

struct EditorState {
  // Task list.
  std::vector<TaskRow> rows;
  TaskRow& Row(int32_t row) { return rows[static_cast<size_t>(row - 1)]; }  // from 1
  int32_t selected = 0;                                                     // row from 1; 0: none
  int32_t top = 1;                                                          // top visible row, the value of VScroll1
  int32_t rowsPerPage = 10;
  ScrollRange scroll;
  int32_t bandRow = 0;  // the row the selection band joins to the editor; 0: at rest
  uint32_t listShapeColour = kNoTasksColour;
  bool timerRunning = true;  // Timer1 pulses cmd_new while the list is empty
  bool newButtonEnlarged = false;

  // Editor.
  std::vector<std::string> installEntries;  // the users, then "Custom"
  std::vector<bool> installChecks;
  std::array<bool, kOptionCount> optionChecks{};
  int32_t actionPicture = kNoTaskPicture;
  std::string pcFileText, palmFileText, pcFileInfo, palmFileInfo, statusText, tabSpaceText, categoryText;
  std::optional<size_t> palmCaret;  // set when ".pdb" was added: the caret goes just before it
  int32_t loads = 0;                // counts the tasks loaded: the boxes then show their texts from the beginning

  // Switches and buttons.
  bool autoNaming = true;
  bool askOverwrite = true;
  bool convertOnChange = false;
  RunState runState = RunState::Idle;
  ControlStates controls;

  // Clip settings mode.
  bool clipSettingsMode = false;
  bool countUp = false;
  std::string countUpText;
  uint32_t clipShapeColour = kClipShapeColour;
  bool clipShapesHighlighted = false;

  int32_t lastEditedSide = 0;
  bool editorLoading = false;
  std::string dataError;  // set when the data file failed; the window shows it

  // The captions follow the state: cmd_convert reads "Convert", "Stop", "Wait" or "Convert Clip".
  const char* ConvertCaption() const;
  const char* ConvertTip() const { return clipSettingsMode ? kConvertClipTip : kConvertTip; }
  const char* ClipCaption() const { return clipSettingsMode ? kClipDoneCaption : kClipSetupCaption; }
  const char* ClipTip() const { return clipSettingsMode ? kClipDoneTip : kClipSetupTip; }
  const char* EditorCaption() const { return clipSettingsMode ? kClipEditorCaption : kTaskEditorCaption; }
  // The editor keeps its enabled states during a run and in clip settings mode.
  bool EditorFrozen() const {
    return clipSettingsMode || runState == RunState::Running || runState == RunState::Stopping;
  }
  // The tray menu's "Convert Clipboard": not while a conversion is going on.
  bool ClipboardConversionAllowed() const { return runState == RunState::Idle; }
  // "Convert on change" may start a run: nothing else goes on, and the editor shows a task.
  bool UnattendedRunAllowed() const { return runState == RunState::Idle && !clipSettingsMode; }
};

inline const char* EditorState::ConvertCaption() const {
  if (clipSettingsMode) return kConvertClipCaption;
  if (runState == RunState::Running) return kStopCaption;
  if (runState == RunState::Stopping) return kWaitCaption;
  return kConvertCaption;
}

}  // namespace zun
