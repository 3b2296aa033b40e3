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

QAction* MenuItem(const uitest::Window& w, const char* name) {
  return w.Find<QMenu>("mPopupSys")->findChild<QAction*>(name);
}

}  // namespace

class TrayTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  // Without a tray a minimize is an ordinary one; once a tray shows the icon, it hides the window.
  // Without a tray a minimize is an ordinary one; once a tray shows the icon, it hides the window,
  // and so does the next start.
  void minimizingHidesOnlyWhileTheIconCanBeSeen() {
    uitest::Window w;
    QVERIFY(w.Start());
    QVERIFY(w.Find<QSystemTrayIcon>("trayIcon")->isVisible());  // asked for, for when a tray comes
    w.window->setWindowState(Qt::WindowMinimized);
    QTest::qWait(20);
    QVERIFY(w.window->isVisible());
    QCOMPARE(w.Record(2).Flag2, int16_t{-1});
    MenuItem(w, "mPopRestoreWindow")->trigger();
    QCOMPARE(w.Record(2).Flag2, int16_t{0});

    w.trayShown = true;  // a tray appeared
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    w.trayShown = false;  // and went away again: the window comes back to the task bar
    QTRY_VERIFY_WITH_TIMEOUT(w.window->isVisible(), 3000);
    QVERIFY(w.window->isMinimized());

    for (const bool tray : {true, false}) {  // left in the tray last time
      w.window.reset();
      w.trayShown = tray;
      QVERIFY(w.Start());
      QCOMPARE(w.window->isVisible(), !tray);
      QVERIFY(w.window->isMinimized());
    }
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

  // Stop and "Exit" during a run: the run ends after its current task, then the program. "Exit"
  // during a clipboard conversion waits for its end too. Nothing of either lingers.
  void stopAndExitDuringAConversionWaitForItsEnd() {
    uitest::Window w;
    QVERIFY(w.Start());
    for (const std::string name : {"a", "b"}) {
      zuntest::WriteText(w.files / (name + ".txt"), "text");
      w.AddTask(2, w.files / (name + ".txt"), w.files / (name + ".pdb"));
    }
    auto* convert = w.Find<QPushButton>("cmd_convert");
    QString captions;
    bool clipboardOff = false;
    QTimer::singleShot(0, w.window.get(), [&] {
      captions = convert->text();
      convert->click();
      captions += " " + convert->text();
      clipboardOff = !MenuItem(w, "mPopConvertClipboard")->isEnabled();
      MenuItem(w, "mPopExit")->trigger();
      QVERIFY(!w.window->IsShutDown());  // not in the middle of the run
    });
    convert->click();
    QCOMPARE(captions, QString("Stop Wait"));
    QVERIFY(clipboardOff);
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("OK"));
    QCOMPARE(w.Record(4).Status.Trimmed(), std::string(""));  // the second task was not started
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
    QCOMPARE(clip.Find<QSystemTrayIcon>("trayIcon")->toolTip(), QString("ZUN2\r\n- OK"));
    QVERIFY(zuntest::Exists(clip.files / "clipboard.pdb"));
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
    auto* caption = w.Find<QLabel>("lbl_editor");
    QCOMPARE(w.Find<QPushButton>("cmd_convert")->text(), QString("Convert Clip"));
    QCOMPARE(uitest::Accessible(caption)->text(QAccessible::Name), QString(zun::kClipEditorCaption));
    QVERIFY(w.Find("chk_countup")->isVisibleTo(w.window.get()));
    QVERIFY(!w.Find("chk_autonaming")->isVisibleTo(w.window.get()));
    w.Click("cmd_clipsettings");
    QCOMPARE(w.Find<QPushButton>("cmd_convert")->text(), QString("Convert"));
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

  // No browser at all, or one named that will not start: the user is told, nothing is left.
  void withoutABrowserTheUserIsToldAndNothingIsLeft() {
    FakeBrowser none(false);
    uitest::Window w;
    QVERIFY(w.Start());
    for (const auto& [text, title] : {std::pair{"Could not find associated Browser", "Browser Not Found"},
                                      std::pair{"Web Page not Opened", "URL Failed"}}) {
      QString shown;
      uitest::AnswerNextModal([&](QWidget* modal) {
        shown = modal->windowTitle() + ": " + qobject_cast<QMessageBox*>(modal)->text();
        qobject_cast<QMessageBox*>(modal)->accept();
      });
      w.Click("img_help");
      QTRY_COMPARE(shown, QString(title) + ": " + text);
      QVERIFY(!zuntest::Exists(std::filesystem::temp_directory_path() / "temphtm.HTM"));
      QVERIFY(w.window->isVisible());  // a failure never ends the program
      zuntest::WriteText(none.dir / "data/applications/gone.desktop", "[Desktop Entry]\nExec=/no/such/browser %u\n");
      zuntest::WriteText(none.dir / "config/mimeapps.list", "[Default Applications]\ntext/html=gone.desktop;\n");
    }
  }
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"
