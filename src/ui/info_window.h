// The information window of img_pelko: name, description, version and two links.
#pragma once
#include <QDialog>
#include <functional>
#include <string>

namespace zun::ui {

inline constexpr const char* kMakerName = "the ZUN2 developers";

class InfoWindow : public QDialog {
 public:
  // `open` takes a link's address to the browser. The links lead into the help page.
  InfoWindow(QWidget* owner, const std::string& programDir, std::function<void(const std::string&)> open);

 protected:
  // Enter on a link follows it (the dialog would take it for its OK button).
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const std::string&)> open_;
};

}  // namespace zun::ui
