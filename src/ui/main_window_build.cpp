// Building frmMain's controls: names, captions, access keys, tooltips. Where they stand is the
// layout's business (main_window_layout.cpp); sizes follow the font in use.
#include <QCheckBox>
#include <QDateTime>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QStyleOption>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <initializer_list>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "convert/conversion_env.h"
#include "ui/accessibility.h"
#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/shapes.h"
#include "ui/task_list_model.h"

namespace zun::ui {
namespace {

constexpr int kTimerInterval = 500;
constexpr int kTrayWatchInterval = 1000;
constexpr int kListIconSize = 16;
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

// A label for `buddy`, whose access key moves the focus there.
QLabel* Label(QWidget* parent, const char* name, const char* text, QWidget* buddy) {
  auto* label = Named(new QLabel(WithAccessKey(text), parent), name);
  label->setBuddy(buddy);
  return label;
}

QToolButton* Picture(QWidget* parent, const char* name, const QString& tip, const QIcon& picture, int size) {
  auto* button = Named(new QToolButton(parent), name, tip);
  button->setIcon(picture);
  button->setIconSize(QSize(size, size));
  button->setAutoRaise(true);
  button->setAccessibleName(tip);
  button->setFocusPolicy(Qt::StrongFocus);
  return button;
}

// At least as wide as the widest of the captions the control shows in turn: it keeps its size.
template <typename Control>
void FitWidest(Control* control, std::initializer_list<const char*> captions, int atLeast = 0) {
  int width = atLeast;
  for (const char* caption : captions) {
    control->setText(WithAccessKey(caption));
    width = std::max(width, control->sizeHint().width());
  }
  control->setMinimumWidth(width);
  control->setText(WithAccessKey(*captions.begin()));
}

// Header captions that do not fit their column end in an ellipsis, as the rows' names do; the
// styles draw them whole, clipped mid-letter.
class ElidedHeaderLabels : public QProxyStyle {
 public:
  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (element != CE_HeaderLabel || header == nullptr) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    QStyleOptionHeader elided = *header;
    elided.text = header->fontMetrics.elidedText(header->text, Qt::ElideRight, header->rect.width());
    QProxyStyle::drawControl(element, &elided, painter, widget);
  }
};

// A box for a number of a few digits.
void FitDigits(QLineEdit* box, int digits) {
  box->setFixedWidth(box->fontMetrics().horizontalAdvance(QString(digits + 1, '0')) + 16);
}

}  // namespace

QString WithAccessKey(const char* caption) {
  static const std::pair<std::string_view, const char*> kKeys[] = {{"New", "&New"},
                                                                   {"Convert", "&Convert"},
                                                                   {"Stop", "S&top"},
                                                                   {"Wait", "&Wait"},
                                                                   {"Convert Clip", "&Convert Clip"},
                                                                   {"Clip Setup", "Cli&p Setup"},
                                                                   {"Done", "&Done"},
                                                                   {"Save Default", "&Save Default"},
                                                                   {"Exit", "E&xit"},
                                                                   {"Auto Naming", "&Auto Naming"},
                                                                   {"Ask Overwirte", "As&k Overwirte"},
                                                                   {"Convert on change", "Convert on c&hange"},
                                                                   {"File Count up", "&File Count up"},
                                                                   {"Install", "&Install"},
                                                                   {"Options", "&Options"},
                                                                   {"TAB Space", "TAB Spac&e"},
                                                                   {"Category", "Cate&gory"},
                                                                   {"Status", "Stat&us"}};
  for (const auto& [plain, keyed] : kKeys) {
    if (plain == caption) return keyed;
  }
  return caption;
}

void MainWindow::Build() {
  InstallAccessibility();
  setObjectName("frmMain");
  setProperty(kFrameProperty, true);
  setWindowTitle(kWindowCaption);
  setWindowIcon(ProgramIcon());
  BuildShapes();
  BuildTopBar();
  BuildList();
  BuildEditor();
  timer_ = Named(new QTimer(this), "Timer1");
  timer_->setInterval(kTimerInterval);
  trayWatch_ = new QTimer(this);
  trayWatch_->setInterval(kTrayWatchInterval);
  BuildKeys();
  Arrange();
  // The keyboard's way: the list, the editor from left to right and top to bottom, the buttons.
  const std::vector<QWidget*> order = {tasks_,       pcFile_,      action_,   palmFile_,     browsePc_,   browsePalm_,
                                       install_,     optionList_,  tabSpace_, category_,     status_,     delete_,
                                       saveDefault_, new_,         convert_,  clipSettings_, autoNaming_, askOverwrite_,
                                       countUp_,     countUpText_, help_,     pelko_,        exit_};
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
  setTabOrder(askOverwrite_, convertOnChange_);
  for (QToolButton* picture : {action_, help_, pelko_}) picture->installEventFilter(this);  // Enter acts like Space
}

