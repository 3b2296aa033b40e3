// The window's wiring from each control to its record field, whatever changes the control, and
// what the model cannot see: the list view, the prompts of a run, captions that fit.
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "convert/document_to_text.h"
#include "convert/text_to_document.h"
#include "ui/task_list_model.h"
#include "ui_support.h"

namespace {

using zun::ui::kPcFileColumn;
using zun::ui::kSyncColumn;

zun::TaskRecord Task(zun::TaskAction action, const std::string& pcFile, const std::string& palmFile) {
  zun::TaskRecord task = zun::DefaultSettingsRecord();
  task.Action = action;
  task.PcFile = pcFile;
  task.PalmFile = palmFile;
  return task;
}

// The document's text, or the error status.
std::string DocumentText(const std::string& document) {
  zuntest::ConversionSetup s;
  zun::TaskRecord task = s.Task(zun::TaskAction::PalmToPc, s.files / "out.txt", document);
  zun::ConversionEnv env = s.Env();
  zun::ConvertDocumentToText(task, env);
  return task.Status.Trimmed() == "OK" ? zuntest::ReadText(s.files / "out.txt") : task.Status.Trimmed();
}

void MakeDocument(const std::string& document, const std::string& text) {
  zuntest::ConversionSetup s;
  zuntest::WriteText(s.files / "in.txt", text);
  zun::TaskRecord task = s.Task(zun::TaskAction::PcToPalm, s.files / "in.txt", document);
  zun::ConversionEnv env = s.Env();
  zun::ConvertTextToDocument(task, env);
}

class ScriptedDialogs : public zun::FileDialogs {
 public:
  int opened = 0;
  std::optional<zun::FileDialogResult> OpenFile(const zun::FileDialogRequest&) override {
    ++opened;
    return std::nullopt;
  }
};

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  void startsInAnEmptyFolder() {
    uitest::Window w;
    QVERIFY(w.Start());
    QCOMPARE(w.window->windowTitle(), QString("ZUN2 V1.07"));
    QCOMPARE(w.Data().size(), size_t{2416});
    QCOMPARE(w.Tasks()->model()->rowCount(), 0);
    QVERIFY(!w.Find("cmd_convert")->isEnabled());
    QVERIFY(w.Find<QTimer>("Timer1")->isActive());
    QCOMPARE(w.Find<QListWidget>("lst_install")->item(0)->text(), QString("Custom"));
    QCOMPARE(w.Tasks()->header()->visualIndex(kPcFileColumn), 0);  // "PC File", "Sync", "Palm File"
    QCOMPARE(w.Tasks()->header()->visualIndex(kSyncColumn), 1);
  }

