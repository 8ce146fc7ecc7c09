#pragma once
// The About dialog: the utility's name, version, build and licence. Reached from the window's
// context menu and the notification-area menu, as the borderless window has no system menu.
#include <QDialog>
#include <QString>

#include "core/settings/app_state.h"

namespace quillet {

// The About command's identifier and its item text, in English and in Chinese.
constexpr int kAboutCommand = 0x10;
inline constexpr const char* kAboutItemText = "&About Quillet...";
inline constexpr const char* kAboutItemTextCn = "关于 Quillet(&A)...";
constexpr const char* aboutItemText(Language language) {
  return language == kChinese ? kAboutItemTextCn : kAboutItemText;
}

class CAboutDlg : public QDialog {
  Q_OBJECT
 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  // What the dialog says, line by line.
  static QString text();
};

}  // namespace quillet
