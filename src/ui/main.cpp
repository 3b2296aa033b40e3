// zun2: the window. The program folder is the current folder: the data file, the temporary
// files and the help page lie there.
#include <QApplication>
#include <cstdio>
#include <cstring>

#include "glue/codec_loader.h"
#include "glue/paths.h"
#include "hotsync/jpilot_users.h"
#include "ui/clipboard_reader.h"
#include "ui/desktop.h"
#include "ui/main_window.h"
#include "zun2_version.h"

int main(int argc, char** argv) {
  // The window's own helper that reads an X11 clipboard while the window goes on running.
  if (argc >= 2 && std::strcmp(argv[1], zun::ui::kClipboardHelperOption) == 0) {
    return zun::ui::RunClipboardHelper(argc, argv);
  }
  // Answered before Qt starts, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::puts("zun2 (ZUN2) " ZUN2_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") == 0) {
      std::puts(
          "usage: zun2 [Qt options]\n"
          "The ZUN2 window. Its data file zundata.dat lies in the current folder;\n"
          "zun2-start starts the window in its own data folder. See zun2(1).\n"
          "  --help     show this text\n"
          "  --version  show the version");
      return 0;
    }
  }
  zun::ui::SetApplicationIdentity();
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // a window hidden in the tray is still running
  zun::ui::StartOptions options;
  options.clipboardHelper = QCoreApplication::applicationFilePath().toStdString();
  options.programDir = zun::CurrentDirectoryWithSeparator();
  options.codecFolders = zun::CodecSearchFolders();
  auto users = std::make_unique<zun::JPilotUsers>();
  options.handheldCharset = zun::HandheldCharsetFor(users->Settings().charSet);
  options.users = std::move(users);
  zun::ui::MainWindow window(std::move(options));
  // A window already running on this folder came forward: this launch has done its job.
  if (!window.Start()) return window.HandedOver() ? 0 : 1;
  return QApplication::exec();
}
