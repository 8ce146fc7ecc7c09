#include "style.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>

namespace skingen {

namespace {

// A rectangle whose 1-pixel strokes fall on pixel centres.
QRectF crisp(const QRect& r) { return QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5); }

QLinearGradient vertical(const QRect& r, QColor top, QColor bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  return g;
}

// A raised rounded surface: gradient body, 1-pixel border, a faint highlight along the top edge.
void raised(QPainter& p, const QRect& r, qreal radius, QColor top, QColor bottom, QColor border, int highlight) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(border, 1));
  p.setBrush(vertical(r, top, bottom));
  p.drawRoundedRect(crisp(r), radius, radius);
  if (highlight > 0) {
    p.setPen(QPen(withAlpha(Qt::white, highlight), 1));
    const QRectF in = crisp(r).adjusted(1, 1, -1, -1);
    p.drawLine(QPointF(in.left() + radius, in.top()), QPointF(in.right() - radius, in.top()));
  }
  p.restore();
}

void chevronDown(QPainter& p, QPointF c, qreal size, QColor colour, qreal width = 1.8) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  const QPointF pts[3] = {c + QPointF(-size, -size / 2), c + QPointF(0, size / 2), c + QPointF(size, -size / 2)};
  p.drawPolyline(pts, 3);
  p.restore();
}

}  // namespace

QColor withAlpha(QColor c, int alpha) {
  c.setAlpha(alpha);
  return c;
}

void drawWindowBackground(QPainter& p, QSize size, int cornerRadius, int headerHeight) {
  const QRect all(QPoint(0, 0), size);
  p.save();
  p.fillRect(all, colour::kBackgroundBottom);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(all), cornerRadius, cornerRadius);
  p.setClipPath(shape);
  p.fillRect(all, vertical(all, colour::kBackgroundTop, colour::kBackgroundBottom));

  // Two soft light pools give the surface depth.
  QRadialGradient pool(QPointF(size.width() * 0.18, size.height() * 0.30), size.width() * 0.55);
  pool.setColorAt(0, withAlpha(colour::kAccent, 20));
  pool.setColorAt(1, withAlpha(colour::kAccent, 0));
  p.fillRect(all, pool);
  QRadialGradient pool2(QPointF(size.width() * 0.92, size.height() * 1.0), size.width() * 0.45);
  pool2.setColorAt(0, withAlpha(QColor(0x29, 0x62, 0xFF), 22));
  pool2.setColorAt(1, withAlpha(QColor(0x29, 0x62, 0xFF), 0));
  p.fillRect(all, pool2);

  // A fine diagonal weave, barely visible.
  p.setPen(QPen(withAlpha(Qt::white, 5), 1));
  for (int x = -size.height(); x < size.width(); x += 6) {
    p.drawLine(QPointF(x, size.height()), QPointF(x + size.height(), 0));
  }

  if (headerHeight > 0) {
    const QRect header(0, 0, size.width(), headerHeight);
    p.fillRect(header, vertical(header, QColor(0x1A, 0x22, 0x2E), QColor(0x10, 0x15, 0x1C)));
    QLinearGradient rule(QPointF(0, 0), QPointF(size.width(), 0));
    rule.setColorAt(0, withAlpha(colour::kAccent, 0));
    rule.setColorAt(0.3, withAlpha(colour::kAccent, 150));
    rule.setColorAt(0.7, withAlpha(colour::kAccent, 150));
    rule.setColorAt(1, withAlpha(colour::kAccent, 0));
    p.fillRect(QRect(0, headerHeight - 1, size.width(), 1), rule);
    QLinearGradient shadow(QPointF(0, headerHeight), QPointF(0, headerHeight + 10));
    shadow.setColorAt(0, withAlpha(Qt::black, 110));
    shadow.setColorAt(1, withAlpha(Qt::black, 0));
    p.fillRect(QRect(0, headerHeight, size.width(), 10), shadow);
  }
  p.setClipping(false);

  // Rim: a dark outer line and a light inner line, so the edge reads as a bevel.
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x2C, 0x39, 0x4A), 1));
  p.drawRoundedRect(QRectF(all).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
  p.setPen(QPen(withAlpha(Qt::white, 14), 1));
  p.drawRoundedRect(QRectF(all).adjusted(1.5, 1.5, -1.5, -1.5), cornerRadius - 1, cornerRadius - 1);
  p.restore();
}

