#include "gui/widgets/main_renderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

#include "core/macro/macro_record.h"
#include "core/skin/lighting_rules.h"

namespace quillet {

QColor colorOf(ColorRef ref) { return QColor(redOf(ref), greenOf(ref), blueOf(ref)); }

namespace {

const QColor kLabelWhite(255, 255, 255);
const QColor kLabelHover(255, 0, 0);
const QColor kRecordLabel(1, 255, 246);
// Room that the select boxes of the main page keep for their drop-down arrow.
constexpr int kArrowRoom = 23;
// Where the knob's top-left corner sits relative to the slider's filled end and top.
constexpr int kKnobLeft = 8;
constexpr int kKnobUp = 5;

QRect qrectOf(const SkinButton& b) { return QRect(b.x, b.y, b.width, b.height); }

class Composer {
 public:
  // Draws with `painter` (on a device of ratio `ratio`) from page `page`'s pictures at that ratio.
  Composer(QPainter& painter, const SkinPictures& pictures, std::uint8_t page, qreal ratio, const QFont& font)
      : pictures_(pictures), page_(page), ratio_(ratio), painter_(painter), metrics_(font) {
    painter_.setFont(font);
  }

  qreal ratio() const { return ratio_; }
  const SkinPictures& pictures() const { return pictures_; }
  // A page picture is decoded only when something is copied from it.
  void copyFrom(PageState state, const QRect& r) {
    if (!r.isEmpty()) {
      copy(pictures_.picture(pagePicture(page_, state), ratio_), r);
    }
  }
  void copyOver(const SkinButton& r) { copyFrom(PageState::Over, qrectOf(r)); }
  void copyDown(const SkinButton& r) { copyFrom(PageState::Down, qrectOf(r)); }
  // Copies the logical rectangle `r` of `from` to the same place; the source rectangle is in
  // the picture's own pixels, so a 2× picture fills a 2× composition pixel for pixel.
  void copy(const QImage& from, const QRect& r) {
    if (!from.isNull() && !r.isEmpty()) {
      const qreal s = from.devicePixelRatio();
      painter_.drawImage(QPointF(r.topLeft()), from, QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s));
    }
  }
  void fill(const QRect& r, QColor c) { painter_.fillRect(r, c); }
  void image(QPoint topLeft, const QImage& picture) {
    if (!picture.isNull()) {
      painter_.drawImage(topLeft, picture);
    }
  }

  void slider(const SkinButton& r, int copied) {
    copyFrom(PageState::Down, QRect(r.x, r.y, copied, r.height));
    image(QPoint(r.x + copied - kKnobLeft, r.y - kKnobUp), pictures_.picture(Picture::Knob, ratio_));
  }

  // The label with its left edge at x + (width - text width - trim) / 2 + shift and its top at
  // y + (height - text height) / 2, measured in the UI font.
  void label(const SkinButton& r, const std::string& text, QColor colour, int trim = 0, int shift = 0) {
    if (text.empty()) {
      return;
    }
    const QString t = QString::fromStdString(text);
    const int left = r.x + (r.width - metrics_.horizontalAdvance(t) - trim) / 2 + shift;
    const int top = r.y + (r.height - metrics_.height()) / 2;
    painter_.setPen(colour);
    painter_.drawText(QPoint(left, top + metrics_.ascent()), t);
  }

