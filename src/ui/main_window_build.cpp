// Building frmMain's controls: names, captions, tooltips and places.
#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <type_traits>
#include <vector>

#include "ui/main_window.h"
#include "ui/pictures.h"

namespace zun::ui {
namespace {

constexpr int kListShapes = 12;
constexpr int kBandShapes = 9;
const char* const kOptionEntries[] = {"Compress",     "TABs to Spaces", "Strip HTML", "CR to LF",
                                      "Allow Binary", "Raw!",           "UTF-8 Text"};

template <typename Widget>
Widget* Named(Widget* widget, const char* name, const QString& tip = {}) {
  widget->setObjectName(name);
  if constexpr (std::is_base_of_v<QWidget, Widget>) {
    if (!tip.isEmpty()) widget->setToolTip(tip);
  }
  return widget;
}

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect place) {
  auto* label = Named(new QLabel(text, parent), name);
  label->setGeometry(place);
  return label;
}

}  // namespace

void MainWindow::Build() {
  setObjectName("frmMain");
  setWindowTitle(kWindowCaption);
  setWindowIcon(ProgramIcon());
  setFixedSize(840, 432);
  BuildTopBar();
  BuildList();
  BuildEditor();
  BuildShapes();
  timer_ = Named(new QTimer(this), "Timer1");
  timer_->setInterval(500);
  // The keyboard's way: the list, the editor from left to right and top to bottom, the buttons.
  const std::vector<QWidget*> order = {tasks_, pcFile_, action_, palmFile_, browsePc_, browsePalm_, install_,
                                       optionList_, tabSpace_, category_, status_, delete_, saveDefault_, new_,
                                       convert_, clipSettings_, autoNaming_, askOverwrite_, countUp_, countUpText_,
                                       help_, pelko_, exit_};
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  for (QToolButton* picture : {action_, help_, pelko_}) {
    picture->setFocusPolicy(Qt::StrongFocus);
    picture->installEventFilter(this);  // Enter acts like Space
  }
}

void MainWindow::BuildTopBar() {
  new_ = Named(new QPushButton("New", this), "cmd_new", "add new task");
  new_->setGeometry(8, 8, 70, 26);
  newButtonRest_ = new_->geometry();
  convert_ = Named(new QPushButton("Convert", this), "cmd_convert", "convert all tasks");
  convert_->setGeometry(86, 8, 90, 26);
  clipSettings_ = Named(new QPushButton("Clip Setup", this), "cmd_clipsettings", "clipboard settings");
  clipSettings_->setGeometry(184, 8, 90, 26);
  autoNaming_ = Named(new QCheckBox("Auto Naming", this), "chk_autonaming", "auto name PC/Palm File");
  autoNaming_->setGeometry(290, 10, 110, 22);
  askOverwrite_ = Named(new QCheckBox("Ask Overwirte", this), "chk_askoverwrite", "ask overwrite if file already exists");
  askOverwrite_->setGeometry(404, 10, 120, 22);
  countUp_ = Named(new QCheckBox("File Count up", this), "chk_countup");
  countUp_->setGeometry(290, 10, 110, 22);
  countUpText_ = Named(new QLineEdit(this), "txt_countup", "file number 0-999");
  countUpText_->setGeometry(404, 9, 50, 24);
  countUpText_->setAccessibleName("file number 0-999");
  help_ = Named(new QToolButton(this), "img_help", "show help");
  help_->setIcon(QIcon(HelpPicture()));
  help_->setIconSize(QSize(24, 24));
  help_->setAutoRaise(true);
  help_->setGeometry(770, 6, 30, 30);
  help_->setAccessibleName("show help");
  pelko_ = Named(new QToolButton(this), "img_pelko", "show version info with ZUN2 home link");
  pelko_->setIcon(QIcon(InfoPicture()));
  pelko_->setIconSize(QSize(24, 24));
  pelko_->setAutoRaise(true);
  pelko_->setGeometry(802, 6, 30, 30);
  pelko_->setAccessibleName("show version info with ZUN2 home link");
  exit_ = Named(new QPushButton("Exit", this), "cmd_exit", "exit ZUN2");
  exit_->setGeometry(746, 396, 82, 26);
}

