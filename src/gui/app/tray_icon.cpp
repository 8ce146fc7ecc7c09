#include "gui/app/tray_icon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>

#include "gui/app/about_dlg.h"
#include "gui/widgets/app_icon.h"
#include "core/skin/window_rules.h"

namespace quillet {

bool activationRestores(QSystemTrayIcon::ActivationReason reason, bool hostHasDoubleClick) {
  return reason == (hostHasDoubleClick ? QSystemTrayIcon::DoubleClick : QSystemTrayIcon::Trigger);
}

bool statusNotifierHostPresent() {
  const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected() || bus.interface() == nullptr || !bus.interface()->isServiceRegistered(watcher).value()) {
    return false;
  }
  // One property read, with a short wait: a watcher that hangs must not hold up the start.
  QDBusMessage get = QDBusMessage::createMethodCall(watcher, QStringLiteral("/StatusNotifierWatcher"),
                                                    QStringLiteral("org.freedesktop.DBus.Properties"),
                                                    QStringLiteral("Get"));
  get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
  constexpr int kWaitMs = 1000;
  const QDBusMessage reply = bus.call(get, QDBus::Block, kWaitMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    return false;
  }
  return reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {
  icon_.setIcon(appIcon());
  icon_.setToolTip(QString::fromUtf8(kTrayTipAdded));
  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (activationRestores(reason, hostHasDoubleClick_)) {
      Q_EMIT showWindowRequested();
    }
  });
}

TrayIcon::~TrayIcon() { icon_.setContextMenu(nullptr); }

void TrayIcon::add() {
  if (!icon_.isVisible()) {
    icon_.setToolTip(QString::fromUtf8(kTrayTipAdded));
    icon_.show();
  }
}

void TrayIcon::remove() {
  icon_.hide();
  icon_.setToolTip(QString::fromUtf8(kTrayTipRemoved));
}

void TrayIcon::setLanguage(Language language, const QFont& font) {
  const TrayMenu table = trayMenu(language);
  std::vector<MenuItemSpec> items;
  for (const TrayMenuItem& item : table.items) {
    items.push_back({item.text, item.command, {}});
  }
  // The window has no system menu: its About command is offered here too.
  items.push_back({});
  items.push_back({aboutItemText(language), kAboutCommand, {}});
  auto menu = std::make_unique<CTolvarMenu>();
  menu->setTitle(QString::fromUtf8(table.title));
  menu->makeOwnerDrawn(items, font);
  connect(menu.get(), &CTolvarMenu::commandChosen, this, [this](int command) {
    if (command == kAboutCommand) {
      Q_EMIT aboutRequested();
    } else {
      runCommand(command);
    }
  });
  icon_.setContextMenu(menu.get());
  menu_ = std::move(menu);
}

void TrayIcon::runCommand(int command) {
  switch (trayAction(command)) {
    case TrayAction::ShowWindow:
      Q_EMIT showWindowRequested();
      break;
    case TrayAction::Exit:
      Q_EMIT exitRequested();
      break;
    case TrayAction::None:
      break;
  }
}

}  // namespace quillet
