// Arranging frmMain's controls with layouts, so the window follows the font and can be resized:
// the list and the editor share what the window gives them. The decorations, the pulsing New
// button and the list's columns are placed after each layout pass.
#include <QCheckBox>
#include <QFontInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <array>

#include "ui/main_window.h"
#include "ui/task_list_model.h"

namespace zun::ui {
namespace {

constexpr int kMargin = 8;
constexpr int kBandWidth = 36;        // between the list's scroll bar and the editor's frame
constexpr int kPulse = 3;             // cmd_new grows by this much on every side
const QSize kDefaultSize(790, 440);   // fits an 800 x 600 screen with the window's frame
constexpr double kDefaultPoints = 9;  // the font that size is made for (Qt's default on Linux)
const QSize kFrameAllowance(10, 40);  // the window manager's title bar and borders
const QSize kSmallestButton(70, 0);

int HeaderHeight(const QTreeView* list) {
  return std::max(list->header()->minimumHeight(), list->header()->sizeHint().height());
}

// The task list and its scroll bar: the list only as high as whole rows fill, so no row is ever
// half shown (a click on one would scroll it into view, under the mouse); the rest stays empty.
class WholeRowsLayout : public QLayout {
 public:
  WholeRowsLayout(QTreeView* list, QScrollBar* scroll, const int& rowHeight)
      : list_(list), items_{new QWidgetItem(list), new QWidgetItem(scroll)}, rowHeight_(rowHeight) {}
  ~WholeRowsLayout() override {
    for (QLayoutItem* item : items_) delete item;
  }

  void addItem(QLayoutItem* item) override { delete item; }  // holds the list and its scroll bar only
  int count() const override { return static_cast<int>(std::count_if(items_.begin(), items_.end(), Present)); }
  QLayoutItem* itemAt(int index) const override {
    for (QLayoutItem* item : items_) {
      if (item != nullptr && index-- == 0) return item;
    }
    return nullptr;
  }
  QLayoutItem* takeAt(int index) override {
    QLayoutItem* taken = itemAt(index);
    std::replace(items_.begin(), items_.end(), taken, static_cast<QLayoutItem*>(nullptr));
    return taken;
  }
  Qt::Orientations expandingDirections() const override { return Qt::Horizontal | Qt::Vertical; }
  QSize sizeHint() const override { return QSize(ScrollWidth() + 48 * CharWidth(), Fixed() + 8 * rowHeight_); }
  QSize minimumSize() const override { return QSize(ScrollWidth() + 13 * CharWidth(), Fixed() + 4 * rowHeight_); }
  void setGeometry(const QRect& rect) override {
    QLayout::setGeometry(rect);
    const int rows = std::max(1, (rect.height() - Fixed()) / rowHeight_);
    const int height = Fixed() + rows * rowHeight_;
    const int scrollWidth = ScrollWidth();
    if (items_[0] != nullptr) items_[0]->setGeometry(QRect(rect.x(), rect.y(), rect.width() - scrollWidth, height));
    if (items_[1] != nullptr)
      items_[1]->setGeometry(QRect(rect.right() - scrollWidth + 1, rect.y(), scrollWidth, height));
  }

 private:
  static bool Present(const QLayoutItem* item) { return item != nullptr; }
  int Fixed() const { return HeaderHeight(list_) + 2 * list_->frameWidth(); }
  int ScrollWidth() const { return items_[1] != nullptr ? items_[1]->sizeHint().width() : 0; }
  int CharWidth() const { return list_->fontMetrics().averageCharWidth(); }

  QTreeView* list_;
  std::array<QLayoutItem*, 2> items_;
  const int& rowHeight_;
};

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretchAtEnd = true) {
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  for (QWidget* widget : widgets) row->addWidget(widget);
  if (stretchAtEnd) row->addStretch(1);
  return row;
}

}  // namespace

