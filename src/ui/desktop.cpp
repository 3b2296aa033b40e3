#include "ui/desktop.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QGuiApplication>

#include "zun2_version.h"

namespace zun::ui {
namespace {

constexpr int kBusWaitMs = 1000;

}  // namespace

void SetApplicationIdentity() {
  QCoreApplication::setApplicationName(kWindowClass);
  QGuiApplication::setDesktopFileName(ZUN2_APP_ID);
}

bool IconIsNotifierItem() {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr) return false;
  // The watcher lists the items by the bus name of the connection that registered them
  // (":1.26", or a name and a path): one of this process is ours.
  QDBusMessage ask = QDBusMessage::createMethodCall("org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
                                                    "org.freedesktop.DBus.Properties", "Get");
  ask << QString("org.kde.StatusNotifierWatcher") << QString("RegisteredStatusNotifierItems");
  const QDBusReply<QDBusVariant> items = bus.call(ask, QDBus::Block, kBusWaitMs);
  if (!items.isValid()) return false;
  for (const QString& item : items.value().variant().toStringList()) {
    const QDBusReply<uint> pid = bus.interface()->servicePid(item.section('/', 0, 0));
    if (pid.isValid() && pid.value() == static_cast<uint>(QCoreApplication::applicationPid())) return true;
  }
  return false;
}

bool MinimizeIsReported() { return !QGuiApplication::platformName().startsWith("wayland"); }

}  // namespace zun::ui
