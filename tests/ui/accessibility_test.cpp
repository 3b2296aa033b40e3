// What a screen reader finds: a frame with named controls and no decorations, read-only boxes
// that say so, prompts with named controls; and the keyboard alone runs a task.
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

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { QCOMPARE(uitest::PendingAnswers(), 0); }

  // The keyboard alone adds, sets and runs a task; then a screen reader finds a named frame without
  // decorations, named controls, read-only boxes that say so, prompts with named controls.
  void theKeyboardAndAScreenReaderCanUseTheWindow() {
    uitest::Window w;
    QVERIFY(w.Start());
    w.window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    zuntest::WriteText(w.files / "k.txt", "a\tb\r\n");

    QTest::keyClick(TabTo(w.window.get(), "cmd_new"), Qt::Key_Space);
    QCOMPARE(w.Tasks()->model()->rowCount(), 1);

    QTest::keyClick(TabTo(w.window.get(), "lvw_tasks"), Qt::Key_Space);  // the "Sync" cell: Palm to PC
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PalmToPc);
    QTest::keyClick(TabTo(w.window.get(), "img_action"), Qt::Key_Return);  // PC to Palm
    QCOMPARE(w.Record(3).Action, zun::TaskAction::PcToPalm);

    QTest::keyClick(TabTo(w.window.get(), "chk_autonaming"), Qt::Key_Space);  // full paths are typed by hand here
    QVERIFY(!w.Find<QCheckBox>("chk_autonaming")->isChecked());
    QTest::keyClicks(TabTo(w.window.get(), "txt_pcfile"), QString::fromStdString(w.files / "k.txt"));
    QTest::keyClick(TabTo(w.window.get(), "txt_palmfile"), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QString::fromStdString(w.files / "k.pdb"));

    QWidget* options = TabTo(w.window.get(), "lst_options");
    for (int i = 0; i < 3; ++i) QTest::keyClick(options, Qt::Key_Down);  // "CR to LF"
    QTest::keyClick(options, Qt::Key_Space);
    QCOMPARE(QString::fromStdString(w.Record(3).Options.str().substr(0, 4)), QString("11 1"));

    QTest::keyClick(TabTo(w.window.get(), "cmd_convert"), Qt::Key_Space);
    QCOMPARE(w.Record(3).Status.Trimmed(), std::string("OK"));

    QAccessibleInterface* frame = uitest::Accessible(w.window.get());
    QCOMPARE(frame->role(), QAccessible::Window);
    QCOMPARE(frame->text(QAccessible::Name), QString("ZUN2 V1.07"));
    for (int i = 0; i < frame->childCount(); ++i) {
      const QString name = frame->child(i)->object()->objectName();
      QVERIFY2(!name.startsWith("shp_"), qPrintable(name));
      QCOMPARE(frame->indexOfChild(frame->child(i)), i);
    }
    QCOMPARE(UnnamedControls(w.window.get()).join(","), QString());
    QCOMPARE(NameOf(w.Find("txt_tabspace")), QString("TAB Space"));  // from its label
    auto* action = w.Find("img_action");
    QCOMPARE(uitest::Accessible(action)->text(QAccessible::Description), QString("PC to Palm"));
    QTest::mouseClick(action, Qt::LeftButton);
    QCOMPARE(uitest::Accessible(action)->text(QAccessible::Description), QString("both ways"));
    QCOMPARE(uitest::Accessible(w.Tasks())->tableInterface()->cellAt(0, 0)->text(QAccessible::Name),
             QString("both ways, OK"));  // the direction and the "Sync" symbol

    // A box is editable for assistive technology exactly while it is for the keyboard.
    auto editable = [](QWidget* box) {
      QAccessibleInterface* node = uitest::Accessible(box);
      return node->state().editable && node->editableTextInterface() != nullptr && !node->state().readOnly;
    };
    QVERIFY(uitest::Accessible(w.Find("txt_status"))->state().readOnly);
    QVERIFY(!editable(w.Find("txt_status")));
    QVERIFY(editable(w.Find("txt_pcfile")));
    QCOMPARE(uitest::Accessible(w.Find("txt_status"))->textInterface()->text(0, 2), QString("OK"));
    w.Click("cmd_delete");  // no task: the file boxes are locked, the number boxes disabled
    QVERIFY(uitest::Accessible(w.Find("txt_pcfile"))->state().readOnly);
    QVERIFY(!editable(w.Find("txt_pcfile")));
    QVERIFY(!editable(w.Find("txt_tabspace")));
    w.Click("cmd_clipsettings");  // the caption says the editor shows the clipboard task now
    QCOMPARE(NameOf(w.Find("lbl_editor")), QString("Clipboard task settings"));

    zun::ui::PromptState state;
    zun::ui::OverwriteDialog overwrite(w.window.get(), state, [] {});
    overwrite.SetQuestion("Palm File already exists! Overwrite file?", "/a/b.pdb");
    QCOMPARE(UnnamedControls(&overwrite), QStringList());
    zun::ui::BothChangedDialog both(w.window.get(), state);
    QCOMPARE(UnnamedControls(&both), QStringList());
  }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