QFont PulseFont(const QFont& base) {
  // Bold and a quarter larger, as 10 point to 8.
  QFont font = base;
  font.setBold(true);
  if (font.pointSizeF() > 0) {
    font.setPointSizeF(font.pointSizeF() * 1.25);
  } else {
    font.setPixelSize(font.pixelSize() * 5 / 4);
  }
  return font;
}

void MainWindow::Arrange() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  root->setSpacing(kMargin);

  // cmd_new pulses larger than it rests: its place is kept for the larger size, so nothing moves.
  new_->setFont(PulseFont(font()));
  QSize slot = new_->sizeHint();
  new_->setFont(QFont());
  slot = slot.expandedTo(new_->sizeHint().expandedTo(kSmallestButton) + QSize(2 * kPulse, 2 * kPulse));
  newSlot_ = new QSpacerItem(slot.width(), slot.height(), QSizePolicy::Fixed, QSizePolicy::Fixed);
  auto* top = new QHBoxLayout;
  top->setSpacing(6);
  top->addItem(newSlot_);
  for (QWidget* widget : std::initializer_list<QWidget*>{convert_, clipSettings_}) top->addWidget(widget);
  // Clip settings mode shows its own two controls in the place of the two switches. "Convert on
  // change" stands under them: beside them the bar has no room left at larger fonts.
  auto* switchRow = new QHBoxLayout;
  switchRow->setSpacing(top->spacing());
  for (QWidget* widget : std::initializer_list<QWidget*>{autoNaming_, askOverwrite_, countUp_, countUpText_}) {
    switchRow->addWidget(widget);
  }
  auto* switches = new QVBoxLayout;
  switches->setSpacing(0);
  switches->addLayout(switchRow);
  switches->addWidget(convertOnChange_);
  top->addLayout(switches);
  top->addStretch(1);
  top->addWidget(help_);
  top->addWidget(pelko_);
  root->addLayout(top);

  auto* middle = new QHBoxLayout;
  middle->setSpacing(0);
  middle->addLayout(new WholeRowsLayout(tasks_, scroll_, rowHeight_), 1);
  middle->addSpacing(kBandWidth);
  auto* right = new QVBoxLayout;
  right->setSpacing(kMargin);
  editorLayout_ = ArrangeEditor();
  right->addLayout(editorLayout_, 1);
  auto* exitRow = new QHBoxLayout;
  exitRow->addStretch(1);
  exitRow->addWidget(exit_);
  right->addLayout(exitRow);
  middle->addLayout(right, 1);
  root->addLayout(middle, 1);

  // The default size, grown with a font larger than the default one (so the list keeps its share
  // and names stay readable), or more where the font needs it (and a few more rows for the lists),
  // as far as the screen allows with the window's frame.
  const QSize minimum = minimumSizeHint();
  const QSize screen = this->screen() != nullptr ? this->screen()->availableGeometry().size() : kDefaultSize;
  const double scale = std::max(1.0, QFontInfo(font()).pointSizeF() / kDefaultPoints);
  resize((kDefaultSize * scale)
             .expandedTo(minimum + QSize(0, 3 * rowHeight_))
             .boundedTo(screen - kFrameAllowance)
             .expandedTo(minimum));
  root->activate();
}

