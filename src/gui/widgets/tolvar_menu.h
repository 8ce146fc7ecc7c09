#pragma once
// CTolvarMenu: a menu whose every item the window draws itself, in the skin's colours: items on
// RGB (0, 120, 153), the highlighted one as a blue-to-cyan gradient, separators as a red and
// blue line, the text white. It carries the step list's context menu and the tray menu.
//
// An item measures 8 pixels per character of its text by 20 pixels (a separator 1 pixel high);
// the menu adds room beside each item for the sub-menu arrow.
#include <QColor>
#include <QFont>
#include <QMenu>
#include <QString>

#include <optional>
#include <vector>

#include "core/skin/step_menu.h"

namespace quillet {

class CTolvarMenu : public QMenu {
  Q_OBJECT

 public:
  // What the menu keeps of each item: its text, its place among the items with a command, and
  // its command ID.
  struct Record {
    QString text;
    int ordinal = 0;
    int command = 0;
  };
  static constexpr int kMaxRecords = 50;
  static constexpr int kItemHeight = 20;
  static constexpr int kSeparatorHeight = 1;
  static constexpr int kPixelsPerCharacter = 8;
  static constexpr int kTextLeft = 10;
  static constexpr int kArrowRoom = 36;  // beside every item, as the platform's menus keep
  static constexpr int kSeparatorIndent = 25;

  explicit CTolvarMenu(QWidget* parent = nullptr);

  // Makes the menu's items (and its sub-menus') from `items`, every one drawn by the menu in
  // `font` (the menu's own font when none is given). The records start anew; at most
  // kMaxRecords are kept.
  void makeOwnerDrawn(const std::vector<MenuItemSpec>& items, const std::optional<QFont>& font = std::nullopt);
  const std::vector<Record>& records() const { return records_; }

  // An item's size as the menu measures it: 8 × its characters (UTF-16 code units) by 20, a
  // separator (command 0 without text) 1 pixel high.
  static QSize measureItem(const QString& text, int command);
  // The colour of line k (0 at the top) of a highlighted item h lines high: RGB
  // (0, (255 / h) × k, 255), with 255 / h cut to an integer.
  static QColor gradientLine(int k, int h);
  static const QColor kItemFill;

 Q_SIGNALS:
  // An item with that command ID was chosen.
  void commandChosen(int command);

 private:
  void addItems(QMenu* menu, const std::vector<MenuItemSpec>& items);

  std::vector<Record> records_;
};

}  // namespace quillet
