#include "ui/modal.h"

#include <QDialog>
#include <deque>

namespace zun::ui {
namespace {

struct Answers {
  std::deque<DialogAnswer> waiting;
  bool only = false;
  int unanswered = 0;
};

Answers& Queue() {
  static Answers answers;
  return answers;
}

}  // namespace

void AnswerNextDialog(DialogAnswer answer) { Queue().waiting.push_back(std::move(answer)); }

void SetAnswersOnly(bool on) { Queue().only = on; }

int UnmatchedAnswers() {
  Answers& answers = Queue();
  const int unmatched = static_cast<int>(answers.waiting.size()) + answers.unanswered;
  answers.waiting.clear();
  answers.unanswered = 0;
  return unmatched;
}

int RunModal(QDialog& dialog) {
  Answers& answers = Queue();
  if (answers.waiting.empty()) {
    if (!answers.only) return dialog.exec();
    ++answers.unanswered;
    return QDialog::Rejected;
  }
  const DialogAnswer answer = std::move(answers.waiting.front());
  answers.waiting.pop_front();
  answer(dialog);
  return dialog.result();
}

void ShowMessage(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text, const char* name) {
  QMessageBox box(icon, title, text, QMessageBox::Ok, owner);
  if (name != nullptr) box.setObjectName(name);
  RunModal(box);
}

}  // namespace zun::ui
