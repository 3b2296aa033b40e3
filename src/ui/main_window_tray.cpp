// frmMain in the tray: the icon and its menu, minimizing into the tray, coming back out of it.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>

#include "ui/desktop.h"
#include "ui/main_window.h"
#include "ui/pictures.h"

namespace zun::ui {

bool MainWindow::HasTray() const { return trayProbe_ ? trayProbe_() : QSystemTrayIcon::isSystemTrayAvailable(); }

void MainWindow::BuildTray() {
  tray_ = new QSystemTrayIcon(this);
  tray_->setObjectName("trayIcon");
  tray_->setIcon(TrayFrame(kTrayRestFrame));
  tray_->setToolTip(kTrayTip);
  shownTrayFrame_ = kTrayRestFrame;
  shownTrayTip_ = kTrayTip;
  trayMenu_ = new QMenu(this);
  trayMenu_->setObjectName("mPopupSys");
  convertClipboardItem_ = trayMenu_->addAction("&Convert Clipboard");
  convertClipboardItem_->setObjectName("mPopConvertClipboard");
  restoreItem_ = trayMenu_->addAction("&Restore Window");
  restoreItem_->setObjectName("mPopRestoreWindow");
  trayMenu_->addSeparator()->setObjectName("mnuSepp");
  exitItem_ = trayMenu_->addAction("&Exit");
  exitItem_->setObjectName("mPopExit");
  // The icon's own menu: an XEmbed tray opens it at the right click, a StatusNotifierItem host
  // (KDE Plasma, GNOME's AppIndicator extension, XFCE) shows it itself, also under Wayland.
  tray_->setContextMenu(trayMenu_);
}

void MainWindow::ConnectTray() {
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) { TrayActivated(r); });
  connect(trayMenu_, &QMenu::aboutToShow, this, [this] {
    if (prompt_.open || shutDown_) return;
    SetTrayIcon(kTrayRestFrame, kTrayTip);  // as any click on the icon does
    MirrorProgress();
  });
  connect(convertClipboardItem_, &QAction::triggered, this, [this] { ConvertClipboardNow(); });
  connect(restoreItem_, &QAction::triggered, this, [this] { RestoreWindow(); });
  connect(exitItem_, &QAction::triggered, this, [this] { close(); });
  connect(trayWatch_, &QTimer::timeout, this, [this] {
    // Hidden in a tray that went away: back to the task bar, minimized.
    if (!isVisible() && HasTray()) return;
    trayWatch_->stop();
    if (isVisible()) return;
    // Shown where a minimize cannot be seen (Wayland): the user could not tell where it went.
    if (MinimizeIsReported()) {
      showMinimized();
    } else {
      showNormal();
    }
  });
}

void MainWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) PaintPictures();
  if (event->type() != QEvent::WindowStateChange || shutDown_) return;
  const bool minimized = isMinimized();
  // Hidden in the tray the window stays there until it is restored, whatever its state does
  // meanwhile (a Wayland compositor sends it back to normal at once).
  if (!minimized && trayWatch_->isActive()) return;
  // Into the tray only while the icon can be seen there; otherwise an ordinary minimize.
  if (minimized && tray_->isVisible() && HasTray()) {
    QTimer::singleShot(0, this, [this] { hide(); });
    trayWatch_->start();
  }
  Forward([&] { model_->WindowMinimized(minimized); });
}

void MainWindow::RestoreWindow() {
  const bool fromTray = trayWatch_->isActive();
  const bool stateChanges = isMinimized();
  trayWatch_->stop();
  showNormal();
  raise();
  activateWindow();
  // Out of the tray without a state change to report it (started there, or on Wayland).
  if (fromTray && !stateChanges) Forward([&] { model_->WindowMinimized(false); });
}

void MainWindow::ComeForward(const QString& token) {
  if (shutDown_) return;
  // Wayland lets a window take the focus only with the launch's activation token.
  if (!token.isEmpty()) qputenv("XDG_ACTIVATION_TOKEN", token.toUtf8());
  RestoreWindow();
  if (QWidget* prompt = QApplication::activeModalWidget()) {
    prompt->raise();
    prompt->activateWindow();
  }
}

void MainWindow::TrayActivated(int reason) {
  // The right click is the menu's (its opening puts the icon at rest).
  if (prompt_.open || shutDown_) return;
  if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::DoubleClick) return;
  SetTrayIcon(kTrayRestFrame, kTrayTip);
  MirrorProgress();
  // A StatusNotifierItem host reports its one click on the icon as the item's activation: that
  // click brings the window back, as the double click does on the older trays.
  if (reason == QSystemTrayIcon::DoubleClick || IconIsNotifierItem()) RestoreWindow();
}

}  // namespace zun::ui
