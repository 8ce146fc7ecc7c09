#pragma once
// The notification-area icon (identifier 153) with its menu, built from the tray menu table of
// the current language and drawn as the window's other table menus are (CTolvarMenu).
#include <QObject>
#include <QSystemTrayIcon>

#include <memory>

#include "core/settings/app_state.h"
#include "gui/widgets/tolvar_menu.h"

namespace quillet {

class TrayIcon : public QObject {
  Q_OBJECT

 public:
  explicit TrayIcon(QObject* parent = nullptr);
  ~TrayIcon() override;

  // Adding an icon that is there already changes nothing.
  void add();
  void remove();
  bool added() const { return icon_.isVisible(); }
  // Rebuilds the menu in `language`.
  void setLanguage(Language language);
  CTolvarMenu* menu() { return menu_.get(); }
  QSystemTrayIcon& icon() { return icon_; }
  // Runs a tray menu command by its identifier, as a click on the item does.
  void runCommand(int command);

 Q_SIGNALS:
  void showWindowRequested();
  void exitRequested();
  void aboutRequested();

 private:
  QSystemTrayIcon icon_;
  std::unique_ptr<CTolvarMenu> menu_;
};

}  // namespace quillet
