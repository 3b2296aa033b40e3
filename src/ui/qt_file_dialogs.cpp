#include "ui/qt_file_dialogs.h"

#include <QDir>
#include <QFileDialog>

namespace zun::ui {

QStringList NameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString label = parts[i];
    const qsizetype open = label.indexOf('(');
    if (open >= 0) label = label.left(open).trimmed();
    QString patterns = parts[i + 1];
    patterns.replace(';', ' ');
    if (patterns == "*.*") patterns = "*";
    filters << QString("%1 (%2)").arg(label, patterns);
  }
  return filters;
}

std::optional<FileDialogResult> QtFileDialogs::OpenFile(const FileDialogRequest& request) {
  QFileDialog dialog(owner_, QString::fromStdString(request.title));
  dialog.setObjectName("CoDi");
  dialog.setFileMode(QFileDialog::AnyFile);  // a new name may be entered
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setOption(QFileDialog::ReadOnly, false);
  const QStringList filters = NameFilters(request.filter);
  dialog.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
    dialog.selectNameFilter(filters[request.filterIndex - 1]);
  }
  if (!request.startFolder.empty()) dialog.setDirectory(QString::fromStdString(request.startFolder));
  if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  FileDialogResult result;
  result.path = QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
  result.filterIndex = static_cast<int32_t>(filters.indexOf(dialog.selectedNameFilter())) + 1;
  if (result.filterIndex < 1) result.filterIndex = 1;
  return result;
}

}  // namespace zun::ui
