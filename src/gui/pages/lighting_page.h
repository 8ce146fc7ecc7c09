#pragma once
// The lighting page: the effect and its list, brightness and period sliders, symmetry and the
// four directions, the seven user colours (their colour dialog, whether they are on and which
// take part), and for the button-response effect which buttons light up and with which effect.
// A click changes the settings in memory; Apply writes them. A control the effect does not
// offer does nothing.
#include <QObject>

#include "gui/pages/window_page.h"

namespace quillet {

class LightingPage : public QObject, public WindowPage {
  Q_OBJECT

 public:
  explicit LightingPage(PageContext& context);

  void paintState(WindowPainter& painter, const HoverIndexes& hover) const override;
  void paintLabels(WindowPainter& painter, const HoverIndexes& hover) const override;
  void leave() override;
  void press(QPoint pos, std::int32_t common, std::int32_t own) override;
  void drag(int x) override;
  void endDrags() override;
  void setBusy(bool busy) override;

  // The commands, as the regions run them.
  void pickUserColour(int colour);
  void openEffectList();
  void openResponseList(int button);

 private:
  bool dragPeriod_ = false;
  bool dragBrightness_ = false;
};

}  // namespace quillet
