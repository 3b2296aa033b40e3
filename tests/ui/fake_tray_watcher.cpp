// A StatusNotifierItem tray as KDE Plasma, GNOME's AppIndicator extension and XFCE's plugin run
// it, reduced to what the tests need: it owns org.kde.StatusNotifierWatcher on the session bus,
// says a host is there, prints "registered SERVICE" for each item that registers, and on a line
// "activate" or "secondary" on its input calls Activate or SecondaryActivate on the last item, as
// a host does for a click and a middle click. "menu" is the right click: the item's exported menu
// is read and printed ("menu" and the labels, "|" between them); "click LABEL" then clicks that
// entry.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QMap>
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

 public:
  QStringList Items() const { return items_; }
  bool HostRegistered() const { return true; }

  void Call(const QString& method) {
    if (items_.isEmpty()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(items_.back(), "/StatusNotifierItem",
                                                      "org.kde.StatusNotifierItem", method);
    call << 0 << 0;  // where the click was
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
  }

  void ShowMenu() {
    if (items_.isEmpty()) return;
    QDBusMessage ask = QDBusMessage::createMethodCall(items_.back(), "/StatusNotifierItem",
                                                     "org.freedesktop.DBus.Properties", "Get");
    ask << QString("org.kde.StatusNotifierItem") << QString("Menu");
    const QDBusMessage path = QDBusConnection::sessionBus().call(ask);
    menuPath_ = path.arguments().value(0).value<QDBusVariant>().variant().value<QDBusObjectPath>().path();
    QDBusMessage layout = QDBusMessage::createMethodCall(items_.back(), menuPath_, "com.canonical.dbusmenu", "GetLayout");
    layout << 0 << -1 << QStringList{};
    const QDBusMessage reply = QDBusConnection::sessionBus().call(layout);
    entries_.clear();
    QStringList labels;
    ReadEntries(reply.arguments().value(1).value<QDBusArgument>(), labels);
    std::printf("menu %s\n", qPrintable(labels.join('|')));
  }

  void Click(const QString& label) {
    if (!entries_.contains(label)) return;
    QDBusMessage event = QDBusMessage::createMethodCall(items_.back(), menuPath_, "com.canonical.dbusmenu", "Event");
    event << entries_.value(label) << QString("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
    QDBusConnection::sessionBus().call(event, QDBus::NoBlock);
  }

 public slots:
  void RegisterStatusNotifierItem(const QString& service) {
    items_ << service;
    std::printf("registered %s\n", qPrintable(service));
    emit StatusNotifierItemRegistered(service);
  }

 signals:  // defined by moc, whose parameters are named _t1, _t2, ...
  // NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name)
  void StatusNotifierItemRegistered(const QString& service);

 private:
  // A layout node is (id, properties, children as variants of nodes); the labels of the entries.
  void ReadEntries(const QDBusArgument& node, QStringList& labels) {
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    if (id != 0) {
      labels << properties.value("label").toString();
      entries_.insert(labels.back(), id);
    }
    node.beginArray();
    while (!node.atEnd()) {
      QDBusVariant child;
      node >> child;
      ReadEntries(child.variant().value<QDBusArgument>(), labels);
    }
    node.endArray();
    node.endStructure();
  }

  QStringList items_;
  QString menuPath_;
  QMap<QString, int> entries_;
};

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line reaches the test at once
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
  QSocketNotifier input(0, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    std::string line;
    if (!std::getline(std::cin, line)) {
      QCoreApplication::quit();
      return;
    }
    if (line == "activate") watcher.Call("Activate");
    if (line == "secondary") watcher.Call("SecondaryActivate");
    if (line == "menu") watcher.ShowMenu();
    if (line.rfind("click ", 0) == 0) watcher.Click(QString::fromStdString(line.substr(6)));
  });
  return QCoreApplication::exec();
}

#include "fake_tray_watcher.moc"
