#include "pages.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <array>
#include <cmath>

#include "core/skin/window_shape.h"

namespace skingen {

namespace {

// Default colours of the seven lighting colour tiles, shown while custom colours are off.
const std::array<QColor, 7> kDefaultLightColours{{
    QColor(0xFF, 0x17, 0x44), QColor(0xFF, 0x91, 0x00), QColor(0xFF, 0xEA, 0x00), QColor(0x00, 0xE6, 0x76),
    QColor(0x00, 0xE5, 0xFF), QColor(0x29, 0x79, 0xFF), QColor(0xD5, 0x00, 0xF9),
}};

// A picture of `size` logical pixels drawn at `scale` device pixels each: painters draw on it in
// the layout's coordinates.
QImage canvas(QSize size, int scale) {
  QImage img(size * scale, QImage::Format_RGB32);
  img.setDevicePixelRatio(scale);
  img.fill(Qt::black);
  return img;
}

QRect qrect(const quillet::SkinRect& r) { return QRect(r.left, r.top, r.width(), r.height()); }

// Things drawn under the controls: wells of child controls and the frames of filled areas.
void drawUnderlay(QPainter& p, const Region& r) {
  if (!r.present()) {
    return;
  }
  if (r.is("swatch")) {
    drawSwatchFrame(p, r.rect);
  } else if (r.is("field")) {
    drawWell(p, r.rect);
  } else if (r.is("caption")) {
    drawCaptionRule(p, r.rect);
  } else if (r.is("title")) {
    drawTitleMark(p, r.rect);
  } else if (r.is("colour")) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x2E, 0x3B, 0x4D), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(r.rect).adjusted(-2.5, -2.5, 2.5, 2.5), 8, 8);
    p.restore();
  }
}

// One control in state `s`, by its kind.
void drawControl(QPainter& p, const Region& r, State s) {
  if (!r.present()) {
    return;
  }
  if (r.is("button")) {
    drawButton(p, r.rect, s, r.param == QLatin1String("primary"));
  } else if (r.is("tab")) {
    drawTab(p, r.rect, s);
  } else if (r.is("winbtn")) {
    drawWindowButton(p, r.rect, s, r.param == QLatin1String("close"));
  } else if (r.is("lang")) {
    drawLanguageButton(p, r.rect, s);
  } else if (r.is("select")) {
    drawSelect(p, r.rect, s);
  } else if (r.is("arrow")) {
    drawArrowButton(p, r.rect, s);
  } else if (r.is("check")) {
    drawCheck(p, r.rect, s);
  } else if (r.is("radio")) {
    drawRadio(p, r.rect, s);
  } else if (r.is("option") || r.is("gender")) {
    drawOption(p, r.rect, s);
  } else if (r.is("slider")) {
    drawSlider(p, r.rect, s, r.param.toInt());
  } else if (r.is("step")) {
    drawDpiStep(p, r.rect, s);
  } else if (r.is("colour")) {
    drawColourTile(p, r.rect, s, kDefaultLightColours.at(static_cast<std::size_t>(r.param.toInt() % 7)));
  } else if (r.is("record")) {
    drawRecordButton(p, r.rect, s);
  } else if (r.is("link")) {
    drawLink(p, r.rect, s);
  }
}

void drawRegions(QPainter& p, const Layout& layout, int first, int last, State s) {
  for (int i = first; i <= last; ++i) {
    drawUnderlay(p, layout.at(i));
  }
  for (int i = first; i <= last; ++i) {
    drawControl(p, layout.at(i), s);
  }
}

int headerHeight(const Layout& main) { return main.boundsOfRange(6, 9).bottom() + 11; }

// Window surface and the common frame (main layout regions 0..10).
void drawFrame(QPainter& p, const Skin& skin, State s) {
  const Layout& main = skin.main;
  drawWindowBackground(p, main.pictureSize("WINDOW"), main.cornerRadius("WINDOW"), headerHeight(main));
  drawRegions(p, main, 0, static_cast<int>(quillet::kFrameRegionCount) - 1, s);
}

// ---- the mouse drawing of the main page --------------------------------------------------------

