#include "gui/app/power_events.h"

#include <QDBusConnection>

namespace quillet {

PowerEvents::PowerEvents(QObject* parent) : QObject(parent) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    return;
  }
  connected_ = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                           QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                           this, SLOT(onPrepareForSleep(bool)));
}

void PowerEvents::onPrepareForSleep(bool start) {
  if (!start) {
    Q_EMIT resumed();
  }
}

}  // namespace quillet
