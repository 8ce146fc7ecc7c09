#pragma once
// The shape of a skinned window, taken from its mask picture, and the main window's two repaint
// regions.
//
// The mask rule: a pixel whose red, green and blue are all above 100 is outside the window; every
// other pixel (any component 100 or less) belongs to it. Masks are drawn dark where the window is
// and light where it is not; the threshold keeps JPEG noise on either side from moving the edge.
//
// The shape is kept as rows of pixel spans and handed out as non-overlapping rectangles in y-x
// banded order (top to bottom, left to right within a band, rows with equal spans merged into one
// band), which is the form QRegion::setRects takes as it stands. The window builds its QRegion so:
//
//   const std::vector<SkinRect> bands = shape.bands();
//   std::vector<QRect> rects;
//   for (const SkinRect& r : bands) rects.emplace_back(r.left, r.top, r.width(), r.height());
//   QRegion region;
//   region.setRects(rects.data(), static_cast<int>(rects.size()));
//
// and samples a QImage for fromMask with
//   [&](int x, int y) { const QRgb p = image.pixel(x, y); return MaskPixel{qRed(p), qGreen(p), qBlue(p)}; }
// (scanLine() on a Format_RGB32 copy is faster and gives the same pixels).
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "core/skin/skin_layout.h"

namespace quillet {

struct MaskPixel {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

constexpr std::uint8_t kMaskThreshold = 100;

constexpr bool isOutsideWindow(MaskPixel p) {
  return p.r > kMaskThreshold && p.g > kMaskThreshold && p.b > kMaskThreshold;
}

// The rectangles (left, top, right, bottom) of the advanced page's three value boxes (pointer
// speed, wheel speed, fire time). Their edit fields sit here, and hover repaints leave them out.
constexpr std::array<SkinRect, 3> kAdvancedValueBoxes{{
    {476, 353, 507, 365},
    {476, 473, 507, 485},
    {476, 593, 507, 605},
}};

class WindowShape {
 public:
  WindowShape() = default;

  // The shape of a width × height mask; pixelAt(x, y) returns the mask's pixel at (x, y).
  template <typename PixelAt>
  static WindowShape fromMask(std::int32_t width, std::int32_t height, PixelAt&& pixelAt) {
    WindowShape shape(width, height);
    for (std::int32_t y = 0; y < shape.height_; ++y) {
      std::vector<Span>& row = shape.rows_[static_cast<std::size_t>(y)];
      std::int32_t x = 0;
      while (x < shape.width_) {
        while (x < shape.width_ && isOutsideWindow(pixelAt(x, y))) {
          ++x;
        }
        const std::int32_t start = x;
        while (x < shape.width_ && !isOutsideWindow(pixelAt(x, y))) {
          ++x;
        }
        if (x > start) {
          row.push_back({start, x});
        }
      }
    }
    return shape;
  }

  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  bool contains(std::int32_t x, std::int32_t y) const;
  // True when every pixel of `rect` belongs to the shape (an empty rectangle is contained).
  bool containsRect(const SkinRect& rect) const;
  bool empty() const;

  // Removes the pixels of `rect` (clipped to the shape's size).
  void subtract(const SkinRect& rect);

  // The shape as non-overlapping rectangles in y-x banded order.
  std::vector<SkinRect> bands() const;

 private:
  struct Span {
    std::int32_t left;
    std::int32_t right;  // outside
    friend bool operator==(const Span&, const Span&) = default;
  };

  WindowShape(std::int32_t width, std::int32_t height);

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::vector<std::vector<Span>> rows_;  // per row y, spans sorted left to right, not touching
};

// The main window's shape and the two repaint regions built in the same pass: the macro page's
// region leaves out the six macro controls, the advanced page's region the three value boxes, so
// that hover repaints never paint over those child controls.
struct MainWindowShapes {
  WindowShape window;
  WindowShape macroPage;
  WindowShape advancedPage;
};

MainWindowShapes mainWindowShapes(const WindowShape& mask, std::span<const SkinRect> macroControlRects);

}  // namespace quillet
