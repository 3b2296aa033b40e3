// The tray and everything around it: the menu, minimizing, the clipboard, clip settings mode,
// help and the information window's browser links.
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <filesystem>

#include "ui_support.h"

namespace {

// A default browser that writes the address it was given into a file.
struct FakeBrowser {
  zuntest::TempDir dir;
  zuntest::ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};
  zuntest::ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
  zuntest::ScopedEnv dataDirs{"XDG_DATA_DIRS", dir / "none"};
  zuntest::ScopedEnv configDirs{"XDG_CONFIG_DIRS", dir / "none"};
  std::string received = dir / "received";

  explicit FakeBrowser(bool installed) {
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "data/applications");
    if (!installed) return;
    const std::string program = dir / "browser.sh";
    zuntest::WriteText(program, "#!/bin/sh\necho \"$1\" > '" + received + "'\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    zuntest::WriteText(dir / "data/applications/fake.desktop", "[Desktop Entry]\nType=Application\nName=Fake\nExec=" +
                                                                  program + " %u\n");
    zuntest::WriteText(dir / "config/mimeapps.list", "[Default Applications]\ntext/html=fake.desktop;\n");
  }
};

std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 200 && !zuntest::Exists(path); ++i) QTest::qWait(10);
  QTest::qWait(20);
  return zuntest::Exists(path) ? zuntest::ReadText(path) : std::string();
}

QAction* MenuItem(const uitest::Window& w, const char* name) { return w.Find<QMenu>("mPopupSys")->findChild<QAction*>(name); }

}  // namespace

class TrayTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  void minimizingAndRestoringAreRemembered() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.window->setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    QCOMPARE(w.Record(2).Flag2, int16_t{-1});
    MenuItem(w, "mPopRestoreWindow")->trigger();
    QVERIFY(!w.window->isMinimized());
    QVERIFY(w.window->isVisible());
    QCOMPARE(w.Record(2).Flag2, int16_t{0});
  }

  void trayActivityWaitsWhileAPromptIsOpen() {
    uitest::Window w;
    QVERIFY(w.Start());
    zuntest::WriteText(w.files / "a.txt", "text");
    zuntest::WriteText(w.files / "a.pdb", "old");
    w.AddTask(2, w.files / "a.txt", w.files / "a.pdb");
    auto* tray = w.Find<QSystemTrayIcon>("trayIcon");
    w.window->SetTrayIcon(5, "busy");
    QString tipDuringPrompt = "unset";
    uitest::AnswerNextModal([&](QWidget* modal) {
      w.window->TrayActivated(QSystemTrayIcon::Trigger);  // would reset the tip to "ZUN2"
      w.window->TrayActivated(QSystemTrayIcon::DoubleClick);
      tipDuringPrompt = tray->toolTip();
      modal->findChild<QAbstractButton*>("cmd_skip")->click();
    });
    w.Click("cmd_convert");
    QCOMPARE(tipDuringPrompt, QString("busy"));
    w.window->TrayActivated(QSystemTrayIcon::Trigger);
    QCOMPARE(tray->toolTip(), QString("ZUN2"));
  }

  void convertsTheClipboardFromTheMenu() {
    uitest::Window w;
    QVERIFY(w.Start());
    auto* tray = w.Find<QSystemTrayIcon>("trayIcon");
    QCOMPARE(tray->toolTip(), QString("ZUN2"));
    const QList<QAction*> items = w.Find<QMenu>("mPopupSys")->actions();
    QCOMPARE(items.size(), 4);
    QVERIFY(items[2]->isSeparator());
    QCOMPARE(items[3]->text(), QString("&Exit"));
    QApplication::clipboard()->clear();
    MenuItem(w, "mPopConvertClipboard")->trigger();
    QCOMPARE(tray->toolTip(), QString("ZUN2\r\n- clipboard was empty"));
    QCOMPARE(w.Record(2).Status.Trimmed(), std::string("clipboard was empty"));

    QApplication::clipboard()->setText("Text from the clipboard");
    MenuItem(w, "mPopConvertClipboard")->trigger();
    QCOMPARE(tray->toolTip(), QString("ZUN2\r\n- OK"));
    QCOMPARE(w.Record(2).Status.Trimmed(), std::string("OK"));
    QVERIFY(zuntest::Exists(w.files / "clipboard.pdb"));
    QCOMPARE(w.Find<QPushButton>("cmd_convert")->text(), QString("Convert"));  // clip settings left again
    QVERIFY(!zuntest::Exists(w.programDir / "zunclip.tmp"));
  }

  void clipSettingsRoundTrip() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.Click("cmd_new");
    w.Click("cmd_new");
    w.ClickRow(1);
    w.Click("cmd_clipsettings");
    auto* convert = w.Find<QPushButton>("cmd_convert");
    auto* clip = w.Find<QPushButton>("cmd_clipsettings");
    QCOMPARE(convert->text(), QString("Convert Clip"));
    QCOMPARE(convert->toolTip(), QString("convert clipboard"));
    QCOMPARE(clip->text(), QString("Done"));
    QCOMPARE(clip->toolTip(), QString("exit clipboard settings"));
    QVERIFY(w.Find("chk_countup")->isVisible());
    QVERIFY(!w.Find("chk_autonaming")->isVisible());
    QVERIFY(!w.Find("lvw_tasks")->isEnabled());
    auto* counter = w.Find<QLineEdit>("txt_countup");
    counter->clear();
    QTest::keyClicks(counter, "1234");
    QCOMPARE(counter->text(), QString("123"));
    QCOMPARE(w.Record(2).Counter, int16_t{123});
    w.Click("cmd_clipsettings");
    QCOMPARE(convert->text(), QString("Convert"));
    QCOMPARE(convert->toolTip(), QString("convert all tasks"));
    QCOMPARE(clip->text(), QString("Clip Setup"));
    QCOMPARE(w.Tasks()->currentItem(), w.Tasks()->topLevelItem(0));
    QVERIFY(w.Find("chk_autonaming")->isVisible());
  }

  void helpAndTheHomeLinkOpenInTheDefaultBrowser() {
    FakeBrowser browser(true);
    uitest::Window w;
    QVERIFY(w.Start());
    w.Click("img_help");
    QCOMPARE(WaitForFile(browser.received), "file://" + w.programDir.Path() + "help/help.htm\n");
    QVERIFY(!zuntest::Exists(std::filesystem::temp_directory_path() / "temphtm.HTM"));
    std::filesystem::remove(browser.received);
    uitest::AnswerNextModal([](QWidget* modal) {
      QCOMPARE(modal->objectName(), QString("frmInfo"));
      QVERIFY(modal->findChild<QLabel*>("lbl_version")->text() == "Version 1.07");
      auto* home = modal->findChild<QLabel*>("lbl_home");
      QCOMPARE(home->toolTip(), QString("open browser with ZUN2 home"));
      emit home->linkActivated(home->property("tag").toString());
      modal->findChild<QAbstractButton*>("cmd_ok")->click();
    });
    w.Click("img_pelko");
    QCOMPARE(WaitForFile(browser.received), "file://" + w.programDir.Path() + "help/help.htm#updates\n");
  }

  void withoutABrowserTheUserIsToldAndNothingIsLeft() {
    FakeBrowser none(false);
    uitest::Window w;
    QVERIFY(w.Start());
    QString text, title;
    uitest::AnswerNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      text = box->text();
      title = box->windowTitle();
      box->accept();
    });
    w.Click("img_help");
    QCOMPARE(text, QString("Could not find associated Browser"));
    QCOMPARE(title, QString("Browser Not Found"));
    QVERIFY(!zuntest::Exists(std::filesystem::temp_directory_path() / "temphtm.HTM"));
    QVERIFY(w.window->isVisible());  // a failure never ends the program

    // A browser that is named but will not start.
    zuntest::WriteText(none.dir / "data/applications/gone.desktop", "[Desktop Entry]\nExec=/no/such/browser %u\n");
    zuntest::WriteText(none.dir / "config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop;\n");
    uitest::AnswerNextModal([&](QWidget* modal) {
      text = qobject_cast<QMessageBox*>(modal)->text();
      qobject_cast<QMessageBox*>(modal)->accept();
    });
    w.Click("img_help");
    QCOMPARE(text, QString("Web Page not Opened"));
  }

};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"
