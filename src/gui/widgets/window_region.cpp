#include "gui/widgets/window_region.h"

#include <vector>

namespace quillet {

WindowShape shapeOf(const QImage& mask) {
  const QImage rgb = mask.format() == QImage::Format_RGB32 ? mask : mask.convertToFormat(QImage::Format_RGB32);
  return WindowShape::fromMask(rgb.width(), rgb.height(), [&](int x, int y) {
    const QRgb p = reinterpret_cast<const QRgb*>(rgb.constScanLine(y))[x];
    return MaskPixel{static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                     static_cast<std::uint8_t>(qBlue(p))};
  });
}

QRegion regionOf(const WindowShape& shape) {
  const std::vector<SkinRect> bands = shape.bands();
  std::vector<QRect> rects;
  rects.reserve(bands.size());
  for (const SkinRect& r : bands) {
    rects.emplace_back(r.left, r.top, r.width(), r.height());
  }
  QRegion region;
  region.setRects(rects.data(), static_cast<int>(rects.size()));
  return region;
}

}  // namespace quillet
