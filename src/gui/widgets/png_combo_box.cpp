#include "gui/widgets/png_combo_box.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QStyledItemDelegate>

namespace quillet {

// Draws the open list's items: the highlighted one as a rounded rectangle in the highlight
// colour, the others on the background, each text in its item's colour.
class PngComboDelegate final : public QStyledItemDelegate {
 public:
  explicit PngComboDelegate(CPngComboBox* box) : QStyledItemDelegate(box), box_(box) {}

  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const QRect r = option.rect;
    const bool highlighted = (option.state & QStyle::State_Selected) != 0;
    p->save();
    p->setRenderHint(QPainter::Antialiasing);
    if (highlighted) {
      p->fillRect(r, CPngComboBox::kBackground);
      p->setPen(QPen(CPngComboBox::kOutline, 1));
      p->setBrush(CPngComboBox::kHighlight);
      p->drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
    } else {
      p->fillRect(r, CPngComboBox::kBackground);
    }
    p->setRenderHint(QPainter::Antialiasing, false);
    p->setFont(box_->itemFont_);
    p->setPen(box_->itemColour(index.row()));
    const QRect textArea = r.adjusted(4, 0, -4, 0);
    const QString text = p->fontMetrics().elidedText(index.data().toString(), Qt::ElideRight, textArea.width());
    p->drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    if (highlighted && !box_->icon_.isNull()) {
      p->drawImage(QRect(r.right() + 1 - 18, r.top() + 3, 16, 16), box_->icon_);
    }
    p->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), CPngComboBox::kItemHeight);
  }

 private:
  CPngComboBox* box_;
};

namespace {

// The box's own geometry: the edit part fills the box but for the arrow area, and only the
// arrow area opens the list of an editable box.
class PngComboStyle final : public QProxyStyle {
 public:
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget) const override {
    if (control == CC_ComboBox && option != nullptr) {
      const QRect r = option->rect;
      if (sub == SC_ComboBoxEditField) {
        return r.adjusted(6, 1, -(CPngComboBox::kArrowWidth + 2), -1);
      }
      if (sub == SC_ComboBoxArrow) {
        return QRect(r.right() + 1 - CPngComboBox::kArrowWidth, r.top(), CPngComboBox::kArrowWidth, r.height());
      }
    }
    return QProxyStyle::subControlRect(control, option, sub, widget);
  }
};

}  // namespace

CPngComboBox::CPngComboBox(QWidget* parent) : QComboBox(parent) {
  // "Arial" 15 pixels high: the height of the character cell, so that accents stay inside the
  // 15-pixel rows; an em of 12 pixels.
  itemFont_ = QFont(QStringLiteral("Arial"));
  itemFont_.setPixelSize(12);
  setFont(itemFont_);
  auto* style = new PngComboStyle;
  style->setParent(this);
  setStyle(style);
  setItemDelegate(new PngComboDelegate(this));
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  QPalette listColours = view()->palette();
  listColours.setColor(QPalette::Base, kBackground);
  listColours.setColor(QPalette::Window, kBackground);
  listColours.setColor(QPalette::Text, Qt::white);
  view()->setPalette(listColours);
  view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  // A slim dark scroll bar: the platform's light one would be the only bright thing in the list.
  view()->verticalScrollBar()->setStyleSheet(QStringLiteral(
      "QScrollBar:vertical { background: #101419; width: 10px; margin: 0; }"
      "QScrollBar::handle:vertical { background: #3A4656; min-height: 24px; border-radius: 4px; margin: 1px; }"
      "QScrollBar::handle:vertical:hover { background: #52627A; }"
      "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
      "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }"));
  connect(view()->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) { onCurrentChanged(current); });
}

void CPngComboBox::addItem(const QString& text, QColor colour) {
  QComboBox::addItem(text);
  setItemData(count() - 1, colour, Qt::ForegroundRole);
}