void drawCard(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  // Soft drop shadow.
  for (int i = 6; i >= 1; --i) {
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(Qt::black, 14));
    p.drawRoundedRect(QRectF(r).adjusted(-i + 1, -i + 3, i - 1, i + 2), 10 + i, 10 + i);
  }
  raised(p, r, 10, withAlpha(colour::kCardTop, 235), withAlpha(colour::kCardBottom, 235), colour::kCardBorder, 16);
  p.restore();
}

void drawDimmed(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath clip;
  clip.addRoundedRect(QRectF(r), 10, 10);
  p.setClipPath(clip);
  p.fillRect(r, withAlpha(QColor(0x07, 0x09, 0x0D), 200));
  p.setPen(QPen(withAlpha(Qt::white, 9), 1));
  for (int x = r.left() - r.height(); x < r.right(); x += 8) {
    p.drawLine(QPointF(x, r.bottom() + 1), QPointF(x + r.height(), r.top()));
  }
  p.setClipping(false);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(withAlpha(colour::kCardBorder, 160), 1, Qt::DashLine));
  p.drawRoundedRect(crisp(r), 10, 10);
  p.restore();
}

void drawWell(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRect outer = r.adjusted(-3, -3, 3, 3);
  p.setPen(QPen(QColor(0x05, 0x07, 0x0A), 1));
  p.setBrush(colour::kWell);
  p.drawRoundedRect(crisp(outer), 4, 4);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(withAlpha(colour::kControlBorder, 200), 1));
  p.drawRoundedRect(crisp(outer.adjusted(-1, -1, 1, 1)), 5, 5);
  // Inner shadow along the top.
  p.setPen(QPen(withAlpha(Qt::white, 10), 1));
  p.drawLine(QPointF(outer.left() + 4, outer.bottom() + 1.5), QPointF(outer.right() - 4, outer.bottom() + 1.5));
  p.restore();
  p.fillRect(r, colour::kWell);
}

void drawCaptionRule(QPainter& p, const QRect& r) {
  QLinearGradient rule(QPointF(r.left(), 0), QPointF(r.right(), 0));
  rule.setColorAt(0, withAlpha(colour::kAccent, 0));
  rule.setColorAt(0.5, withAlpha(colour::kAccent, 170));
  rule.setColorAt(1, withAlpha(colour::kAccent, 0));
  p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), rule);
}

void drawTitleMark(QPainter& p, const QRect& r) {
  // A hexagon with a forward chevron: the product's mark, drawn left of the title region.
  const QPointF c(r.left() - 20, r.center().y() + 0.5);
  const qreal rad = 13;
  QPainterPath hex;
  for (int i = 0; i < 6; ++i) {
    const qreal a = (60.0 * i - 90.0) * M_PI / 180.0;
    const QPointF v = c + QPointF(rad * std::cos(a), rad * std::sin(a));
    i == 0 ? hex.moveTo(v) : hex.lineTo(v);
  }
  hex.closeSubpath();
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  for (int w = 8; w >= 2; w -= 3) {
    p.setPen(QPen(withAlpha(colour::kAccent, 30), w));
    p.drawPath(hex);
  }
  QLinearGradient g(c - QPointF(0, rad), c + QPointF(0, rad));
  g.setColorAt(0, QColor(0x0A, 0x4A, 0x56));
  g.setColorAt(1, QColor(0x06, 0x22, 0x29));
  p.setBrush(g);
  p.setPen(QPen(colour::kAccent, 1.6));
  p.drawPath(hex);
  p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  const QPointF k[3] = {c + QPointF(-3, -6), c + QPointF(3.5, 0), c + QPointF(-3, 6)};
  p.drawPolyline(k, 3);
  p.restore();
}

void drawBadge(QPainter& p, QPointF centre, int number) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(withAlpha(colour::kAccent, 40));
  p.drawEllipse(centre, 12, 12);
  QRadialGradient g(centre - QPointF(3, 3), 12);
  g.setColorAt(0, QColor(0x0F, 0x5C, 0x68));
  g.setColorAt(1, QColor(0x06, 0x26, 0x2D));
  p.setBrush(g);
  p.setPen(QPen(colour::kAccent, 1.4));
  p.drawEllipse(centre, 9.5, 9.5);
  QFont f(QStringLiteral("Liberation Sans"));
  f.setPixelSize(11);
  f.setBold(true);
  p.setFont(f);
  p.setPen(Qt::white);
  p.drawText(QRectF(centre.x() - 10, centre.y() - 10, 20, 20), Qt::AlignCenter, QString::number(number));
  p.restore();
}

