// Showing the editor model's state in frmMain's controls. Signals are blocked meanwhile: only a
// user's own changes reach the model.
#include <QCheckBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "ui/main_window.h"
#include "ui/pictures.h"

namespace zun::ui {
namespace {

constexpr int kRowHeight = 20;
const char* const kDirections[] = {"", "no conversion", "Palm to PC", "PC to Palm", "both ways", "no task"};

QString Text(const std::string& text) { return QString::fromStdString(text); }

void SetLineText(QLineEdit* box, const std::string& text) {
  const QString wanted = Text(text);
  if (box->text() != wanted) box->setText(wanted);  // an unchanged text keeps the caret
}

void SetInfo(QPlainTextEdit* box, const std::string& text) {
  QString wanted = Text(text);
  wanted.replace("\r\n", "\n");
  if (box->toPlainText() != wanted) box->setPlainText(wanted);
}

// A colour given in the Windows blue-green-red order.
QColor FromBgr(uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

void Paint(QWidget* shape, const QColor& colour) {
  QPalette palette = shape->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, colour);
  shape->setPalette(palette);
}

void SetChecks(QListWidget* list, const std::vector<bool>& checks) {
  for (int i = 0; i < list->count() && i < static_cast<int>(checks.size()); ++i) {
    list->item(i)->setCheckState(checks[i] ? Qt::Checked : Qt::Unchecked);
  }
}

}  // namespace

void MainWindow::Mirror() {
  if (model_ == nullptr) return;
  MirrorList();
  MirrorEditor();
  MirrorControls();
  MirrorShapes();
}

void MainWindow::MirrorList() {
  const EditorState& s = model_->State();
  const QSignalBlocker blockList(tasks_);
  const int count = static_cast<int>(s.rows.size());
  while (tasks_->topLevelItemCount() > count) delete tasks_->takeTopLevelItem(tasks_->topLevelItemCount() - 1);
  while (tasks_->topLevelItemCount() < count) new QTreeWidgetItem(tasks_);
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* item = tasks_->topLevelItem(i);
    const TaskRow& row = s.rows[i];
    const int icon = static_cast<int>(row.action);
    if (item->data(0, Qt::UserRole).toInt() != icon) {
      item->setIcon(0, ListIcon(icon));
      item->setData(0, Qt::UserRole, icon);
    }
    item->setText(0, Text(row.sync));
    item->setText(1, Text(row.pcName));
    item->setText(2, Text(row.palmName));
    item->setSizeHint(0, QSize(10, kRowHeight));
  }
  tasks_->setAutoScroll(false);
  if (s.selected >= 1 && s.selected <= count) {
    tasks_->setCurrentItem(tasks_->topLevelItem(s.selected - 1));
  } else {
    tasks_->clearSelection();
    tasks_->setCurrentItem(nullptr);
  }
  tasks_->verticalScrollBar()->setValue(s.top - 1);

  const QSignalBlocker blockScroll(scroll_);
  scroll_->setRange(s.scroll.minimum, std::max(s.scroll.maximum, s.scroll.minimum));
  scroll_->setPageStep(std::max(s.scroll.largeChange, 1));
  scroll_->setValue(s.top);
}