  // Each control stores its field whatever changed it: an assistive tool's editing and actions,
  // check marks set from outside. Showing a task stores nothing.
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
        {"img_action", "", [&] { return w.Record(4).Action == zun::TaskAction::PalmToPc; }},
        {"lvw_tasks", "", [&] { return w.Record(4).Action == zun::TaskAction::PcToPalm; }},  // the "Sync" cell
        {"chk_autonaming", "", [&] { return !w.Record(1).AutoNaming(); }},
        {"chk_askoverwrite", "", [&] { return !w.Record(1).AskOverwrite(); }},
        {"cmd_clipsettings", "", [] { return true; }},
        {"chk_countup", "", [&] { return w.Record(2).CountUp(); }},
        {"txt_countup", "42", [&] { return w.Record(2).Counter == 42; }},
    };
    for (const Wiring& wiring : table) {
      change(w.Find(wiring.control), wiring.value);
      QVERIFY2(wiring.stored(), wiring.control);
    }
    w.Click("cmd_clipsettings");

    // A task whose boxes would rename each other if showing it counted as an edit.
    w.ClickRow(1);
    w.Paste("txt_pcfile", "/t/x.txt");
    w.Paste("txt_palmfile", "other.pdb");
    QTest::mouseClick(w.Find("img_action"), Qt::LeftButton);
    QTest::mouseClick(w.Find("img_action"), Qt::LeftButton);  // PC to Palm
    w.Find<QCheckBox>("chk_autonaming")->setChecked(true);
    const zuntest::Bytes before = w.Data();
    w.ClickRow(2);
    w.ClickRow(1);
    QCOMPARE(w.Find<QLineEdit>("txt_palmfile")->text(), QString("other.pdb"));
    QVERIFY(w.Data() == before);
  }

  // The editor shows the highlighted task whatever highlighted it, also out of view.
  void theEditorFollowsTheHighlightedRow() {
    uitest::Window w;
    std::vector<zun::TaskRecord> tasks;
    for (int i = 1; i <= 40; ++i)
      tasks.push_back(Task(zun::TaskAction::PcToPalm, "/t/" + std::to_string(i) + ".txt", ""));
    w.Seed(tasks);
    QVERIFY(w.Start());
    const int page = w.window->Model().State().rowsPerPage;
    QVERIFY(page > 3 && page < 30);
    auto key = [&w](Qt::Key k) { QTest::keyClick(w.Tasks(), k); };
    struct Way {
      const char* name;
      std::function<void()> select;
      int row;
    };
    const std::vector<Way> ways = {
        {"assistive tool", [&] { uitest::Accessible(w.Tasks())->tableInterface()->selectRow(34); }, 35},
        {"Home", [&] { key(Qt::Key_Home); }, 1},
        {"PageDown", [&] { key(Qt::Key_PageDown); }, page},
        {"Down", [&] { key(Qt::Key_Down); }, page + 1},
        {"End", [&] { key(Qt::Key_End); }, 40},
        {"PageUp", [&] { key(Qt::Key_PageUp); }, 40 - page + 1},
        {"mouse", [&] { w.ClickRow(40 - page + 3); }, 40 - page + 3},
    };
    for (const Way& way : ways) {
      way.select();
      QCoreApplication::processEvents();
      QVERIFY2(w.Highlighted() == way.row, way.name);
      QVERIFY2(w.Find<QLineEdit>("txt_pcfile")->text() == QString("/t/%1.txt").arg(way.row), way.name);
    }
  }

  void longNamesAndTheSyncColumnStayReadableAndClicksFollowTheColumns() {
    uitest::Window w;
    const std::string longName = "/t/" + std::string(80, 'l') + "/a-very-long-name-of-a-text-file-indeed.txt";
    w.Seed({Task(zun::TaskAction::NoConversion, longName, "short.pdb")});
    QVERIFY(w.Start());
    auto* dialogs = new ScriptedDialogs;
    w.window->SetFileDialogs(dialogs);
    QTreeView* tasks = w.Tasks();
    const QModelIndex pc = tasks->model()->index(0, kPcFileColumn);
    QCOMPARE(pc.data(Qt::ToolTipRole).toString(), QString::fromStdString(longName));
    QVERIFY(tasks->textElideMode() != Qt::ElideNone);
    QVERIFY(tasks->columnWidth(kSyncColumn) >=
            tasks->iconSize().width() + tasks->fontMetrics().horizontalAdvance(" OK"));

    auto* pcBox = w.Find<QLineEdit>("txt_pcfile");
    QCOMPARE(pcBox->cursorPosition(), 0);  // a loaded name is read from its beginning
    pcBox->end(false);
    tasks->header()->resizeSection(kSyncColumn, 150);  // the user widens "Sync"
    w.ClickRow(1, kSyncColumn, 140);
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PalmToPc);
    QCOMPARE(pcBox->cursorPosition(), 0);  // loaded again
    QCOMPARE(dialogs->opened, 0);
    w.ClickRow(1, kPcFileColumn, 3, true);  // a double click on "PC File" browses
    QCOMPARE(dialogs->opened, 1);
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PalmToPc);
    w.window->SetFileDialogs(nullptr);
    delete dialogs;
  }

  void runsAllTasksWithPrompts() {
    uitest::Window w;
    QVERIFY(w.Start());
    zuntest::WriteText(w.files / "a.txt", "first text");
    zuntest::WriteText(w.files / "b.txt", "second text");
    zuntest::WriteText(w.files / "b.pdb", "an old document");
    w.AddTask(2, w.files / "a.txt", w.files / "a.pdb");
    w.AddTask(2, w.files / "b.txt", w.files / "b.pdb");
    // "do not ask again", changed by an assistive tool, turns asking off at once; "Yes" still applies.
    bool askedStill = true;
    uitest::AnswerNextModal([&](QWidget* modal) {
      uitest::ActByAssistiveTool(modal->findChild<QCheckBox*>("chk_notaskagain"),
                                 QAccessibleActionInterface::toggleAction());
      askedStill = w.Record(1).AskOverwrite();
      modal->findChild<QAbstractButton*>("cmd_yes")->click();
    });
    w.Click("cmd_convert");
    QVERIFY(!askedStill);
    QVERIFY(!w.Find<QCheckBox>("chk_askoverwrite")->isChecked());
    QCOMPARE(w.Cell(2, kSyncColumn), QString(" OK"));
    QVERIFY(!w.Find("ProgressBar1")->isVisibleTo(w.window.get()));
    QCOMPARE(DocumentText(w.files / "b.pdb"), std::string("second text"));

    // Leaving the prompt another way (Escape, the window's close control) is Stop.
    w.Find<QCheckBox>("chk_askoverwrite")->setChecked(true);
    uitest::AnswerNextModal([](QWidget* modal) {
      QCOMPARE(modal->windowTitle(), QString("ZUN2 Message"));
      QTest::keyClick(modal, Qt::Key_Escape);
    });
    w.Click("cmd_convert");
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("User stopped conversion"));
    QCOMPARE(w.Cell(1, kSyncColumn), QString(" -"));
    QCOMPARE(w.Record(4).Status.Trimmed(), std::string("OK"));  // the run ended after the first task
    auto* status = w.Find<QLineEdit>("txt_status");
    QCOMPARE(status->text(), QString("User stopped conversion"));  // no padding
    QCOMPARE(status->cursorPosition(), 0);                         // read from its beginning
  }

  // Both files of a both-ways task changed: each button of the prompt keeps the side it names.
  void theBothChangedPromptUpdatesTheSideChosen() {
    uitest::Window w;
    std::vector<zun::TaskRecord> tasks;
    for (const char* name : {"keep-palm", "keep-pc"}) {
      zuntest::WriteText(w.files / (std::string(name) + ".txt"), "text of the PC");
      MakeDocument(w.files / (std::string(name) + ".pdb"), "text of the Palm");
      tasks.push_back(Task(zun::TaskAction::BothWays, w.files / (std::string(name) + ".txt"),
                           w.files / (std::string(name) + ".pdb")));
    }
    w.Seed(tasks);
    QVERIFY(w.Start());
    uitest::ClickInNextModal({"cmd_pcfile", "cmd_palmfile"});
    w.Click("cmd_convert");
    QCOMPARE(zuntest::ReadText(w.files / "keep-palm.txt"), std::string("text of the Palm"));
    QCOMPARE(DocumentText(w.files / "keep-pc.pdb"), std::string("text of the PC"));
  }

  // Every caption fits its control in the font in use, also the longest ones a state brings.
  void captionsFit() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.Click("cmd_new");
    auto overflowing = [&w] {
      QStringList cut;
      for (QWidget* control : w.window->findChildren<QWidget*>()) {
        auto* button = qobject_cast<QAbstractButton*>(control);
        const bool captioned =
            qobject_cast<QLabel*>(control) != nullptr || (button != nullptr && !button->text().isEmpty());
        if (captioned && control->isVisibleTo(w.window.get()) && control->sizeHint().width() > control->width()) {
          cut << control->objectName();
        }
      }
      return cut.join(",");
    };
    QCOMPARE(overflowing(), QString());
    for (const char* caption : {zun::kCompressionCaption, zun::kFilterCaption}) {
      w.window->ShowProgress(true);
      w.window->SetProgressCaption(caption);
      QTest::qWait(40);
      w.window->LetEventsRun();
      QCOMPARE(w.Find<QLabel>("lbl_progress")->text(), QString(caption));
      QCOMPARE(overflowing(), QString());
    }
    w.window->ShowProgress(false);
    w.Click("cmd_clipsettings");
    QCOMPARE(overflowing(), QString());
  }

  void aMissingLibraryOrABusyFolderEndsTheStart() {
    uitest::Window w;
    zuntest::TempDir empty;
    QString text;
    QString title;
    const auto answer = [&] {
      uitest::AnswerNextModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        text = box->text();
        title = box->windowTitle();
        box->accept();
      });
    };
    answer();
    QVERIFY(!w.Start(nullptr, {empty.Path()}));
    QCOMPARE(text, QString("Fatal Error: libzun2.so not found"));
    QCOMPARE(title, QString("ZUN2 Message"));
    QVERIFY(zuntest::Exists(w.programDir / "zundata.dat"));

    // A second window on a folder that another program holds ends before touching anything.
    zun::DataFile other(w.programDir.Path());
    other.OpenAndCheck();
    const zuntest::Bytes before = w.Data();
    answer();
    QVERIFY(!w.Start());
    QVERIFY2(text.contains(QString::fromStdString("is using " + w.programDir.Path())), qPrintable(text));
    QCOMPARE(w.Data(), before);
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
