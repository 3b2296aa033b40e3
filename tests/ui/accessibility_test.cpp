// What a screen reader finds: a frame with named controls and no decorations, read-only boxes
// that say so; and the keyboard alone runs a task.
#include <QCheckBox>
#include <QPushButton>
#include <QToolButton>

#include "ui/prompts.h"
#include "ui_support.h"

namespace {

// Names of the focusable controls below `root` that a screen reader would announce without a name.
QStringList UnnamedControls(QObject* root) {
  QStringList unnamed;
  std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
    if (node == nullptr) return;
    auto* widget = qobject_cast<QWidget*>(node->object());
    if (widget != nullptr && node->state().focusable && node->text(QAccessible::Name).trimmed().isEmpty()) {
      unnamed << widget->objectName();
    }
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
  };
  walk(uitest::Accessible(root));
  return unnamed;
}

QString NameOf(QWidget* widget) { return uitest::Accessible(widget)->text(QAccessible::Name); }

// Presses Tab until `name` has the focus.
bool TabTo(QWidget* window, const char* name) {
  for (int i = 0; i < 40; ++i) {
    if (QApplication::focusWidget() != nullptr && QApplication::focusWidget()->objectName() == name) return true;
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window, Qt::Key_Tab);
  }
  return false;
}

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  void theWindowIsANamedFrameWithoutDecorations() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.Click("cmd_new");
    QAccessibleInterface* frame = uitest::Accessible(w.window.get());
    QCOMPARE(frame->role(), QAccessible::Window);
    QCOMPARE(frame->text(QAccessible::Name), QString("ZUN2 V1.07"));
    for (int i = 0; i < frame->childCount(); ++i) {
      const QString name = frame->child(i)->object()->objectName();
      QVERIFY2(!name.startsWith("shp_"), qPrintable(name));
      QCOMPARE(frame->indexOfChild(frame->child(i)), i);
    }
    QCOMPARE(UnnamedControls(w.window.get()).join(","), QString());
    QCOMPARE(NameOf(w.Find("txt_tabspace")), QString("TAB Space"));
    QCOMPARE(NameOf(w.Find("txt_status")), QString("Status"));
    QCOMPARE(NameOf(w.Find("img_help")), QString("show help"));
    auto* action = w.Find("img_action");
    QCOMPARE(uitest::Accessible(action)->text(QAccessible::Description), QString("no conversion"));
    QTest::mouseClick(action, Qt::LeftButton);
    QCOMPARE(uitest::Accessible(action)->text(QAccessible::Description), QString("Palm to PC"));
    QCOMPARE(uitest::Accessible(w.Tasks())->tableInterface()->cellAt(0, 0)->text(QAccessible::Name),
             QString("Palm to PC"));

    // A box is editable for assistive technology exactly while it is for the keyboard.
    auto editable = [](QWidget* box) {
      QAccessibleInterface* node = uitest::Accessible(box);
      return node->state().editable && node->editableTextInterface() != nullptr && !node->state().readOnly;
    };
    QVERIFY(uitest::Accessible(w.Find("txt_status"))->state().readOnly);
    QVERIFY(!editable(w.Find("txt_status")));
    QVERIFY(editable(w.Find("txt_pcfile")));
    QCOMPARE(uitest::Accessible(w.Find("txt_status"))->textInterface()->text(0, 2), QString(""));
    w.Click("cmd_delete");  // no task: the file boxes are locked, the number boxes disabled
    QVERIFY(uitest::Accessible(w.Find("txt_pcfile"))->state().readOnly);
    QVERIFY(!editable(w.Find("txt_pcfile")));
    QVERIFY(!editable(w.Find("txt_tabspace")));
  }

  void bothPromptsNameTheirControls() {
    QWidget owner;
    zun::ui::PromptState state;
    zun::ui::OverwriteDialog overwrite(&owner, state, [] {});
    overwrite.SetQuestion("Palm File already exists! Overwrite file?", "/a/b.pdb");
    QCOMPARE(UnnamedControls(&overwrite), QStringList());
    zun::ui::BothChangedDialog both(&owner, state);
    QCOMPARE(UnnamedControls(&both), QStringList());
  }

  void theKeyboardAloneAddsSetsAndRunsATask() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    zuntest::WriteText(w.files / "k.txt", "a\tb\r\n");

    QVERIFY(TabTo(w.window.get(), "cmd_new"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(w.Tasks()->model()->rowCount(), 1);

    QVERIFY(TabTo(w.window.get(), "lvw_tasks"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);  // the "Sync" cell: Palm to PC
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PalmToPc);
    QVERIFY(TabTo(w.window.get(), "img_action"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // PC to Palm
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PcToPalm);

    QVERIFY(TabTo(w.window.get(), "chk_autonaming"));  // full paths are typed by hand here
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(!w.Find<QCheckBox>("chk_autonaming")->isChecked());
    QVERIFY(TabTo(w.window.get(), "txt_pcfile"));
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(w.files / "k.txt"));
    QVERIFY(TabTo(w.window.get(), "txt_palmfile"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(w.files / "k.pdb"));

    QVERIFY(TabTo(w.window.get(), "lst_options"));
    for (int i = 0; i < 3; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);  // "CR to LF"
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(QString::fromStdString(w.Record(3).Options.str().substr(0, 4)), QString("11 1"));

    QVERIFY(TabTo(w.window.get(), "cmd_convert"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("OK"));
    QCOMPARE(w.Cell(1, 0), QString(" OK"));
    QVERIFY(zuntest::Exists(w.files / "k.pdb"));
  }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
