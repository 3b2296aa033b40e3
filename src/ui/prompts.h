// The two prompts of a conversion: frmOvwDialog (a file exists) and frmBochDialog (both sides
// changed). Each reports the button chosen through PromptState; any other way out is Stop.
#pragma once
#include <QDialog>
#include <functional>

#include "convert/conversion_env.h"

class QLabel;
class QHBoxLayout;
class QLineEdit;

namespace zun::ui {

inline constexpr const char* kMessageTitle = "ZUN2 Message";

struct PromptState {
  PromptAnswer result = PromptAnswer::Stop;  // PromptResult: the last prompt's answer
  bool open = false;                         // PromptOpen: a prompt is loaded
};

class PromptDialog : public QDialog {
 public:
  PromptDialog(QWidget* owner, PromptState& state, const char* name);
  ~PromptDialog() override;

 protected:
  // A button that stores its code and closes the prompt.
  void AddChoice(const char* name, const QString& caption, PromptAnswer answer);
  QLabel* message_ = nullptr;
  QLabel* buttons_ = nullptr;

 private:
  PromptState& state_;
  QHBoxLayout* row_ = nullptr;
};

class OverwriteDialog : public PromptDialog {
 public:
  // `doNotAskAgain` runs at once on every click of "do not ask again".
  OverwriteDialog(QWidget* owner, PromptState& state, std::function<void()> doNotAskAgain);
  void SetQuestion(const QString& question, const QString& path);

 private:
  QLineEdit* fileName_ = nullptr;
};

class BothChangedDialog : public PromptDialog {
 public:
  BothChangedDialog(QWidget* owner, PromptState& state);
  // The lines where the two sides' changes collide, in a read-only box; none for an empty text.
  void ShowCollision(const QString& text);
};

}  // namespace zun::ui
