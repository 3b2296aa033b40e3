// The program's own pictures, painted: directions, list icons, tray frames, the prompts' icon.
#pragma once
#include <QIcon>
#include <QPixmap>

namespace zun::ui {

// The tray's resting picture; 2-8 follow it while a conversion runs.
inline constexpr int kTrayRestFrame = 1;

// 1 black cross, 2 red arrow left, 3 blue arrow right, 4 both arrows, 5 yellow question mark.
QPixmap DirectionPicture(int number, int size = 32);
// What picture `number` says, for a screen reader: "no conversion" ... "no task".
const char* DirectionName(int number);
// The task list's small icon for an Action (1-4).
QIcon ListIcon(int action);
// Frames 1-8 animate a conversion, 9 shows a clipboard success, 10 a failure. Painted once.
const QIcon& TrayFrame(int frame);
QIcon ProgramIcon();
QPixmap PromptPicture();
QPixmap HelpPicture();
QPixmap InfoPicture();

}  // namespace zun::ui
