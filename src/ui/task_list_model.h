// lvw_tasks' rows, read straight from the editor model: no item per row, so a list of a
// hundred thousand tasks costs what its names cost.
#pragma once
#include <QAbstractTableModel>
#include <QIcon>
#include <QPalette>
#include <array>
#include <vector>

#include "editor/editor_model.h"

namespace zun::ui {

// Columns in the order the screen shows them, so a screen reader reads a row as it is seen.
enum TaskColumn { kPcFileColumn = 0, kSyncColumn = 1, kPalmFileColumn = 2, kTaskColumnCount = 3 };

class TaskListModel : public QAbstractTableModel {
 public:
  TaskListModel(EditorModel& editor, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Brings the views up to date after the editor model changed: rows added or removed, and the
  // texts of rows `first` to `last` (from 0) where they changed.
  void Refresh(int first, int last);
  // Rows this high (for the font in use); icons that stand out from this palette's list colours.
  void SetRowHeight(int height);
  void SetPalette(const QPalette& palette);

 private:
  EditorModel& editor_;
  int shownRows_ = 0;
  int shownFirst_ = 0;
  std::vector<TaskRow> shown_;  // rows first.. as the views last showed them
  std::array<QIcon, 5> icons_;  // by Action, 1-4
  int rowHeight_ = 20;
};

}  // namespace zun::ui
