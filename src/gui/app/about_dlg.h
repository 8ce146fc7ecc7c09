#pragma once
// The About dialog: the utility's name, version, build and licence. Reached from the window's
// context menu and the notification-area menu, as the borderless window has no system menu.
#include <QDialog>
#include <QString>

namespace quillet {

// The About command's identifier and its item text.
constexpr int kAboutCommand = 0x10;
inline constexpr const char* kAboutItemText = "&About Quillet...";

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  // What the dialog says, line by line.
  static QString text();
};

}  // namespace quillet