void MainWindow::BuildKeys() {
  // F1 is help; Ctrl+Q is Exit, also while a conversion runs: then the
  // window closes when it ends, as for the tray's "Exit".
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] { help_->click(); });
  auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
  connect(quit, &QShortcut::activated, this, [this] { close(); });
}

void MainWindow::BuildTopBar() {
  new_ = Named(new QPushButton(WithAccessKey("New"), this), "cmd_new", "add new task");
  convert_ = Named(new QPushButton(this), "cmd_convert", kConvertTip);
  FitWidest(convert_, {kConvertCaption, kStopCaption, kWaitCaption, kConvertClipCaption}, 90);
  clipSettings_ = Named(new QPushButton(this), "cmd_clipsettings", kClipSetupTip);
  FitWidest(clipSettings_, {kClipSetupCaption, kClipDoneCaption}, 90);
  autoNaming_ = Named(new QCheckBox(WithAccessKey("Auto Naming"), this), "chk_autonaming", "auto name PC/Palm File");
  askOverwrite_ = Named(new QCheckBox(WithAccessKey("Ask Overwirte"), this), "chk_askoverwrite",
                        "ask overwrite if file already exists");
  convertOnChange_ = Named(new QCheckBox(WithAccessKey("Convert on change"), this), "chk_convertonchange",
                           "run a task by itself when its files change");
  countUp_ = Named(new QCheckBox(WithAccessKey("File Count up"), this), "chk_countup");
  countUpText_ = Named(new QLineEdit(this), "txt_countup", "file number 0-999");
  countUpText_->setAccessibleName("file number 0-999");
  FitDigits(countUpText_, 3);
  countUp_->hide();  // clip settings mode only
  countUpText_->hide();
  help_ = Picture(this, "img_help", "show help", HelpPicture(palette()), 24);
  pelko_ = Picture(this, "img_pelko", "show version info with ZUN2 home link", InfoPicture(palette()), 24);
  exit_ = Named(new QPushButton(WithAccessKey("Exit"), this), "cmd_exit", "exit ZUN2");
  exit_->setMinimumWidth(82);
}

void MainWindow::BuildList() {
  tasks_ = Named(new QTreeView(this), "lvw_tasks");
  listModel_ = new TaskListModel(*model_, tasks_);
  tasks_->setModel(listModel_);
  QHeaderView* header = tasks_->header();
  auto* headerStyle = new ElidedHeaderLabels;  // follows the application's style
  headerStyle->setParent(header);
  header->setStyle(headerStyle);
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
  tasks_->setIconSize(QSize(kListIconSize, kListIconSize));
  tasks_->setAccessibleName("task list");
  rowHeight_ = std::max(tasks_->fontMetrics().height(), kListIconSize) + 4;
  listModel_->SetRowHeight(rowHeight_);
  scroll_ = Named(new QScrollBar(Qt::Vertical, this), "VScroll1");
  scroll_->setMinimum(1);
  scroll_->setMaximum(1);
  scroll_->setAccessibleName("scroll the task list");
}

