// frmMain: start-up, shut-down, the forwarding of user actions, help.
#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "glue/browser.h"
#include "glue/codec_loader.h"
#include "glue/file_system.h"
#include "ui/clipboard_reader.h"
#include "ui/desktop.h"
#include "ui/info_window.h"
#include "ui/modal.h"
#include "ui/pictures.h"
#include "ui/qt_file_dialogs.h"
#include "ui/single_window.h"
#include "ui/task_list_model.h"

namespace zun::ui {
namespace {

constexpr int kWheelRows = 3;

std::string LocaleDate(std::time_t time, bool withTime) {
  const QDateTime when = QDateTime::fromSecsSinceEpoch(time);
  const QLocale locale;
  return (withTime ? locale.toString(when, QLocale::ShortFormat) : locale.toString(when.date(), QLocale::ShortFormat))
      .toStdString();
}

}  // namespace

MainWindow::MainWindow(StartOptions options) : options_(std::move(options)), data_(options_.programDir) {
  if (!options_.users) options_.users = std::make_unique<NoUsers>();
  qtDialogs_ = std::make_unique<QtFileDialogs>(this);
  dialogs_ = qtDialogs_.get();
  model_ = std::make_unique<EditorModel>(data_, *options_.users, flags_);
  model_->formatDate = LocaleDate;
  model_->clipboardSource = [this] { return ReadClipboard(QString::fromStdString(options_.clipboardHelper)); };
  beacon_ = new WindowBeacon([this](const QString& token) { ComeForward(token); });
  beacon_->setParent(this);
  Build();
  BuildTray();
  Connect();
  ConnectTray();
}

MainWindow::~MainWindow() {
  ShutDown();
  // A box that has the focus reports it left when the children go, after this part is gone.
  for (QLineEdit* box : {pcFile_, palmFile_}) box->disconnect(this);
}

bool MainWindow::Start() {
  bool hidden = false;
  try {
    hidden = model_->Open();
  } catch (const DataFolderInUse& error) {
    // One program at a time per data folder: this window ends before it reads or writes anything.
    // A window holding the folder comes forward (also out of the tray) instead; the message is
    // for a folder held by something else (a zundoc run).
    if (BringRunningWindowForward(options_.programDir)) {
      handedOver_ = true;
      ShutDown();
      return false;
    }
    ShowMessage(this, QMessageBox::Warning, kMessageTitle,
                QString("ZUN2 cannot start here: %1.\nClose the other window, or wait until the run ends.")
                    .arg(QString::fromStdString(error.what())),
                "msgInUse");
    ShutDown();
    return false;
  } catch (const std::exception& error) {
    ShowMessage(this, QMessageBox::Critical, kMessageTitle,
                QString("The data file could not be opened: %1").arg(error.what()));
    ShutDown();
    return false;
  }
  beacon_->Listen(options_.programDir);
  ensurePolished();
  model_->SetRowsPerPage(RowsPerPage());
  Mirror();
  // The icon is asked for even without a tray: Qt shows it as soon as a tray appears.
  tray_->show();
  // Hidden in the tray when it was left there, unless there is no tray to come back from. Not
  // shown at all rather than minimized: a window that is minimized before it was ever mapped
  // carries that state into its first map, and the window manager minimizes the restored window
  // again at once.
  if (hidden && HasTray()) {
    trayWatch_->start();
  } else if (hidden && MinimizeIsReported()) {
    showMinimized();
  } else {
    show();
  }
  codec_ = LoadDocCodec(options_.codecFolders);
  if (!codec_) {
    ShowMessage(this, QMessageBox::Critical, kMessageTitle, kCodecMissingMessage, "msgFatal");
    ShutDown();
    return false;
  }
  model_->FinishStart();
  Mirror();
  const std::string note = model_->TakeDataError();  // a data file that started anew, say
  if (!note.empty())
    ShowMessage(this, QMessageBox::Warning, kMessageTitle, QString::fromStdString(note), "msgStartedAnew");
  FollowConvertOnChange();
  return true;
}

void MainWindow::ShutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  timer_->stop();
  trayWatch_->stop();
  watch_.reset();
  data_.Close();
  if (tray_ != nullptr) tray_->hide();
}

