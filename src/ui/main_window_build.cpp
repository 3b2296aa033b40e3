// Building frmMain's controls: names, captions, tooltips and places. Widths follow the captions'
// sizes in the font in use, so every caption fits.
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "convert/conversion_env.h"
#include "ui/accessibility.h"
#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/shapes.h"
#include "ui/task_list_model.h"

namespace zun::ui {
namespace {

constexpr int kWindowWidth = 840;
constexpr int kWindowHeight = 432;
constexpr int kTimerInterval = 500;
constexpr int kTrayWatchInterval = 1000;
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

// A width that holds the widget's caption: at least `width`, more when the font needs it.
int Fitting(const QWidget* widget, int width) { return std::max(width, widget->sizeHint().width()); }

QLabel* Label(QWidget* parent, const char* name, const QString& text, QRect place) {
  auto* label = Named(new QLabel(text, parent), name);
  place.setWidth(Fitting(label, place.width()));
  label->setGeometry(place);
  return label;
}

QToolButton* Picture(QWidget* parent, const char* name, const QString& tip, const QPixmap& picture, QRect place) {
  auto* button = Named(new QToolButton(parent), name, tip);
  button->setIcon(QIcon(picture));
  button->setIconSize(picture.size());
  button->setAutoRaise(true);
  button->setAccessibleName(tip);
  button->setFocusPolicy(Qt::StrongFocus);
  button->setGeometry(place);
  return button;
}

}  // namespace

void MainWindow::Build() {
  InstallAccessibility();
  setObjectName("frmMain");
  setProperty(kFrameProperty, true);
  setWindowTitle(kWindowCaption);
  setWindowIcon(ProgramIcon());
  setFixedSize(kWindowWidth, kWindowHeight);
  BuildShapes();
  BuildTopBar();
  BuildList();
  BuildEditor();
  timer_ = Named(new QTimer(this), "Timer1");
  timer_->setInterval(kTimerInterval);
  trayWatch_ = new QTimer(this);
  trayWatch_->setInterval(kTrayWatchInterval);
  // The keyboard's way: the list, the editor from left to right and top to bottom, the buttons.
  const std::vector<QWidget*> order = {tasks_,       pcFile_,      action_,   palmFile_,     browsePc_,   browsePalm_,
                                       install_,     optionList_,  tabSpace_, category_,     status_,     delete_,
                                       saveDefault_, new_,         convert_,  clipSettings_, autoNaming_, askOverwrite_,
                                       countUp_,     countUpText_, help_,     pelko_,        exit_};
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  for (QToolButton* picture : {action_, help_, pelko_}) picture->installEventFilter(this);  // Enter acts like Space
}

void MainWindow::BuildTopBar() {
  // Left to right, each as wide as its caption needs.
  int x = 8;
  auto place = [&x](QWidget* widget, int width, int y, int height) {
    widget->setGeometry(x, y, Fitting(widget, width), height);
    x += widget->width() + 8;
  };
  new_ = Named(new QPushButton("New", this), "cmd_new", "add new task");
  place(new_, 70, 8, 26);
  newButtonRest_ = new_->geometry();
  convert_ = Named(new QPushButton(kConvertClipCaption, this), "cmd_convert", kConvertTip);  // the widest caption
  place(convert_, 90, 8, 26);
  convert_->setText(kConvertCaption);
  clipSettings_ = Named(new QPushButton(kClipSetupCaption, this), "cmd_clipsettings", kClipSetupTip);
  place(clipSettings_, 90, 8, 26);
  x += 8;
  const int switches = x;
  autoNaming_ = Named(new QCheckBox("Auto Naming", this), "chk_autonaming", "auto name PC/Palm File");
  place(autoNaming_, 100, 10, 22);
  askOverwrite_ =
      Named(new QCheckBox("Ask Overwirte", this), "chk_askoverwrite", "ask overwrite if file already exists");
  place(askOverwrite_, 110, 10, 22);
  x = switches;  // clip settings mode shows its own two controls in the same place
  countUp_ = Named(new QCheckBox("File Count up", this), "chk_countup");
  place(countUp_, 100, 10, 22);
  countUpText_ = Named(new QLineEdit(this), "txt_countup", "file number 0-999");
  place(countUpText_, 50, 9, 24);
  countUpText_->setAccessibleName("file number 0-999");
  help_ = Picture(this, "img_help", "show help", HelpPicture(), QRect(770, 6, 30, 30));
  pelko_ = Picture(this, "img_pelko", "show version info with ZUN2 home link", InfoPicture(), QRect(802, 6, 30, 30));
  exit_ = Named(new QPushButton("Exit", this), "cmd_exit", "exit ZUN2");
  exit_->setGeometry(kWindowWidth - 14 - Fitting(exit_, 82), 396, Fitting(exit_, 82), 26);
}

void MainWindow::BuildList() {
  tasks_ = Named(new QTreeView(this), "lvw_tasks");
  listModel_ = new TaskListModel(*model_, tasks_);
  tasks_->setModel(listModel_);
  tasks_->setGeometry(8, 44, 400, 372);
  QHeaderView* header = tasks_->header();
  header->moveSection(kSyncColumn, 1);  // on screen: "PC File", "Sync", "Palm File"
  header->setSectionsMovable(false);
  header->setStretchLastSection(false);
  header->setSectionResizeMode(QHeaderView::Interactive);
  tasks_->setRootIsDecorated(false);
  tasks_->setItemsExpandable(false);
  tasks_->setUniformRowHeights(true);
  tasks_->setAllColumnsShowFocus(true);
  tasks_->setSelectionMode(QAbstractItemView::SingleSelection);
  tasks_->setSelectionBehavior(QAbstractItemView::SelectRows);
  tasks_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tasks_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);  // VScroll1 scrolls it
  tasks_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  tasks_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  tasks_->setAutoScroll(false);               // the model decides the top row
  tasks_->setTextElideMode(Qt::ElideMiddle);  // long names keep their start and extension
  tasks_->setIconSize(QSize(16, 16));
  tasks_->setAccessibleName("task list");
  // "Sync" wide enough for its picture and " OK", or its header if that is wider.
  const QFontMetrics metrics = tasks_->fontMetrics();
  const int margin = tasks_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tasks_) + 1;
  const int syncNeeded = std::max(tasks_->iconSize().width() + metrics.horizontalAdvance(" OK") + 4 * margin + 4,
                                  header->sectionSizeHint(kSyncColumn));
  const ColumnWidths widths = ColumnWidthsFor(tasks_->width() - 2 * tasks_->frameWidth(), syncNeeded);
  tasks_->setColumnWidth(kSyncColumn, widths.sync);
  tasks_->setColumnWidth(kPcFileColumn, widths.pcFile);
  tasks_->setColumnWidth(kPalmFileColumn, widths.palmFile);
  scroll_ = Named(new QScrollBar(Qt::Vertical, this), "VScroll1");
  scroll_->setGeometry(408, 44, 16, 372);
  scroll_->setMinimum(1);
  scroll_->setMaximum(1);
  scroll_->setAccessibleName("scroll the task list");
}

