#pragma once
// The advanced page: the pointer-speed, wheel-speed and fire-time sliders with their value
// boxes, the six DPI levels (enable, select, step) and their colours.
#include <QLineEdit>
#include <QObject>
#include <QPointer>

#include <array>

#include "gui/pages/window_page.h"

namespace quillet {

class AdvancedPage : public QObject, public WindowPage {
  Q_OBJECT

 public:
  explicit AdvancedPage(PageContext& context);
  ~AdvancedPage() override;

  void paintState(WindowPainter& painter, const HoverIndexes& hover) const override;
  void paintLabels(WindowPainter& painter, const HoverIndexes& hover) const override;
  void enter() override;
  void leave() override;
  void press(QPoint pos, std::int32_t common, std::int32_t own) override;
  void drag(int x) override;
  void endDrags() override;
  void languageChanged() override;
  void modelReplaced() override;
  void setBusy(bool busy) override;

  // The three value boxes: pointer speed, wheel speed, fire time (null unless the page is shown).
  QLineEdit* valueBox(int index) const { return boxes_[static_cast<std::size_t>(index)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createBoxes();
  void destroyBoxes();
  void showValue(int index);
  void onEdited(int index);

  std::array<QPointer<QLineEdit>, 3> boxes_{};
  bool dragPointerSpeed_ = false;
  bool dragWheelSpeed_ = false;
  bool dragFireTime_ = false;
};

}  // namespace quillet