ConversionEnv MainWindow::Env() {
  ConversionEnv env{*codec_, *options_.users, *this, flags_, options_.programDir, &data_, options_.handheldCharset};
  env.keepBases = true;
  env.useTrash = true;
  return env;
}

void MainWindow::Forwarded() {
  Mirror();
  const std::string error = model_->TakeDataError();
  if (!error.empty()) ShowMessage(this, QMessageBox::Warning, kMessageTitle, QString::fromStdString(error));
}

void MainWindow::Connect() {
  connect(new_, &QPushButton::clicked, this, [this] { Forward([&] { model_->AddTask(); }); });
  connect(delete_, &QPushButton::clicked, this, [this] { Forward([&] { model_->DeleteTask(); }); });
  connect(saveDefault_, &QPushButton::clicked, this, [this] { Forward([&] { model_->SaveDefault(); }); });
  connect(convert_, &QPushButton::clicked, this, [this] { ConvertClicked(); });
  connect(clipSettings_, &QPushButton::clicked, this, [this] { Forward([&] { model_->ToggleClipSettings(); }); });
  connect(exit_, &QPushButton::clicked, this, [this] { close(); });
  // Queued: whoever pressed (a click, an assistive tool's action) gets its answer before the
  // browser is looked for or the information window waits for its OK.
  connect(
      help_, &QToolButton::clicked, this, [this] { ShowHelp(); }, Qt::QueuedConnection);
  connect(
      pelko_, &QToolButton::clicked, this, [this] { ShowInfo(); }, Qt::QueuedConnection);
  connect(browsePc_, &QPushButton::clicked, this, [this] { Forward([&] { model_->BrowsePcFile(*dialogs_); }); });
  connect(browsePalm_, &QPushButton::clicked, this, [this] { Forward([&] { model_->BrowsePalmFile(*dialogs_); }); });
  ConnectEditor();

  connect(tasks_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { ListSelectionChanged(); });
  connect(tasks_, &QTreeView::clicked, this, [this](const QModelIndex& index) {
    Forward([&] { model_->ClickItem(index.row() + 1, lastClickX_, ListColumnBounds()); });
  });
  connect(tasks_, &QTreeView::doubleClicked, this, [this] { Forward([&] { model_->DoubleClick(*dialogs_); }); });
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) { Forward([&] { model_->ScrollTo(value); }); });
  connect(timer_, &QTimer::timeout, this, [this] { Forward([&] { model_->TimerTick(); }); });
  tasks_->viewport()->installEventFilter(this);
  tasks_->installEventFilter(this);
  pcFile_->installEventFilter(this);
  palmFile_->installEventFilter(this);

}

// Every change of a box, a switch or a check mark that is not the window's own showing of the
// model is the user's (typed, pasted, an input method, an assistive tool) and is stored.
void MainWindow::ConnectEditor() {
  auto text = [this](QLineEdit* box, void (EditorModel::*edited)(const std::string&)) {
    connect(box, &QLineEdit::textChanged, this,
            [this, edited](const QString& t) { Forward([&] { (model_.get()->*edited)(t.toStdString()); }); });
  };
  for (QLineEdit* box : {pcFile_, palmFile_}) {
    connect(box, &QLineEdit::editingFinished, this, [this] { Forward([&] { model_->FileBoxLeft(); }); });
  }
  text(pcFile_, &EditorModel::PcFileEdited);
  text(palmFile_, &EditorModel::PalmFileEdited);
  text(tabSpace_, &EditorModel::TabSpaceEdited);
  text(category_, &EditorModel::CategoryEdited);
  text(countUpText_, &EditorModel::CountUpEdited);
  auto toggle = [this](QCheckBox* box, void (EditorModel::*clicked)(bool)) {
    connect(box, &QCheckBox::toggled, this,
            [this, clicked](bool on) { Forward([&] { (model_.get()->*clicked)(on); }); });
  };
  toggle(autoNaming_, &EditorModel::AutoNamingClicked);
  toggle(askOverwrite_, &EditorModel::AskOverwriteClicked);
  toggle(convertOnChange_, &EditorModel::ConvertOnChangeClicked);
  connect(convertOnChange_, &QCheckBox::toggled, this, [this] { FollowConvertOnChange(); });
  toggle(countUp_, &EditorModel::CountUpClicked);
  connect(install_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    Forward([&] { model_->TargetChanged(install_->row(item), item->checkState() == Qt::Checked); });
  });
  connect(optionList_, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    Forward([&] { model_->OptionChanged(optionList_->row(item), item->checkState() == Qt::Checked); });
  });
  connect(action_, &QToolButton::clicked, this, [this] { Forward([&] { model_->CycleAction(); }); });
}

