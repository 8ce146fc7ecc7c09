#include "gui/widgets/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace quillet {

QImage appIconImage(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  const qreal s = size;
  // A dark rounded tile with a mouse outline in the accent colour.
  QLinearGradient tile(0, 0, 0, s);
  tile.setColorAt(0, QColor(44, 48, 58));
  tile.setColorAt(1, QColor(18, 20, 26));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.2, s * 0.2);
  const QRectF body(s * 0.3, s * 0.16, s * 0.4, s * 0.68);
  p.setPen(QPen(QColor(0, 200, 255), s * 0.07));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(body, s * 0.2, s * 0.2);
  p.drawLine(QPointF(s * 0.5, s * 0.18), QPointF(s * 0.5, s * 0.4));
  return image;
}

QIcon appIcon() {
  QIcon icon;
  for (int size : {16, 22, 32, 48, 64}) {
    icon.addPixmap(QPixmap::fromImage(appIconImage(size)));
  }
  return icon;
}

}  // namespace quillet