void MainWindow::BuildList() {
  tasks_ = Named(new QTreeWidget(this), "lvw_tasks");
  tasks_->setGeometry(8, 44, 400, 372);
  tasks_->setColumnCount(3);
  tasks_->setHeaderLabels({"Sync", "PC File", "Palm File"});
  tasks_->header()->moveSection(0, 1);  // on screen: "PC File", "Sync", "Palm File"
  tasks_->header()->setSectionsMovable(false);
  tasks_->setRootIsDecorated(false);
  tasks_->setUniformRowHeights(true);
  tasks_->setAllColumnsShowFocus(true);
  tasks_->setSelectionMode(QAbstractItemView::SingleSelection);
  tasks_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // VScroll1 scrolls it
  tasks_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tasks_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  tasks_->setAccessibleName("task list");
  tasks_->setTextElideMode(Qt::ElideNone);
  const ColumnLayout columns = ColumnsForWidth(tasks_->width() * kTwipsPerPixel);
  tasks_->setColumnWidth(0, columns.SyncWidth() / kTwipsPerPixel);
  tasks_->setColumnWidth(1, columns.fileWidth / kTwipsPerPixel);
  tasks_->setColumnWidth(2, columns.fileWidth / kTwipsPerPixel);
  scroll_ = Named(new QScrollBar(Qt::Vertical, this), "VScroll1");
  scroll_->setGeometry(408, 44, 16, 372);
  scroll_->setMinimum(1);
  scroll_->setMaximum(1);
  scroll_->setAccessibleName("scroll the task list");
}