void MainWindow::BuildEditor() {
  editorCaption_ = Named(new QLabel(kClipEditorCaption, this), "lbl_editor");  // the wider caption
  editorCaption_->setGeometry(480, 30, Fitting(editorCaption_, 0) + 8, 16);
  editorCaption_->setText(kTaskEditorCaption);
  editorCaption_->setAlignment(Qt::AlignCenter);
  editorCaption_->setAutoFillBackground(true);  // over the frame's line, as a group box's title
  pcFile_ = Named(new QLineEdit(this), "txt_pcfile", "PC File name");
  pcFile_->setGeometry(476, 50, 150, 24);
  pcFile_->setAccessibleName("PC File name");
  action_ =
      Picture(this, "img_action", "direction of conversion", DirectionPicture(kNoTaskPicture), QRect(633, 42, 38, 38));
  palmFile_ = Named(new QLineEdit(this), "txt_palmfile", "Palm File name");
  palmFile_->setGeometry(678, 50, 150, 24);
  palmFile_->setAccessibleName("Palm File name");
  // Both read "Browse"; their names tell them apart.
  browsePc_ = Named(new QPushButton("Browse", this), "cmd_browsepcfile", "browse PC File");
  browsePc_->setAccessibleName("Browse PC File");
  browsePc_->setGeometry(476, 80, Fitting(browsePc_, 70), 24);
  browsePalm_ = Named(new QPushButton("Browse", this), "cmd_browsepalmfile", "browse Palm File");
  browsePalm_->setAccessibleName("Browse Palm File");
  browsePalm_->setGeometry(678, 80, Fitting(browsePalm_, 70), 24);
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

  installLabel_ = Label(this, "lbl_install", "Install", QRect(476, 156, 60, 18));
  install_ = Named(new QListWidget(this), "lst_install", "user or custom directory setting");
  install_->setGeometry(476, 174, 170, 110);
  optionsLabel_ = Label(this, "lbl_options", "Options", QRect(658, 156, 60, 18));
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

  tabLabel_ = Label(this, "lbl_tabspace", "TAB Space", QRect(476, 296, 70, 20));
  tabSpace_ = Named(new QLineEdit(this), "txt_tabspace", "TAB space (0-64) - valid if 'Convert TABs' is set");
  tabSpace_->setGeometry(tabLabel_->geometry().right() + 6, 294, 40, 24);
  categoryLabel_ = Label(this, "lbl_category", "Category", QRect(658, 296, 66, 20));
  category_ = Named(new QLineEdit(this), "txt_category", "catergory of Palm document on (0-15)");
  category_->setGeometry(categoryLabel_->geometry().right() + 6, 294, 40, 24);
  tabLabel_->setBuddy(tabSpace_);
  categoryLabel_->setBuddy(category_);

  // The progress caption and bar take the place of the status label and box during a conversion.
  progressLabel_ = Label(this, "lbl_progress", kFilterCaption, QRect(476, 330, 52, 20));  // the widest caption
  progressLabel_->setText(kProgressCaption);
  progressBar_ = Named(new QProgressBar(this), "ProgressBar1");
  const int barLeft = progressLabel_->geometry().right() + 6;
  progressBar_->setGeometry(barLeft, 328, 828 - barLeft, 24);
  progressBar_->setAccessibleName("Progress");
  progressLabel_->hide();
  progressBar_->hide();
  statusLabel_ = Label(this, "lbl_status", "Status", QRect(476, 330, 52, 20));
  status_ = Named(new QLineEdit(this), "txt_status", "status of last conversion");
  const int statusLeft = statusLabel_->geometry().right() + 6;
  status_->setGeometry(statusLeft, 328, 828 - statusLeft, 24);
  status_->setReadOnly(true);
  statusLabel_->setBuddy(status_);

  delete_ = Named(new QPushButton("Delete", this), "cmd_delete", "delete task");
  delete_->setGeometry(476, 362, Fitting(delete_, 80), 26);
  saveDefault_ =
      Named(new QPushButton("Save Default", this), "cmd_savedefault", "save settings of this task as default");
  saveDefault_->setGeometry(delete_->geometry().right() + 9, 362, Fitting(saveDefault_, 112), 26);
}

