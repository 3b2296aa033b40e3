// A StatusNotifierItem tray as KDE Plasma, GNOME's AppIndicator extension and XFCE's plugin run
// it, reduced to what the tests need: it owns org.kde.StatusNotifierWatcher on the session bus,
// says a host is there, prints "registered SERVICE" for each item that registers, and on a line
// "activate", "secondary" or "menu" on its input calls Activate, SecondaryActivate or ContextMenu
// on the last item, as a host does for a click, a middle click and a right click.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QObject>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdio>
#include <iostream>
#include <string>

class Watcher : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ Items)
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ HostRegistered)
  Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)

 public:
  QStringList Items() const { return items_; }
  bool HostRegistered() const { return true; }
  int ProtocolVersion() const { return 0; }

  void Call(const QString& method) {
    if (items_.isEmpty()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(items_.back(), "/StatusNotifierItem",
                                                      "org.kde.StatusNotifierItem", method);
    call << 0 << 0;  // where the click was
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
  }

 public slots:
  void RegisterStatusNotifierItem(const QString& service) {
    items_ << service;
    std::printf("registered %s\n", qPrintable(service));
    std::fflush(stdout);
    emit StatusNotifierItemRegistered(service);
  }
  void RegisterStatusNotifierHost(const QString&) {}

 signals:
  void StatusNotifierItemRegistered(const QString& service);
  void StatusNotifierItemUnregistered(const QString& service);
  void StatusNotifierHostRegistered();

 private:
  QStringList items_;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  Watcher watcher;
  if (!bus.registerObject("/StatusNotifierWatcher", &watcher,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                              QDBusConnection::ExportAllProperties) ||
      !bus.registerService("org.kde.StatusNotifierWatcher")) {
    std::fprintf(stderr, "fake_tray_watcher: no session bus or the name is taken\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  QSocketNotifier input(0, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    std::string line;
    if (!std::getline(std::cin, line)) {
      QCoreApplication::quit();
      return;
    }
    if (line == "activate") watcher.Call("Activate");
    if (line == "secondary") watcher.Call("SecondaryActivate");
    if (line == "menu") watcher.Call("ContextMenu");
  });
  return QCoreApplication::exec();
}

#include "fake_tray_watcher.moc"
