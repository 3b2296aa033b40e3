// frmMain running conversions: starting and stopping them, and what they ask of the window
// (ConversionHost): prompts, progress, the tray's picture, time for pending events.
#include <QCoreApplication>
#include <QMessageBox>
#include <algorithm>

#include "clipboard/clipboard_conversion.h"
#include "tasks/conversion_run.h"
#include "ui/main_window.h"
#include "ui/modal.h"

namespace zun::ui {
namespace {

// A long conversion redraws the window and lets events run this often: a few dozen times a
// second, so progress moves smoothly and Stop is answered at once, without a redraw per record.
constexpr qint64 kRedrawInterval = 30;

}  // namespace

void MainWindow::ConvertClicked() {
  if (shutDown_) return;
  switch (model_->ConvertClicked()) {
    case ConvertRequest::ConvertClipboard:
      ConvertClipboardNow();
      break;
    case ConvertRequest::StopRequested:
      Mirror();
      break;
    case ConvertRequest::StartRun:
      RunAllTasksNow();
      break;
    case ConvertRequest::Nothing:
      break;
  }
}

void MainWindow::RunAllTasksNow() {
  Mirror();
  sinceRedraw_.invalidate();  // the first task is shown at once
  ConversionEnv env = Env();
  const std::optional<std::string> failure = RunAllTasks(data_, env, *model_);
  const bool exitDue = model_->EndRun();
  Mirror();
  if (failure) ShowMessage(this, QMessageBox::Warning, kMessageTitle, QString::fromStdString(*failure));
  ConversionEnded(exitDue);
}

void MainWindow::ConvertClipboardNow() {
  // Not in the middle of another conversion: the clipboard conversion uses the same editor.
  if (prompt_.open || shutDown_ || !codec_ || !model_->BeginClipboardConversion()) return;
  Mirror();
  sinceRedraw_.invalidate();
  std::string failure;
  try {
    ConversionEnv env = Env();
    ConvertClipboard(data_, env, *model_);
  } catch (const std::exception& error) {
    failure = std::string("The data file could not be read or written: ") + error.what();
  }
  const bool exitDue = model_->EndClipboardConversion();
  Mirror();
  if (!failure.empty()) ShowMessage(this, QMessageBox::Warning, kMessageTitle, QString::fromStdString(failure));
  ConversionEnded(exitDue);
}

void MainWindow::ConversionEnded(bool exitDue) {
  if (exitDue) close();
}

// ConversionHost.

void MainWindow::SetAskOverwrite(bool on) {
  Forward([&] { model_->AskOverwriteClicked(on); });
}

OverwriteAnswer MainWindow::OverwritePrompt(const std::string& question, const std::string& path) {
  if (unattended_ != nullptr) return unattended_->Overwrite(question);
  Mirror();  // the prompt asks about the task the window shows
  // "do not ask again" is stored at its click; the answer then carries nothing more to store.
  OverwriteDialog dialog(this, prompt_, [this] { SetAskOverwrite(false); });
  dialog.SetQuestion(QString::fromStdString(question), QString::fromStdString(path));
  RunModal(dialog);
  return OverwriteAnswer{prompt_.result, false};
}

PromptAnswer MainWindow::BothChangedPrompt(const Collision& collision) {
  if (unattended_ != nullptr) return unattended_->BothChanged(collision);
  Mirror();
  BothChangedDialog dialog(this, prompt_);
  dialog.ShowCollision(QString::fromStdString(CollisionText(collision)));
  RunModal(dialog);
  return prompt_.result;
}

void MainWindow::ShowProgress(bool shown) { progress_.shown = shown; }

void MainWindow::SetProgressCaption(const std::string& caption) { progress_.caption = QString::fromStdString(caption); }

void MainWindow::SetProgressRange(int32_t maximum) {
  progress_.maximum = std::max(maximum, 1);
  progress_.value = 0;
}

void MainWindow::SetProgressValue(int32_t value) { progress_.value = value; }

void MainWindow::SetTrayIcon(int32_t frame, const std::string& tip) {
  progress_.trayFrame = frame;
  progress_.trayTip = QString::fromStdString(tip);
}

void MainWindow::LetEventsRun() {
  if (sinceRedraw_.isValid() && sinceRedraw_.elapsed() < kRedrawInterval) return;
  Mirror();
  QCoreApplication::processEvents();
}

}  // namespace zun::ui