void MainWindow::BuildEditor() {
  pcFile_ = Named(new QLineEdit(this), "txt_pcfile", "PC File name");
  pcFile_->setGeometry(476, 50, 150, 24);
  pcFile_->setAccessibleName("PC File name");
  action_ = Named(new QToolButton(this), "img_action", "direction of conversion");
  action_->setGeometry(633, 42, 38, 38);
  action_->setIconSize(QSize(32, 32));
  action_->setAutoRaise(true);
  palmFile_ = Named(new QLineEdit(this), "txt_palmfile", "Palm File name");
  palmFile_->setGeometry(678, 50, 150, 24);
  palmFile_->setAccessibleName("Palm File name");
  browsePc_ = Named(new QPushButton("Browse", this), "cmd_browsepcfile", "browse PC File");
  browsePc_->setGeometry(476, 80, 70, 24);
  browsePalm_ = Named(new QPushButton("Browse", this), "cmd_browsepalmfile", "browse Palm File");
  browsePalm_->setGeometry(678, 80, 70, 24);
  pcInfo_ = Named(new QPlainTextEdit(this), "txt_pcfiledata", "file info Palm File");
  palmInfo_ = Named(new QPlainTextEdit(this), "txt_palmfiledata", "file info Palm File");
  pcInfo_->setAccessibleName("PC File information");
  palmInfo_->setAccessibleName("Palm File information");
  for (QPlainTextEdit* info : {pcInfo_, palmInfo_}) {
    info->setReadOnly(true);
    info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    info->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    info->setFocusPolicy(Qt::NoFocus);
  }
  pcInfo_->setGeometry(476, 108, 150, 42);
  palmInfo_->setGeometry(678, 108, 150, 42);

  installLabel_ = Label(this, "lbl_install", "Install", QRect(476, 156, 170, 18));
  install_ = Named(new QListWidget(this), "lst_install", "user or custom directory setting");
  install_->setGeometry(476, 174, 170, 110);
  optionsLabel_ = Label(this, "lbl_options", "Options", QRect(658, 156, 170, 18));
  optionList_ = Named(new QListWidget(this), "lst_options", "conversion options");
  optionList_->setGeometry(658, 174, 170, 110);
  for (const char* entry : kOptionEntries) {
    auto* item = new QListWidgetItem(entry, optionList_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
  }
  const QString handheldSet = QString::fromStdString(CharsetDisplayName(options_.handheldCharset));
  optionList_->item(kOptUtf8Text)->setToolTip(QString("UTF-8 on the PC, %1 on the handheld").arg(handheldSet));
  installLabel_->setBuddy(install_);
  install_->setAccessibleName("Install");
  optionList_->setAccessibleName("Options");
  optionsLabel_->setBuddy(optionList_);

  tabLabel_ = Label(this, "lbl_tabspace", "TAB Space", QRect(476, 296, 72, 20));
  tabSpace_ = Named(new QLineEdit(this), "txt_tabspace", "TAB space (0-64) - valid if 'Convert TABs' is set");
  tabSpace_->setGeometry(550, 294, 40, 24);
  categoryLabel_ = Label(this, "lbl_category", "Category", QRect(658, 296, 70, 20));
  category_ = Named(new QLineEdit(this), "txt_category", "catergory of Palm document on (0-15)");
  category_->setGeometry(730, 294, 40, 24);
  tabLabel_->setBuddy(tabSpace_);
  categoryLabel_->setBuddy(category_);

  statusLabel_ = Label(this, "lbl_status", "Status", QRect(476, 330, 52, 20));
  status_ = Named(new QLineEdit(this), "txt_status", "status of last conversion");
  status_->setGeometry(530, 328, 298, 24);
  status_->setReadOnly(true);
  statusLabel_->setBuddy(status_);
  progressLabel_ = Label(this, "lbl_progress", "Progress", QRect(476, 330, 52, 20));
  progress_ = Named(new QProgressBar(this), "ProgressBar1");
  progress_->setGeometry(530, 328, 298, 24);
  progress_->setAccessibleName("Progress");
  progressLabel_->hide();
  progress_->hide();

  delete_ = Named(new QPushButton("Delete", this), "cmd_delete", "delete task");
  delete_->setGeometry(476, 362, 80, 26);
  saveDefault_ = Named(new QPushButton("Save Default", this), "cmd_savedefault", "save settings of this task as default");
  saveDefault_->setGeometry(564, 362, 112, 26);
}

void MainWindow::BuildShapes() {
  // shp_conr: the strip between list and editor; shp_con: the band from the selected row to
  // the editor; shp_clip: the frame round the editor.
  listShapes_ = Named(new QWidget(this), "shp_conr");
  listShapes_->setGeometry(428, 44, 14, 372);
  for (int i = 0; i < kListShapes; ++i) {
    auto* shape = new QFrame(listShapes_);
    shape->setObjectName(QString("shp_conr_%1").arg(i));
    shape->setGeometry(0, i * 31, 14, 27);
    shape->setAutoFillBackground(true);
  }
  band_ = Named(new QWidget(this), "shp_con");
  band_->setGeometry(424, 44, 44, 20);
  for (int i = 0; i < kBandShapes; ++i) {
    auto* shape = new QFrame(band_);
    shape->setObjectName(QString("shp_con_%1").arg(i));
    shape->setGeometry(i * 5, 0, 4, 20);
    shape->setAutoFillBackground(true);
  }
  clipShape_ = Named(new QFrame(this), "shp_clip");
  clipShape_->setGeometry(468, 38, 366, 356);
  clipShape_->setFrameShape(QFrame::Box);
  clipShape_->setLineWidth(2);
  clipShape_->lower();
  listShapes_->lower();
  band_->lower();
}

void MainWindow::BuildTray() {
  tray_ = new QSystemTrayIcon(this);
  tray_->setObjectName("trayIcon");
  tray_->setIcon(TrayFrame(1));
  tray_->setToolTip(kTrayTip);
  trayMenu_ = Named(new QMenu(this), "mPopupSys");
  trayMenu_->addAction("&Convert Clipboard")->setObjectName("mPopConvertClipboard");
  trayMenu_->addAction("&Restore Window")->setObjectName("mPopRestoreWindow");
  trayMenu_->addSeparator()->setObjectName("mnuSepp");
  trayMenu_->addAction("&Exit")->setObjectName("mPopExit");
}

}  // namespace zun::ui
