// Showing the editor model's state in frmMain's controls. Meanwhile `mirroring_` is set: the
// changes the controls report then are the window's own, not the user's.
#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "ui/main_window.h"
#include "ui/pictures.h"
#include "ui/shapes.h"
#include "ui/task_list_model.h"

namespace zun::ui {
namespace {

constexpr int kListShapes = 12;
constexpr int kBandShapes = 9;
constexpr int kStripWidth = 14;

QString Text(const std::string& text) { return QString::fromStdString(text); }

// A changed text is shown from its beginning, unless the user is typing in the box.
void SetLineText(QLineEdit* box, const std::string& text) {
  const QString wanted = Text(text);
  if (box->text() == wanted) return;  // an unchanged text keeps the caret
  box->setText(wanted);
  if (!box->hasFocus()) box->setCursorPosition(0);
}

void SetInfo(QPlainTextEdit* box, const std::string& text) {
  QString wanted = Text(text);
  wanted.replace("\r\n", "\n");
  if (box->toPlainText() != wanted) box->setPlainText(wanted);
}

// A colour given in the Windows blue-green-red order.
QColor FromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

// Shows one group of controls and hides the other, which shares its place: the hidden first, so
// the layout never sees both and never widens the window for them.
void SwapVisible(std::initializer_list<QWidget*> first, std::initializer_list<QWidget*> second, bool firstShown) {
  for (QWidget* widget : firstShown ? second : first) widget->setVisible(false);
  for (QWidget* widget : firstShown ? first : second) widget->setVisible(true);
}

void SetChecks(QListWidget* list, const std::vector<bool>& checks) {
  for (int i = 0; i < list->count() && i < static_cast<int>(checks.size()); ++i) {
    const Qt::CheckState state = checks[static_cast<size_t>(i)] ? Qt::Checked : Qt::Unchecked;
    if (list->item(i)->checkState() != state) list->item(i)->setCheckState(state);
  }
}

}  // namespace

void MainWindow::Mirror() {
  if (model_ == nullptr || mirroring_) return;
  mirroring_ = true;
  MirrorList();
  MirrorEditor();
  MirrorControls();
  MirrorShapes();
  MirrorProgress();
  mirroring_ = false;
  sinceRedraw_.restart();
}

void MainWindow::MirrorList() {
  const EditorState& s = model_->State();
  const int count = static_cast<int>(s.rows.size());
  // Only the rows on screen can show a change; the others are read when they scroll in.
  const int top = s.top - 1;
  listModel_->Refresh(top, top + s.rowsPerPage);
  QItemSelectionModel* selection = tasks_->selectionModel();
  if (s.selected >= 1 && s.selected <= count) {
    const QModelIndex wanted = listModel_->index(s.selected - 1, 0);
    if (selection->currentIndex().row() != wanted.row() || !selection->isRowSelected(wanted.row(), {})) {
      selection->setCurrentIndex(wanted, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
  } else if (selection->hasSelection() || selection->currentIndex().isValid()) {
    selection->clear();
  }
  tasks_->verticalScrollBar()->setValue(top);

  scroll_->setRange(s.scroll.minimum, std::max(s.scroll.maximum, s.scroll.minimum));
  scroll_->setPageStep(std::max(s.scroll.largeChange, 1));
  scroll_->setValue(s.top);
}

void MainWindow::MirrorEditor() {
  const EditorState& s = model_->State();
  if (action_->property("picture").toInt() != s.actionPicture) {
    action_->setProperty("picture", s.actionPicture);
    action_->setIcon(DirectionIcon(s.actionPicture, palette()));
    action_->setAccessibleDescription(DirectionName(s.actionPicture));
  }
  editorCaption_->setText(s.EditorCaption());
  if (install_->count() != static_cast<int>(s.installEntries.size())) {
    install_->clear();
    for (const std::string& entry : s.installEntries) {
      auto* item = new QListWidgetItem(Text(entry), install_);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
      item->setCheckState(Qt::Unchecked);
    }
  }
  SetChecks(install_, s.installChecks);
  SetChecks(optionList_, std::vector<bool>(s.optionChecks.begin(), s.optionChecks.end()));
  SetLineText(pcFile_, s.pcFileText);
  SetLineText(palmFile_, s.palmFileText);
  if (s.loads != shownLoads_) {  // a task was loaded: its names are read from their beginning
    shownLoads_ = s.loads;
    for (QLineEdit* box : {pcFile_, palmFile_}) {
      if (!box->hasFocus()) box->setCursorPosition(0);
    }
  }
  if (s.palmCaret) {
    palmFile_->setCursorPosition(static_cast<int>(*s.palmCaret));
    model_->CaretPlaced();
  }
  SetLineText(tabSpace_, s.tabSpaceText);
  SetLineText(category_, s.categoryText);
  SetLineText(status_, s.statusText);
  SetLineText(countUpText_, s.countUpText);
  SetInfo(pcInfo_, s.pcFileInfo);
  SetInfo(palmInfo_, s.palmFileInfo);
  autoNaming_->setChecked(s.autoNaming);
  askOverwrite_->setChecked(s.askOverwrite);
  convertOnChange_->setChecked(s.convertOnChange);
  countUp_->setChecked(s.countUp);
}

void MainWindow::MirrorControls() {
  const EditorState& s = model_->State();
  const ControlStates& c = s.controls;
  tasks_->setEnabled(c.list);
  scroll_->setEnabled(c.scroll);
  new_->setEnabled(c.newTask);
  convert_->setEnabled(c.convert);
  clipSettings_->setEnabled(c.clipSettings);
  exit_->setEnabled(c.exit);
  autoNaming_->setEnabled(c.autoNaming);
  askOverwrite_->setEnabled(c.askOverwrite);
  SwapVisible({autoNaming_, askOverwrite_}, {countUp_, countUpText_}, c.switchesVisible && !c.countUpVisible);
  action_->setEnabled(c.action);
  browsePc_->setEnabled(c.browsePc);
  browsePalm_->setEnabled(c.browsePalm);
  delete_->setEnabled(c.deleteTask);
  saveDefault_->setEnabled(c.saveDefault);
  tabLabel_->setEnabled(c.tabSpace);
  tabSpace_->setEnabled(c.tabSpace);
  tabSpace_->setReadOnly(c.tabSpaceLocked);
  categoryLabel_->setEnabled(c.category);
  category_->setEnabled(c.category);
  category_->setReadOnly(c.categoryLocked);
  installLabel_->setEnabled(c.install);
  install_->setEnabled(c.install);
  optionsLabel_->setEnabled(c.options);
  optionList_->setEnabled(c.options);
  statusLabel_->setEnabled(c.statusLabel);
  pcFile_->setReadOnly(c.pcFileLocked);
  palmFile_->setReadOnly(c.palmFileLocked);
  countUp_->setEnabled(c.countUp);
  countUpText_->setReadOnly(c.countUpTextLocked);
  convertClipboardItem_->setEnabled(s.ClipboardConversionAllowed());

  convert_->setText(WithAccessKey(s.ConvertCaption()));
  convert_->setToolTip(s.ConvertTip());
  clipSettings_->setText(WithAccessKey(s.ClipCaption()));
  clipSettings_->setToolTip(s.ClipTip());

  if (s.timerRunning != timer_->isActive()) {
    if (s.timerRunning) {
      timer_->start();
    } else {
      timer_->stop();
    }
  }
  // The pulse of cmd_new: bold, a quarter larger, 3 pixels larger on every side, in a place
  // kept for its larger size.
  if (new_->property("pulse").toBool() != s.newButtonEnlarged) {
    new_->setProperty("pulse", s.newButtonEnlarged);
    new_->setFont(s.newButtonEnlarged ? PulseFont(font()) : QFont());
  }
  PlaceNewButton(s.newButtonEnlarged);
}

void MainWindow::MirrorShapes() {
  const EditorState& s = model_->State();
  // The strip stands beside the list, the band reaches from the list to the editor's frame.
  const QRect list = tasks_->geometry();
  const QRect frame = EditorFrame();
  const int bandLeft = scroll_->geometry().right() + 1;
  listShapes_->setGeometry(bandLeft + 4, list.y(), kStripWidth, list.height());
  std::vector<Shapes::Shape> strip;
  const int pitch = std::max(list.height() / kListShapes, 5);
  for (int i = 0; i < kListShapes; ++i) {
    const bool clipEnd = s.clipSettingsMode && i >= kListShapes - 2;
    strip.push_back(
        {QRect(0, i * pitch, kStripWidth, pitch - 4), FromBgr(clipEnd ? kClipModeEndColour : s.listShapeColour)});
  }
  listShapes_->Set(std::move(strip));

  const QColor highlight = palette().color(QPalette::Highlight);
  const bool rowShown = s.bandRow >= s.top && s.bandRow < s.top + s.rowsPerPage;
  const bool bandShown = rowShown || s.clipShapesHighlighted;
  const int bandWidth = std::max(frame.left() - bandLeft, 0);
  if (s.clipShapesHighlighted) {
    band_->setGeometry(bandLeft, list.y(), bandWidth, list.height());  // along the list
  } else if (rowShown) {
    band_->setGeometry(bandLeft, ListRowTop(s.bandRow), bandWidth, rowHeight_);
  } else {
    band_->setGeometry(bandLeft, list.y(), bandWidth, rowHeight_);  // at rest
  }
  std::vector<Shapes::Shape> band;
  band.reserve(kBandShapes);
  const int stripe = std::max((bandWidth + kBandShapes - 1) / kBandShapes, 2);
  for (int i = 0; i < kBandShapes; ++i) {
    band.push_back(
        {QRect(i * stripe, 0, stripe - 1, band_->height()), bandShown ? highlight : palette().color(QPalette::Window)});
  }
  band_->Set(std::move(band));
  clipShape_->setGeometry(frame);
  clipShape_->Set({{clipShape_->rect(), s.clipShapesHighlighted ? highlight : FromBgr(s.clipShapeColour), true}});
}

void MainWindow::MirrorProgress() {
  SwapVisible({statusLabel_, status_}, {progressLabel_, progressBar_}, !progress_.shown);
  if (progressLabel_->text() != progress_.caption) progressLabel_->setText(progress_.caption);
  if (progressBar_->maximum() != progress_.maximum) progressBar_->setRange(0, progress_.maximum);
  progressBar_->setValue(progress_.value);
  if (progress_.trayFrame != shownTrayFrame_) {
    shownTrayFrame_ = progress_.trayFrame;
    tray_->setIcon(TrayFrame(shownTrayFrame_));
  }
  // At rest the tip also tells how the last automatic run went.
  const QString tip = progress_.trayTip == kTrayTip && !autoRunResult_.isEmpty()
                          ? progress_.trayTip + "\n" + autoRunResult_
                          : progress_.trayTip;
  if (tip != shownTrayTip_) {
    shownTrayTip_ = tip;
    tray_->setToolTip(shownTrayTip_);
  }
}

}  // namespace zun::ui
