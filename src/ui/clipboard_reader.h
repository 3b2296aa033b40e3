// Reading the clipboard's text without freezing the window. Under X11 the text comes from the
// program that owns the clipboard, and Qt waits for it with the event loop stopped (5 s for each
// of its requests). So there a helper process (this program with kClipboardHelperOption) reads
// it while the window keeps running its events, and an owner that has not answered within
// kClipboardWaitMs is reported as silent. Wayland hands the text over through a pipe that Qt
// reads with a timeout of its own; there, and for text this program owns, Qt reads it directly.
#pragma once
#include <QString>

#include "clipboard/clipboard_conversion.h"

namespace zun::ui {

inline constexpr const char* kClipboardHelperOption = "--clipboard-helper";
inline constexpr int kClipboardWaitMs = 3000;

// `helper` is the program to start with kClipboardHelperOption; empty: read directly.
ClipboardContent ReadClipboard(const QString& helper);

// The helper's whole run: prints the clipboard's text as UTF-8; exit status 0, or 3 when the
// clipboard holds no text.
int RunClipboardHelper(int argc, char** argv);

}  // namespace zun::ui