// The raised look of a push button in each of the three states.
struct Look {
  QColor top, bottom, border;
  int highlight;
};
using Looks = std::array<Look, 3>;  // normal, over, down

void raised(QPainter& p, const QRect& r, qreal radius, State s, const Looks& looks) {
  const Look& l = looks[static_cast<std::size_t>(s)];
  raised(p, r, radius, l.top, l.bottom, l.border, l.highlight);
}

const Looks kPrimaryLooks{{
    {QColor(0x00, 0x9C, 0xAD), QColor(0x00, 0x60, 0x6B), QColor(0x1D, 0xD9, 0xEE), 70},
    {QColor(0x12, 0xC4, 0xD6), QColor(0x00, 0x7F, 0x8C), QColor(0x8A, 0xF6, 0xFF), 90},
    {QColor(0x00, 0x4A, 0x54), QColor(0x00, 0x6A, 0x76), colour::kAccent, 0},
}};
const Looks kButtonLooks{{
    {colour::kControlTop, colour::kControlBottom, colour::kControlBorder, 18},
    {QColor(0x2C, 0x3A, 0x4C), QColor(0x1F, 0x29, 0x36), withAlpha(colour::kAccent, 170), 26},
    {QColor(0x08, 0x2C, 0x34), QColor(0x0B, 0x3C, 0x46), colour::kAccent, 0},
}};
const Looks kLanguageLooks{{
    {QColor(0x17, 0x1F, 0x29), QColor(0x12, 0x18, 0x20), colour::kControlBorder, 0},
    {QColor(0x22, 0x2D, 0x3B), QColor(0x19, 0x21, 0x2C), withAlpha(colour::kAccent, 170), 0},
    {QColor(0x00, 0x8C, 0x9B), QColor(0x00, 0x5C, 0x66), colour::kAccent, 50},
}};

void drawButton(QPainter& p, const QRect& r, State s, bool primary) {
  raised(p, r, std::min(6, r.height() / 2), s, primary ? kPrimaryLooks : kButtonLooks);
}

void drawTab(QPainter& p, const QRect& r, State s) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath top;
  top.addRoundedRect(QRectF(r).adjusted(0, 0, 0, 8), 8, 8);
  p.setClipRect(r);
  switch (s) {
    case State::Normal:
      p.setPen(QPen(withAlpha(Qt::white, 12), 1));
      p.drawLine(QPointF(r.right() + 0.5, r.top() + 10), QPointF(r.right() + 0.5, r.bottom() - 10));
      break;
    case State::Over:
      p.fillPath(top, withAlpha(Qt::white, 14));
      p.fillRect(QRect(r.left() + 16, r.bottom() - 1, r.width() - 32, 2), withAlpha(colour::kAccent, 130));
      break;
    case State::Down: {
      QLinearGradient g(r.topLeft(), r.bottomLeft());
      g.setColorAt(0, withAlpha(colour::kAccent, 8));
      g.setColorAt(1, withAlpha(colour::kAccent, 70));
      p.fillPath(top, g);
      for (int i = 0; i < 6; ++i) {
        p.fillRect(QRect(r.left() + 6, r.bottom() - 3 - i, r.width() - 12, 1), withAlpha(colour::kAccent, 40 - 6 * i));
      }
      p.fillRect(QRect(r.left() + 4, r.bottom() - 2, r.width() - 8, 3), colour::kAccent);
      break;
    }
  }
  p.restore();
}