void MainWindow::ListSelectionChanged() {
  if (mirroring_ || shutDown_) return;
  const QModelIndexList rows = tasks_->selectionModel()->selectedRows();
  if (rows.isEmpty()) {
    // Unselected from outside (an assistive tool selecting another row clears first): the
    // model's row is highlighted again once that is over.
    QTimer::singleShot(0, this, [this] { Mirror(); });
    return;
  }
  const int wanted = rows.constLast().row() + 1;
  Forward([&] { model_->SelectRow(wanted); });
}

ColumnBounds MainWindow::ListColumnBounds() const {
  const QHeaderView* header = tasks_->header();
  auto end = [header](int column) { return header->sectionViewportPosition(column) + header->sectionSize(column); };
  return ColumnBounds{end(kPcFileColumn), end(kSyncColumn)};
}

bool MainWindow::ListKeyPressed(int key) {
  if (key == Qt::Key_Space) {  // the "Sync" cell of the selected row, from the keyboard
    Forward([&] { model_->CycleAction(); });
    return true;
  }
  static const std::pair<int, ListKey> kListKeys[] = {
      {Qt::Key_Up, ListKey::Up},         {Qt::Key_Down, ListKey::Down},
      {Qt::Key_PageUp, ListKey::PageUp}, {Qt::Key_PageDown, ListKey::PageDown},
      {Qt::Key_Home, ListKey::Home},     {Qt::Key_End, ListKey::End}};
  for (const auto& pair : kListKeys) {
    if (pair.first != key) continue;
    Forward([&] { model_->KeyDown(pair.second); });
    return true;
  }
  return false;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tasks_->viewport() && event->type() == QEvent::MouseButtonPress) {
    lastClickX_ = static_cast<QMouseEvent*>(event)->position().toPoint().x();
  } else if (watched == tasks_->viewport() && event->type() == QEvent::Wheel) {
    const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
    Forward([&] { model_->ScrollTo(model_->State().top + (delta < 0 ? kWheelRows : -kWheelRows)); });
    return true;
  } else if (watched == tasks_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
      if (ListKeyPressed(key->key())) return true;
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

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!shutDown_ && !model_->RequestExit()) {
    // The conversion going on ends first (a run after its current task); the window closes then.
    Mirror();
    event->ignore();
    return;
  }
  ShutDown();
  event->accept();
  QApplication::quit();
}

void MainWindow::ShowHelp() { OpenInBrowser("file://" + options_.programDir + kHelpPage); }

void MainWindow::ShowInfo() {
  InfoWindow info(this, options_.programDir, [this](const std::string& address) { OpenInBrowser(address); });
  RunModal(info);
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
    ShowMessage(this, QMessageBox::Warning, kBrowserNotFoundTitle, kBrowserNotFoundMessage);
  } else if (!started) {
    ShowMessage(this, QMessageBox::Warning, kPageNotOpenedTitle, kPageNotOpenedMessage);
  }
}

}  // namespace zun::ui
