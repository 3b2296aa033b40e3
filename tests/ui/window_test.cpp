// The window's wiring from each control to its record field, whatever changes the control, and
// what the model cannot see: the list view, the prompts of a run, the start; what a screen
// reader finds, and the keyboard alone (access keys, F1, Ctrl+Q) running a task.
#include <unistd.h>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <filesystem>

#include "ui/info_window.h"
#include "ui/prompts.h"
#include "ui/task_list_model.h"
#include "ui_support.h"

namespace {

using zun::TaskAction;
using zun::ui::kPcFileColumn;
using zun::ui::kSyncColumn;

// Presses Tab until `name` has the focus: that control, or the window when it never gets there.
QWidget* TabTo(QWidget* window, const char* name) {
  for (int i = 0; i < 40; ++i) {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && focus->objectName() == name) return focus;
    QTest::keyClick(focus != nullptr ? focus : window, Qt::Key_Tab);
  }
  return window;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  // Each control stores its field whatever changed it: an assistive tool's editing and actions,
  // check marks set from outside.
  void everyControlStoresItsFieldHoweverItIsChanged() {
    uitest::Window w;
    auto users = std::make_unique<zuntest::FakeUsers>();
    users->desktop = w.files.Path();
    users->AddUser(7, "Anna");
    QVERIFY(w.Start(std::move(users)));
    w.Click("cmd_new");
    w.Click("cmd_new");  // row 2, record 4
    auto change = [&w](QWidget* control, const QString& value) {
      if (qobject_cast<QLineEdit*>(control) != nullptr) {
        uitest::SetTextByAssistiveTool(control, value);
      } else if (auto* list = qobject_cast<QListWidget*>(control)) {
        list->item(value.toInt())->setCheckState(Qt::Checked);
      } else if (qobject_cast<QCheckBox*>(control) != nullptr) {
        uitest::ActByAssistiveTool(control, QAccessibleActionInterface::toggleAction());
      } else if (control == w.Tasks()) {
        w.ClickRow(2, kSyncColumn);
      } else {
        uitest::ActByAssistiveTool(control, QAccessibleActionInterface::pressAction());
      }
    };
    struct Wiring {
      const char* control;
      QString value;
      std::function<bool()> stored;
    };
    const std::vector<Wiring> table = {
        {"txt_pcfile", "/t/pc.txt", [&] { return w.Record(4).PcFile.Trimmed() == "/t/pc.txt"; }},
        {"txt_palmfile", "/t/doc.pdb",
         [&] { return w.Record(4).PalmFile.Trimmed() == "doc.pdb"; }},  // a user's: the name
        {"txt_tabspace", "8", [&] { return w.Record(4).TabSpace == 8; }},
        {"txt_category", "12", [&] { return w.Record(4).Category == 12; }},
        {"lst_options", "2", [&] { return w.Record(4).Options.str().substr(0, 3) == "111"; }},  // "Strip HTML"
        {"lst_install", "1", [&] { return w.Record(4).Targets.str().substr(0, 2) == "01"; }},   // "Custom"
        {"img_action", "", [&] { return w.Record(4).Action == TaskAction::PalmToPc; }},
        {"lvw_tasks", "", [&] { return w.Record(4).Action == TaskAction::PcToPalm; }},  // the "Sync" cell
        {"chk_autonaming", "", [&] { return !w.Record(1).AutoNaming(); }},
        {"chk_askoverwrite", "", [&] { return !w.Record(1).AskOverwrite(); }},
        {"cmd_clipsettings", "",
         [&] { return w.Find("chk_countup")->isVisible() && !w.Find("chk_autonaming")->isVisible(); }},
        {"chk_countup", "", [&] { return w.Record(2).CountUp(); }},
        {"txt_countup", "42", [&] { return w.Record(2).Counter == 42; }},
    };
    for (const Wiring& wiring : table) {
      change(w.Find(wiring.control), wiring.value);
      QVERIFY2(wiring.stored(), wiring.control);
    }
  }

