// Clip settings mode: the editor shows and edits the clipboard task, record 2.
#include <algorithm>
#include <cstdio>

#include "editor/editor_model.h"
#include "editor/number_text.h"
#include "glue/paths.h"

namespace zun {
namespace {

constexpr size_t kCounterLength = 3;

// The counter as the box shows it; a stored number out of range shows as the nearest in range.
std::string ThreeDigits(int32_t number) {
  char text[16];
  std::snprintf(text, sizeof text, "%03d", std::clamp<int32_t>(number, 0, kMaxCounter));
  return text;
}

}  // namespace

void EditorModel::ToggleClipSettings() {
  Guarded([&] {
    // The captions of cmd_convert and cmd_clipsettings follow the mode.
    if (!state_.clipSettingsMode) {
      state_.clipSettingsMode = true;
      LoadEditor(kClipboardRecord);
      state_.countUpText = ThreeDigits(buffer_.Counter);
      state_.countUp = buffer_.CountUp();
      SwitchEditorMode(false);
    } else {
      SwitchEditorMode(true);
      state_.clipShapeColour = kClipShapeColour;
      state_.clipSettingsMode = false;
      RefreshSelection(kRefreshEditor);
    }
  });
}

void EditorModel::SwitchEditorMode(bool normal) {
  ControlStates& c = state_.controls;
  c.list = c.scroll = c.browsePc = c.deleteTask = c.newTask = c.saveDefault = c.action = normal;
  c.palmFileLocked = normal;
  c.pcFileLocked = !normal;
  c.countUpVisible = !normal;
  c.switchesVisible = normal;
  c.convert = c.browsePalm = c.install = c.options = c.tabSpace = c.category = !normal;
  if (normal) {
    if (!state_.rows.empty()) state_.selected = savedRow_;
    state_.clipShapeColour = kClipShapeColour;
    state_.clipShapesHighlighted = false;
    return;
  }
  state_.timerRunning = false;
  if (state_.newButtonEnlarged) TimerTick();
  savedRow_ = 0;
  if (!state_.rows.empty()) {
    savedRow_ = state_.selected;
    state_.selected = 0;
  }
  state_.pcFileInfo.clear();  // the PC side of the clipboard task is the clipboard
  state_.listShapeColour = kNoTasksColour;
  state_.bandRow = 0;
  state_.clipShapesHighlighted = true;
}

void EditorModel::EnableClipControls(bool on) {
  ControlStates& c = state_.controls;
  c.convert = c.browsePalm = c.clipSettings = c.exit = c.options = c.install = c.countUp = on;
  c.palmFileLocked = c.countUpTextLocked = c.tabSpaceLocked = c.categoryLocked = !on;
}

void EditorModel::CountUpEdited(const std::string& text) {
  const NumberBox box = ReadNumberBox(text, kCounterLength, kMaxCounter);
  state_.countUpText = box.text;
  Guarded([&] {
    buffer_ = data_.Read(kClipboardRecord);
    buffer_.Counter = static_cast<int16_t>(box.value);
    data_.Write(kClipboardRecord, buffer_);
  });
}

void EditorModel::CountUpClicked(bool checked) {
  state_.countUp = checked;
  Guarded([&] {
    buffer_.SetCountUp(checked);  // the buffer holds record 2 in this mode
    data_.Write(kClipboardRecord, buffer_);
  });
}

ClipboardContent EditorModel::ReadClipboard() { return clipboardSource ? clipboardSource() : ClipboardContent{}; }

void EditorModel::ShowCounter(int32_t next) { state_.countUpText = ThreeDigits(next); }

void EditorModel::ShowClipStatus(const std::string& status) {
  state_.statusText = TrimTrailingBlanks(status);
  // The conversion stored record 2; later edits in this mode build on what it stored. Its
  // document may be new now.
  Guarded([&] {
    buffer_ = data_.Read(kClipboardRecord);
    state_.palmFileInfo = Info(state_.palmFileText, true);
  });
}

}  // namespace zun
