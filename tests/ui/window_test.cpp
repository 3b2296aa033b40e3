// The main window driven as a user would: start-up, tasks, editing, a conversion run with its
// prompts, stopping, and the start without the library.
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include "glue/dates.h"
#include "ui_support.h"

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  void startsInAnEmptyFolder() {
    uitest::Window w;
    QVERIFY(w.Start());
    QCOMPARE(w.window->windowTitle(), QString("ZUN2 V1.07"));
    QCOMPARE(zuntest::ReadBytes(w.programDir / "zundata.dat").size(), size_t{2416});
    QCOMPARE(w.Tasks()->topLevelItemCount(), 0);
    QVERIFY(!w.Find("cmd_convert")->isEnabled());
    QVERIFY(w.Find<QTimer>("Timer1")->isActive());
    QCOMPARE(w.Find<QListWidget>("lst_install")->count(), 1);
    QCOMPARE(w.Find<QListWidget>("lst_install")->item(0)->text(), QString("Custom"));
    auto* header = w.Tasks()->headerItem();
    QCOMPARE(header->text(0), QString("Sync"));
    QCOMPARE(w.Tasks()->header()->visualIndex(1), 0);  // "PC File" first on screen
    QCOMPARE(w.Tasks()->header()->visualIndex(0), 1);
    for (const char* name : {"lvw_tasks", "VScroll1", "cmd_new", "cmd_delete", "cmd_savedefault", "cmd_convert",
                             "cmd_clipsettings", "cmd_exit", "chk_autonaming", "chk_askoverwrite", "txt_pcfile",
                             "txt_palmfile", "txt_pcfiledata", "txt_palmfiledata", "cmd_browsepcfile",
                             "cmd_browsepalmfile", "img_action", "lst_install", "lst_options", "txt_tabspace",
                             "txt_category", "txt_status", "lbl_status", "lbl_progress", "ProgressBar1", "chk_countup",
                             "txt_countup", "shp_clip", "shp_conr", "shp_con", "img_help", "img_pelko"}) {
      QVERIFY2(w.window->findChild<QObject*>(name) != nullptr, name);
    }
  }

  void addsSelectsAndDeletesTasks() {
    uitest::Window w;
    QVERIFY(w.Start());
    for (int i = 0; i < 3; ++i) w.Click("cmd_new");
    QCOMPARE(w.Tasks()->topLevelItemCount(), 3);
    QVERIFY(!w.Find<QTimer>("Timer1")->isActive());
    QVERIFY(w.Find("cmd_convert")->isEnabled());
    QTest::keyClicks(w.Find("txt_pcfile"), "/t/three.txt");
    w.ClickRow(1);
    QCOMPARE(w.Find<QLineEdit>("txt_pcfile")->text(), QString(""));
    QTest::keyClicks(w.Find("txt_pcfile"), "/t/one.txt");
    QCOMPARE(w.Tasks()->topLevelItem(0)->text(1), QString("one.txt"));
    w.ClickRow(3);
    QCOMPARE(w.Find<QLineEdit>("txt_pcfile")->text(), QString("/t/three.txt"));
    w.Click("cmd_delete");
    QCOMPARE(w.Tasks()->topLevelItemCount(), 2);
    QCOMPARE(zuntest::ReadBytes(w.programDir / "zundata.dat").size(), size_t{1208 * 4});
  }

  void editingStoresAtOnce() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.Click("cmd_new");
    QTest::keyClicks(w.Find("txt_palmfile"), "memo");
    auto* palm = w.Find<QLineEdit>("txt_palmfile");
    QCOMPARE(palm->text(), w.window->Model().State().palmFileText.c_str());
    QVERIFY(palm->text().endsWith(".pdb"));
    QCOMPARE(palm->cursorPosition(), palm->text().size() - 4);  // typing goes on in the name
    auto* tab = w.Find<QLineEdit>("txt_tabspace");
    tab->clear();
    QTest::keyClicks(tab, "100");
    QCOMPARE(tab->text(), QString("10"));
    QCOMPARE(w.Record(3).TabSpace, int16_t{10});
    auto* options = w.Find<QListWidget>("lst_options");
    options->item(2)->setCheckState(Qt::Checked);  // "Strip HTML"
    QCOMPARE(w.Record(3).Options.str().substr(0, 3), std::string("111"));
    QTest::mouseClick(w.Find("img_action"), Qt::LeftButton);
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PalmToPc);
    w.ClickRow(1, 0);  // the "Sync" cell
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PcToPalm);
    w.Click("chk_askoverwrite");
    QCOMPARE(w.Record(1).Flag2, int16_t{0});
  }

  void runsAllTasksWithPrompts() {
    uitest::Window w;
    QVERIFY(w.Start());
    zuntest::WriteText(w.files / "a.txt", "first text");
    zuntest::WriteText(w.files / "b.txt", "second text");
    zuntest::WriteText(w.files / "b.pdb", "an old document");
    w.AddTask(2, w.files / "a.txt", w.files / "a.pdb");
    w.AddTask(2, w.files / "b.txt", w.files / "b.pdb");
    QCOMPARE(w.Find<QLineEdit>("txt_palmfile")->text(), QString::fromStdString(w.files / "b.pdb"));
    uitest::ClickInNextModal("cmd_yes");
    w.Click("cmd_convert");
    QCOMPARE(w.Tasks()->topLevelItem(0)->text(0), QString(" OK"));
    QCOMPARE(w.Tasks()->topLevelItem(1)->text(0), QString(" OK"));
    QCOMPARE(w.Find<QPushButton>("cmd_convert")->text(), QString("Convert"));
    QVERIFY(w.Find("txt_status")->isVisible() || !w.window->isVisible());
    QVERIFY(!w.Find("ProgressBar1")->isVisible());
    QVERIFY(zuntest::ReadBytes(w.files / "b.pdb").size() > 78);
    QCOMPARE(w.Record(4).Status.Trimmed(), std::string("OK"));

    // Leaving the prompt another way (Escape, the window's close control) is Stop.
    uitest::AnswerNextModal([](QWidget* modal) {
      QCOMPARE(modal->objectName(), QString("frmOvwDialog"));
      QCOMPARE(modal->windowTitle(), QString("ZUN2 Message"));
      QTest::keyClick(modal, Qt::Key_Escape);
    });
    w.Click("cmd_convert");
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("User stopped conversion"));
    QCOMPARE(w.Tasks()->topLevelItem(0)->text(0), QString(" -"));
    QCOMPARE(w.Record(4).Status.Trimmed(), std::string("OK"));  // the run ended after the first task
  }

  void stopEndsTheRunAfterTheCurrentTask() {
    uitest::Window w;
    QVERIFY(w.Start());
    for (int i = 0; i < 3; ++i) {
      const std::string text = w.files / ("t" + std::to_string(i) + ".txt");
      zuntest::WriteText(text, "task text");
      w.AddTask(2, text, text + ".pdb");
    }
    QPushButton* convert = w.Find<QPushButton>("cmd_convert");
    QTimer::singleShot(0, convert, [convert] {
      QCOMPARE(convert->text(), QString("Stop"));
      convert->click();
      QCOMPARE(convert->text(), QString("Wait"));
    });
    convert->click();
    QCOMPARE(convert->text(), QString("Convert"));
    QCOMPARE(w.Tasks()->topLevelItem(0)->text(0), QString(" OK"));
    QCOMPARE(w.Tasks()->topLevelItem(1)->text(0), QString(""));
    QCOMPARE(w.Record(4).Status.Trimmed(), std::string(""));
    QVERIFY(w.Find("cmd_new")->isEnabled());
  }

  void aMissingLibraryEndsTheStart() {
    uitest::Window w;
    zuntest::TempDir empty;
    QString text;
    QString title;
    uitest::AnswerNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box != nullptr);
      text = box->text();
      title = box->windowTitle();
      QCOMPARE(box->icon(), QMessageBox::Critical);
      box->accept();
    });
    QVERIFY(!w.Start(nullptr, {empty.Path()}));
    QCOMPARE(text, QString("Fatal Error: libzun2.so not found"));
    QCOMPARE(title, QString("ZUN2 Message"));
    QVERIFY(zuntest::Exists(w.programDir / "zundata.dat"));
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