void drawWindowButton(QPainter& p, const QRect& r, State s, bool close) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QColor glyph = colour::kGlyph;
  if (s != State::Normal) {
    QColor fill = close ? QColor(0xD3, 0x2F, 0x2F) : QColor(0x2C, 0x3A, 0x4C);
    if (s == State::Down) {
      fill = close ? QColor(0x8E, 0x1C, 0x1C) : QColor(0x0B, 0x3C, 0x46);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(r), 6, 6);
    glyph = Qt::white;
  }
  p.setPen(QPen(glyph, 1.8, Qt::SolidLine, Qt::RoundCap));
  const QPointF c = QRectF(r).center();
  if (close) {
    p.drawLine(c + QPointF(-5, -5), c + QPointF(5, 5));
    p.drawLine(c + QPointF(-5, 5), c + QPointF(5, -5));
  } else {
    p.drawLine(c + QPointF(-6, 4), c + QPointF(6, 4));
  }
  p.restore();
}

void drawLanguageButton(QPainter& p, const QRect& r, State s) { raised(p, r, r.height() / 2.0, s, kLanguageLooks); }

void drawSelect(QPainter& p, const QRect& r, State s) {
  QColor border = colour::kControlBorder;
  QColor arrow = colour::kGlyph;
  QColor top = QColor(0x1C, 0x25, 0x31);
  QColor bottom = QColor(0x14, 0x1B, 0x24);
  if (s == State::Over) {
    border = withAlpha(colour::kAccent, 180);
    arrow = colour::kAccent;
    top = QColor(0x23, 0x2F, 0x3E);
  } else if (s == State::Down) {
    border = colour::kAccent;
    arrow = colour::kAccent;
    top = QColor(0x09, 0x2A, 0x32);
    bottom = QColor(0x0C, 0x36, 0x40);
  }
  raised(p, r, 5, top, bottom, border, s == State::Down ? 0 : 14);
  p.save();
  // The arrow zone: the 23 pixels on the right that the label leaves free.
  const int zone = r.right() - 22;
  p.fillRect(QRect(zone, r.top() + 6, 1, r.height() - 12), withAlpha(Qt::white, 18));
  if (s != State::Normal) {
    p.fillRect(QRect(zone + 1, r.top() + 1, r.right() - zone - 1, r.height() - 2), withAlpha(colour::kAccent, 22));
  }
  chevronDown(p, QPointF(zone + 11.5, r.center().y() + 1), 4, arrow);
  p.restore();
}

void drawArrowButton(QPainter& p, const QRect& r, State s) {
  drawButton(p, r, s, false);
  chevronDown(p, QPointF(r.center().x() + 0.5, r.center().y() + 1), 4, s == State::Normal ? colour::kGlyph : colour::kAccent);
}

void drawCheck(QPainter& p, const QRect& r, State s) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  if (s == State::Down) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(0x5C, 0xF2, 0xFF));
    g.setColorAt(1, QColor(0x00, 0xB4, 0xC8));
    p.setBrush(g);
    p.setPen(QPen(colour::kAccent, 1));
    p.drawRoundedRect(crisp(r), 3, 3);
    p.setPen(QPen(QColor(0x03, 0x25, 0x2C), 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QPointF c = QRectF(r).center();
    const QPointF tick[3] = {c + QPointF(-4, 0), c + QPointF(-1, 3.2), c + QPointF(4.2, -3.4)};
    p.drawPolyline(tick, 3);
  } else {
    p.setBrush(QColor(0x0B, 0x10, 0x15));
    p.setPen(QPen(s == State::Over ? colour::kAccent : QColor(0x46, 0x57, 0x6D), 1));
    p.drawRoundedRect(crisp(r), 3, 3);
  }
  p.restore();
}