 private:
  const SkinPictures& pictures_;
  std::uint8_t page_;
  qreal ratio_;
  QPainter& painter_;
  QFontMetrics metrics_;
};

void advancedState(Composer& c, const SkinLayouts& layouts, const ProfileSettings& s) {
  namespace ar = advanced_region;
  const auto& a = layouts.advanced;
  const auto region = [&](int i) -> const SkinButton& { return a[static_cast<std::size_t>(i)]; };
  if (s.currentDpiLevel >= 0 && s.currentDpiLevel < kDpiLevelCount) {
    c.copyDown(region(ar::kFirstDpiSelect + s.currentDpiLevel));
  }
  for (int i = 0; i < kDpiLevelCount; ++i) {
    const QColor colour = colorOf(s.dpiColorRef[static_cast<std::size_t>(i)]);
    c.fill(qrectOf(region(ar::kFirstDpiColor + i)), colour);
    // A step beyond the table (a damaged file) lights the level's whole bar, never the next one's.
    const int first = ar::kFirstDpiStep + kDpiStepCount * i;
    const int last = std::min<int>(s.dpiStepRegion[static_cast<std::size_t>(i)], first + kDpiStepCount - 1);
    for (int r = first; r <= last; ++r) {
      const SkinButton& b = region(r);
      c.fill(QRect(b.x + 1, b.y + 1, b.width - 2, b.height - 1), colour);
    }
    if (s.dpiLevelEnabled[static_cast<std::size_t>(i)] == 1) {
      c.copyDown(region(ar::kFirstDpiEnable + i));
    }
  }
  const SkinButton& pointer = region(ar::kPointerSpeed);
  const SkinButton& wheel = region(ar::kWheelSpeed);
  const SkinButton& fire = region(ar::kFireTime);
  // Values beyond a slider's range (a damaged file) are drawn at its end: the knob stays on it.
  c.slider(pointer, std::min<int>(s.pointerSpeed, 10) * pointer.width / 10);
  c.slider(wheel, std::min<int>(s.wheelSpeed, 10) * wheel.width / 10);
  c.slider(fire, std::clamp(s.fireTime, 0, 300) * fire.width / 300);
}

void macroState(Composer& c, const SkinLayouts& layouts, const RenderInput& in) {
  const auto& m = layouts.macro;
  if (in.recording) {
    c.copyDown(m[macro_region::kRecord]);
  }
  if (in.playMode) {
    if (const std::int32_t chosen = playModeRegion(*in.playMode); chosen != kNoRegion) {
      c.copyDown(m[static_cast<std::size_t>(chosen)]);
    }
  }
}

void lightingState(Composer& c, const RenderInput& in) {
  using Source = LightingPaint::Source;
  for (const LightingPaint& p : lightingPaints(in.layouts.lighting, in.settings, in.app.currentProfile)) {
    const QRect area(p.area.left, p.area.top, p.area.width(), p.area.height());
    switch (p.source) {
      case Source::Pressed:
        c.copyFrom(PageState::Down, area);
        break;
      case Source::Blank:
        c.copy(c.pictures().picture(Picture::LightingBlank, c.ratio()), area);
        break;
      case Source::Colour:
        c.fill(area, colorOf(p.colour));
        break;
      case Source::Knob:
        c.image(area.topLeft(), c.pictures().picture(Picture::Knob, c.ratio()));
        break;
    }
  }
}

void commonFrame(Composer& c, const SkinLayouts& layouts, const RenderInput& in) {
  const std::int32_t tab = tabOfPage(in.app.currentPage);
  for (std::int32_t i = 0; i <= frame_region::kLast; ++i) {
    const SkinButton& r = layouts.main[static_cast<std::size_t>(i)];
    if (i == tab) {
      c.copyDown(r);
    } else if (i == in.hover.main) {
      c.copyOver(r);
    } else if ((i == frame_region::kChinese && in.app.language == kChinese) ||
               (i == frame_region::kEnglish && in.app.language != kChinese)) {
      c.copyDown(r);
    }
  }
  // While a download runs the Apply button fills from the left as its blocks are written.
  if (in.applyProgress && in.applyProgress->total > 0) {
    const SkinButton& apply = layouts.main[frame_region::kApply];
    const auto filled = static_cast<int>(static_cast<std::uint64_t>(apply.width) * in.applyProgress->sent /
                                         in.applyProgress->total);
    c.copyFrom(PageState::Down, QRect(apply.x, apply.y, filled, apply.height));
  }
}

// A frame region's label: the Apply button shows the download's progress while one runs.
std::string frameLabel(const SkinLayouts& layouts, std::size_t i, const RenderInput& in) {
  if (i == static_cast<std::size_t>(frame_region::kApply) && in.applyProgress) {
    if (in.applyProgress->total == 0) {
      return "…";
    }
    return std::to_string(in.applyProgress->sent) + " / " + std::to_string(in.applyProgress->total);
  }
  return layouts.main[i].label;
}

void labels(Composer& c, const SkinLayouts& layouts, const RenderInput& in) {
  const std::uint8_t page = in.app.currentPage;
  if (page == pageNumber(Page::Main)) {
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(kMainRegionCount); ++i) {
      const SkinButton& r = layouts.main[static_cast<std::size_t>(i)];
      if (i >= frame_region::kFirstButton && i <= frame_region::kLastButton) {
        const int button = i - frame_region::kFirstButton;
        const auto& buttons = in.settings.buttonFunction[static_cast<std::size_t>(in.app.currentProfile & 3)];
        c.label(r, buttonFunctionName(buttons[static_cast<std::size_t>(button)], in.app, in.macroNames),
                i == in.hover.main ? kLabelHover : kLabelWhite, kArrowRoom);
      } else if (i == frame_region::kProfile) {
        c.label(r, layouts.profileNames[static_cast<std::size_t>(in.app.currentProfile & 3)], kLabelWhite, kArrowRoom);
      } else {
        c.label(r, frameLabel(layouts, static_cast<std::size_t>(i), in), kLabelWhite);
      }
    }
    return;
  }
  // The other pages show the frame's labels, then their own. The frame's last region (the
  // title) is labelled on every page too, so that the title stays when the page changes.
  for (std::size_t i = 0; i < kFrameRegionCount; ++i) {
    c.label(layouts.main[i], frameLabel(layouts, i, in), kLabelWhite);
  }
  if (page == pageNumber(Page::Advanced)) {
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(kAdvancedRegionCount); ++i) {
      const SkinButton& r = layouts.advanced[static_cast<std::size_t>(i)];
      c.label(r, r.label, i == in.hover.advanced ? kLabelHover : kLabelWhite);
    }
  } else if (page == pageNumber(Page::Macro)) {
    for (std::int32_t i = 0; i < static_cast<std::int32_t>(kMacroRegionCount); ++i) {
      const SkinButton& r = layouts.macro[static_cast<std::size_t>(i)];
      if (i == macro_region::kRecord) {
        c.label(r, r.label, kRecordLabel, 0, -3);
      } else {
        c.label(r, r.label, kLabelWhite);
      }
    }
  } else {
    const auto texts = lightingLabels(layouts.lighting, in.settings, in.app);
    for (std::size_t i = 0; i < layouts.lighting.size(); ++i) {
      c.label(layouts.lighting[i], texts[i].text, kLabelWhite, texts[i].trim);
    }
  }
}

}  // namespace

