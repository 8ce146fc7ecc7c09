#include "gui/widgets/ui_fonts.h"

#include <QStringList>

namespace quillet {

QFont latinUiFont(double points) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(points);
  return font;
}

QFont chineseUiFont(double points) {
  QFont font;
  font.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"), QStringLiteral("WenQuanYi Micro Hei"),
                    QStringLiteral("Noto Sans CJK SC")});
  font.setPointSizeF(points);
  return font;
}

QFont uiFontFor(Language language, double points) {
  return language != kChinese ? latinUiFont(points) : chineseUiFont(points);
}

}  // namespace quillet
