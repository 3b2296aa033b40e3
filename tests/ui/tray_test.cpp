// The tray and everything around it: a tray that comes later, the menu during conversions, an
// exit asked for during one, clip settings mode, help and the information window's links.
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

// A desktop whose default browser (found through mimeinfo.cache) writes the address it was given
// into a file; no other browser anywhere.
struct FakeBrowser {
  zuntest::TempDir dir;
  zuntest::ScopedEnv config{"XDG_CONFIG_HOME", dir / "config"};
  zuntest::ScopedEnv data{"XDG_DATA_HOME", dir / "data"};
  zuntest::ScopedEnv dataDirs{"XDG_DATA_DIRS", dir / "none"};
  zuntest::ScopedEnv configDirs{"XDG_CONFIG_DIRS", dir / "none"};
  zuntest::ScopedEnv browser{"BROWSER", ""};
  zuntest::ScopedEnv path{"PATH", dir / "none"};
  std::string received = dir / "received";

  explicit FakeBrowser(bool installed) {
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "data/applications");
    if (!installed) return;
    const std::string program = dir / "browser.sh";
    zuntest::WriteText(program, "#!/bin/sh\necho \"$1\" > '" + received + "'\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    zuntest::WriteText(dir / "data/applications/fake.desktop",
                       "[Desktop Entry]\nType=Application\nName=Fake\nExec=" + program + " %u\n");
    zuntest::WriteText(dir / "data/applications/mimeinfo.cache", "[MIME Cache]\ntext/html=fake.desktop;\n");
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

  // Without a tray a minimize is an ordinary one; once a tray shows the icon, it hides the window.
  void minimizingHidesOnlyWhileTheIconCanBeSeen() {
    uitest::Window w;
    QVERIFY(w.Start());
    bool tray = false;
    w.window->SetTrayProbe([&tray] { return tray; });
    QVERIFY(w.Find<QSystemTrayIcon>("trayIcon")->isVisible());  // asked for, for when a tray comes
    w.window->setWindowState(Qt::WindowMinimized);
    QTest::qWait(20);
    QVERIFY(w.window->isVisible());
    QCOMPARE(w.Record(2).Flag2, int16_t{-1});
    MenuItem(w, "mPopRestoreWindow")->trigger();
    QCOMPARE(w.Record(2).Flag2, int16_t{0});

    tray = true;  // a tray appeared
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    tray = false;  // and went away again: the window comes back to the task bar
    QTRY_VERIFY_WITH_TIMEOUT(w.window->isVisible(), 3000);
    QVERIFY(w.window->isMinimized());
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

  // "Exit" during a conversion is carried out when it ends, and nothing of it lingers.
  void anExitDuringAConversionWaitsForItsEnd() {
    uitest::Window w;
    QVERIFY(w.Start());
    zuntest::WriteText(w.files / "a.txt", "text");
    w.AddTask(2, w.files / "a.txt", w.files / "a.pdb");
    QAction* convertClipboard = MenuItem(w, "mPopConvertClipboard");
    bool offDuringRun = false;
    QTimer::singleShot(0, w.window.get(), [&] {
      offDuringRun = !convertClipboard->isEnabled();
      MenuItem(w, "mPopExit")->trigger();
      QVERIFY(!w.window->IsShutDown());  // not in the middle of the run
    });
    w.Click("cmd_convert");
    QVERIFY(offDuringRun);
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("OK"));
    QVERIFY(w.window->IsShutDown());

    uitest::Window clip;
    QVERIFY(clip.Start());
    QApplication::clipboard()->setText(QString(300000, 'c'));
    QTimer::singleShot(0, clip.window.get(), [&] {
      QVERIFY(clip.window->Model().State().runState == zun::RunState::Clipboard);
      MenuItem(clip, "mPopExit")->trigger();
      QVERIFY(!clip.window->IsShutDown());
    });
    MenuItem(clip, "mPopConvertClipboard")->trigger();
    QCOMPARE(clip.Record(2).Status.Trimmed(), std::string("OK"));
    QVERIFY(clip.window->IsShutDown());
    QVERIFY(!zuntest::Exists(clip.programDir / "zunclip.tmp"));
  }

