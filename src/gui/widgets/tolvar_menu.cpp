#include "gui/widgets/tolvar_menu.h"

#include <QPainter>

#include <algorithm>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

namespace quillet {

const QColor CTolvarMenu::kItemFill(0, 120, 153);

namespace {

const QColor kText(255, 255, 255);
const QColor kTextDisabled(150, 170, 180);  // an item the selected line does not offer
const QColor kSeparatorTopLeft(255, 0, 0);
const QColor kSeparatorBottomRight(0, 0, 255);
const QColor kPanel(0, 0, 0);

// Measures and draws the items of the menus it is set on; everything else is the base style's.
class TolvarStyle final : public QProxyStyle {
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
    switch (metric) {
      case PM_MenuPanelWidth:
      case PM_MenuHMargin:
      case PM_MenuVMargin:
      case PM_MenuDesktopFrameWidth:
        return 0;
      default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
  }

  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (type != CT_MenuItem || item == nullptr) {
      return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
      // At least one pixel wide: the menu leaves out an item of no width; it spans the menu.
      return CTolvarMenu::measureItem(QString(), 0).expandedTo(QSize(1, 0));
    }
    QSize measured = CTolvarMenu::measureItem(item->text, 1);
    measured.rwidth() += CTolvarMenu::kArrowRoom;
    return measured;
  }

  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_PanelMenu || element == PE_FrameMenu) {
      painter->fillRect(option->rect, kPanel);
      return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    if (element != CE_MenuItem || item == nullptr) {
      QProxyStyle::drawControl(element, option, painter, widget);
      return;
    }
    painter->save();
    const QRect r = item->rect;
    if (item->menuItemType == QStyleOptionMenuItem::Separator) {
      // A 3-D frame, its left edge 25 pixels in: top and left red, bottom and right blue.
      const QRect frame = r.adjusted(CTolvarMenu::kSeparatorIndent, 0, 0, 0);
      painter->setPen(kSeparatorTopLeft);
      painter->drawLine(frame.topLeft(), frame.topRight());
      painter->drawLine(frame.topLeft(), frame.bottomLeft());
      painter->setPen(kSeparatorBottomRight);
      painter->drawLine(frame.bottomLeft(), frame.bottomRight());
      painter->drawLine(frame.topRight(), frame.bottomRight());
      painter->restore();
      return;
    }
    const bool selected = (item->state & State_Selected) != 0 && (item->state & State_Enabled) != 0;
    if (selected) {
      painter->setPen(CTolvarMenu::kItemFill);
      painter->drawRect(r.adjusted(0, 0, -1, -1));
      for (int k = 0; k < r.height(); ++k) {
        painter->setPen(CTolvarMenu::gradientLine(k, r.height()));
        painter->drawLine(r.left(), r.top() + k, r.right(), r.top() + k);
      }
    } else {
      painter->fillRect(r, CTolvarMenu::kItemFill);
    }
    painter->setPen((item->state & State_Enabled) != 0 ? kText : kTextDisabled);
    painter->setFont(item->font);
    const QRect textArea = r.adjusted(CTolvarMenu::kTextLeft, 0, 0, 0);
    painter->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                      item->text);
    if (item->menuItemType == QStyleOptionMenuItem::SubMenu) {
      const int x = r.right() - 10;
      const int y = r.center().y();
      const QPoint arrow[3] = {QPoint(x, y - 4), QPoint(x + 4, y), QPoint(x, y + 4)};
      painter->setBrush(kText);
      painter->drawPolygon(arrow, 3);
    }
    painter->restore();
  }
};

}  // namespace

CTolvarMenu::CTolvarMenu(QWidget* parent) : QMenu(parent) {}

QSize CTolvarMenu::measureItem(const QString& text, int command) {
  if (command == 0 && text.isEmpty()) {
    return QSize(0, kSeparatorHeight);
  }
  return QSize(kPixelsPerCharacter * static_cast<int>(text.size()), kItemHeight);
}

QColor CTolvarMenu::gradientLine(int k, int h) {
  const int step = h > 0 ? 255 / h : 0;
  return QColor(0, std::min(step * k, 255), 255);
}

void CTolvarMenu::makeOwnerDrawn(const std::vector<MenuItemSpec>& items, const std::optional<QFont>& font) {
  clear();
  records_.clear();
  if (font) {
    setFont(*font);
  }
  auto* style = new TolvarStyle;
  style->setParent(this);
  setStyle(style);
  addItems(this, items);
}

void CTolvarMenu::addItems(QMenu* menu, const std::vector<MenuItemSpec>& items) {
  for (const MenuItemSpec& item : items) {
    const QString text = QString::fromStdString(item.text);
    if (records_.size() < static_cast<std::size_t>(kMaxRecords)) {
      const int ordinal = item.command > 0 ? static_cast<int>(std::count_if(records_.begin(), records_.end(),
                                                                              [](const Record& r) { return r.command > 0; }))
                                           : 0;
      records_.push_back({text, ordinal, item.command});
    }
    if (item.isSeparator()) {
      menu->addSeparator();
    } else if (item.isSubMenu()) {
      QMenu* sub = menu->addMenu(text);
      sub->setStyle(style());
      sub->setFont(font());
      sub->setTitle(text);
      addItems(sub, item.items);
    } else {
      QAction* action = menu->addAction(text);
      action->setData(item.command);
      const int command = item.command;
      connect(action, &QAction::triggered, this, [this, command] { Q_EMIT commandChosen(command); });
    }
  }
}

}  // namespace quillet
