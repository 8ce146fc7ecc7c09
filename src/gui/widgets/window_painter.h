#pragma once
// What the main window and its pages draw with: copies of a region from the shown page's
// pictures (idle, hover, pressed) at the screen's pixel ratio, fills, the slider knob, and the
// labels in the interface font. Coordinates are the layout's logical pixels throughout.
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>

#include <cstdint>
#include <string>

#include "core/skin/skin_layout.h"
#include "core/skin/window_rules.h"
#include "gui/widgets/skin_pictures.h"

namespace quillet {

// A label's colour as the skin's colour reference (red in the low byte).
QColor colorOf(ColorRef ref);

inline const QColor kLabelWhite(255, 255, 255);
inline const QColor kLabelHover(255, 0, 0);

inline QRect qrectOf(const SkinButton& b) { return QRect(b.x, b.y, b.width, b.height); }

class WindowPainter {
 public:
  // Draws with `painter` (on a device of ratio `ratio`) from page `page`'s pictures at that ratio.
  WindowPainter(QPainter& painter, const SkinPictures& pictures, std::uint8_t page, qreal ratio, const QFont& font);

  qreal ratio() const { return ratio_; }
  const SkinPictures& pictures() const { return pictures_; }
  // The rectangle `r` of the page's idle / hover / pressed picture, at its place. A page picture
  // is decoded only when something is copied from it.
  void copyFrom(PageState state, const QRect& r);
  void copyOver(const SkinButton& r) { copyFrom(PageState::Over, qrectOf(r)); }
  void copyDown(const SkinButton& r) { copyFrom(PageState::Down, qrectOf(r)); }
  // Copies the logical rectangle `r` of `from` to the same place; the source rectangle is in
  // the picture's own pixels, so a 2× picture fills a 2× composition pixel for pixel.
  void copy(const QImage& from, const QRect& r);
  void fill(const QRect& r, QColor c) { painter_.fillRect(r, c); }
  void image(QPoint topLeft, const QImage& picture);
  // A slider: its pressed picture up to `copied` pixels from its left, the knob at that end.
  void slider(const SkinButton& r, int copied);
  // The label with its left edge at x + (width - text width - trim) / 2 + shift and its top at
  // y + (height - text height) / 2, measured in the UI font.
  void label(const SkinButton& r, const std::string& text, QColor colour, int trim = 0, int shift = 0);

 private:
  const SkinPictures& pictures_;
  std::uint8_t page_;
  qreal ratio_;
  QPainter& painter_;
  QFontMetrics metrics_;
};

// What a page draws over its idle picture, for the window's composition: its hovered region and
// live state under the common frame, and its own labels over it. `hover` holds the regions
// under the pointer, the main layout's (the frame's, or the main page's own) and the page's.
class PageLayer {
 public:
  virtual ~PageLayer() = default;
  virtual void paintState(WindowPainter& painter, const HoverIndexes& hover) const = 0;
  virtual void paintLabels(WindowPainter& painter, const HoverIndexes& hover) const = 0;
};

}  // namespace quillet