void composeWindow(QImage& target, const SkinPictures& pictures, const RenderInput& in) {
  const qreal ratio = in.ratio > 1.0 ? in.ratio : 1.0;
  const QSize pixels = devicePixels(pictures.size(), ratio);
  if (target.size() != pixels || target.format() != QImage::Format_RGB32) {
    target = QImage(pixels, QImage::Format_RGB32);
  }
  target.setDevicePixelRatio(ratio);
  QPainter painter(&target);
  paintWindow(painter, pictures, in);
}

void paintWindow(QPainter& painter, const SkinPictures& pictures, const RenderInput& in) {
  const qreal ratio = in.ratio > 1.0 ? in.ratio : 1.0;
  const QSize size = pictures.size();
  painter.save();
  // The idle picture is the ground; a skin without 2× pictures is drawn from its 1× ones,
  // scaled up.
  const QImage& ground = pictures.picture(pagePicture(in.app.currentPage, PageState::Normal), ratio);
  if (!ground.isNull() && ground.deviceIndependentSize().toSize() == size) {
    painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), ground);
  } else {
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::black);
  }
  Composer c(painter, pictures, in.app.currentPage, ratio, in.font);
  const SkinLayouts& layouts = in.layouts;
  switch (static_cast<Page>(in.app.currentPage)) {
    case Page::Main:
      if (in.hover.main != kNoRegion) {
        c.copyOver(layouts.main[static_cast<std::size_t>(in.hover.main)]);
      }
      break;
    case Page::Advanced:
      if (in.hover.advanced != kNoRegion) {
        c.copyOver(layouts.advanced[static_cast<std::size_t>(in.hover.advanced)]);
      }
      advancedState(c, layouts, in.settings);
      break;
    case Page::Macro:
      if (in.hover.macro != kNoRegion) {
        c.copyOver(layouts.macro[static_cast<std::size_t>(in.hover.macro)]);
      }
      macroState(c, layouts, in);
      break;
    case Page::Lighting:
      if (in.hover.lighting != kNoRegion) {
        c.copyOver(layouts.lighting[static_cast<std::size_t>(in.hover.lighting)]);
      }
      lightingState(c, in);
      break;
  }
  commonFrame(c, layouts, in);
  labels(c, layouts, in);
  painter.restore();
}

}  // namespace quillet
