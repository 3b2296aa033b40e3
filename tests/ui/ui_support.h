// Helpers for the window tests: a started window in a temporary program folder, finding
// controls by name, acting as an assistive tool would, answering modal dialogs.
#pragma once
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "support/test_support.h"
#include "ui/main_window.h"
#include "ui/modal.h"
#include "ui/pictures.h"
#include "ui/shapes.h"

namespace uitest {

inline QAccessibleInterface* Accessible(QObject* object) { return QAccessible::queryAccessibleInterface(object); }

// Names of the focusable controls below `root` that a screen reader would announce without a name.
inline QStringList UnnamedControls(QObject* root) {
  QStringList unnamed;
  std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
    if (node == nullptr) return;
    auto* widget = qobject_cast<QWidget*>(node->object());
    if (widget != nullptr && node->state().focusable && node->text(QAccessible::Name).trimmed().isEmpty()) {
      unnamed << widget->objectName();
    }
    for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
  };
  walk(Accessible(root));
  return unnamed;
}

inline QString NameOf(QWidget* widget) { return Accessible(widget)->text(QAccessible::Name); }

// What a screen reader or an automation tool does: replace a box's text, run a named action.
inline void SetTextByAssistiveTool(QWidget* box, const QString& text) {
  QAccessibleInterface* node = Accessible(box);
  QAccessibleEditableTextInterface* editable = node->editableTextInterface();
  QVERIFY2(editable != nullptr, qPrintable(box->objectName()));
  editable->replaceText(0, node->textInterface()->characterCount(), text);
}
inline void ActByAssistiveTool(QWidget* control, const QString& action) {
  QAccessibleActionInterface* actions = Accessible(control)->actionInterface();
  QVERIFY2(actions != nullptr && actions->actionNames().contains(action), qPrintable(control->objectName()));
  actions->doAction(action);
  QTest::qWait(150);  // a press is an animated click
}

// A desktop without browser associations whose $BROWSER writes the address it was given into a
// file, with a temporary folder of its own. Declared after the window, whose folders stay in /tmp.
struct FakeDesktop {
  zuntest::TempDir dir;
  zuntest::ScopedEnv config{"XDG_CONFIG_HOME", dir / "none"};
  zuntest::ScopedEnv data{"XDG_DATA_HOME", dir / "none"};
  zuntest::ScopedEnv dataDirs{"XDG_DATA_DIRS", dir / "none"};
  zuntest::ScopedEnv configDirs{"XDG_CONFIG_DIRS", dir / "none"};
  zuntest::ScopedEnv path{"PATH", dir / "none"};
  zuntest::ScopedEnv temp{"TMPDIR", dir / "tmp"};
  std::string received = dir / "received";  // the address the browser was given
  std::string broken = dir / "broken";      // a browser that will not start
  zuntest::ScopedEnv browser{"BROWSER", dir / "browser"};
  QString Opened() const {
    return QString::fromStdString(zuntest::Exists(received) ? zuntest::ReadText(received) : "");
  }

  FakeDesktop() {
    std::filesystem::create_directory(dir / "tmp");
    zuntest::WriteText(dir / "browser", "#!/bin/sh\necho \"$1\" > '" + received + "'\n");
    zuntest::WriteText(broken, "#!/no/such/shell\n");
    for (const std::string& program : {dir / "browser", broken}) {
      std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    }
  }
};

// A task written before the start: its direction and files, "Custom" as its target.
struct SeededTask {
  zun::TaskAction action;
  std::string pcFile, palmFile;
};

struct Window {
  zuntest::TempDir programDir;
  zuntest::TempDir files;
  zuntest::ScopedEnv home{"HOME", files.Path()};
  zuntest::ScopedEnv dataHome{"XDG_DATA_HOME", files / ".local/share"};  // the Trash
  std::unique_ptr<zun::ui::MainWindow> window;
  bool trayShown = false;  // whether a system tray shows the icon
  bool realTray = false;   // ask the desktop instead (the desktop tests)

