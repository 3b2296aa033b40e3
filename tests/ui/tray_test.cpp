// The tray and everything around it: a tray that comes later, the tray and the menu during
// conversions, an exit asked for during one, help and the information window's links.
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTimer>
#include <filesystem>

#include "ui_support.h"

namespace {

using uitest::FakeDesktop;

}  // namespace

class TrayTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

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
    w.MenuItem("mPopRestoreWindow")->trigger();
    QCOMPARE(w.Record(2).Flag2, int16_t{0});

    w.trayShown = true;  // a tray appeared
    w.window->SetTrayIcon(5, "busy");
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    QCOMPARE(w.Find<QSystemTrayIcon>("trayIcon")->toolTip(), QString("busy"));
    w.window->TrayActivated(QSystemTrayIcon::Trigger);  // the icon back at rest
    QCOMPARE(w.Find<QSystemTrayIcon>("trayIcon")->toolTip(), QString("ZUN2"));
    w.window->TrayActivated(QSystemTrayIcon::DoubleClick);  // the window back
    QTRY_VERIFY(w.window->isVisible() && !w.window->isMinimized());
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    w.trayShown = false;  // and went away again: the window comes back to the task bar
    QTRY_VERIFY_WITH_TIMEOUT(w.window->isVisible(), 3000);
    QVERIFY(w.window->isMinimized());

    for (const bool tray : {false, true}) {  // left in the tray last time
      w.window.reset();
      w.trayShown = tray;
      QVERIFY(w.Start());
      QVERIFY(w.window->isVisible() == !tray && w.window->isMinimized() == !tray);
    }
    w.window->TrayActivated(QSystemTrayIcon::DoubleClick);  // and back out of it
    QTRY_VERIFY(w.window->isVisible());
    QCOMPARE(w.Record(2).Flag2, int16_t{0});
  }

  // A second launch on the folder brings the running window forward, also out of the tray, and
  // ends quietly. A folder held by something that is no window (a zundoc run) still gets the
  // message, and the launch ends before touching anything.
  void aSecondLaunchBringsTheRunningWindowForward() {
    zuntest::TempDir runtime;
    zuntest::ScopedEnv runtimeDir{"XDG_RUNTIME_DIR", runtime.Path()};
    uitest::Window w;
    {
      zun::DataFile held(w.programDir.Path());
      held.OpenAndCheck();
      const zuntest::Bytes before = w.Data();
      QString shown;
      uitest::AnswerMessage(shown);
      QVERIFY(!w.Start());
      QVERIFY2(shown.contains(QString::fromStdString("is using " + w.programDir.Path())), qPrintable(shown));
      QVERIFY(!w.window->HandedOver());
      QCOMPARE(w.Data(), before);  // ended before touching anything
    }
    w.trayShown = true;
    QVERIFY(w.Start());
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    QProcess second;
    second.setWorkingDirectory(QString::fromStdString(w.programDir.Path()));
    second.start(ZUN2_BIN_DIR "/zun2", {});
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(w.window->isVisible() && !w.window->isMinimized());
    QCOMPARE(w.Record(2).Flag2, int16_t{0});
  }

  // While a prompt of a run is open the editor is frozen, the tray waits and "Convert Clipboard"
  // is off; "Exit" then stops the run after its current task and ends the program at its end.
  // "Exit" during a clipboard conversion waits for its end too. Nothing of either lingers.
  void anExitDuringAConversionWaitsForItsEnd() {
    uitest::Window w;
    for (const std::string name : {"a", "b"}) zuntest::WriteText(w.files / (name + ".txt"), "text");
    zuntest::WriteText(w.files / "a.pdb", "old");
    w.Seed({{zun::TaskAction::PcToPalm, w.files / "a.txt", w.files / "a.pdb"},
            {zun::TaskAction::PcToPalm, w.files / "b.txt", w.files / "b.pdb"}});
    QVERIFY(w.Start());
    auto* tray = w.Find<QSystemTrayIcon>("trayIcon");
    auto* convert = w.Find<QPushButton>("cmd_convert");
    w.window->SetTrayIcon(5, "busy");  // what the tray's activation would reset
    QStringList seen;                  // checked once the prompt is answered
    uitest::AnswerNextModal([&](QWidget* modal) {
      w.window->TrayActivated(QSystemTrayIcon::Trigger);
      w.window->TrayActivated(QSystemTrayIcon::DoubleClick);
      const bool frozen = !w.Find("img_action")->isEnabled() && w.Find<QLineEdit>("txt_pcfile")->isReadOnly();
      seen << tray->toolTip() << convert->text().remove('&') << (frozen ? "frozen" : "editable")
           << (w.MenuItem("mPopConvertClipboard")->isEnabled() ? "clipboard on" : "clipboard off");
      w.MenuItem("mPopExit")->trigger();
      seen << convert->text().remove('&') << (w.window->IsShutDown() ? "ended" : "running");  // not in the run's middle
      modal->findChild<QAbstractButton*>("cmd_yes")->click();
    });
    convert->click();
    QCOMPARE(seen.join(","), QString("busy,Stop,frozen,clipboard off,Wait,running"));
    // The task in hand finished, the second one not started.
    QVERIFY(w.Record(3).Status.Trimmed() == "OK" && w.Record(4).Status.Trimmed().empty());
    QVERIFY(w.window->IsShutDown());

    uitest::Window clip;
    QVERIFY(clip.Start());
    QApplication::clipboard()->setText(QString(300000, 'c'));
    QTimer::singleShot(0, clip.window.get(), [&] {
      QVERIFY(clip.window->Model().State().runState == zun::RunState::Clipboard);
      clip.MenuItem("mPopExit")->trigger();
      QVERIFY(!clip.window->IsShutDown());
    });
    clip.MenuItem("mPopConvertClipboard")->trigger();
    QCOMPARE(clip.Find<QSystemTrayIcon>("trayIcon")->toolTip(), QString("ZUN2\r\n- OK"));
    QVERIFY(zuntest::Exists(clip.files / "clipboard.pdb"));
    QVERIFY(clip.window->IsShutDown());
    QVERIFY(!zuntest::Exists(clip.programDir / "zunclip.tmp"));
  }

  // "Convert on change": off in a data file from before the switch, stored in record 1 and read
  // back; while it is on, a saved text is converted also with the window hidden in the tray, and
  // the tray's tip tells when and how the last automatic run went.
  void convertOnChangeRunsWhileHiddenAndTheTipTellsHowItWent() {
    uitest::Window w;
    const std::string text = w.files / "notes.txt";
    const std::string document = w.files / "notes.pdb";
    zuntest::WriteText(text, "first\n");
    w.Seed({{zun::TaskAction::BothWays, text, document}});
    QVERIFY(w.Start());
    auto* convertOnChange = w.Find<QCheckBox>("chk_convertonchange");
    QVERIFY(!convertOnChange->isChecked());
    QCOMPARE(w.Record(1).Reserved.str(), std::string(20, ' '));
    convertOnChange->click();
    QCOMPARE(w.Record(1).Reserved.At(0), '1');
    QTRY_VERIFY_WITH_TIMEOUT(zuntest::Exists(document), 30000);  // what changed before runs first

    w.trayShown = true;
    w.window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!w.window->isVisible());
    zuntest::WriteText(w.files / "notes.new", "second\n");
    std::filesystem::rename(w.files / "notes.new", text);
    QTRY_COMPARE_WITH_TIMEOUT(zuntest::DecodedText(document), std::string("second\n"), 30000);
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("OK"));
    const QString tip = w.Find<QSystemTrayIcon>("trayIcon")->toolTip();
    QVERIFY2(tip.startsWith("ZUN2\nConvert on change, ") && tip.endsWith(": 1 OK"), qPrintable(tip));

    w.window.reset();
    QVERIFY(w.Start());
    QVERIFY(w.Find<QCheckBox>("chk_convertonchange")->isChecked());
  }

  // Help and the information window's link open in the desktop's browser, and an assistive tool's
  // press returns at once. No browser, or one that will not start: the user is told, nothing is left.
  void helpAndTheLinksOpenInTheDesktopsBrowser() {
    uitest::Window w;
    FakeDesktop desktop;
    QVERIFY(w.Start());
    uitest::Accessible(w.Find("img_help"))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(desktop.Opened(), QString::fromStdString("file://" + w.programDir.Path() + "help/help.htm\n"));
    std::filesystem::remove(desktop.received);

    bool pressReturned = false;
    QStringList seen;  // checked once the information window is closed
    uitest::AnswerNextModal([&](QDialog* modal) {
      bool closed = false;
      QObject::connect(modal, &QDialog::finished, modal, [&closed] { closed = true; });
      auto* home = modal->findChild<QLabel*>("lbl_home");
      seen << (pressReturned ? "press returned" : "press held") << modal->objectName()
           << modal->findChild<QLabel*>("lbl_version")->text() << home->toolTip();
      home->setFocus();
      QTest::keyClick(home, Qt::Key_Return);  // Enter follows the focused link
      seen << (closed ? "closed" : "still open");
      modal->findChild<QAbstractButton*>("cmd_ok")->click();
    });
    uitest::Accessible(w.Find("img_pelko"))->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    pressReturned = true;
    QTRY_COMPARE(desktop.Opened(), QString::fromStdString("file://" + w.programDir.Path() + "help/help.htm#updates\n"));
    QCOMPARE(seen.join(","), QString("press returned,frmInfo,Version 1.07,open browser with ZUN2 home,still open"));

    for (const auto& [browser, message] :
         {std::pair{std::string(), "Browser Not Found: Could not find associated Browser"},
          std::pair{desktop.broken, "URL Failed: Web Page not Opened"}}) {
      zuntest::ScopedEnv chosen{"BROWSER", browser};
      QString shown;
      uitest::AnswerMessage(shown);
      w.Click("img_help");
      QTRY_COMPARE(shown, QString(message));
      QVERIFY(w.window->isVisible());  // a failure never ends the program
    }
    QVERIFY(std::filesystem::is_empty(desktop.dir / "tmp"));  // no probe page left behind
  }
};

QTEST_MAIN(TrayTest)
#include "tray_test.moc"