void MainWindow::MirrorEditor() {
  const EditorState& s = model_->State();
  action_->setIcon(QIcon(DirectionPicture(s.actionPicture)));
  action_->setAccessibleName("direction of conversion");
  action_->setAccessibleDescription(kDirections[std::clamp(s.actionPicture, 1, 5)]);
  {
    const QSignalBlocker block(install_);
    if (install_->count() != static_cast<int>(s.installEntries.size())) {
      install_->clear();
      for (const std::string& entry : s.installEntries) {
        auto* item = new QListWidgetItem(Text(entry), install_);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
      }
    }
    SetChecks(install_, s.installChecks);
  }
  {
    const QSignalBlocker block(optionList_);
    SetChecks(optionList_, std::vector<bool>(s.optionChecks.begin(), s.optionChecks.end()));
  }
  for (QLineEdit* box : {pcFile_, palmFile_, tabSpace_, category_, status_, countUpText_}) box->blockSignals(true);
  SetLineText(pcFile_, s.pcFileText);
  SetLineText(palmFile_, s.palmFileText);
  if (s.palmCaret) {
    palmFile_->setCursorPosition(static_cast<int>(*s.palmCaret));
    model_->CaretPlaced();
  }
  SetLineText(tabSpace_, s.tabSpaceText);
  SetLineText(category_, s.categoryText);
  SetLineText(status_, s.statusText);
  SetLineText(countUpText_, s.countUpText);
  for (QLineEdit* box : {pcFile_, palmFile_, tabSpace_, category_, status_, countUpText_}) box->blockSignals(false);
  SetInfo(pcInfo_, s.pcFileInfo);
  SetInfo(palmInfo_, s.palmFileInfo);
  const QSignalBlocker blockNaming(autoNaming_);
  const QSignalBlocker blockAsking(askOverwrite_);
  const QSignalBlocker blockCount(countUp_);
  autoNaming_->setChecked(s.autoNaming);
  askOverwrite_->setChecked(s.askOverwrite);
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
  autoNaming_->setVisible(c.switchesVisible);
  askOverwrite_->setVisible(c.switchesVisible);
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
  countUp_->setVisible(c.countUpVisible);
  countUp_->setEnabled(c.countUp);
  countUpText_->setVisible(c.countUpVisible);
  countUpText_->setReadOnly(c.countUpTextLocked);

  convert_->setText(Text(s.convertCaption));
  convert_->setToolTip(Text(s.convertTip));
  clipSettings_->setText(Text(s.clipCaption));
  clipSettings_->setToolTip(Text(s.clipTip));

  if (s.timerRunning != timer_->isActive()) {
    if (s.timerRunning) {
      timer_->start();
    } else {
      timer_->stop();
    }
  }
  // The pulse of cmd_new: 50 twips larger on every side, bold, 10 point.
  QFont font = new_->font();
  font.setBold(s.newButtonEnlarged);
  font.setPointSize(s.newButtonEnlarged ? 10 : 8);
  new_->setFont(font);
  new_->setGeometry(s.newButtonEnlarged ? newButtonRest_.adjusted(-3, -3, 3, 3) : newButtonRest_);
}

void MainWindow::MirrorShapes() {
  const EditorState& s = model_->State();
  const QList<QFrame*> strip = listShapes_->findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly);
  for (int i = 0; i < strip.size(); ++i) {
    const bool clipEnd = s.clipSettingsMode && i >= strip.size() - 2;
    Paint(strip[i], FromBgr(clipEnd ? kClipModeEndColour : s.listShapeColour));
  }
  const QColor highlight = palette().color(QPalette::Highlight);
  const bool bandShown = s.bandRow >= 1 || s.clipShapesHighlighted;
  for (QFrame* shape : band_->findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly)) {
    Paint(shape, bandShown ? highlight : palette().color(QPalette::Window));
  }
  if (s.clipShapesHighlighted) {
    band_->setGeometry(424, tasks_->y(), 44, tasks_->height());  // along the list
  } else if (s.bandRow >= 1) {
    const int header = tasks_->header()->height();
    const int y = tasks_->y() + tasks_->frameWidth() + header + (s.bandRow - s.top) * kRowHeight;
    band_->setGeometry(424, y, 44, kRowHeight);
  } else {
    band_->setGeometry(424, tasks_->y(), 44, kRowHeight);  // at rest
  }
  for (QFrame* shape : band_->findChildren<QFrame*>(QString(), Qt::FindDirectChildrenOnly)) {
    shape->setGeometry(shape->x(), 0, shape->width(), band_->height());
  }
  clipShape_->setStyleSheet(QString("QFrame#shp_clip { border: 2px solid %1; }")
                                .arg((s.clipShapesHighlighted ? highlight : FromBgr(s.clipShapeColour)).name()));
}

}  // namespace zun::ui
