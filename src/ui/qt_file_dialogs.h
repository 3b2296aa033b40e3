// The editor's open-file dialogs as QFileDialogs.
#pragma once
#include <QWidget>

#include "editor/editor_model.h"

namespace zun::ui {

// "All (*.*)|*.*|Text (*.txt)|*.txt" as QFileDialog name filters; "*.*" becomes "*", since
// names need no dot here.
QStringList NameFilters(const std::string& filter);

class QtFileDialogs : public FileDialogs {
 public:
  explicit QtFileDialogs(QWidget* owner) : owner_(owner) {}
  std::optional<FileDialogResult> OpenFile(const FileDialogRequest& request) override;

 private:
  QWidget* owner_;
};

}  // namespace zun::ui