  // Long names are cut with an ellipsis and shown whole in a tooltip; "Sync" is wide enough to read;
  // clicks follow the real column positions; the editor shows the highlighted task whatever
  // highlighted it, also out of view, its names from their beginning.
  void theListStaysReadableAndTheEditorFollowsTheHighlightedRow() {
    zuntest::ScriptedDialogs dialogs;  // outlives the window
    uitest::Window w;
    std::vector<uitest::SeededTask> tasks = {
        {TaskAction::NoConversion, "/t/" + std::string(80, 'l') + "/a-very-long-name-of-a-text-file-indeed.txt", ""}};
    for (int i = 2; i <= 41; ++i) tasks.push_back({TaskAction::NoConversion, "/t/" + std::to_string(i) + ".txt", ""});
    w.Seed(tasks);
    QVERIFY(w.Start());
    w.window->SetFileDialogs(&dialogs);
    QTreeView* list = w.Tasks();
    // "PC File", "Sync", "Palm File"
    QVERIFY(list->header()->visualIndex(kPcFileColumn) == 0 && list->header()->visualIndex(kSyncColumn) == 1);
    QCOMPARE(list->model()->index(0, kPcFileColumn).data(Qt::ToolTipRole).toString(),
             QString::fromStdString(tasks[0].pcFile));
    QVERIFY(list->textElideMode() != Qt::ElideNone);
    QVERIFY(list->columnWidth(kSyncColumn) >= list->iconSize().width() + list->fontMetrics().horizontalAdvance(" OK"));
    auto* pcBox = w.Find<QLineEdit>("txt_pcfile");
    QCOMPARE(pcBox->cursorPosition(), 0);
    pcBox->end(false);
    list->header()->resizeSection(kSyncColumn, 150);  // the user widens "Sync"
    w.ClickRow(1, kSyncColumn, 140);
    QCOMPARE(w.Record(3).Action, TaskAction::PalmToPc);
    QCOMPARE(pcBox->cursorPosition(), 0);   // loaded again
    w.ClickRow(1, kPcFileColumn, 3, true);  // a double click on "PC File" browses
    QCOMPARE(dialogs.requests.size(), size_t{1});
    QCOMPARE(w.Record(3).Action, TaskAction::PalmToPc);

    const int page = w.window->Model().State().rowsPerPage;
    QVERIFY(page > 3 && page < 30);
    auto key = [&w](Qt::Key k) { QTest::keyClick(w.Tasks(), k); };
    struct Way {
      const char* name;
      std::function<void()> select;
      int row;
    };
    const std::vector<Way> ways = {
        {"Home", [&] { key(Qt::Key_Home); }, 1},
        {"PageDown", [&] { key(Qt::Key_PageDown); }, page},
        {"End", [&] { key(Qt::Key_End); }, 41},
        {"PageUp", [&] { key(Qt::Key_PageUp); }, 41 - page + 1},
        {"mouse", [&] { w.ClickRow(41 - page + 3); }, 41 - page + 3},
        {"assistive tool", [&] { uitest::Accessible(list)->tableInterface()->selectRow(2); }, 3},  // out of view
    };
    for (const Way& way : ways) {
      way.select();
      QCoreApplication::processEvents();
      QVERIFY2(w.Highlighted() == way.row, way.name);
      QVERIFY2(pcBox->text() == QString::fromStdString(tasks[static_cast<size_t>(way.row - 1)].pcFile), way.name);
    }
  }