void MainWindow::BuildEditor() {
  editorCaption_ = Named(new QLabel(this), "lbl_editor");
  editorCaption_->setContentsMargins(4, 0, 4, 0);
  FitWidest(editorCaption_, {kTaskEditorCaption, kClipEditorCaption});
  editorCaption_->setAlignment(Qt::AlignCenter);
  editorCaption_->setAutoFillBackground(true);  // over the frame's line, as a group box's title
  pcFile_ = Named(new QLineEdit(this), "txt_pcfile", "PC File name");
  pcFile_->setAccessibleName("PC File name");
  action_ = Picture(this, "img_action", "direction of conversion", DirectionIcon(kNoTaskPicture, palette()), 32);
  palmFile_ = Named(new QLineEdit(this), "txt_palmfile", "Palm File name");
  palmFile_->setAccessibleName("Palm File name");
  // Both read "Browse"; their access keys and names tell them apart.
  browsePc_ = Named(new QPushButton("&Browse", this), "cmd_browsepcfile", "browse PC File");
  browsePc_->setAccessibleName("Browse PC File");
  browsePalm_ = Named(new QPushButton("B&rowse", this), "cmd_browsepalmfile", "browse Palm File");
  browsePalm_->setAccessibleName("Browse Palm File");
  pcInfo_ = Named(new QPlainTextEdit(this), "txt_pcfiledata", "file info Palm File");
  palmInfo_ = Named(new QPlainTextEdit(this), "txt_palmfiledata", "file info Palm File");
  pcInfo_->setAccessibleName("PC File information");
  palmInfo_->setAccessibleName("Palm File information");
  pcInfo_->setAccessibleDescription("file info PC File");  // the tooltip names the Palm File for both
  for (QPlainTextEdit* info : {pcInfo_, palmInfo_}) BuildInfoBox(info);
  for (QPushButton* browse : {browsePc_, browsePalm_}) browse->setMinimumWidth(70);

  BuildChecklists();

  tabSpace_ = Named(new QLineEdit(this), "txt_tabspace", "TAB space (0-64) - valid if 'Convert TABs' is set");
  category_ = Named(new QLineEdit(this), "txt_category", "catergory of Palm document on (0-15)");
  FitDigits(tabSpace_, 2);
  FitDigits(category_, 2);
  tabLabel_ = Label(this, "lbl_tabspace", "TAB Space", tabSpace_);
  categoryLabel_ = Label(this, "lbl_category", "Category", category_);

  progressLabel_ = Named(new QLabel(this), "lbl_progress");
  FitWidest(progressLabel_, {kProgressCaption, kCompressionCaption, kFilterCaption});
  progressBar_ = Named(new QProgressBar(this), "ProgressBar1");
  progressBar_->setAccessibleName("Progress");
  progressLabel_->hide();
  progressBar_->hide();
  status_ = Named(new QLineEdit(this), "txt_status", "status of last conversion");
  status_->setReadOnly(true);
  statusLabel_ = Label(this, "lbl_status", "Status", status_);

  delete_ = Named(new QPushButton("Delete", this), "cmd_delete", "delete task");
  delete_->setMinimumWidth(80);
  saveDefault_ = Named(new QPushButton(WithAccessKey("Save Default"), this), "cmd_savedefault",
                       "save settings of this task as default");
  saveDefault_->setMinimumWidth(112);
}

void MainWindow::BuildChecklists() {
  install_ = Named(new QListWidget(this), "lst_install", "user or custom directory setting");
  optionList_ = Named(new QListWidget(this), "lst_options", "conversion options");
  for (const char* entry : kOptionEntries) {
    auto* item = new QListWidgetItem(entry, optionList_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
    item->setCheckState(Qt::Unchecked);
  }
  const QString handheldSet = QString::fromStdString(CharsetDisplayName(options_.handheldCharset));
  optionList_->item(kOptUtf8Text)->setToolTip(QString("UTF-8 on the PC, %1 on the handheld").arg(handheldSet));
  // Each list shows its widest option whole and a few entries at least.
  const int entryWidth = optionList_->sizeHintForColumn(0) + 2 * optionList_->frameWidth() + 20;
  const int entriesHeight = 3 * optionList_->sizeHintForRow(0) + 2 * optionList_->frameWidth();
  for (QListWidget* list : {install_, optionList_}) list->setMinimumSize(entryWidth, entriesHeight);
  install_->setAccessibleName("Install");
  optionList_->setAccessibleName("Options");
  installLabel_ = Label(this, "lbl_install", "Install", install_);
  optionsLabel_ = Label(this, "lbl_options", "Options", optionList_);
}

void MainWindow::BuildInfoBox(QPlainTextEdit* info) {
  info->setReadOnly(true);
  info->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  info->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  info->setFocusPolicy(Qt::NoFocus);
  // Two lines (a date and a size); a longer hint wraps onto the second line.
  const QFontMetrics metrics = info->fontMetrics();
  const auto margin = static_cast<int>(info->document()->documentMargin());
  info->setFixedHeight(2 * metrics.lineSpacing() + 2 * (info->frameWidth() + margin) + 2);
  const QString longestDate =
      QLocale().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 59, 59)), QLocale::ShortFormat);
  const int text = std::max({metrics.horizontalAdvance(longestDate), metrics.horizontalAdvance("no valid Filename"),
                             metrics.horizontalAdvance("9,999,999,999 Byte")});
  info->setMinimumWidth(text + 2 * (info->frameWidth() + margin) + 4);
  info->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MainWindow::BuildShapes() {
  // shp_conr: the strip between list and editor; shp_con: the band from the selected row to
  // the editor; shp_clip: the frame round the editor. All painted, behind the controls, and
  // placed after each layout pass.
  listShapes_ = new Shapes(this, "shp_conr");
  band_ = new Shapes(this, "shp_con");
  clipShape_ = new Shapes(this, "shp_clip");
}

void MainWindow::PaintPictures() {
  if (action_ == nullptr) return;  // not built yet
  help_->setIcon(HelpPicture(palette()));
  pelko_->setIcon(InfoPicture(palette()));
  action_->setProperty("picture", QVariant());  // painted again at the next mirror
  listModel_->SetPalette(tasks_->palette());
  if (codec_) Mirror();
}

}  // namespace zun::ui
