// Every modal dialog of the window runs through RunModal, so tests can answer it in place of a
// user: an answer gets the dialog, built and filled but never shown, and the dialog ends with
// whatever the answer left in it (a button clicked, a key pressed, nothing at all).
#pragma once
#include <QMessageBox>
#include <functional>

class QDialog;

namespace zun::ui {

using DialogAnswer = std::function<void(QDialog&)>;

// Queues the answer for the next dialog; answers are used in the order given.
void AnswerNextDialog(DialogAnswer answer);
// Answers only: a dialog without an answer waiting is not shown but counted and cancelled.
void SetAnswersOnly(bool on);
// How many answers met no dialog, and dialogs no answer, since the last call; forgets both.
int UnmatchedAnswers();

// exec(), or the next answer.
int RunModal(QDialog& dialog);
// A message box owned by `owner`, through RunModal.
void ShowMessage(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text,
                 const char* name = nullptr);

}  // namespace zun::ui