QColor CPngComboBox::itemColour(int index) const {
  const QVariant v = itemData(index, Qt::ForegroundRole);
  return v.canConvert<QColor>() && v.value<QColor>().isValid() ? v.value<QColor>() : QColor(Qt::white);
}

bool CPngComboBox::loadArrowImages() {
  const QString resource = QStringLiteral(":/png/166.png");
  arrow_ = QImage(resource);
  arrowPressed_ = QImage(resource);
  if (arrow_.isNull() || arrowPressed_.isNull()) {
    arrow_ = QImage();
    arrowPressed_ = QImage();
    return false;
  }
  arrow_ = arrow_.scaled(kArrowSize, kArrowSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  arrowPressed_ = arrowPressed_.scaled(kArrowSize, kArrowSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  return true;
}

QImage CPngComboBox::render() const {
  QImage image(size(), QImage::Format_ARGB32_Premultiplied);
  QPainter p(&image);
  const QRect r = rect();
  p.setPen(QPen(kOutline, 1));
  p.setBrush(kBackground);
  p.drawRect(r.adjusted(0, 0, -1, -1));
  // An editable box's edit part shows the text itself.
  if (!isEditable() && currentIndex() >= 0) {
    p.setFont(itemFont_);
    p.setPen(itemColour(currentIndex()));
    const QRect textArea = r.adjusted(4, 0, -(kArrowWidth + 2), 0);
    p.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
               p.fontMetrics().elidedText(currentText(), Qt::ElideRight, textArea.width()));
  }
  const int left = r.right() + 1 - kArrowWidth;
  if (!arrow_.isNull()) {
    // Centred in the box's height; the picture reaches 3 pixels past the arrow area, into the
    // box's edge, which its transparent margin leaves alone.
    p.drawImage(QPoint(left, r.top() + (r.height() - kArrowSize) / 2), pressed_ ? arrowPressed_ : arrow_);
  } else {
    QStyleOption arrow;
    arrow.initFrom(this);
    arrow.rect = QRect(left, r.top(), kArrowWidth - 1, r.height()).translated(pressed_ ? 1 : 0, pressed_ ? 1 : 0);
    arrow.palette.setColor(QPalette::ButtonText, Qt::white);
    arrow.palette.setColor(QPalette::WindowText, Qt::white);
    arrow.state |= QStyle::State_Enabled;
    style()->drawPrimitive(QStyle::PE_IndicatorArrowDown, &arrow, &p, this);
  }
  return image;
}

void CPngComboBox::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, render());
}

void CPngComboBox::repaintAround() {
  update();
  if (QWidget* parent = parentWidget()) {
    parent->update(geometry().adjusted(-2, -2, 2, 2));
  }
}

void CPngComboBox::mouseMoveEvent(QMouseEvent* event) {
  if (!hovering_) {
    hovering_ = true;
    repaintAround();
  }
  QComboBox::mouseMoveEvent(event);
}

void CPngComboBox::leaveEvent(QEvent* event) {
  hovering_ = false;
  repaintAround();
  QComboBox::leaveEvent(event);
}

void CPngComboBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    repaintAround();
  }
  QComboBox::mousePressEvent(event);
}

void CPngComboBox::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    repaintAround();
  }
  QComboBox::mouseReleaseEvent(event);
}

void CPngComboBox::hidePopup() {
  QComboBox::hidePopup();
  if (pressed_) {
    pressed_ = false;
    repaintAround();
  }
}

void CPngComboBox::onCurrentChanged(const QModelIndex& current) {
  const int now = current.isValid() ? current.row() : -1;
  if (now == highlight_) {
    return;
  }
  previousHighlight_ = highlight_;
  highlight_ = now;
  // Both items change their look.
  for (const int row : {previousHighlight_, highlight_}) {
    if (row >= 0) {
      view()->update(model()->index(row, modelColumn()));
    }
  }
}

}  // namespace quillet