void drawRadio(QPainter& p, const QRect& r, State s) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF c = crisp(r);
  p.setBrush(QColor(0x0B, 0x10, 0x15));
  p.setPen(QPen(s == State::Normal ? QColor(0x46, 0x57, 0x6D) : colour::kAccent, s == State::Down ? 1.5 : 1));
  p.drawEllipse(c);
  if (s == State::Down) {
    QRadialGradient g(c.center(), c.width() / 2);
    g.setColorAt(0, Qt::white);
    g.setColorAt(0.45, colour::kAccent);
    g.setColorAt(1, withAlpha(colour::kAccent, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(c.center(), c.width() / 2 - 1, c.height() / 2 - 1);
    p.setBrush(colour::kAccent);
    p.drawEllipse(c.center(), c.width() / 4, c.height() / 4);
  }
  p.restore();
}

void drawOption(QPainter& p, const QRect& r, State s) {
  drawButton(p, r, s, false);
  const int d = 12;
  drawRadio(p, QRect(r.left() + 10, r.center().y() - d / 2 + 1, d, d), s);
}

void drawSlider(QPainter& p, const QRect& r, State s, int knobOffset) {
  const int thickness = std::max(3, 2 * (7 - knobOffset) + 1);
  const QRect track(r.left(), r.top(), r.width(), thickness);
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const qreal radius = thickness / 2.0;
  if (s == State::Down) {
    QLinearGradient g(track.topLeft(), track.topRight());
    g.setColorAt(0, colour::kAccentDeep);
    g.setColorAt(1, colour::kAccent);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(track), radius, radius);
    p.setPen(QPen(withAlpha(Qt::white, 120), 1));
    p.drawLine(QPointF(track.left() + radius, track.top() + 1), QPointF(track.right() - radius, track.top() + 1));
    // The lit track throws a little light on the surface below it.
    QLinearGradient glow(QPointF(0, track.bottom() + 1), QPointF(0, r.bottom() + 1));
    glow.setColorAt(0, withAlpha(colour::kAccent, 60));
    glow.setColorAt(1, withAlpha(colour::kAccent, 0));
    p.fillRect(QRect(r.left() + 2, track.bottom() + 1, r.width() - 4, r.bottom() - track.bottom()), glow);
  } else {
    p.setPen(QPen(s == State::Over ? withAlpha(colour::kAccent, 150) : QColor(0x2E, 0x3B, 0x4D), 1));
    p.setBrush(QColor(0x05, 0x08, 0x0B));
    p.drawRoundedRect(crisp(track), radius, radius);
  }
  p.restore();
}

void drawSliderTicks(QPainter& p, const QRect& r, int intervals) {
  const int y = r.bottom() + 3;
  for (int i = 0; i <= intervals; ++i) {
    const int x = r.left() + (r.width() - 1) * i / intervals;
    const bool major = i == 0 || i == intervals || (intervals % 2 == 0 && i == intervals / 2);
    p.fillRect(QRect(x, y, 1, major ? 5 : 3), withAlpha(colour::kGlyph, major ? 150 : 80));
  }
}

void drawDpiStep(QPainter& p, const QRect& r, State s) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  switch (s) {
    case State::Normal:
      p.setBrush(vertical(r, QColor(0x1A, 0x22, 0x2D), QColor(0x12, 0x18, 0x20)));
      p.setPen(QPen(QColor(0x2B, 0x37, 0x48), 1));
      break;
    case State::Over:
      p.setBrush(vertical(r, QColor(0x1F, 0x33, 0x3D), QColor(0x15, 0x22, 0x2A)));
      p.setPen(QPen(colour::kAccent, 1));
      break;
    case State::Down:
      p.setBrush(vertical(r, QColor(0x5C, 0xF2, 0xFF), colour::kAccentDeep));
      p.setPen(QPen(colour::kAccent, 1));
      break;
  }
  p.drawRoundedRect(crisp(r), 2, 2);
  p.restore();
}

void drawSwatchFrame(QPainter& p, const QRect& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0x46, 0x57, 0x6D), 1));
  p.drawRoundedRect(crisp(r.adjusted(-2, -2, 2, 2)), 3, 3);
  p.restore();
  p.fillRect(r, QColor(0x0B, 0x10, 0x15));
}

void drawColourTile(QPainter& p, const QRect& r, State s, QColor c) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.fillRect(r, QColor(0x12, 0x18, 0x21));
  const QRectF tile = crisp(r);
  if (s == State::Down) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, c.lighter(125));
    g.setColorAt(1, c.darker(125));
    p.setBrush(g);
    p.setPen(QPen(c.lighter(150), 1));
    p.drawRoundedRect(tile, 6, 6);
    QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
    gloss.setColorAt(0, withAlpha(Qt::white, 90));
    gloss.setColorAt(1, withAlpha(Qt::white, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(gloss);
    p.drawRoundedRect(tile.adjusted(2, 2, -2, -tile.height() / 2), 4, 4);
  } else {
    p.setBrush(QColor(0x0C, 0x11, 0x17));
    p.setPen(QPen(s == State::Over ? colour::kAccent : QColor(0x2E, 0x3B, 0x4D), 1));
    p.drawRoundedRect(tile, 6, 6);
    QPainterPath clip;
    clip.addRoundedRect(tile.adjusted(1, 1, -1, -1), 5, 5);
    p.setClipPath(clip);
    p.setPen(QPen(withAlpha(c, 60), 1));
    for (int x = r.left() - r.height(); x < r.right(); x += 5) {
      p.drawLine(QPointF(x, r.bottom() + 1), QPointF(x + r.height(), r.top()));
    }
  }
  p.restore();
}

