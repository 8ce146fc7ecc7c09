// sni_watcher: the notification area of today's desktops, as far as an icon sees it: a
// StatusNotifierWatcher on the session bus with one host registered. It prints one line per
// event on stdout, for the test to wait on:
//   watching                       the service name is taken
//   item SERVICE                   an icon registered itself (SERVICE as it gave it)
//   gone SERVICE                   the icon's bus name went away
// The test then calls the item's Activate itself, as the host does on a click.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>

#include <cstdio>

namespace {

void say(const QString& line) {
  std::printf("%s\n", line.toUtf8().constData());
  std::fflush(stdout);
}

class Watcher : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
  Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ items)
  Q_PROPERTY(bool IsStatusNotifierHostRegistered READ hostRegistered)
  Q_PROPERTY(int ProtocolVersion READ protocolVersion)

 public:
  explicit Watcher(QDBusConnection bus) : bus_(bus) {
    gone_.setConnection(bus_);
    gone_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&gone_, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString& service) {
      items_.removeAll(service);
      gone_.removeWatchedService(service);
      say(QStringLiteral("gone ") + service);
      Q_EMIT StatusNotifierItemUnregistered(service);
    });
  }
  QStringList items() const { return items_; }
  bool hostRegistered() const { return true; }
  int protocolVersion() const { return 0; }

 public Q_SLOTS:
  void RegisterStatusNotifierItem(const QString& service) {
    // An item names its bus name, or only its object path (then the caller's name counts).
    const QString name = service.startsWith(QLatin1Char('/')) ? message().service() : service;
    if (!items_.contains(name)) {
      items_.append(name);
      gone_.addWatchedService(name);
    }
    say(QStringLiteral("item ") + name);
    Q_EMIT StatusNotifierItemRegistered(name);
  }
  void RegisterStatusNotifierHost(const QString&) {}

 Q_SIGNALS:
  void StatusNotifierItemRegistered(const QString& service);
  void StatusNotifierItemUnregistered(const QString& service);
  void StatusNotifierHostRegistered();

 private:
  QDBusConnection bus_;
  QDBusServiceWatcher gone_;
  QStringList items_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fprintf(stderr, "sni_watcher: no session bus\n");
    return 1;
  }
  Watcher watcher(bus);
  if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                          QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                              QDBusConnection::ExportAllSignals) ||
      !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
    std::fprintf(stderr, "sni_watcher: cannot take org.kde.StatusNotifierWatcher\n");
    return 1;
  }
  say(QStringLiteral("watching"));
  return QCoreApplication::exec();
}

#include "sni_watcher.moc"