  // Each prompt's buttons do what they say: "do not ask again" (changed by an assistive tool)
  // turns asking off at once and "Yes" still applies; both files changed, "PC File" and "Palm
  // File" update the side they name; leaving a prompt another way (Escape, the close control) is
  // Stop. Ctrl+Q during a run ends the program when the run ends.
  void thePromptsOfARunDoWhatTheirButtonsSay() {
    uitest::Window w;
    zuntest::WriteText(w.files / "a.txt", "first text");
    zuntest::WriteText(w.files / "a.pdb", "an old document");
    std::vector<uitest::SeededTask> tasks = {{TaskAction::PcToPalm, w.files / "a.txt", w.files / "a.pdb"}};
    const std::string document = zuntest::TestData("run54.txt2pdbdoc.pdb");  // 54 times "a"
    for (const std::string name : {"keep-palm", "keep-pc"}) {
      zuntest::WriteText(w.files / (name + ".txt"), "text of the PC");
      std::filesystem::copy_file(document, w.files / (name + ".pdb"));
      tasks.push_back({TaskAction::BothWays, w.files / (name + ".txt"), w.files / (name + ".pdb")});
    }
    w.Seed(tasks);
    QVERIFY(w.Start());
    bool askedStill = true;
    uitest::AnswerNextModal([&](QWidget* modal) {
      uitest::ActByAssistiveTool(modal->findChild<QCheckBox*>("chk_notaskagain"),
                                 QAccessibleActionInterface::toggleAction());
      askedStill = w.Record(1).AskOverwrite();
      modal->findChild<QAbstractButton*>("cmd_yes")->click();
    });
    uitest::AnswerNextModal([](QWidget* keepPalm) { keepPalm->findChild<QAbstractButton*>("cmd_pcfile")->click(); });
    uitest::AnswerNextModal([](QWidget* keepPc) { keepPc->findChild<QAbstractButton*>("cmd_palmfile")->click(); });
    w.Click("cmd_convert");
    QVERIFY(!askedStill);
    QVERIFY(!w.Find<QCheckBox>("chk_askoverwrite")->isChecked());
    QCOMPARE(w.Cell(1, kSyncColumn), QString(" OK"));
    QVERIFY(!w.Find("ProgressBar1")->isVisibleTo(w.window.get()));
    QVERIFY(zuntest::ReadText(w.files / "a.pdb") != "an old document");
    QCOMPARE(zuntest::ReadText(w.files / "keep-palm.txt"), std::string(54, 'a'));
    QCOMPARE(zuntest::ReadText(w.files / "keep-pc.txt"), std::string("text of the PC"));
    QVERIFY(zuntest::ReadBytes(w.files / "keep-pc.pdb") != zuntest::ReadBytes(document));

    // Ctrl+Q during a run: the window closes when the run ends.
    w.Find<QCheckBox>("chk_askoverwrite")->setChecked(true);
    w.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    QStringList seen;
    uitest::AnswerNextModal([&](QWidget* modal) {
      QTest::keyClick(w.window.get(), Qt::Key_Q, Qt::ControlModifier);
      seen << modal->windowTitle() << w.Find<QAbstractButton>("cmd_convert")->text().remove('&')
           << (w.window->IsShutDown() ? "ended" : "running");
      QTest::keyClick(modal, Qt::Key_Escape);
    });
    w.Click("cmd_convert");
    QCOMPARE(seen.join(","), QString("ZUN2 Message,Wait,running"));
    QVERIFY(w.window->IsShutDown());
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("User stopped conversion"));
    QCOMPARE(w.Cell(1, kSyncColumn), QString(" -"));
    auto* status = w.Find<QLineEdit>("txt_status");
    QCOMPARE(status->text(), QString("User stopped conversion"));  // no padding
    QCOMPARE(status->cursorPosition(), 0);                         // read from its beginning
  }

  void aMissingLibraryEndsTheStartADamagedDataFileIsSaid() {
    uitest::Window w;
    zuntest::TempDir empty;
    QString shown;
    uitest::AnswerMessage(shown);
    QVERIFY(!w.Start(nullptr, {empty.Path()}));
    QCOMPARE(shown, QString("ZUN2 Message: Fatal Error: libzun2.so not found"));
    QVERIFY(zuntest::Exists(w.programDir / "zundata.dat"));

    // A data file that cannot be a task list is kept aside: the start says so and goes on.
    QCOMPARE(::truncate((w.programDir / "zundata.dat").c_str(), 1 << 30), 0);
    uitest::AnswerMessage(shown);
    QVERIFY(w.Start());
    QCOMPARE(shown, QString("ZUN2 Message: zundata.dat is damaged: it has holes. It is kept as zundata.bak, and the task "
                            "list starts anew."));
    QCOMPARE(w.Tasks()->model()->rowCount(), 0);
  }

  // The keyboard alone adds, sets and runs a task; F1 opens the help.
  void theKeyboardAloneRunsATask() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    zuntest::WriteText(w.files / "k.txt", "a\tb\r\n");

    // A button's access key is an animated click: its effect comes a moment later.
    auto accessKey = [&w](Qt::Key letter) { QTest::keyClick(w.window.get(), letter, Qt::AltModifier); };
    accessKey(Qt::Key_N);  // "New"
    QTRY_COMPARE(w.Tasks()->model()->rowCount(), 1);

    QTest::keyClick(TabTo(w.window.get(), "lvw_tasks"), Qt::Key_Space);  // the "Sync" cell: Palm to PC
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PalmToPc);
    QTest::keyClick(TabTo(w.window.get(), "img_action"), Qt::Key_Return);  // PC to Palm
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PcToPalm);

    accessKey(Qt::Key_A);  // "Auto Naming" off: full paths are typed by hand here
    QTRY_VERIFY(!w.Find<QCheckBox>("chk_autonaming")->isChecked());
    QTest::keyClicks(TabTo(w.window.get(), "txt_pcfile"), QString::fromStdString(w.files / "k.txt"));
    QTest::keyClick(TabTo(w.window.get(), "txt_palmfile"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(w.files / "k.pdb"));

    accessKey(Qt::Key_O);                                                                    // "Options"
    for (int i = 0; i < 3; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // "CR to LF"
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(QString::fromStdString(w.Record(3).Options.str().substr(0, 4)), QString("11 1"));

    accessKey(Qt::Key_C);  // "Convert"
    QTRY_COMPARE(w.Record(3).Status.Trimmed(), std::string("OK"));
    uitest::FakeDesktop desktop;
    QTest::keyClick(w.window.get(), Qt::Key_F1);
    QTRY_COMPARE(desktop.Opened(), QString::fromStdString("file://" + w.programDir.Path() + "help/help.htm\n"));
  }

  // One access key per control, whatever caption it shows; none for "Delete", which asks nothing.
  // The prompts' buttons and switch have one key each within a prompt and a name; the information
  // window's links are links, which Press follows.
  void everyControlHasItsOwnAccessKeyAndAName() {
    uitest::Window w;
    QVERIFY(w.Start());
    QMap<QString, QString> owners;
    auto own = [&owners](const QString& control, const QString& caption) {
      const QString key = QKeySequence::mnemonic(caption).toString();
      if (!key.isEmpty() && owners.value(key, control) != control) QFAIL(qPrintable(key + " twice: " + control));
      if (!key.isEmpty()) owners[key] = control;
    };
    for (QAbstractButton* button : w.window->findChildren<QAbstractButton*>())
      own(button->objectName(), button->text());
    for (QLabel* label : w.window->findChildren<QLabel*>()) own(label->objectName(), label->text());
    for (const char* caption : {"Stop", "Wait", "Convert Clip"}) own("cmd_convert", zun::ui::WithAccessKey(caption));
    own("cmd_clipsettings", zun::ui::WithAccessKey("Done"));
    QVERIFY(owners.size() >= 16 && !owners.values().contains("cmd_delete"));
    zun::ui::PromptState state;
    zun::ui::OverwriteDialog overwrite(w.window.get(), state, [] {});
    overwrite.SetQuestion("Palm File already exists! Overwrite file?", "/a/b.pdb");
    zun::ui::BothChangedDialog both(w.window.get(), state);
    for (QDialog* prompt : std::initializer_list<QDialog*>{&overwrite, &both}) {
      QCOMPARE(uitest::UnnamedControls(prompt), QStringList());
      QSet<QString> keys;
      const QList<QAbstractButton*> buttons = prompt->findChildren<QAbstractButton*>();
      for (QAbstractButton* button : buttons) keys << QKeySequence::mnemonic(button->text()).toString();
      keys.remove(QString());
      QVERIFY2(keys.size() == buttons.size(), qPrintable(prompt->objectName()));
    }
    std::string opened;
    zun::ui::InfoWindow info(w.window.get(), "/p/", [&opened](const std::string& address) { opened = address; });
    QAccessibleInterface* home = uitest::Accessible(info.findChild<QLabel*>("lbl_home"));
    QCOMPARE(home->role(), QAccessible::Link);
    QCOMPARE(home->text(QAccessible::Name), QString("ZUN2 home"));
    home->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(opened, std::string("file:///p/help/help.htm#updates"));
    QCOMPARE(uitest::UnnamedControls(&info), QStringList());
  }

  // A screen reader finds a named frame without decorations, named controls, boxes that are
  // read-only exactly when the keyboard cannot edit them (the file information always), the two
  // Browse buttons told apart, options that Toggle checks.
  void aScreenReaderFindsWhatTheWindowShows() {
    uitest::Window w;
    zuntest::WriteText(w.files / "k.txt", "text");
    w.Seed({{TaskAction::PcToPalm, w.files / "k.txt", w.files / "k.pdb"}});
    QVERIFY(w.Start());
    w.Click("cmd_convert");
    QAccessibleInterface* frame = uitest::Accessible(w.window.get());
    QCOMPARE(frame->role(), QAccessible::Window);
    QCOMPARE(frame->text(QAccessible::Name), QString("ZUN2 V1.07"));
    for (int i = 0; i < frame->childCount(); ++i) {
      const QString name = frame->child(i)->object()->objectName();
      QVERIFY2(!name.startsWith("shp_"), qPrintable(name));
      QCOMPARE(frame->indexOfChild(frame->child(i)), i);
    }
    QCOMPARE(uitest::UnnamedControls(w.window.get()).join(","), QString());
    QCOMPARE(uitest::NameOf(w.Find("txt_tabspace")), QString("TAB Space"));  // from its label
    auto* action = w.Find("img_action");
    QCOMPARE(uitest::Accessible(action)->text(QAccessible::Description), QString("PC to Palm"));
    QTest::mouseClick(action, Qt::LeftButton);
    QCOMPARE(uitest::Accessible(action)->text(QAccessible::Description), QString("both ways"));
    QAccessibleTableInterface* table = uitest::Accessible(w.Tasks())->tableInterface();
    QStringList row;  // in the order the screen shows; "Sync" as the direction and its symbol
    for (int column = 0; column < 3; ++column) row << table->cellAt(0, column)->text(QAccessible::Name);
    QCOMPARE(row.join("|"), QString("k.txt|both ways, OK|k.pdb"));

    // A box is editable for assistive technology exactly while it is for the keyboard.
    auto editable = [](QWidget* box) {
      QAccessibleInterface* node = uitest::Accessible(box);
      return node->state().editable && node->editableTextInterface() != nullptr && !node->state().readOnly;
    };
    QVERIFY(uitest::Accessible(w.Find("txt_status"))->state().readOnly);
    QVERIFY(editable(w.Find("txt_pcfile")));
    QCOMPARE(uitest::Accessible(w.Find("txt_status"))->textInterface()->text(0, 2), QString("OK"));
    for (const char* name : {"txt_pcfiledata", "txt_palmfiledata"}) {  // read-only, also for a screen reader
      QAccessibleInterface* info = uitest::Accessible(w.Find(name));
      const QString shown = info->text(QAccessible::Value);
      info->setText(QAccessible::Value, "rewritten");
      QVERIFY2(!editable(w.Find(name)) && info->state().readOnly && info->text(QAccessible::Value) == shown, name);
    }
    QCOMPARE(uitest::NameOf(w.Find("cmd_browsepcfile")) + "," + uitest::NameOf(w.Find("cmd_browsepalmfile")),
             QString("Browse PC File,Browse Palm File"));
    QCOMPARE(uitest::Accessible(w.Find("txt_pcfiledata"))->text(QAccessible::Description), QString("file info PC File"));
    QAccessibleInterface* stripHtml = uitest::Accessible(w.Find("lst_options"))->child(2);  // Toggle checks
    QCOMPARE(stripHtml->text(QAccessible::Name), QString("Strip HTML"));
    stripHtml->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(stripHtml->state().checkable && stripHtml->state().checked);
    QCOMPARE(w.Record(3).Options.str()[2], '1');
    w.Click("cmd_delete");  // no task: the file boxes are locked, the number boxes disabled
    QVERIFY(uitest::Accessible(w.Find("txt_pcfile"))->state().readOnly);
    QVERIFY(!editable(w.Find("txt_tabspace")));
    w.Click("cmd_clipsettings");  // the caption says the editor shows the clipboard task now
    QCOMPARE(uitest::NameOf(w.Find("lbl_editor")), QString("Clipboard task settings"));
  }

  // Both files changed on the same line: the prompt shows that line of each side, read-only.
  void theBothChangedPromptShowsTheLinesThatCollide() {
    uitest::Window w;
    const std::string text = w.files / "notes.txt";
    const std::string document = w.files / "notes.pdb";
    zuntest::WriteText(text, "one\ntwo\nthree\n");
    w.Seed({{TaskAction::BothWays, text, document}});
    QVERIFY(w.Start());
    w.Click("cmd_convert");  // the document made, the task's base kept
    zuntest::WriteText(text, "one\ntwo on the PC\nthree\n");
    zuntest::WriteDocument(document, "one\ntwo on the handheld\nthree\n");  // the same line changed
    for (const std::string& side : {text, document}) zuntest::SetModificationTime(side, std::time(nullptr) + 60);
    QString shown;
    uitest::AnswerNextModal([&](QWidget* modal) {
      auto* box = modal->findChild<QPlainTextEdit*>("txt_collision");
      if (box != nullptr && box->isReadOnly()) shown = box->toPlainText();
      modal->findChild<QAbstractButton*>("cmd_skip")->click();
    });
    w.Click("cmd_convert");
    QVERIFY(shown.contains("two on the PC") && shown.contains("two on the handheld"));
    QCOMPARE(zuntest::ReadText(text), std::string("one\ntwo on the PC\nthree\n"));
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
