// What assistive technology sees of the window: the main window as a frame without its
// decorations, text boxes that are editable only while they accept input, links that are links,
// and check lists whose entries Toggle checks.
#pragma once

class QAccessibleInterface;
class QListWidget;

namespace zun::ui {

// Set on a top-level widget to have it seen as a frame (an application's main window).
inline constexpr const char* kFrameProperty = "zunFrame";
// A label with this property (its address) is a link; set it before the label's text.
inline constexpr const char* kLinkProperty = "tag";

// Once per program, before the first window is shown.
void InstallAccessibility();

// A list of check boxes (lst_install, lst_options): entries whose Toggle checks and unchecks them.
QAccessibleInterface* CheckListAccessible(QListWidget* list);

}  // namespace zun::ui
