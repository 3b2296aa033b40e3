// What the desktop around the window offers and expects: its name for docks and launchers, the
// kind of tray that shows the icon, whether a minimize can be seen.
#pragma once

namespace zun::ui {

// The window class (X11's WM_CLASS, the desktop entry's StartupWMClass).
inline constexpr const char* kWindowClass = "zun2";

// Names the application after its desktop entry, so that docks and launchers group the window
// with it (X11 by the window class, Wayland by the app ID). Call before the window is made.
void SetApplicationIdentity();

// Whether the tray icon is a StatusNotifierItem on the session bus (KDE Plasma, GNOME with the
// AppIndicator extension, XFCE's plugin): such a host reports a single click on the icon as the
// item's activation.
bool IconIsNotifierItem();

// Whether the platform tells the window when it is minimized. Wayland's xdg-shell does not: a
// minimize by the compositor (its title bar, the task bar, a shortcut) goes unseen, and a window
// cannot know whether a minimize it asked for happened.
bool MinimizeIsReported();

}  // namespace zun::ui
