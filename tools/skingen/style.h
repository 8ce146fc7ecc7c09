#pragma once
// The look of the shipped skin: one palette and one drawing function per kind of control. Every
// function draws a control into its region's rectangle in one of the three picture states; what
// changes between states stays inside the rectangle, because the utility copies exactly the
// rectangle from the hovered or pressed picture. Decoration that never changes (frames of filled
// areas, wells of child controls) may lie just outside it.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>

namespace skingen {

enum class State { Normal, Over, Down };

namespace colour {
inline const QColor kAccent{0x00, 0xE5, 0xFF};      // electric cyan
inline const QColor kAccentDeep{0x00, 0x83, 0x8F};
inline const QColor kAccentDark{0x05, 0x3A, 0x44};
inline const QColor kBackgroundTop{0x11, 0x16, 0x1E};
inline const QColor kBackgroundBottom{0x08, 0x0B, 0x0F};
inline const QColor kCardTop{0x19, 0x21, 0x2C};
inline const QColor kCardBottom{0x12, 0x18, 0x21};
inline const QColor kCardBorder{0x27, 0x33, 0x43};
inline const QColor kControlTop{0x24, 0x2E, 0x3C};
inline const QColor kControlBottom{0x19, 0x20, 0x2A};
inline const QColor kControlBorder{0x34, 0x42, 0x56};
inline const QColor kGlyph{0x8C, 0x9D, 0xB2};
inline const QColor kWell{0x00, 0x00, 0x00};
inline const QColor kRecord{0xFF, 0x17, 0x44};
inline const QColor kWarning{0xFF, 0xB3, 0x00};
}  // namespace colour

QColor withAlpha(QColor c, int alpha);

// Surfaces.
void drawWindowBackground(QPainter& p, QSize size, int cornerRadius, int headerHeight);
void drawCard(QPainter& p, const QRect& r);
void drawDimmed(QPainter& p, const QRect& r);  // a card whose controls the current mode does not use
void drawWell(QPainter& p, const QRect& r);    // recessed black frame around a child control
void drawCaptionRule(QPainter& p, const QRect& r);
void drawTitleMark(QPainter& p, const QRect& r);
void drawBadge(QPainter& p, QPointF centre, int number);

// Controls.
void drawButton(QPainter& p, const QRect& r, State s, bool primary);
void drawTab(QPainter& p, const QRect& r, State s);
void drawWindowButton(QPainter& p, const QRect& r, State s, bool close);
void drawLanguageButton(QPainter& p, const QRect& r, State s);
void drawSelect(QPainter& p, const QRect& r, State s);
void drawArrowButton(QPainter& p, const QRect& r, State s);
void drawCheck(QPainter& p, const QRect& r, State s);
void drawRadio(QPainter& p, const QRect& r, State s);
void drawOption(QPainter& p, const QRect& r, State s);
// A slider track; the knob's top is knobOffset above the region, so the track is centred on the
// knob's middle row. The pressed picture holds the lit track.
void drawSlider(QPainter& p, const QRect& r, State s, int knobOffset);
void drawSliderTicks(QPainter& p, const QRect& r, int intervals);
void drawDpiStep(QPainter& p, const QRect& r, State s);
void drawSwatchFrame(QPainter& p, const QRect& r);
void drawColourTile(QPainter& p, const QRect& r, State s, QColor colour);
void drawRecordButton(QPainter& p, const QRect& r, State s);
void drawLink(QPainter& p, const QRect& r, State s);
// A field's icon tile: "globe", "person", "cake", "chat", "mail" or "gamepad", in the accent
// colour when the field must be answered, in the glyph grey when it may stay empty.
void drawFieldIcon(QPainter& p, const QRect& tile, const QString& glyph, bool required);

// The slider knob picture: the knob is the 14 × 14 area at (3, 2), in pixels of `scale` device
// pixels each.
QImage knobImage(int scale = 1);

// The combo box's arrow: a 20 × 20 picture whose glyph lies in its left 17 pixels (the box's
// arrow area), transparent elsewhere.
QImage comboArrowImage();

}  // namespace skingen
