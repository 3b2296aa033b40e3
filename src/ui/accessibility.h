// What assistive technology sees of the window: the main window as a frame without its
// decorations, and text boxes that are editable only while they accept input.
#pragma once

namespace zun::ui {

// Set on a top-level widget to have it seen as a frame (an application's main window).
inline constexpr const char* kFrameProperty = "zunFrame";

// Once per program, before the first window is shown.
void InstallAccessibility();

}  // namespace zun::ui