void MainWindow::BuildShapes() {
  // shp_conr: the strip between list and editor; shp_con: the band from the selected row to
  // the editor; shp_clip: the frame round the editor. All painted, behind the controls.
  listShapes_ = new Shapes(this, "shp_conr");
  listShapes_->setGeometry(428, 44, 14, 372);
  band_ = new Shapes(this, "shp_con");
  band_->setGeometry(424, 44, 44, kRowHeight);
  clipShape_ = new Shapes(this, "shp_clip");
  clipShape_->setGeometry(468, 38, 366, 356);
}

void MainWindow::BuildTray() {
  tray_ = new QSystemTrayIcon(this);
  tray_->setObjectName("trayIcon");
  tray_->setIcon(TrayFrame(kTrayRestFrame));
  tray_->setToolTip(kTrayTip);
  shownTrayFrame_ = kTrayRestFrame;
  shownTrayTip_ = kTrayTip;
  trayMenu_ = Named(new QMenu(this), "mPopupSys");
  convertClipboardItem_ = Named(trayMenu_->addAction("&Convert Clipboard"), "mPopConvertClipboard");
  restoreItem_ = Named(trayMenu_->addAction("&Restore Window"), "mPopRestoreWindow");
  Named(trayMenu_->addSeparator(), "mnuSepp");
  exitItem_ = Named(trayMenu_->addAction("&Exit"), "mPopExit");
}

}  // namespace zun::ui
