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

WarningDlg::WarningDlg(QWidget* parent, const SkinLayout<kWarningRegionCount>& layout, const WarningPictures& pictures,
                       const QFont& font)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), layout_(layout), pictures_(pictures), font_(font) {
  setWindowTitle(QString::fromLatin1(kWarningTitle));
  setModal(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  if (!pictures_.mask.isNull()) {
    setFixedSize(pictures_.mask.size());
    setMask(regionOf(shapeOf(pictures_.mask)));
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

QImage WarningDlg::render() const {
  QImage image(size(), QImage::Format_RGB32);
  image.fill(Qt::black);
  QPainter p(&image);
  if (!pictures_.normal.isNull()) {
    p.drawImage(QPoint(0, 0), pictures_.normal);
  }
  if (hover_ == kConfirmed || hover_ == kCancelled) {
    const QRect r = qrectOf(layout_[static_cast<std::size_t>(hover_ - 1)]);
    if (!pictures_.over.isNull()) {
      p.drawImage(r.topLeft(), pictures_.over, r);
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
