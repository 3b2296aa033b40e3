#include "ui/clipboard_reader.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTimer>
#include <cstdio>

namespace zun::ui {
namespace {

constexpr int kNoText = 3;

ClipboardContent ReadDirectly() {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  if (mime == nullptr || !mime->hasText()) return {};
  const QString text = mime->text();
  // Text was offered but nothing came through (the owner's pipe stayed silent).
  if (text.isEmpty()) return {std::nullopt, false};
  return {text.toStdString(), true};
}

ClipboardContent ReadThroughHelper(const QString& helper) {
  QProcess process;
  process.setStandardErrorFile(QProcess::nullDevice());
  QEventLoop waiting;
  QObject::connect(&process, &QProcess::finished, &waiting, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &waiting, &QEventLoop::quit);
  QTimer deadline;
  deadline.setSingleShot(true);
  QObject::connect(&deadline, &QTimer::timeout, &waiting, &QEventLoop::quit);
  process.start(helper, {kClipboardHelperOption, "-platform", QGuiApplication::platformName()});
  deadline.start(kClipboardWaitMs);
  // The window goes on drawing and answering (also the clipboard requests of others) meanwhile.
  if (process.state() != QProcess::NotRunning) waiting.exec();
  if (process.error() == QProcess::FailedToStart) return ReadDirectly();
  if (process.state() != QProcess::NotRunning) {
    process.kill();
    process.waitForFinished();
    return {std::nullopt, false};
  }
  if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == kNoText) return {};
  if (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
    return {QString::fromUtf8(process.readAllStandardOutput()).toStdString(), true};
  }
  return ReadDirectly();  // the helper could not read it (no display of its own, say)
}

}  // namespace

ClipboardContent ReadClipboard(const QString& helper) {
  const bool x11 = QGuiApplication::platformName() == "xcb";
  if (!x11 || helper.isEmpty() || QGuiApplication::clipboard()->ownsClipboard()) return ReadDirectly();
  return ReadThroughHelper(helper);
}

int RunClipboardHelper(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  const QByteArray text = mime != nullptr && mime->hasText() ? mime->text().toUtf8() : QByteArray();
  if (text.isEmpty()) return kNoText;
  return std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout) == static_cast<size_t>(text.size()) &&
                 std::fflush(stdout) == 0
             ? 0
             : 1;
}

}  // namespace zun::ui
