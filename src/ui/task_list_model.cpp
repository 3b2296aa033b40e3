#include "ui/task_list_model.h"

#include <QSize>
#include <algorithm>

#include "ui/pictures.h"

namespace zun::ui {
namespace {

const char* const kHeaders[kTaskColumnCount] = {"PC File", "Sync", "Palm File"};

QString Text(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TaskListModel::TaskListModel(EditorModel& editor, QObject* parent) : QAbstractTableModel(parent), editor_(editor) {
  SetPalette(QPalette());
}

void TaskListModel::SetPalette(const QPalette& palette) {
  for (size_t action = 1; action < icons_.size(); ++action)
    icons_[action] = ListIcon(static_cast<int>(action), palette);
  if (shownRows_ > 0) emit dataChanged(index(0, kSyncColumn), index(shownRows_ - 1, kSyncColumn), {Qt::DecorationRole});
}

void TaskListModel::SetRowHeight(int height) {
  if (height == rowHeight_) return;
  rowHeight_ = height;
  if (shownRows_ > 0) emit dataChanged(index(0, 0), index(shownRows_ - 1, kTaskColumnCount - 1), {Qt::SizeHintRole});
}

int TaskListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : shownRows_; }

int TaskListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kTaskColumnCount; }

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
  const std::vector<TaskRow>& rows = editor_.State().rows;
  if (!index.isValid() || index.row() >= static_cast<int>(rows.size())) return {};
  const TaskRow& row = rows[static_cast<size_t>(index.row())];
  const int column = index.column();
  switch (role) {
    case Qt::DisplayRole:
      if (column == kSyncColumn) return Text(row.sync);
      return Text(column == kPcFileColumn ? row.pcName : row.palmName);
    case Qt::DecorationRole:
      if (column == kSyncColumn) return icons_[static_cast<size_t>(row.action)];
      return {};
    case Qt::AccessibleTextRole:
      // The picture says the direction; a screen reader hears it with the symbol.
      if (column == kSyncColumn) {
        const QString symbol = Text(row.sync).trimmed();
        return QString(DirectionName(static_cast<int>(row.action))) + (symbol.isEmpty() ? "" : ", " + symbol);
      }
      return {};
    case Qt::ToolTipRole: {
      // Long names are cut with an ellipsis; the tooltip has the whole path.
      if (column == kSyncColumn) return {};
      const auto which = column == kPcFileColumn ? ListColumn::PcFile : ListColumn::PalmFile;
      return Text(editor_.RowPath(index.row() + 1, which));
    }
    case Qt::SizeHintRole:
      return QSize(1, rowHeight_);
    default:
      return {};
  }
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kTaskColumnCount) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return QString(kHeaders[section]);
}

void TaskListModel::Refresh(int first, int last) {
  const std::vector<TaskRow>& rows = editor_.State().rows;
  const int count = static_cast<int>(rows.size());
  if (count > shownRows_) {
    beginInsertRows({}, shownRows_, count - 1);  // tasks are only ever added at the end
    shownRows_ = count;
    endInsertRows();
  } else if (count < shownRows_) {
    beginResetModel();
    shownRows_ = count;
    shown_.clear();
    endResetModel();
  }
  first = std::max(first, 0);
  last = std::min(last, count - 1);
  int changedFirst = last + 1;
  int changedLast = first - 1;
  for (int row = first; row <= last; ++row) {
    const int at = row - shownFirst_;
    const bool same = at >= 0 && at < static_cast<int>(shown_.size()) &&
                      shown_[static_cast<size_t>(at)] == rows[static_cast<size_t>(row)];
    if (same) continue;
    changedFirst = std::min(changedFirst, row);
    changedLast = std::max(changedLast, row);
  }
  shownFirst_ = first;
  shown_.assign(rows.begin() + first, rows.begin() + std::max(first, last + 1));
  if (changedFirst <= changedLast) emit dataChanged(index(changedFirst, 0), index(changedLast, kTaskColumnCount - 1));
}

}  // namespace zun::ui
