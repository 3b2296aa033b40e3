// frmMain: start-up, shut-down, the forwarding of user actions, the conversion run, the tray.
#include "ui/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "clipboard/clipboard_conversion.h"
#include "glue/browser.h"
#include "glue/codec_loader.h"
#include "glue/file_system.h"
#include "tasks/conversion_run.h"
#include "ui/info_window.h"
#include "ui/pictures.h"
#include "ui/qt_file_dialogs.h"

namespace zun::ui {
namespace {

constexpr int kRowHeight = 20;
constexpr int kWheelRows = 3;

std::string LocaleDate(std::time_t time, bool withTime) {
  const QDateTime when = QDateTime::fromSecsSinceEpoch(time);
  const QLocale locale;
  return (withTime ? locale.toString(when, QLocale::ShortFormat) : locale.toString(when.date(), QLocale::ShortFormat))
      .toStdString();
}

// The run's view: the model follows the tasks, the window shows each step at once.
class WindowRunView : public RunView {
 public:
  WindowRunView(EditorModel& model, std::function<void()> mirror) : model_(model), mirror_(std::move(mirror)) {}
  void ShowTask(int32_t row) override {
    model_.ShowTask(row);
    mirror_();
  }
  void ShowOutcome(int32_t row, const TaskRecord& task, const std::string& symbol) override {
    model_.ShowOutcome(row, task, symbol);
    mirror_();
  }

 private:
  EditorModel& model_;
  std::function<void()> mirror_;
};

}  // namespace

MainWindow::MainWindow(StartOptions options)
    : options_(std::move(options)), data_(options_.programDir) {
  if (!options_.users) options_.users = std::make_unique<NoUsers>();
  qtDialogs_ = std::make_unique<QtFileDialogs>(this);
  dialogs_ = qtDialogs_.get();
  model_ = std::make_unique<EditorModel>(data_, *options_.users, flags_);
  model_->formatDate = LocaleDate;
  model_->clipboardSource = [] {
    const QString text = QApplication::clipboard()->text();
    return text.isEmpty() ? std::nullopt : std::optional<std::string>(text.toStdString());
  };
  Build();
  BuildTray();
  Connect();
}

MainWindow::~MainWindow() { ShutDown(); }

bool MainWindow::HasTray() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool MainWindow::Start() {
  bool hidden = false;
  try {
    hidden = model_->Open();
  } catch (const std::exception& error) {
    QMessageBox::critical(this, kMessageTitle, QString("The data file could not be opened: %1").arg(error.what()));
    ShutDown();
    return false;
  }
  ensurePolished();
  model_->SetRowsPerPage(RowsPerPage());
  Mirror();
  // Hidden in the tray when it was left there, unless there is no tray to come back from.
  if (hidden && HasTray()) {
    setWindowState(Qt::WindowMinimized);
  } else if (hidden) {
    showMinimized();
  } else {
    show();
  }
  if (HasTray()) tray_->show();
  codec_ = LoadDocCodec(options_.codecFolders);
  if (!codec_) {
    QMessageBox box(QMessageBox::Critical, kMessageTitle, kCodecMissingMessage, QMessageBox::Ok, this);
    box.setObjectName("msgFatal");
    box.exec();
    ShutDown();
    return false;
  }
  model_->FinishStart();
  Mirror();
  return true;
}

void MainWindow::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  timer_->stop();
  data_.Close();
  if (tray_ != nullptr) tray_->hide();
}

int32_t MainWindow::RowsPerPage() const {
  const int header = tasks_->header()->sizeHint().height();
  const int frame = 2 * tasks_->frameWidth();
  return std::max(1, (tasks_->height() - header - frame) / kRowHeight);
}

ConversionEnv MainWindow::Env() {
  return ConversionEnv{*codec_, *options_.users, *this, flags_, options_.programDir, &data_};
}

template <typename Action>
void MainWindow::Forward(Action action) {
  if (shutDown_) return;
  action();
  Mirror();
  const std::string error = model_->TakeDataError();
  if (!error.empty()) QMessageBox::warning(this, kMessageTitle, QString::fromStdString(error));
}