struct MouseDrawing {
  std::array<QPointF, 8> anchors;  // where each button's leader line ends, by button number
};

QPainterPath mouseBody(QPointF o, qreal cx) {
  QPainterPath body;
  const qreal top = o.y() + 26;
  body.moveTo(cx, top);
  body.cubicTo(cx + 66, top - 4, cx + 98, o.y() + 70, cx + 104, o.y() + 150);
  body.cubicTo(cx + 110, o.y() + 230, cx + 120, o.y() + 300, cx + 108, o.y() + 352);
  body.cubicTo(cx + 96, o.y() + 404, cx + 44, o.y() + 414, cx, o.y() + 414);
  body.cubicTo(cx - 44, o.y() + 414, cx - 96, o.y() + 404, cx - 108, o.y() + 352);
  body.cubicTo(cx - 120, o.y() + 300, cx - 110, o.y() + 230, cx - 104, o.y() + 150);
  body.cubicTo(cx - 98, o.y() + 70, cx - 66, top - 4, cx, top);
  body.closeSubpath();
  return body;
}

MouseDrawing drawMouse(QPainter& p, const QRect& art) {
  const QPointF o = art.topLeft();
  const qreal cx = art.left() + art.width() / 2.0;
  MouseDrawing out;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);

  // Light on the desk under the mouse.
  QRadialGradient pool(QPointF(cx, o.y() + art.height() * 0.55), art.width() * 0.62);
  pool.setColorAt(0, withAlpha(colour::kAccent, 48));
  pool.setColorAt(0.6, withAlpha(colour::kAccent, 10));
  pool.setColorAt(1, withAlpha(colour::kAccent, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(pool);
  p.drawEllipse(QPointF(cx, o.y() + art.height() * 0.55), art.width() * 0.62, art.height() * 0.5);

  const QPainterPath body = mouseBody(o, cx);
  // Shadow.
  for (int i = 12; i >= 2; i -= 2) {
    p.setBrush(withAlpha(Qt::black, 16));
    p.drawPath(body.translated(0, i * 0.7));
  }
  // Edge light: the lighting strip around the shell.
  for (int w = 14; w >= 4; w -= 5) {
    p.setPen(QPen(withAlpha(colour::kAccent, 26), w));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
  }
  QLinearGradient shell(QPointF(cx - 110, 0), QPointF(cx + 110, 0));
  shell.setColorAt(0, QColor(0x1B, 0x21, 0x2A));
  shell.setColorAt(0.45, QColor(0x2E, 0x37, 0x44));
  shell.setColorAt(1, QColor(0x15, 0x1A, 0x21));
  p.setBrush(shell);
  p.setPen(QPen(colour::kAccent, 1.6));
  p.drawPath(body);

  // The two main buttons: the front part of the shell, split down the middle.
  const qreal split = o.y() + 176;
  QPainterPath front;
  front.addRect(QRectF(cx - 130, o.y(), 260, split - o.y()));
  QPainterPath buttons = body.intersected(front);
  QLinearGradient btn(QPointF(0, o.y() + 26), QPointF(0, split));
  btn.setColorAt(0, QColor(0x3A, 0x45, 0x54));
  btn.setColorAt(1, QColor(0x24, 0x2C, 0x37));
  p.setPen(Qt::NoPen);
  p.setBrush(btn);
  p.drawPath(buttons);
  p.setPen(QPen(QColor(0x0B, 0x0E, 0x12), 2.5));
  QPainterPath seam;
  seam.moveTo(cx - 106, split - 8);
  seam.cubicTo(cx - 60, split + 6, cx + 60, split + 6, cx + 106, split - 8);
  p.drawPath(seam);
  p.drawLine(QPointF(cx, o.y() + 27), QPointF(cx, split + 2));
  // Gloss on the buttons.
  QLinearGradient gloss(QPointF(0, o.y() + 26), QPointF(0, o.y() + 110));
  gloss.setColorAt(0, withAlpha(Qt::white, 40));
  gloss.setColorAt(1, withAlpha(Qt::white, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(gloss);
  p.drawPath(buttons);

  // Wheel, in the groove between the buttons.
  const QRectF wheel(cx - 11, o.y() + 56, 22, 64);
  p.setBrush(QColor(0x07, 0x09, 0x0C));
  p.drawRoundedRect(wheel.adjusted(-4, -4, 4, 4), 9, 9);
  QLinearGradient tyre(wheel.topLeft(), wheel.bottomLeft());
  tyre.setColorAt(0, QColor(0x1E, 0x25, 0x2E));
  tyre.setColorAt(0.5, QColor(0x44, 0x50, 0x60));
  tyre.setColorAt(1, QColor(0x1E, 0x25, 0x2E));
  p.setBrush(tyre);
  p.setPen(QPen(withAlpha(colour::kAccent, 200), 1.2));
  p.drawRoundedRect(wheel, 8, 8);
  p.setPen(QPen(withAlpha(Qt::black, 140), 1));
  for (qreal y = wheel.top() + 7; y < wheel.bottom() - 4; y += 6) {
    p.drawLine(QPointF(wheel.left() + 4, y), QPointF(wheel.right() - 4, y));
  }
  out.anchors[2] = QPointF(cx, wheel.center().y());

  // DPI button behind the wheel, with its three level lights.
  const QRectF dpi(cx - 9, o.y() + 136, 18, 30);
  p.setPen(QPen(QColor(0x0B, 0x0E, 0x12), 1.5));
  p.setBrush(QColor(0x2A, 0x33, 0x40));
  p.drawRoundedRect(dpi, 6, 6);
  for (int i = 0; i < 3; ++i) {
    p.setPen(Qt::NoPen);
    p.setBrush(i == 0 ? colour::kAccent : withAlpha(colour::kAccent, 90));
    p.drawRoundedRect(QRectF(cx - 4, dpi.top() + 6 + 7 * i, 8, 3), 1.5, 1.5);
  }
  out.anchors[5] = dpi.center();

  // Lighting button on the palm, round.
  const QPointF light(cx, o.y() + 196);
  p.setPen(QPen(QColor(0x0B, 0x0E, 0x12), 1.5));
  p.setBrush(QColor(0x2A, 0x33, 0x40));
  p.drawEllipse(light, 9, 9);
  QRadialGradient lamp(light, 6);
  lamp.setColorAt(0, Qt::white);
  lamp.setColorAt(0.5, colour::kAccent);
  lamp.setColorAt(1, withAlpha(colour::kAccent, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(lamp);
  p.drawEllipse(light, 5, 5);
  out.anchors[7] = light;

  // Report-rate button on the left button's outer edge.
  const QRectF rate(cx - 94, o.y() + 94, 12, 34);
  p.setPen(QPen(QColor(0x0B, 0x0E, 0x12), 1.5));
  p.setBrush(QColor(0x2F, 0x39, 0x47));
  p.drawRoundedRect(rate, 5, 5);
  out.anchors[6] = rate.center();

  // Side buttons on the left flank: forward in front, back behind it.
  const QRectF forward(cx - 116, o.y() + 190, 14, 38);
  const QRectF back(cx - 117, o.y() + 234, 14, 40);
  for (const QRectF& b : {forward, back}) {
    QLinearGradient side(b.topLeft(), b.topRight());
    side.setColorAt(0, QColor(0x45, 0x52, 0x63));
    side.setColorAt(1, QColor(0x22, 0x29, 0x33));
    p.setPen(QPen(withAlpha(colour::kAccent, 170), 1.2));
    p.setBrush(side);
    p.drawRoundedRect(b, 6, 6);
  }
  out.anchors[4] = forward.center();
  out.anchors[3] = back.center();
  out.anchors[0] = QPointF(cx - 52, o.y() + 96);
  out.anchors[1] = QPointF(cx + 52, o.y() + 96);

  // The mark on the palm and a light slot down the back.
  QLinearGradient slot(QPointF(0, o.y() + 232), QPointF(0, o.y() + 300));
  slot.setColorAt(0, withAlpha(colour::kAccent, 0));
  slot.setColorAt(0.5, withAlpha(colour::kAccent, 200));
  slot.setColorAt(1, withAlpha(colour::kAccent, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(slot);
  p.drawRoundedRect(QRectF(cx - 1.5, o.y() + 226, 3, 80), 1.5, 1.5);
  drawTitleMark(p, QRect(static_cast<int>(cx) + 20, static_cast<int>(o.y()) + 330, 10, 30));
  p.restore();
  return out;
}

void drawLeaderLines(QPainter& p, const Layout& main, const QRect& art, const MouseDrawing& mouse) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  for (int b = 0; b < 8; ++b) {
    const Region& r = main.at(20 + b);
    if (!r.present()) {
      continue;
    }
    const bool leftColumn = r.rect.center().x() < art.center().x();
    const qreal y = r.rect.center().y() + 0.5;
    const QPointF badge(leftColumn ? r.rect.right() + 20 : r.rect.left() - 20, y);
    const QPointF elbow(leftColumn ? art.left() + 4 : art.right() - 4, y);
    const QPointF anchor = mouse.anchors[static_cast<std::size_t>(b)];
    QPainterPath line;
    line.moveTo(badge + QPointF(leftColumn ? 12 : -12, 0));
    line.lineTo(elbow);
    line.lineTo(anchor);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(withAlpha(colour::kAccent, 40), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(line);
    p.setPen(QPen(withAlpha(colour::kAccent, 190), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(line);
    p.setPen(QPen(colour::kAccent, 1.2));
    p.setBrush(QColor(0x06, 0x26, 0x2D));
    p.drawEllipse(anchor, 3.5, 3.5);
    drawBadge(p, badge, b + 1);
  }
  p.restore();
}

void drawMainPage(QPainter& p, const Skin& skin, State s) {
  const Layout& m = skin.main;
  drawCard(p, m.bounds({15, 11}).adjusted(-12, -8, 12, 8));
  drawCard(p, m.bounds({20, 26, 24, 23}).adjusted(-12, -16, 44, 16));
  drawCard(p, m.bounds({21, 22, 25, 27}).adjusted(-44, -16, 12, 16));
  drawCard(p, m.bounds({12, 13, 14, 17}).adjusted(-10, -6, 10, 10));
  const Region& art = m.at(18);
  if (art.present()) {
    drawLeaderLines(p, m, art.rect, drawMouse(p, art.rect));
  }
  drawRegions(p, m, static_cast<int>(quillet::kFrameRegionCount), static_cast<int>(quillet::kMainRegionCount) - 1, s);
}

// ---- advanced page -----------------------------------------------------------------------------

// The icons of the three slider rows: a pointer, a wheel, a burst of clicks.
void drawSliderIcon(QPainter& p, QPointF c, int which) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  QRadialGradient disc(c, 17);
  disc.setColorAt(0, QColor(0x0E, 0x4C, 0x57));
  disc.setColorAt(1, QColor(0x07, 0x1E, 0x24));
  p.setBrush(disc);
  p.setPen(QPen(withAlpha(colour::kAccent, 170), 1.2));
  p.drawEllipse(c, 15, 15);
  p.setPen(QPen(colour::kAccent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(Qt::NoBrush);
  if (which == 0) {
    QPainterPath arrow;
    arrow.moveTo(c + QPointF(-5, -8));
    arrow.lineTo(c + QPointF(6, 2));
    arrow.lineTo(c + QPointF(1, 2.5));
    arrow.lineTo(c + QPointF(4, 8));
    arrow.lineTo(c + QPointF(1.5, 9));
    arrow.lineTo(c + QPointF(-1.5, 3.5));
    arrow.lineTo(c + QPointF(-5, 7));
    arrow.closeSubpath();
    p.setBrush(withAlpha(colour::kAccent, 60));
    p.drawPath(arrow);
  } else if (which == 1) {
    p.drawRoundedRect(QRectF(c.x() - 4, c.y() - 8, 8, 16), 4, 4);
    p.drawLine(c + QPointF(0, -4), c + QPointF(0, -1));
    p.drawLine(c + QPointF(-9, -3), c + QPointF(-7, -6));
    p.drawLine(c + QPointF(-9, 3), c + QPointF(-7, 6));
    p.drawLine(c + QPointF(9, -3), c + QPointF(7, -6));
    p.drawLine(c + QPointF(9, 3), c + QPointF(7, 6));
  } else {
    for (int i = 0; i < 3; ++i) {
      const qreal x = c.x() - 6 + 6 * i;
      p.drawLine(QPointF(x, c.y() - 7 + 2 * i), QPointF(x, c.y() + 7 - 2 * i));
    }
    p.drawLine(c + QPointF(-9, 0), c + QPointF(9, 0));
  }
  p.restore();
}

void drawAdvancedPage(QPainter& p, const Skin& skin, State s) {
  const Layout& a = skin.advanced;
  const QRect dpiCard = a.bounds({10, 11, 12, 13}).united(a.boundsOfRange(19, 30)).united(a.boundsOfRange(41, 137));
  drawCard(p, dpiCard.adjusted(-14, -6, 14, 12));
  // Alternate row bands of the DPI table.
  for (int i = 0; i < 6; ++i) {
    const QRect row = a.bounds({60 + i, 53 + i, 41 + i, 47 + i, 66 + 12 * i + 11}).adjusted(-6, -4, 6, 4);
    p.fillRect(row, withAlpha(Qt::white, i % 2 == 0 ? 8 : 3));
  }
  // One card per slider row: caption, track, value box and hint; an icon left of the caption.
  const std::array<std::array<int, 5>, 3> rows{{{0, 1, 2, 3, 32}, {4, 18, 5, 6, 33}, {7, 31, 8, 9, 34}}};
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const auto& row = rows[k];
    QRect card = a.bounds({row[0], row[1], row[2], row[3], row[4]}).united(qrect(quillet::kAdvancedValueBoxes[k]));
    card = QRect(dpiCard.left() - 14, card.top() - 20, dpiCard.width() + 28, card.height() + 42);
    // The card that would run into the apply button stops short of it.
    const QRect apply = skin.main.at(3).rect;
    if (card.intersects(apply.adjusted(-18, -18, 18, 18))) {
      card.setRight(apply.left() - 18);
    }
    drawCard(p, card);
    const Region& slider = a.at(row[1]);
    if (slider.present()) {
      drawSliderTicks(p, slider.rect, row[1] == 31 ? 6 : 10);
      drawSliderIcon(p, QPointF(a.at(row[0]).rect.left() - 22, slider.rect.top() + 2.5), static_cast<int>(k));
    }
  }
  for (const quillet::SkinRect& box : quillet::kAdvancedValueBoxes) {
    drawWell(p, qrect(box));
  }
  drawRegions(p, a, 0, static_cast<int>(quillet::kAdvancedRegionCount) - 1, s);
}

// ---- macro page --------------------------------------------------------------------------------

void drawMacroPage(QPainter& p, const Skin& skin, State s) {
  const Layout& m = skin.macro;
  const QRect edit0 = m.edits.at(0).rect, edit1 = m.edits.at(1).rect, edit2 = m.edits.at(2).rect;
  const QRect list1 = m.lists.at(1).rect, list2 = m.lists.at(2).rect, list3 = m.lists.at(3).rect;
  drawCard(p, m.bounds({1, 2, 3, 4, 6, 7, 8, 9}).united(edit0).united(list1).adjusted(-10, -8, 10, 10));
  drawCard(p, m.bounds({5, 13, 18}).united(list2).adjusted(-10, -8, 10, 10));
  drawCard(p, m.bounds({10, 11, 12, 14, 15, 16, 17}).united(edit1).united(edit2).united(list3).adjusted(-10, -8, 10, 12));
  for (const QRect& r : {edit0, edit1, edit2, list1, list2, list3}) {
    drawWell(p, r);
  }
  drawRegions(p, m, 0, static_cast<int>(quillet::kMacroRegionCount) - 1, s);
}

// ---- lighting page -----------------------------------------------------------------------------

void drawSliderEnds(QPainter& p, const QRect& track, bool brightness) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF left(track.left() - 14, track.top() + 3.5);
  const QPointF right(track.right() + 16, track.top() + 3.5);
  p.setPen(QPen(colour::kGlyph, 1.3, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  if (brightness) {
    // A small and a large sun.
    for (auto [c, r, rays] : {std::tuple{left, 2.5, 4.5}, std::tuple{right, 3.5, 6.5}}) {
      p.drawEllipse(c, r, r);
      for (int i = 0; i < 8; ++i) {
        const qreal a = i * M_PI / 4;
        p.drawLine(c + QPointF(std::cos(a), std::sin(a)) * (r + 1.5), c + QPointF(std::cos(a), std::sin(a)) * rays);
      }
    }
  } else {
    // One chevron for slow, three for fast.
    for (int n : {1, 3}) {
      const QPointF c = n == 1 ? left : right - QPointF(6, 0);
      for (int i = 0; i < n; ++i) {
        const QPointF o = c + QPointF(i * 5 - 2, 0);
        p.drawLine(o + QPointF(0, -4), o + QPointF(3.5, 0));
        p.drawLine(o + QPointF(3.5, 0), o + QPointF(0, 4));
      }
    }
  }
  p.restore();
}

// The decoration under the lighting controls: a mouse seen from above, lying on its side, with
// the seven default colours running round its lighting strip.
void drawLightBar(QPainter& p, const QRect& area) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QPointF c = QRectF(area).center();
  const qreal scale = std::min(area.width() / 460.0, area.height() / 260.0);
  p.translate(c);
  p.rotate(-90);
  p.scale(scale, scale);
  p.translate(-170, -220);
  const QPainterPath body = mouseBody(QPointF(0, 0), 170);
  QConicalGradient strip(QPointF(170, 220), 90);
  for (std::size_t i = 0; i < kDefaultLightColours.size(); ++i) {
    strip.setColorAt(static_cast<qreal>(i) / kDefaultLightColours.size(), kDefaultLightColours[i]);
  }
  strip.setColorAt(1, kDefaultLightColours[0]);
  for (int w = 22; w >= 6; w -= 8) {
    QPen glow(QBrush(strip), w);
    p.setOpacity(0.18);
    p.setPen(glow);
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
  }
  p.setOpacity(1);
  QLinearGradient shell(QPointF(60, 0), QPointF(280, 0));
  shell.setColorAt(0, QColor(0x1B, 0x21, 0x2A));
  shell.setColorAt(0.5, QColor(0x2C, 0x35, 0x42));
  shell.setColorAt(1, QColor(0x15, 0x1A, 0x21));
  p.setBrush(shell);
  p.setPen(QPen(QBrush(strip), 3));
  p.drawPath(body);
  p.setPen(QPen(QColor(0x0B, 0x0E, 0x12), 3));
  p.drawLine(QPointF(170, 27), QPointF(170, 176));
  QPainterPath seam;
  seam.moveTo(64, 168);
  seam.cubicTo(110, 182, 230, 182, 276, 168);
  p.drawPath(seam);
  p.setPen(QPen(withAlpha(Qt::white, 120), 1.5));
  p.setBrush(QColor(0x3A, 0x45, 0x54));
  p.drawRoundedRect(QRectF(159, 58, 22, 60), 9, 9);
  p.restore();
}

void drawLightingBase(QPainter& p, const Skin& skin, State s) {
  const Layout& l = skin.lighting;
  const QRect effect = l.bounds({35, 36});
  const QRect block72 = l.at(72).rect;
  drawCard(p, QRect(block72.left(), effect.top() - 10, block72.width(), effect.height() + 20));
  const QRect block75 = l.at(75).rect;
  // The custom-colours switch sits on its own strip, level with the effect: it acts in every mode.
  drawCard(p, QRect(block75.left(), effect.top() - 10, block75.width(), effect.height() + 20));
  if (l.at(99).present()) {
    drawCard(p, l.at(99).rect);
    drawLightBar(p, l.at(99).rect);
  }
  for (int b = 71; b <= 75; ++b) {
    if (l.at(b).present()) {
      drawCard(p, l.at(b).rect);
    }
  }
  // Rows of the button-response table, numbered like the buttons on the main page.
  const QRect block71 = l.at(71).rect;
  for (int i = 0; i < 8; ++i) {
    const QRect row = l.bounds({51 + i, 61 + i}).united(QRect(block71.left() + 16, l.at(61 + i).rect.top(), 1, 1));
    p.fillRect(row.adjusted(0, -2, 8, 2), withAlpha(Qt::white, i % 2 == 0 ? 7 : 2));
    drawBadge(p, QPointF(block71.left() + 52, l.at(61 + i).rect.center().y() + 0.5), i + 1);
  }
  if (l.at(40).present()) {
    drawSliderTicks(p, l.at(40).rect, 6);
    drawSliderEnds(p, l.at(40).rect, true);
  }
  if (l.at(41).present()) {
    drawSliderTicks(p, l.at(41).rect, 5);
    drawSliderEnds(p, l.at(41).rect, false);
  }
  drawRegions(p, l, 0, static_cast<int>(quillet::kLightingRegionCount) - 1, s);
}

QImage renderPageImage(const Skin& skin, Page page, State s, bool blanked, int scale) {
  QImage img = canvas(skin.main.pictureSize("WINDOW"), scale);
  QPainter p(&img);
  drawFrame(p, skin, s);
  switch (page) {
    case Page::Main:
      drawMainPage(p, skin, s);
      break;
    case Page::Advanced:
      drawAdvancedPage(p, skin, s);
      break;
    case Page::Macro:
      drawMacroPage(p, skin, s);
      break;
    case Page::Lighting:
      drawLightingBase(p, skin, s);
      if (blanked) {
        for (int b = 71; b <= 75; ++b) {
          if (skin.lighting.at(b).present()) {
            drawDimmed(p, skin.lighting.at(b).rect);
          }
        }
      }
      break;
  }
  return img;
}

// The panel of a popup: a dark gradient with side and top rims, the same at every height so that
// any row height cuts it cleanly.
void drawMenuPanel(QPainter& p, QSize size) {
  const QRect all(QPoint(0, 0), size);
  QLinearGradient g(QPointF(0, 0), QPointF(size.width(), 0));
  g.setColorAt(0, QColor(0x1C, 0x25, 0x31));
  g.setColorAt(1, QColor(0x14, 0x1B, 0x24));
  p.fillRect(all, g);
  p.fillRect(QRect(0, 0, 1, size.height()), colour::kControlBorder);
  p.fillRect(QRect(size.width() - 1, 0, 1, size.height()), colour::kControlBorder);
  p.fillRect(QRect(0, 0, size.width(), 1), withAlpha(colour::kAccent, 200));
}

void drawMenuHighlight(QPainter& p, QSize size, State s) {
  if (s == State::Normal) {
    return;
  }
  QLinearGradient g(QPointF(0, 0), QPointF(size.width(), 0));
  const int a = s == State::Over ? 70 : 130;
  g.setColorAt(0, withAlpha(colour::kAccent, a));
  g.setColorAt(1, withAlpha(colour::kAccent, a / 4));
  p.fillRect(QRect(1, 0, size.width() - 2, size.height()), g);
  p.fillRect(QRect(1, 0, 3, size.height()), s == State::Over ? colour::kAccent : Qt::white);
}

}  // namespace

QImage renderMask(QSize size, int cornerRadius) {
  QImage img(size, QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(0, 0, size.width(), size.height()), cornerRadius, cornerRadius);
  p.drawPath(shape);
  return img;
}

QImage renderPage(const Skin& skin, Page page, State s, int scale) {
  return renderPageImage(skin, page, s, false, scale);
}

QImage renderLightingBlanked(const Skin& skin, int scale) {
  return renderPageImage(skin, Page::Lighting, State::Normal, true, scale);
}

QImage renderMenu(const Skin& skin, State s, int scale) {
  const QSize size = skin.main.pictureSize("MENU");
  QImage img = canvas(size, scale);
  QPainter p(&img);
  drawMenuPanel(p, size);
  drawMenuHighlight(p, size, s);
  return img;
}

QImage renderFunctionMenu(const Skin& skin, State s, int scale) {
  const QSize size = skin.main.pictureSize("MENU1");
  QImage img = canvas(size, scale);
  QPainter p(&img);
  drawMenuPanel(p, size);
  drawMenuHighlight(p, size, s);
  // Rows 7..10 open the four sub-menus: a rule above them and a chevron on each.
  const int row = size.height() / 15;
  p.fillRect(QRect(10, 6 * row, size.width() - 20, 1), withAlpha(Qt::white, 30));
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(s == State::Normal ? colour::kGlyph : Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  for (int i = 7; i <= 10; ++i) {
    const QPointF c(size.width() - 14, (i - 1) * row + row / 2.0);
    const QPointF pts[3] = {c + QPointF(-2, -4), c + QPointF(2, 0), c + QPointF(-2, 4)};
    p.drawPolyline(pts, 3);
  }
  return img;
}

QImage renderMoreMenu(const Skin& skin, int scale) {
  const QSize size = skin.main.pictureSize("MORE");
  QImage img = canvas(size, scale);
  QPainter p(&img);
  drawMenuPanel(p, size);
  const int row = size.height() / 3;
  for (int i = 1; i < 3; ++i) {
    p.fillRect(QRect(10, i * row, size.width() - 20, 1), withAlpha(Qt::white, 18));
  }
  return img;
}

QImage renderWarning(const Skin& skin, State s, int scale) {
  const Layout& w = skin.warning;
  const QSize size = w.pictureSize("WINDOW");
  QImage img = canvas(size, scale);
  QPainter p(&img);
  drawWindowBackground(p, size, w.cornerRadius("WINDOW"), 0);
  // An amber rim on top and a warning sign in the corner.
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient rim(QPointF(0, 0), QPointF(size.width(), 0));
  rim.setColorAt(0, withAlpha(colour::kWarning, 0));
  rim.setColorAt(0.5, colour::kWarning);
  rim.setColorAt(1, withAlpha(colour::kWarning, 0));
  p.fillRect(QRect(20, 2, size.width() - 40, 2), rim);
  const QPointF t(20, 16);
  QPainterPath sign;
  sign.moveTo(t + QPointF(0, -8));
  sign.lineTo(t + QPointF(8, 6));
  sign.lineTo(t + QPointF(-8, 6));
  sign.closeSubpath();
  p.setPen(QPen(colour::kWarning, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.setBrush(withAlpha(colour::kWarning, 40));
  p.drawPath(sign);
  p.drawLine(t + QPointF(0, -3), t + QPointF(0, 1.5));
  p.drawPoint(t + QPointF(0, 4));
  p.setRenderHint(QPainter::Antialiasing, false);
  drawRegions(p, w, 0, static_cast<int>(quillet::kWarningRegionCount) - 1, State::Normal);
  // Only the two buttons change with the pointer.
  drawControl(p, w.at(0), s);
  drawControl(p, w.at(1), s);
  return img;
}

QImage renderSurvey(const Skin& skin, State s, int scale) {
  const Layout& l = skin.login;
  const QSize size = l.pictureSize("WINDOW");
  QImage img = canvas(size, scale);
  QPainter p(&img);
  drawWindowBackground(p, size, l.cornerRadius("WINDOW"), l.at(1).rect.bottom() + 8);
  // Each field has its icon tile to its left, a field's height square and 10 pixels away; the
  // fields that must be answered (country, name, age, e-mail: regions 2, 3, 4, 6) show theirs in
  // the accent colour. The card holds the tiles, the fields and the buttons.
  QRect card = l.boundsOfRange(2, 10);
  for (int i = 2; i <= 7; ++i) {
    const QRect field = l.at(i).rect;
    if (!field.isEmpty() && !l.at(i).param.isEmpty()) {
      card = card.united(QRect(field.left() - 10 - field.height(), field.top(), field.height(), field.height()));
    }
  }
  drawCard(p, card.adjusted(-22, -14, 22, 16));
  for (int i = 2; i <= 7; ++i) {
    const Region& field = l.at(i);
    if (field.present() && !field.param.isEmpty()) {
      const QRect tile(field.rect.left() - 10 - field.rect.height(), field.rect.top(), field.rect.height(),
                       field.rect.height());
      drawFieldIcon(p, tile, field.param, i != 5 && i != 7);
    }
  }
  drawRegions(p, l, 0, static_cast<int>(quillet::kSurveyRegionCount) - 1, s);
  return img;
}

}  // namespace skingen
