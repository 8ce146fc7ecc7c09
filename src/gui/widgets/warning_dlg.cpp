#include "gui/widgets/warning_dlg.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "gui/widgets/window_region.h"

namespace quillet {

namespace {
const QColor kWarningText(255, 0, 0);
QRect qrectOf(const SkinButton& b) { return QRect(b.x, b.y, b.width, b.height); }
}  // namespace

WarningDlg::WarningDlg(QWidget* parent, const SkinLayout<kWarningRegionCount>& layout, const SkinPictures& pictures,
                       const QFont& font)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), layout_(layout), pictures_(pictures), font_(font) {
  setWindowTitle(QString::fromLatin1(kWarningTitle));
  setModal(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  const QImage& mask = pictures_.picture(Picture::WarningMask);
  if (!mask.isNull()) {
    setFixedSize(mask.size());
    setMask(regionOf(shapeOf(mask)));
  } else {
    // Without its pictures the dialog is blank, but its buttons still answer.
    setFixedSize(400, 150);
  }
}

int WarningDlg::showWarning(int x, int y) {
  move(x, y);
  const int result = exec();
  return result == kConfirmed ? kConfirmed : kCancelled;
}

QImage WarningDlg::render() const { return render(devicePixelRatioF()); }

QImage WarningDlg::render(qreal ratio) const {
  ratio = ratio > 1.0 ? ratio : 1.0;
  QImage image(devicePixels(size(), ratio), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::black);
  QPainter p(&image);
  const QImage& normal = pictures_.picture(Picture::WarningNormal, ratio);
  if (!normal.isNull()) {
    p.drawImage(QPoint(0, 0), normal);
  }
  if (hover_ == kConfirmed || hover_ == kCancelled) {
    const QRect r = qrectOf(layout_[static_cast<std::size_t>(hover_ - 1)]);
    const QImage& over = pictures_.picture(Picture::WarningOver, ratio);
    if (!over.isNull()) {
      const qreal s = over.devicePixelRatio();
      p.drawImage(QPointF(r.topLeft()), over, QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s));
    }
  }
  p.setFont(font_);
  p.setPen(kWarningText);
  const QFontMetrics metrics(font_);
  for (const SkinButton& b : layout_) {
    if (b.label.empty()) {
      continue;
    }
    const QString text = QString::fromStdString(b.label);
    const int left = b.x + (b.width - metrics.horizontalAdvance(text)) / 2;
    const int top = b.y + (b.height - metrics.height()) / 2;
    p.drawText(QPoint(left, top + metrics.ascent()), text);
  }
  return image;
}

void WarningDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), render());
}

void WarningDlg::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  std::int32_t now = kNoRegion;
  if (layout_[0].contains(p.x(), p.y())) {
    now = kConfirmed;
  } else if (layout_[1].contains(p.x(), p.y())) {
    now = kCancelled;
  }
  if (now != hover_) {
    hover_ = now;
    update();
  }
}

void WarningDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    return;
  }
  mouseMoveEvent(event);  // a release that no move preceded acts where it happens
  if (hover_ == kConfirmed || hover_ == kCancelled) {
    done(hover_);
  }
}

void WarningDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      done(kCancelled);
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      event->accept();  // Return confirms nothing
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace quillet
