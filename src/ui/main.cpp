// zun2: the window. The program folder is the current folder: the data file, the temporary
// files and the help page lie there.
#include <QApplication>

#include "glue/codec_loader.h"
#include "glue/paths.h"
#include "hotsync/jpilot_users.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);  // a window hidden in the tray is still running
  zun::ui::StartOptions options;
  options.programDir = zun::CurrentDirectoryWithSeparator();
  options.codecFolders = zun::CodecSearchFolders();
  auto users = std::make_unique<zun::JPilotUsers>();
  options.handheldCharset = zun::HandheldCharsetFor(users->Settings().charSet);
  options.users = std::move(users);
  zun::ui::MainWindow window(std::move(options));
  if (!window.Start()) return 1;
  return QApplication::exec();
}
