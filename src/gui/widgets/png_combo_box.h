#pragma once
// CPngComboBox: a combo box drawn in the skin's colours, with a picture for its arrow (the PNG
// resource ":/png/166.png"; the platform's own arrow when it cannot be decoded). Items carry a
// text colour of their own. The open list draws the item under the pointer as a rounded,
// filled highlight, every item 15 pixels high.
#include <QColor>
#include <QComboBox>
#include <QImage>
#include <QList>

namespace quillet {

class CPngComboBox : public QComboBox {
  Q_OBJECT

 public:
  static constexpr int kItemHeight = 15;
  static constexpr int kArrowWidth = 17;  // the arrow area at the right edge
  static constexpr int kArrowSize = 20;   // the arrow picture, drawn at 20 × 20
  inline static const QColor kOutline{231, 17, 35};
  inline static const QColor kHighlight{231, 17, 35};
  inline static const QColor kBackground{0, 0, 0};

  explicit CPngComboBox(QWidget* parent = nullptr);

  // Appends an item drawn in `colour`.
  void addItem(const QString& text, QColor colour);
  // Decodes the arrow picture, once for the normal and once for the pressed arrow; when either
  // fails both are dropped and the platform's arrow is drawn. True when both loaded.
  bool loadArrowImages();
  // A picture shown on the highlighted item of the open list, at its right end (none when null).
  void setHighlightIcon(const QImage& icon) { icon_ = icon; }
  // The list takes the button's release when it opens under the press: the pressed look ends
  // when the list closes too.
  void hidePopup() override;

  // ---- read by tests ----
  bool pressed() const { return pressed_; }
  bool hovering() const { return hovering_; }
  int highlight() const { return highlight_; }
  int previousHighlight() const { return previousHighlight_; }
  bool hasArrowImages() const { return !arrow_.isNull(); }
  QColor itemColour(int index) const;
  // The closed box as the next paint draws it.
  QImage render() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  friend class PngComboDelegate;
  void repaintAround();
  void onCurrentChanged(const QModelIndex& current);

  QImage arrow_;
  QImage arrowPressed_;
  QImage icon_;
  QFont itemFont_;
  bool pressed_ = false;
  bool hovering_ = false;
  int highlight_ = -1;
  int previousHighlight_ = -1;
};

}  // namespace quillet