void MainWindow::Connect() {
  connect(new_, &QPushButton::clicked, this, [this] { Forward([&] { model_->AddTask(); }); });
  connect(delete_, &QPushButton::clicked, this, [this] { Forward([&] { model_->DeleteTask(); }); });
  connect(saveDefault_, &QPushButton::clicked, this, [this] { Forward([&] { model_->SaveDefault(); }); });
  connect(convert_, &QPushButton::clicked, this, [this] { ConvertClicked(); });
  connect(clipSettings_, &QPushButton::clicked, this, [this] { Forward([&] { model_->ToggleClipSettings(); }); });
  connect(exit_, &QPushButton::clicked, this, [this] { close(); });
  connect(help_, &QToolButton::clicked, this, [this] { ShowHelp(); });
  connect(pelko_, &QToolButton::clicked, this, [this] { ShowInfo(); });
  connect(browsePc_, &QPushButton::clicked, this, [this] { Forward([&] { model_->BrowsePcFile(*dialogs_); }); });
  connect(browsePalm_, &QPushButton::clicked, this, [this] { Forward([&] { model_->BrowsePalmFile(*dialogs_); }); });
  connect(action_, &QToolButton::clicked, this, [this] { Forward([&] { model_->CycleAction(); }); });
  connect(autoNaming_, &QCheckBox::clicked, this, [this](bool on) { Forward([&] { model_->AutoNamingClicked(on); }); });
  connect(askOverwrite_, &QCheckBox::clicked, this,
          [this](bool on) { Forward([&] { model_->AskOverwriteClicked(on); }); });
  connect(countUp_, &QCheckBox::clicked, this, [this](bool on) { Forward([&] { model_->CountUpClicked(on); }); });
  connect(pcFile_, &QLineEdit::textEdited, this,
          [this](const QString& t) { Forward([&] { model_->PcFileEdited(t.toStdString()); }); });
  connect(palmFile_, &QLineEdit::textEdited, this,
          [this](const QString& t) { Forward([&] { model_->PalmFileEdited(t.toStdString()); }); });
  connect(tabSpace_, &QLineEdit::textEdited, this,
          [this](const QString& t) { Forward([&] { model_->TabSpaceEdited(t.toStdString()); }); });
  connect(category_, &QLineEdit::textEdited, this,
          [this](const QString& t) { Forward([&] { model_->CategoryEdited(t.toStdString()); }); });
  connect(countUpText_, &QLineEdit::textEdited, this,
          [this](const QString& t) { Forward([&] { model_->CountUpEdited(t.toStdString()); }); });
  connect(install_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    Forward([&] { model_->TargetChanged(install_->row(item), item->checkState() == Qt::Checked); });
  });
  connect(optionList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    Forward([&] { model_->OptionChanged(optionList_->row(item), item->checkState() == Qt::Checked); });
  });
  connect(tasks_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    const int32_t row = tasks_->indexOfTopLevelItem(item) + 1;
    Forward([&] { model_->ClickItem(row, lastClickX_ * kTwipsPerPixel, tasks_->width() * kTwipsPerPixel); });
  });
  connect(tasks_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem*, int) { Forward([&] { model_->DoubleClick(*dialogs_); }); });
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) { Forward([&] { model_->ScrollTo(value); }); });
  connect(timer_, &QTimer::timeout, this, [this] { Forward([&] { model_->TimerTick(); }); });
  tasks_->viewport()->installEventFilter(this);
  tasks_->installEventFilter(this);
  pcFile_->installEventFilter(this);
  palmFile_->installEventFilter(this);

  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) { TrayActivated(r); });
  const QList<QAction*> items = trayMenu_->actions();
  connect(items[0], &QAction::triggered, this, [this] { ConvertClipboardNow(); });
  connect(items[1], &QAction::triggered, this, [this] { RestoreWindow(); });
  connect(items[3], &QAction::triggered, this, [this] { close(); });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tasks_->viewport() && event->type() == QEvent::MouseButtonPress) {
    lastClickX_ = static_cast<QMouseEvent*>(event)->position().toPoint().x();
  } else if (watched == tasks_->viewport() && event->type() == QEvent::Wheel) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    Forward([&] { model_->ScrollTo(model_->State().top + (delta < 0 ? kWheelRows : -kWheelRows)); });
    return true;
  } else if (watched == tasks_ && event->type() == QEvent::KeyPress) {
    switch (static_cast<QKeyEvent*>(event)->key()) {
      case Qt::Key_Up:
        Forward([&] { model_->KeyDown(ListKey::Up); });
        return true;
      case Qt::Key_Down:
        Forward([&] { model_->KeyDown(ListKey::Down); });
        return true;
      case Qt::Key_Space:  // the "Sync" cell of the selected row, from the keyboard
        Forward([&] { model_->CycleAction(); });
        return true;
      case Qt::Key_PageUp:
      case Qt::Key_PageDown:
      case Qt::Key_Home:
      case Qt::Key_End:
        return true;  // the list scrolls only through VScroll1
      default:
        break;
    }
  } else if (event->type() == QEvent::KeyPress && (watched == action_ || watched == help_ || watched == pelko_)) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      static_cast<QToolButton*>(watched)->click();
      return true;
    }
  } else if (event->type() == QEvent::KeyPress && (watched == pcFile_ || watched == palmFile_)) {
    if (watched == pcFile_) {
      model_->PcFileKeyPressed();
    } else {
      model_->PalmFileKeyPressed();
    }
  }
  return QWidget::eventFilter(watched, event);
}

void MainWindow::ConvertClicked() {
  if (shutDown_) return;
  switch (model_->ConvertClicked()) {
    case ConvertRequest::ConvertClipboard:
      ConvertClipboardNow();
      break;
    case ConvertRequest::StopRequested:
      Mirror();
      break;
    case ConvertRequest::StartRun:
      RunAllTasksNow();
      break;
  }
}

