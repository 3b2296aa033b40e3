// Helpers for the window tests: a started window in a temporary program folder, finding
// controls by name, answering modal dialogs from a timer.
#pragma once
#include <QAbstractButton>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <functional>
#include <memory>

#include "support/test_support.h"
#include "ui/main_window.h"

namespace uitest {

inline std::string LibraryFolder() { return std::string(ZUN2_BIN_DIR) + "/"; }

struct Window {
  zuntest::TempDir programDir;
  zuntest::TempDir files;
  zuntest::ScopedEnv home{"HOME", files.Path()};
  std::unique_ptr<zun::ui::MainWindow> window;

  // Starts the window; `users` defaults to none (only "Custom").
  bool Start(std::unique_ptr<zun::UserManager> users = nullptr, std::vector<std::string> codecFolders = {}) {
    zun::ui::StartOptions options;
    options.programDir = programDir.Path();
    options.codecFolders = codecFolders.empty() ? std::vector<std::string>{LibraryFolder()} : codecFolders;
    options.users = std::move(users);
    window = std::make_unique<zun::ui::MainWindow>(std::move(options));
    return window->Start();
  }
  template <typename T = QWidget>
  T* Find(const char* name) const {
    T* found = window->findChild<T*>(name);
    if (found == nullptr) qWarning("no control named %s", name);
    return found;
  }
  // Replaces a box's text in one edit, as pasting does.
  void Paste(const char* name, const std::string& text) const {
    auto* box = Find<QLineEdit>(name);
    box->selectAll();
    box->insert(QString::fromStdString(text));
  }
  void Click(const char* name) const { QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton); }
  QTreeWidget* Tasks() const { return Find<QTreeWidget>("lvw_tasks"); }
  // Clicks row `row` (from 1) of the task list in a column: 0 "Sync", 1 "PC File", 2 "Palm File".
  void ClickRow(int row, int column = 1) const {
    QTreeWidget* tasks = Tasks();
    const QRect rect = tasks->visualItemRect(tasks->topLevelItem(row - 1));
    const int x = tasks->header()->sectionViewportPosition(column) + 3;
    QTest::mouseClick(tasks->viewport(), Qt::LeftButton, {}, QPoint(x, rect.center().y()));
  }
  // Adds a task through the window: `clicks` on the direction picture (2: PC to Palm), then the
  // two file boxes.
  void AddTask(int clicks, const std::string& pcFile, const std::string& palmFile) const {
    Click("cmd_new");
    for (int i = 0; i < clicks; ++i) QTest::mouseClick(Find("img_action"), Qt::LeftButton);
    Paste("txt_pcfile", pcFile);
    Paste("txt_palmfile", palmFile);
  }
  // Read from the file as it is on disk: the window holds the data folder's lock.
  zun::TaskRecord Record(int number) const {
    const zuntest::Bytes bytes = zuntest::ReadBytes(programDir / "zundata.dat");
    std::array<uint8_t, zun::kTaskRecordSize> record{};
    const size_t at = static_cast<size_t>(number - 1) * zun::kTaskRecordSize;
    if (at + record.size() <= bytes.size()) std::copy_n(bytes.begin() + static_cast<long>(at), record.size(), record.begin());
    return zun::DecodeTaskRecord(record);
  }
};

// Timers still waiting for a modal dialog; a test ends with none (see PendingAnswers).
inline QList<QTimer*>& WaitingTimers() {
  static QList<QTimer*> timers;
  return timers;
}

// How many answers never met their dialog; forgets them. Call from a test's cleanup().
inline int PendingAnswers() {
  const int pending = WaitingTimers().size();
  qDeleteAll(WaitingTimers());
  WaitingTimers().clear();
  return pending;
}

// Runs `answer` on the next modal dialog as soon as it shows.
inline void AnswerNextModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  WaitingTimers().append(timer);
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      WaitingTimers().removeOne(timer);
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start();
}

// Clicks the button `name` of the next modal dialog.
inline void ClickInNextModal(const char* name) {
  AnswerNextModal([name](QWidget* modal) {
    auto* button = modal->findChild<QAbstractButton*>(name);
    QVERIFY2(button != nullptr, name);
    button->click();
  });
}

}  // namespace uitest