void drawRecordButton(QPainter& p, const QRect& r, State s) {
  if (s == State::Down) {
    raised(p, r, 6, QColor(0x4A, 0x0B, 0x16), QColor(0x2A, 0x06, 0x0C), colour::kRecord, 0);
  } else {
    drawButton(p, r, s, false);
  }
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(r.left() + 22, r.center().y() + 0.5);
  if (s == State::Down) {
    QRadialGradient glow(c, 14);
    glow.setColorAt(0, withAlpha(colour::kRecord, 150));
    glow.setColorAt(1, withAlpha(colour::kRecord, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawEllipse(c, 13, 13);
  }
  p.setPen(QPen(s == State::Normal ? QColor(0x9A, 0x1B, 0x2E) : colour::kRecord, 1.5));
  p.setBrush(s == State::Normal ? QColor(0x6E, 0x10, 0x1E) : colour::kRecord);
  p.drawEllipse(c, 6, 6);
  p.restore();
}

void drawLink(QPainter& p, const QRect& r, State s) {
  const int w = r.width() - 40;
  const QRect line(r.left() + 20, r.bottom() - 2, w, s == State::Normal ? 1 : 2);
  QLinearGradient g(QPointF(line.left(), 0), QPointF(line.right(), 0));
  const QColor c = s == State::Down ? colour::kAccentDeep : colour::kAccent;
  const int a = s == State::Normal ? 110 : 255;
  g.setColorAt(0, withAlpha(c, 0));
  g.setColorAt(0.5, withAlpha(c, a));
  g.setColorAt(1, withAlpha(c, 0));
  p.fillRect(line, g);
}

QImage knobImage(int scale) {
  QImage img(QSize(20, 18) * scale, QImage::Format_ARGB32_Premultiplied);
  img.setDevicePixelRatio(scale);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c(3 + 7, 2 + 7);
  QRadialGradient halo(c, 7);
  halo.setColorAt(0.6, withAlpha(colour::kAccent, 120));
  halo.setColorAt(1, withAlpha(colour::kAccent, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(halo);
  p.drawEllipse(c, 7, 7);
  QRadialGradient body(c - QPointF(1.5, 2), 6);
  body.setColorAt(0, Qt::white);
  body.setColorAt(0.7, QColor(0xC8, 0xF8, 0xFF));
  body.setColorAt(1, QColor(0x6A, 0xD8, 0xE6));
  p.setBrush(body);
  p.setPen(QPen(colour::kAccent, 1.2));
  p.drawEllipse(c, 5.2, 5.2);
  p.setPen(Qt::NoPen);
  p.setBrush(colour::kAccentDeep);
  p.drawEllipse(c, 1.6, 1.6);
  return img;
}

void drawFieldIcon(QPainter& p, const QRect& tile, const QString& glyph, bool required) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink = required ? colour::kAccent : colour::kGlyph;
  // The tile: a dark raised square with a faint ring of the glyph's colour.
  raised(p, tile, 6, QColor(0x1B, 0x24, 0x30), QColor(0x12, 0x18, 0x21), withAlpha(ink, required ? 120 : 70), 12);
  if (required) {
    QRadialGradient glow(QRectF(tile).center(), tile.width() * 0.6);
    glow.setColorAt(0, withAlpha(colour::kAccent, 34));
    glow.setColorAt(1, withAlpha(colour::kAccent, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRoundedRect(QRectF(tile).adjusted(1, 1, -1, -1), 5, 5);
  }
  const QPointF c = QRectF(tile).center();
  p.setPen(QPen(ink, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (glyph == QLatin1String("globe")) {
    p.drawEllipse(c, 7, 7);
    p.drawEllipse(c, 3, 7);
    p.drawLine(c + QPointF(-7, 0), c + QPointF(7, 0));
    p.drawLine(c + QPointF(-6, -3.5), c + QPointF(6, -3.5));
    p.drawLine(c + QPointF(-6, 3.5), c + QPointF(6, 3.5));
  } else if (glyph == QLatin1String("person")) {
    p.drawEllipse(c + QPointF(0, -3.5), 3.2, 3.2);
    QPainterPath shoulders;
    shoulders.moveTo(c + QPointF(-6.5, 7));
    shoulders.cubicTo(c + QPointF(-6.5, 0.5), c + QPointF(6.5, 0.5), c + QPointF(6.5, 7));
    p.drawPath(shoulders);
  } else if (glyph == QLatin1String("cake")) {
    p.drawRoundedRect(QRectF(c.x() - 7, c.y() + 0.5, 14, 6.5), 1.5, 1.5);
    QPainterPath icing;
    icing.moveTo(c + QPointF(-7, 3));
    icing.quadTo(c + QPointF(-5.2, 5), c + QPointF(-3.5, 3));
    icing.quadTo(c + QPointF(-1.7, 5), c + QPointF(0, 3));
    icing.quadTo(c + QPointF(1.7, 5), c + QPointF(3.5, 3));
    icing.quadTo(c + QPointF(5.2, 5), c + QPointF(7, 3));
    p.drawPath(icing);
    p.drawLine(c + QPointF(0, -4), c + QPointF(0, 0.5));
    p.setBrush(ink);
    QPainterPath flame;
    flame.moveTo(c + QPointF(0, -8.5));
    flame.quadTo(c + QPointF(2, -6), c + QPointF(0, -5.2));
    flame.quadTo(c + QPointF(-2, -6), c + QPointF(0, -8.5));
    p.drawPath(flame);
  } else if (glyph == QLatin1String("chat")) {
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(c.x() - 7, c.y() - 6, 14, 10), 3, 3);
    QPainterPath tail;
    tail.moveTo(c + QPointF(-3.5, 3.5));
    tail.lineTo(c + QPointF(-5, 7.5));
    tail.lineTo(c + QPointF(0, 3.5));
    p.drawPath(bubble.united(tail));
    p.setBrush(ink);
    p.setPen(Qt::NoPen);
    for (int i = -1; i <= 1; ++i) {
      p.drawEllipse(c + QPointF(3.5 * i, -1), 1.1, 1.1);
    }
  } else if (glyph == QLatin1String("mail")) {
    const QRectF env(c.x() - 7.5, c.y() - 5, 15, 10.5);
    p.drawRoundedRect(env, 1.5, 1.5);
    const QPointF flap[3] = {env.topLeft() + QPointF(1, 1), QPointF(c.x(), c.y() + 1), env.topRight() + QPointF(-1, 1)};
    p.drawPolyline(flap, 3);
  } else if (glyph == QLatin1String("gamepad")) {
    QPainterPath pad;
    pad.moveTo(c + QPointF(-5, -4.5));
    pad.lineTo(c + QPointF(5, -4.5));
    pad.cubicTo(c + QPointF(9, -4.5), c + QPointF(10, 6), c + QPointF(7, 6));
    pad.cubicTo(c + QPointF(5, 6), c + QPointF(4, 2.5), c + QPointF(2, 2.5));
    pad.lineTo(c + QPointF(-2, 2.5));
    pad.cubicTo(c + QPointF(-4, 2.5), c + QPointF(-5, 6), c + QPointF(-7, 6));
    pad.cubicTo(c + QPointF(-10, 6), c + QPointF(-9, -4.5), c + QPointF(-5, -4.5));
    p.drawPath(pad);
    p.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(-6, -1), c + QPointF(-3, -1));
    p.drawLine(c + QPointF(-4.5, -2.5), c + QPointF(-4.5, 0.5));
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(c + QPointF(3.5, -0.2), 1.1, 1.1);
    p.drawEllipse(c + QPointF(5.6, -2.2), 1.1, 1.1);
  }
  p.restore();
}

QImage comboArrowImage() {
  QImage img(20, 20, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  // A divider on the left of the arrow area, then the chevron in its middle.
  p.fillRect(QRectF(0, 4, 1, 12), withAlpha(Qt::white, 40));
  chevronDown(p, QPointF(8.5, 10.5), 4, Qt::white, 1.8);
  return img;
}

}  // namespace skingen