  void clipSettingsModeIsShownAndSaid() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.Click("cmd_new");
    w.Click("cmd_new");
    w.ClickRow(1);
    w.Click("cmd_clipsettings");
    auto* convert = w.Find<QPushButton>("cmd_convert");
    auto* clip = w.Find<QPushButton>("cmd_clipsettings");
    auto* caption = w.Find<QLabel>("lbl_editor");
    QCOMPARE(convert->text(), QString("Convert Clip"));
    QCOMPARE(clip->text(), QString("Done"));
    QCOMPARE(clip->toolTip(), QString("exit clipboard settings"));
    QCOMPARE(caption->text(), QString(zun::kClipEditorCaption));
    QCOMPARE(uitest::Accessible(caption)->text(QAccessible::Name), QString(zun::kClipEditorCaption));
    QVERIFY(w.Find("chk_countup")->isVisibleTo(w.window.get()));
    QVERIFY(!w.Find("chk_autonaming")->isVisibleTo(w.window.get()));
    QVERIFY(!w.Find("lvw_tasks")->isEnabled());
    w.Click("cmd_clipsettings");
    QCOMPARE(convert->text(), QString("Convert"));
    QCOMPARE(convert->toolTip(), QString("convert all tasks"));
    QCOMPARE(caption->text(), QString(zun::kTaskEditorCaption));
    QCOMPARE(w.Highlighted(), 1);
  }

  void helpAndTheLinksOpenInTheDesktopsBrowser() {
    FakeBrowser browser(true);
    uitest::Window w;
    QVERIFY(w.Start());
    // An assistive tool's press returns at once; the browser starts afterwards.
    uitest::Accessible(w.Find("img_help"))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(WaitForFile(browser.received), "file://" + w.programDir.Path() + "help/help.htm\n");
    QVERIFY(!zuntest::Exists(std::filesystem::temp_directory_path() / "temphtm.HTM"));
    std::filesystem::remove(browser.received);

    bool pressReturned = false;
    uitest::AnswerNextModal([&](QWidget* modal) {
      QVERIFY(pressReturned);  // the information window did not hold the press
      QCOMPARE(modal->objectName(), QString("frmInfo"));
      QCOMPARE(modal->findChild<QLabel*>("lbl_version")->text(), QString("Version 1.07"));
      auto* home = modal->findChild<QLabel*>("lbl_home");
      QCOMPARE(home->toolTip(), QString("open browser with ZUN2 home"));
      home->setFocus();
      QTest::keyClick(home, Qt::Key_Return);  // Enter follows the focused link
      QVERIFY(modal->isVisible());
      modal->findChild<QAbstractButton*>("cmd_ok")->click();
    });
    uitest::Accessible(w.Find("img_pelko"))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    pressReturned = true;
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
    QTRY_COMPARE(text, QString("Could not find associated Browser"));
    QCOMPARE(title, QString("Browser Not Found"));
    QVERIFY(!zuntest::Exists(std::filesystem::temp_directory_path() / "temphtm.HTM"));
    QVERIFY(w.window->isVisible());  // a failure never ends the program

    // A browser that is named but will not start.
    zuntest::WriteText(none.dir / "data/applications/gone.desktop", "[Desktop Entry]\nExec=/no/such/browser %u\n");
    zuntest::WriteText(none.dir / "config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop;\n");
    text.clear();
    uitest::AnswerNextModal([&](QWidget* modal) {
      text = qobject_cast<QMessageBox*>(modal)->text();
      qobject_cast<QMessageBox*>(modal)->accept();
    });
    w.Click("img_help");
    QTRY_COMPARE(text, QString("Web Page not Opened"));
  }
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"
