#include "gui/pages/lighting_page.h"

#include <span>

#include "core/skin/lighting_rules.h"
#include "gui/widgets/popup_menu.h"

namespace quillet {

namespace {

namespace lr = lighting_region;

constexpr std::int32_t kEffectListHeight = 360;
constexpr std::int32_t kResponseListHeight = 300;
// The response lists open 3 pixels left of their box and one pixel wider.
constexpr std::int32_t kResponseListShift = -3;
constexpr std::int32_t kResponseListWiden = 1;

bool actingRow(MenuKind kind, std::int32_t row) {
  const MenuKindSpec& spec = menuKindSpec(kind);
  return row >= spec.firstActingRow && row <= spec.lastActingRow;
}

bool within(std::int32_t region, std::int32_t first, std::int32_t count) {
  return region >= first && region < first + count;
}

// A check box drawn checked (its flag is 1) is cleared; any other value is set to 1, as the box
// showed it unchecked.
void toggle(std::int32_t& flag) { flag = flag == 1 ? 0 : 1; }

}  // namespace

LightingPage::LightingPage(PageContext& context) : WindowPage(context) {}

void LightingPage::leave() { endDrags(); }

void LightingPage::press(QPoint pos, std::int32_t common, std::int32_t own) {
  if (common != kNoRegion) {
    return;  // the frame's regions are the window's
  }
  ProfileSettings& s = context_.settings();
  const LightingLayout& layout = context_.layouts().lighting;
  const std::uint8_t mode = s.ledMode;
  const std::size_t profile = static_cast<std::size_t>(context_.app().currentProfile & 3);
  const auto slider = [&](std::int32_t region) -> const SkinButton& { return layout[static_cast<std::size_t>(region)]; };

  if (within(own, lr::kFirstSwatch, kUserColorCount)) {
    if (effectOffers(mode, LightingControl::Swatches)) {
      pickUserColour(own - lr::kFirstSwatch);
    }
    return;
  }
  if (within(own, lr::kFirstCycleCheck, kCycleColorCount)) {
    s.toggleCycleColor(own - lr::kFirstCycleCheck);  // the last colour taking part stays
  } else if (own == lr::kMode) {
    openEffectList();
  } else if (own == lr::kPeriod) {
    if (!effectOffers(mode, LightingControl::Period)) {
      return;
    }
    const SkinButton& r = slider(lr::kPeriod);
    s.ledPeriod = periodSliderValue(sliderOffset(pos.x(), r.x, -kLightingPressInset), r.width);
    dragPeriod_ = true;
  } else if (own == lr::kBrightness) {
    if (!effectOffers(mode, LightingControl::Brightness)) {
      return;
    }
    const SkinButton& r = slider(lr::kBrightness);
    s.ledBrightness = brightnessSliderValue(sliderOffset(pos.x(), r.x, -kLightingPressInset), r.width);
    dragBrightness_ = true;
  } else if (own == lr::kUserColours) {
    toggle(s.ledUserColorEnabled);
  } else if (own == lr::kSymmetry) {
    toggle(s.ledSymmetry);
  } else if (within(own, lr::kFirstDirection, kDirectionCount)) {
    const std::int32_t direction = own - lr::kFirstDirection;
    if (direction == kDirectionCount - 1 && !effectOffers(mode, LightingControl::FourthDirection)) {
      return;
    }
    s.ledDirection = direction;
  } else if (within(own, lr::kFirstReactEnable, kButtonCount)) {
    // Drawn checked whenever it is not 0.
    std::int32_t& enabled = s.ledReactEnabled[profile][static_cast<std::size_t>(own - lr::kFirstReactEnable)];
    enabled = enabled != 0 ? 0 : 1;
  } else if (within(own, lr::kFirstReactType, kButtonCount)) {
    if (effectOffers(mode, LightingControl::ResponseEffects)) {
      openResponseList(own - lr::kFirstReactType);
    }
    return;
  } else {
    return;  // a label, or nothing
  }
  context_.scheduleRepaint();
}

void LightingPage::drag(int x) {
  if (!dragPeriod_ && !dragBrightness_) {
    return;
  }
  ProfileSettings& s = context_.settings();
  const LightingLayout& layout = context_.layouts().lighting;
  bool changed = false;
  // The page is repainted only when a value changes: a slider has six or seven positions, so a
  // drag across it paints a handful of times, however fast the pointer reports.
  if (dragPeriod_) {
    const SkinButton& r = layout[lr::kPeriod];
    const std::uint8_t v = periodSliderValue(sliderOffset(x, r.x, 0), r.width);
    changed = changed || v != s.ledPeriod;
    s.ledPeriod = v;
  }
  if (dragBrightness_) {
    const SkinButton& r = layout[lr::kBrightness];
    const std::int32_t v = brightnessSliderValue(sliderOffset(x, r.x, 0), r.width);
    changed = changed || v != s.ledBrightness;
    s.ledBrightness = v;
  }
  if (changed) {
    context_.scheduleRepaint();
  }
}

void LightingPage::endDrags() { dragPeriod_ = dragBrightness_ = false; }

void LightingPage::setBusy(bool) { endDrags(); }

void LightingPage::pickUserColour(int colour) {
  ProfileSettings& s = context_.settings();
  // Only a colour that shows as itself can be changed: user colours on, the colour taking part.
  if (s.ledUserColorEnabled != 1 || s.cycleColorEnabled[static_cast<std::size_t>(colour)] == 0) {
    return;
  }
  if (const std::optional<ColorRef> picked = context_.dialogs().pickColor(&context_.widget())) {
    s.setUserColor(colour, *picked);
  }
  context_.scheduleRepaint();
}

void LightingPage::openEffectList() {
  const SkinButton& region = context_.layouts().lighting[lr::kMode];
  const QPoint origin = context_.screenOrigin();
  const AppState& app = context_.app();
  CMenuDlg* menu = context_.popups().openMenu(MenuKind::LightingMode,
                                             menuBelow(origin.x(), origin.y(), region, 0, 0, kEffectListHeight),
                                             context_.pictures(), context_.uiFont(), textRows(app.lightingModeNames));
  context_.popupOpened();
  connect(menu, &SkinPopup::released, this, [this](std::int32_t row) {
    if (!actingRow(MenuKind::LightingMode, row)) {
      return;  // the list stays open
    }
    context_.settings().ledMode = static_cast<std::uint8_t>(row - 1);
    context_.popups().closeAll();
    context_.scheduleRepaint();
  });
}

void LightingPage::openResponseList(int button) {
  const SkinButton& region = context_.layouts().lighting[static_cast<std::size_t>(lr::kFirstReactType + button)];
  const QPoint origin = context_.screenOrigin();
  const AppState& app = context_.app();
  CMenuDlg* menu = context_.popups().openMenu(
      MenuKind::ReactionEffect,
      menuBelow(origin.x(), origin.y(), region, kResponseListShift, kResponseListWiden, kResponseListHeight),
      context_.pictures(), context_.uiFont(), textRows(app.reactionNames));
  context_.popupOpened();
  connect(menu, &SkinPopup::released, this, [this, button](std::int32_t row) {
    if (!actingRow(MenuKind::ReactionEffect, row)) {
      return;
    }
    // The row of the profile shown when the choice is made.
    const auto profile = static_cast<std::size_t>(context_.app().currentProfile & 3);
    context_.settings().ledReactType[profile][static_cast<std::size_t>(button)] = row - 1;
    context_.popups().closeAll();
    context_.scheduleRepaint();
  });
}

// ---- drawing ----

void LightingPage::paintState(WindowPainter& painter, const HoverIndexes& hover) const {
  const LightingLayout& layout = context_.layouts().lighting;
  if (hover.lighting != kNoRegion) {
    painter.copyOver(layout[static_cast<std::size_t>(hover.lighting)]);
  }
  using Source = LightingPaint::Source;
  for (const LightingPaint& p : lightingPaints(layout, context_.settings(), context_.app().currentProfile)) {
    const QRect area(p.area.left, p.area.top, p.area.width(), p.area.height());
    switch (p.source) {
      case Source::Pressed:
        painter.copyFrom(PageState::Down, area);
        break;
      case Source::Blank:
        painter.copy(painter.pictures().picture(Picture::LightingBlank, painter.ratio()), area);
        break;
      case Source::Colour:
        painter.fill(area, colorOf(p.colour));
        break;
      case Source::Knob:
        painter.image(area.topLeft(), painter.pictures().picture(Picture::Knob, painter.ratio()));
        break;
    }
  }
}

void LightingPage::paintLabels(WindowPainter& painter, const HoverIndexes&) const {
  const LightingLayout& layout = context_.layouts().lighting;
  const auto texts = lightingLabels(layout, context_.settings(), context_.app(), context_.app());
  for (std::size_t i = 0; i < layout.size(); ++i) {
    painter.label(layout[i], texts[i].text, kLabelWhite, texts[i].trim);
  }
}

}  // namespace quillet