QVBoxLayout* MainWindow::ArrangeEditor() {
  auto* editor = new QVBoxLayout;
  editor->setContentsMargins(kMargin, 0, kMargin, kMargin);
  editor->setSpacing(6);
  editor->addWidget(editorCaption_, 0, Qt::AlignHCenter);
  // The two file sides with the direction picture between them.
  auto* files = new QGridLayout;
  files->setHorizontalSpacing(6);
  files->addWidget(pcFile_, 0, 0);
  files->addWidget(action_, 0, 1, Qt::AlignCenter);
  files->addWidget(palmFile_, 0, 2);
  files->addWidget(browsePc_, 1, 0, Qt::AlignLeft);
  files->addWidget(browsePalm_, 1, 2, Qt::AlignLeft);
  files->addWidget(pcInfo_, 2, 0);
  files->addWidget(palmInfo_, 2, 2);
  files->setColumnStretch(0, 1);
  files->setColumnStretch(2, 1);
  editor->addLayout(files);
  auto* lists = new QGridLayout;
  lists->setHorizontalSpacing(12);
  lists->setVerticalSpacing(2);
  lists->addWidget(installLabel_, 0, 0);
  lists->addWidget(optionsLabel_, 0, 1);
  lists->addWidget(install_, 1, 0);
  lists->addWidget(optionList_, 1, 1);
  lists->setRowMinimumHeight(2, 6);
  lists->addLayout(Row({tabLabel_, tabSpace_}), 3, 0);
  lists->addLayout(Row({categoryLabel_, category_}), 3, 1);
  lists->setColumnStretch(0, 1);
  lists->setColumnStretch(1, 1);
  lists->setRowStretch(1, 1);
  editor->addLayout(lists, 1);
  // The progress caption and bar take the place of the status label and box during a conversion.
  auto* status = Row({statusLabel_, status_, progressLabel_, progressBar_}, false);
  status->setStretch(1, 1);
  status->setStretch(3, 1);
  editor->addLayout(status);
  editor->addLayout(Row({delete_, saveDefault_}));
  return editor;
}

void MainWindow::AfterLayout() {
  if (model_ == nullptr || editorLayout_ == nullptr || shutDown_) return;
  SizeListColumns();
  const int rows = RowsPerPage();
  if (rows != model_->State().rowsPerPage && codec_ && !mirroring_) {
    model_->PageResized(rows);  // started: the model keeps the selected task in view
    Mirror();
    return;
  }
  if (!codec_) model_->SetRowsPerPage(rows);
  MirrorShapes();
  PlaceNewButton(model_->State().newButtonEnlarged);
}

void MainWindow::PlaceNewButton(bool enlarged) {
  const QRect slot = newSlot_->geometry();
  new_->setGeometry(enlarged ? slot : slot.adjusted(kPulse, kPulse, -kPulse, -kPulse));
}

int32_t MainWindow::RowsPerPage() const {
  return std::max(1, (tasks_->height() - HeaderHeight(tasks_) - 2 * tasks_->frameWidth()) / rowHeight_);
}

int MainWindow::ListRowTop(int row) const {
  return tasks_->y() + tasks_->frameWidth() + HeaderHeight(tasks_) + (row - model_->State().top) * rowHeight_;
}

QRect MainWindow::EditorFrame() const {
  QRect frame = editorLayout_->geometry();
  frame.setTop(editorCaption_->geometry().center().y());
  return frame;
}

void MainWindow::SizeListColumns() {
  const int width = tasks_->width() - 2 * tasks_->frameWidth();
  if (width == sizedListWidth_) return;  // the user's own widths stay until the list is resized
  sizedListWidth_ = width;
  // "Sync" wide enough for its picture and " OK", or its header if that is wider.
  const QFontMetrics metrics = tasks_->fontMetrics();
  const int margin = tasks_->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tasks_) + 1;
  const int syncNeeded = std::max(tasks_->iconSize().width() + metrics.horizontalAdvance(" OK") + 4 * margin + 4,
                                  tasks_->header()->sectionSizeHint(kSyncColumn));
  const ColumnWidths widths = ColumnWidthsFor(width, syncNeeded);
  tasks_->setColumnWidth(kSyncColumn, widths.sync);
  tasks_->setColumnWidth(kPcFileColumn, widths.pcFile);
  tasks_->setColumnWidth(kPalmFileColumn, widths.palmFile);
}

bool MainWindow::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // The layout has placed the controls by now (it sees these events first).
  if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize) AfterLayout();
  return handled;
}

}  // namespace zun::ui
