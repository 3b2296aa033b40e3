// "Convert on change" in the window: the core's watcher and plan, woken by a QSocketNotifier on
// the watcher's inotify descriptor, with a QTimer for the quiet time. The window holds the data
// folder all its life, so it runs what zundoc watch would run meanwhile.
#include <QApplication>
#include <QDateTime>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include "glue/desktop_notice.h"
#include "glue/inotify_watcher.h"
#include "tasks/conversion_run.h"
#include "tasks/watch_plan.h"
#include "ui/main_window.h"

namespace zun::ui {

struct MainWindow::Watch {
  Watch(const std::string& programDir, UserManager& users, int32_t entries) : plan(programDir, users, entries) {}
  FolderWatcher watcher;
  WatchPlan plan;
  std::unique_ptr<QSocketNotifier> notifier;
  std::unique_ptr<QTimer> quiet;
};

void MainWindow::WatchDeleter::operator()(Watch* watch) const { delete watch; }

void MainWindow::FollowConvertOnChange() {
  const bool wanted = !shutDown_ && codec_ && model_->State().convertOnChange;
  if (wanted == (watch_ != nullptr)) return;
  if (!wanted && unattended_ != nullptr) return;  // the run uses the plan: gone when it ends
  if (!wanted) {
    watch_.reset();
    return;
  }
  try {
    watch_.reset(
        new Watch(options_.programDir, *options_.users, static_cast<int32_t>(model_->State().installEntries.size())));
  } catch (const std::exception& error) {
    QMessageBox::warning(this, kMessageTitle, QString("Files cannot be watched: %1").arg(error.what()));
    return;
  }
  watch_->notifier = std::make_unique<QSocketNotifier>(watch_->watcher.Descriptor(), QSocketNotifier::Read);
  connect(watch_->notifier.get(), &QSocketNotifier::activated, this, [this] { WatchedFilesChanged(); });
  watch_->quiet = std::make_unique<QTimer>();
  watch_->quiet->setSingleShot(true);
  watch_->quiet->setInterval(static_cast<int>(kDefaultQuietTime.count()));
  connect(watch_->quiet.get(), &QTimer::timeout, this, [this] { QuietTimeOver(); });
  try {
    watch_->plan.Follow(ReadTaskList(data_));
  } catch (const std::exception&) {
    // The data file failed: the next change of it reads the list again.
  }
  watch_->watcher.WatchFolders(watch_->plan.Folders());
  watch_->quiet->start();  // every task is new: what changed meanwhile runs soon
}

void MainWindow::WatchedFilesChanged() {
  if (!watch_) return;
  const FolderWatcher::Changes changes = watch_->watcher.ReadChanges();
  bool relevant = false;
  for (const std::string& path : changes.paths) relevant = watch_->plan.Changed(path) || relevant;
  if (changes.rearm) {  // a folder that appeared may hold a file already
    relevant = watch_->plan.FoldersAppeared(watch_->watcher.WatchFolders(watch_->plan.Folders()).added) || relevant;
  }
  if (changes.overflow) {
    watch_->plan.AllChanged();
    relevant = true;
  }
  if (relevant) watch_->quiet->start();  // the quiet time starts anew
}

bool MainWindow::BusyForUnattendedRun() const {
  if (!model_->State().UnattendedRunAllowed() || prompt_.open || QApplication::activeModalWidget() != nullptr) {
    return true;
  }
  // Typing in a box of the editor: the task is not set up yet.
  const QWidget* focus = QApplication::focusWidget();
  const bool inBox = focus == pcFile_ || focus == palmFile_ || focus == tabSpace_ || focus == category_;
  return inBox && isActiveWindow();
}

void MainWindow::QuietTimeOver() {
  if (!watch_) return;
  if (BusyForUnattendedRun()) {
    watch_->quiet->start();  // asked again after another quiet time
    return;
  }
  try {
    if (watch_->plan.TaskListChanged()) {
      watch_->plan.Follow(ReadTaskList(data_));
      watch_->watcher.WatchFolders(watch_->plan.Folders());
    }
    const std::vector<int32_t> rows = watch_->plan.TakeDueRows();
    if (!rows.empty()) RunUnattended(rows);
  } catch (const std::exception& error) {
    QMessageBox::warning(this, kMessageTitle, QString::fromStdString(error.what()));
  }
}

void MainWindow::RunUnattended(const std::vector<int32_t>& rows) {
  if (!watch_ || model_->ConvertClicked() != ConvertRequest::StartRun) return;
  Mirror();
  sinceRedraw_.invalidate();
  UnattendedAnswers answers;
  unattended_ = &answers;
  TaskHooks hooks = UnattendedHooks(answers, watch_->plan);
  RunTally tally;
  hooks.after = [after = hooks.after, &tally](int32_t row, TaskRecord& task) {
    after(row, task);
    tally.Count(task.Status.Trimmed());
  };
  ConversionEnv env = Env();
  const std::optional<std::string> failure = RunTasks(data_, env, *model_, rows, hooks);
  unattended_ = nullptr;
  const bool exitDue = model_->EndRun();
  watch_->plan.DataFileLeft();
  FollowConvertOnChange();  // switched off meanwhile
  autoRunResult_ =
      QString("Convert on change, %1: %2")
          .arg(QLocale().toString(QTime::currentTime(), QLocale::ShortFormat), QString::fromStdString(tally.Text()));
  SetTrayIcon(kTrayRestFrame, kTrayTip);
  Mirror();
  if (const std::vector<LeftTask> left = answers.TakeLeftTasks(); !left.empty()) {
    const Notice notice = NoticeFor(left);
    ShowDesktopNotice(notice.summary, notice.body);
  }
  if (failure) QMessageBox::warning(this, kMessageTitle, QString::fromStdString(*failure));
  ConversionEnded(exitDue);
}

}  // namespace zun::ui
