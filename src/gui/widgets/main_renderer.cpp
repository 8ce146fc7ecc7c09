#include "gui/widgets/main_renderer.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace quillet {

QColor colorOf(ColorRef ref) { return QColor(redOf(ref), greenOf(ref), blueOf(ref)); }

WindowPainter::WindowPainter(QPainter& painter, const SkinPictures& pictures, std::uint8_t page, qreal ratio,
                             const QFont& font)
    : pictures_(pictures), page_(page), ratio_(ratio), painter_(painter), metrics_(font) {
  painter_.setFont(font);
}

void WindowPainter::copyFrom(PageState state, const QRect& r) {
  if (!r.isEmpty()) {
    copy(pictures_.picture(pagePicture(page_, state), ratio_), r);
  }
}

void WindowPainter::copy(const QImage& from, const QRect& r) {
  if (!from.isNull() && !r.isEmpty()) {
    const qreal s = from.devicePixelRatio();
    painter_.drawImage(QPointF(r.topLeft()), from, QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s));
  }
}

void WindowPainter::image(QPoint topLeft, const QImage& picture) {
  if (!picture.isNull()) {
    painter_.drawImage(topLeft, picture);
  }
}

namespace {
// Where the knob's top-left corner sits relative to the slider's filled end and top.
constexpr int kKnobLeft = 8;
constexpr int kKnobUp = 5;
}  // namespace

void WindowPainter::slider(const SkinButton& r, int copied) {
  copyFrom(PageState::Down, QRect(r.x, r.y, copied, r.height));
  image(QPoint(r.x + copied - kKnobLeft, r.y - kKnobUp), pictures_.picture(Picture::Knob, ratio_));
}

void WindowPainter::label(const SkinButton& r, const std::string& text, QColor colour, int trim, int shift) {
  if (text.empty()) {
    return;
  }
  const QString t = QString::fromStdString(text);
  const int left = r.x + (r.width - metrics_.horizontalAdvance(t) - trim) / 2 + shift;
  const int top = r.y + (r.height - metrics_.height()) / 2;
  painter_.setPen(colour);
  painter_.drawText(QPoint(left, top + metrics_.ascent()), t);
}

namespace {

void commonFrame(WindowPainter& c, const SkinLayouts& layouts, const RenderInput& in) {
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

// The frame's labels, on every page.
void frameLabels(WindowPainter& c, const SkinLayouts& layouts, const RenderInput& in) {
  for (std::size_t i = 0; i < kFrameRegionCount; ++i) {
    c.label(layouts.main[i], frameLabel(layouts, i, in), kLabelWhite);
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
  WindowPainter c(painter, pictures, in.app.currentPage, ratio, in.font);
  in.page.paintState(c, in.hover);
  commonFrame(c, in.layouts, in);
  // The frame's labels, then the page's; the frame's last region (the title) is labelled on
  // every page, so that the title stays when the page changes.
  frameLabels(c, in.layouts, in);
  in.page.paintLabels(c, in.hover);
  painter.restore();
}

}  // namespace quillet