void MainWindow::RunAllTasksNow() {
  running_ = true;
  Mirror();
  WindowRunView view(*model_, [this] { Mirror(); });
  ConversionEnv env = Env();
  const std::optional<std::string> failure = RunAllTasks(data_, env, view);
  model_->EndRun();
  running_ = false;
  Mirror();
  if (failure) QMessageBox::warning(this, kMessageTitle, QString::fromStdString(*failure));
  if (closeAfterRun_) close();
}

void MainWindow::ConvertClipboardNow() {
  // Not in the middle of a run or a prompt: the clipboard conversion uses the same editor.
  if (running_ || prompt_.open || shutDown_ || !codec_) return;
  running_ = true;
  Forward([&] {
    ConversionEnv env = Env();
    ConvertClipboard(data_, env, *model_);
  });
  running_ = false;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (running_) {
    // The run ends after its current task; the window closes then.
    flags_.stopRequested = true;
    closeAfterRun_ = true;
    event->ignore();
    return;
  }
  ShutDown();
  event->accept();
  QApplication::quit();
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange || shutDown_) return;
  const bool minimized = isMinimized();
  if (minimized && HasTray()) QTimer::singleShot(0, this, [this] { hide(); });  // only the tray icon remains
  Forward([&] { model_->WindowMinimized(minimized); });
}

void MainWindow::RestoreWindow() {
  showNormal();
  raise();
  activateWindow();
}

void MainWindow::TrayActivated(int reason) {
  if (prompt_.open || shutDown_) return;
  switch (reason) {
    case QSystemTrayIcon::Trigger:
      SetTrayIcon(1, kTrayTip);
      break;
    case QSystemTrayIcon::DoubleClick:
      SetTrayIcon(1, kTrayTip);
      RestoreWindow();
      break;
    case QSystemTrayIcon::Context:
      SetTrayIcon(1, kTrayTip);
      activateWindow();
      trayMenu_->popup(QCursor::pos());
      break;
    default:
      break;
  }
}

void MainWindow::ShowHelp() { OpenInBrowser("file://" + options_.programDir + kHelpPage); }

void MainWindow::ShowInfo() {
  InfoWindow info(this, options_.programDir, [this](const std::string& address) { OpenInBrowser(address); });
  info.exec();
}

void MainWindow::OpenInBrowser(const std::string& address) {
  const std::string page = CreateProbePage();
  const std::optional<std::vector<std::string>> command = BrowserCommand(address);
  bool started = false;
  if (command && !command->empty()) {
    QStringList arguments;
    for (size_t i = 1; i < command->size(); ++i) arguments << QString::fromStdString((*command)[i]);
    started = QProcess::startDetached(QString::fromStdString(command->front()), arguments);
  }
  if (!page.empty()) RemoveFile(page);
  if (!command) {
    QMessageBox box(QMessageBox::Warning, kBrowserNotFoundTitle, kBrowserNotFoundMessage, QMessageBox::Ok, this);
    box.exec();
  } else if (!started) {
    QMessageBox box(QMessageBox::Warning, kPageNotOpenedTitle, kPageNotOpenedMessage, QMessageBox::Ok, this);
    box.exec();
  }
}

// ConversionHost.

void MainWindow::SetAskOverwrite(bool on) { Forward([&] { model_->AskOverwriteClicked(on); }); }

OverwriteAnswer MainWindow::OverwritePrompt(const std::string& question, const std::string& path) {
  // "do not ask again" is stored at its click; the answer then carries nothing more to store.
  OverwriteDialog dialog(this, prompt_, [this] { SetAskOverwrite(false); });
  dialog.SetQuestion(QString::fromStdString(question), QString::fromStdString(path));
  dialog.exec();
  return OverwriteAnswer{prompt_.result, false};
}

PromptAnswer MainWindow::BothChangedPrompt() {
  BothChangedDialog dialog(this, prompt_);
  dialog.exec();
  return prompt_.result;
}

void MainWindow::ShowProgress(bool shown) {
  statusLabel_->setVisible(!shown);
  status_->setVisible(!shown);
  progressLabel_->setVisible(shown);
  progress_->setVisible(shown);
}

void MainWindow::SetProgressCaption(const std::string& caption) { progressLabel_->setText(QString::fromStdString(caption)); }

void MainWindow::SetProgressRange(int32_t maximum) {
  progress_->setRange(0, std::max(maximum, 1));
  progress_->setValue(0);
}

void MainWindow::SetProgressValue(int32_t value) { progress_->setValue(value); }

void MainWindow::SetTrayIcon(int32_t frame, const std::string& tip) {
  tray_->setIcon(TrayFrame(frame));
  tray_->setToolTip(QString::fromStdString(tip));
}

void MainWindow::LetEventsRun() {
  Mirror();
  QCoreApplication::processEvents();
}

}  // namespace zun::ui
