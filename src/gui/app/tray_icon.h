#pragma once
// The notification-area icon (identifier 153) with its menu, built from the tray menu table of
// the current language and drawn as the window's other table menus are (CTolvarMenu).
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

#include "core/settings/app_state.h"
#include "gui/widgets/tolvar_menu.h"

namespace quillet {

// Whether an activation of the icon brings the window back. An XEmbed notification area reports
// a click and a double-click: the window comes back on the double-click. A StatusNotifierItem host
// (KDE Plasma, GNOME's AppIndicator extension) has no double-click: it reports a click (its
// Activate call) as Trigger, which then brings the window back.
bool activationRestores(QSystemTrayIcon::ActivationReason reason, bool hostHasDoubleClick);

// True when the session bus has a StatusNotifierWatcher with a host registered: the icon is then
// a StatusNotifierItem (the toolkit makes the same choice when the icon is made).
bool statusNotifierHostPresent();

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TrayIcon(QObject* parent = nullptr);
  ~TrayIcon() override;

  // Adding an icon that is there already changes nothing.
  void add();
  void remove();
  bool added() const { return icon_.isVisible(); }
  // Rebuilds the menu in `language`, every item drawn in `font` (the window's face of the
  // language).
  void setLanguage(Language language, const QFont& font);
  CTolvarMenu* menu() { return menu_.get(); }
  QSystemTrayIcon& icon() { return icon_; }
  // Runs a tray menu command by its identifier, as a click on the item does.
  void runCommand(int command);
  // False where the icon is a StatusNotifierItem (see activationRestores).
  bool hostHasDoubleClick() const { return hostHasDoubleClick_; }

 Q_SIGNALS:
  void showWindowRequested();
  void exitRequested();
  void aboutRequested();

 private:
  // Decided before the icon is made, as the toolkit decides which kind of icon it makes.
  bool hostHasDoubleClick_ = !statusNotifierHostPresent();
  QSystemTrayIcon icon_;
  std::unique_ptr<CTolvarMenu> menu_;
};

}  // namespace quillet