  void Seed(const std::vector<SeededTask>& tasks) const {
    zun::DataFile data(programDir.Path());
    data.OpenAndCheck();
    for (const SeededTask& seeded : tasks) zuntest::AddTask(data, seeded.action, seeded.pcFile, seeded.palmFile);
  }
  // Starts the window; `users` defaults to none (only "Custom").
  bool Start(std::unique_ptr<zun::UserManager> users = nullptr, const std::vector<std::string>& codecFolders = {}) {
    zun::ui::SetAnswersOnly(true);  // a dialog nobody answers fails the test instead of waiting
    zun::ui::StartOptions options;
    options.programDir = programDir.Path();
    options.codecFolders =
        codecFolders.empty() ? std::vector<std::string>{std::string(ZUN2_BIN_DIR) + "/"} : codecFolders;
    options.users = std::move(users);
    options.clipboardHelper = std::string(ZUN2_BIN_DIR) + "/zun2";
    window = std::make_unique<zun::ui::MainWindow>(std::move(options));
    if (!realTray) window->SetTrayProbe([this] { return trayShown; });
    return window->Start();
  }
  template <typename T = QWidget>
  T* Find(const char* name) const {
    T* found = window->findChild<T*>(name);
    if (found == nullptr) qWarning("no control named %s", name);
    return found;
  }
  void Click(const char* name) const { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }
  QTreeView* Tasks() const { return Find<QTreeView>("lvw_tasks"); }
  QAction* MenuItem(const char* name) const { return Find<QMenu>("mPopupSys")->findChild<QAction*>(name); }
  QString Cell(int row, int column) const { return Tasks()->model()->index(row - 1, column).data().toString(); }
  int Highlighted() const {
    const QModelIndexList rows = Tasks()->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.front().row() + 1 : 0;
  }
  // Clicks row `row` (from 1) of the task list `dx` pixels into a column: 0 "Sync", 1 "PC File", 2 "Palm File".
  void ClickRow(int row, int column = 1, int dx = 3, bool twice = false) const {
    QTreeView* tasks = Tasks();
    const QRect rect = tasks->visualRect(tasks->model()->index(row - 1, 0));
    const QPoint at(tasks->header()->sectionViewportPosition(column) + dx, rect.center().y());
    QTest::mouseClick(tasks->viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(tasks->viewport(), Qt::LeftButton, {}, at);
  }
  // Read from the file as it is on disk: the window holds the data folder's lock.
  zun::TaskRecord Record(int number) const {
    const zuntest::Bytes bytes = zuntest::ReadBytes(programDir / "zundata.dat");
    std::array<uint8_t, zun::kTaskRecordSize> record{};
    const size_t at = static_cast<size_t>(number - 1) * zun::kTaskRecordSize;
    if (at + record.size() <= bytes.size())
      std::copy_n(bytes.begin() + static_cast<long>(at), record.size(), record.begin());
    return zun::DecodeTaskRecord(record);
  }
  zuntest::Bytes Data() const { return zuntest::ReadBytes(programDir / "zundata.dat"); }
};

// Answers the next modal dialog in place of a user: `answer` gets the dialog, built but not
// shown, and the dialog ends with what the answer did to it. Answers are used in order.
inline void AnswerNextModal(const std::function<void(QDialog*)>& answer) {
  zun::ui::AnswerNextDialog([answer](QDialog& dialog) { answer(&dialog); });
}

// Answers the next dialog, a message box, as a user who read it: `shown` gets its title and text.
inline void AnswerMessage(QString& shown) {
  AnswerNextModal([&shown](QDialog* box) {
    shown = box->windowTitle() + ": " + qobject_cast<QMessageBox*>(box)->text();
    box->accept();
  });
}

// Answers that met no dialog and dialogs that met no answer; forgets both. Call from cleanup().
inline int PendingAnswers() { return zun::ui::UnmatchedAnswers(); }

// The visible controls of `window` that overlap a sibling or are too small for their caption
// (narrower than it wants, or lower than it needs); the decorations are left out.
inline QString Crowded(QWidget* window) {
  QCoreApplication::processEvents();  // the layout's pass
  QList<QWidget*> shown;
  for (QWidget* child : window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (child->isVisibleTo(window) && !child->isWindow() && !child->property(zun::ui::kDecorationProperty).toBool())
      shown << child;
  }
  QStringList crowded;
  for (qsizetype i = 0; i < shown.size(); ++i) {
    for (qsizetype j = i + 1; j < shown.size(); ++j) {
      if (shown[i]->geometry().intersects(shown[j]->geometry())) {
        crowded << shown[i]->objectName() + "/" + shown[j]->objectName();
      }
    }
    auto* button = qobject_cast<QAbstractButton*>(shown[i]);
    const bool captioned =
        qobject_cast<QLabel*>(shown[i]) != nullptr || (button != nullptr && !button->text().isEmpty());
    const QSize wanted(shown[i]->sizeHint().width(), shown[i]->minimumSizeHint().height());
    if (captioned && (shown[i]->width() < wanted.width() || shown[i]->height() < wanted.height())) {
      crowded << shown[i]->objectName();
    }
  }
  return crowded.join(",");
}

// How well a picture in `area` of `image` stands out: the median contrast ratio to the area's
// background (its commonest colour) of the pixels that visibly differ from it; 0 without any.
inline double PictureContrast(const QImage& image, const QRect& area) {
  QHash<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) ++counts[image.pixel(x, y)];
  }
  QRgb background = 0;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (it.value() > counts.value(background)) background = it.key();
  }
  std::vector<double> ink;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const double ratio = zun::ui::ContrastRatio(QColor(image.pixel(x, y)), QColor(background));
      if (ratio >= 1.2) ink.push_back(ratio);
    }
  }
  if (ink.size() < 10) return 0;
  std::nth_element(ink.begin(), ink.begin() + static_cast<long>(ink.size() / 2), ink.end());
  return ink[ink.size() / 2];
}

}  // namespace uitest
