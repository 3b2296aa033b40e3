// The program's own pictures, painted: directions, list icons, tray frames, the prompts' icon.
// Pictures shown in the window are painted for the background they stand on, in colours that
// keep at least 3:1 contrast to it, light or dark palette, highlighted or not.
#pragma once
#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QPixmap>
#include <initializer_list>

namespace zun::ui {

// The tray's resting picture; 2-8 follow it while a conversion runs.
inline constexpr int kTrayRestFrame = 1;

// The contrast ratio of two colours (1 to 21), from their relative luminance.
double ContrastRatio(const QColor& a, const QColor& b);
// `colour`, made lighter or darker as little as needed to stand out from every background.
QColor Legible(const QColor& colour, std::initializer_list<QColor> backgrounds);

// 1 black cross, 2 red arrow left, 3 blue arrow right, 4 both arrows, 5 yellow question mark;
// the colours as legible on each of the backgrounds as they must be.
QPixmap DirectionPicture(int number, std::initializer_list<QColor> backgrounds, int size = 32);
// img_action's icon: the same picture whether the button is enabled or not.
QIcon DirectionIcon(int number, const QPalette& palette);
// What picture `number` says, for a screen reader: "no conversion" ... "no task".
const char* DirectionName(int number);
// The task list's small icon for an Action (1-4): for the list's base and for its highlight.
QIcon ListIcon(int action, const QPalette& palette);
// Frames 1-8 animate a conversion, 9 shows a clipboard success, 10 a failure. Painted once.
const QIcon& TrayFrame(int frame);
QIcon ProgramIcon();
QPixmap PromptPicture(const QPalette& palette);
QIcon HelpPicture(const QPalette& palette);
QIcon InfoPicture(const QPalette& palette);

}  // namespace zun::ui
