#include "core/skin/lighting_rules.h"

#include <algorithm>

#include "core/settings/name_tables.h"

namespace quillet {

namespace {

namespace lr = lighting_region;

constexpr std::uint16_t effects(std::initializer_list<int> modes) {
  std::uint16_t mask = 0;
  for (const int m : modes) {
    mask = static_cast<std::uint16_t>(mask | (1U << m));
  }
  return mask;
}

// By LightingControl: the effects in which a click on the control acts.
constexpr std::array<std::uint16_t, 5> kOfferedIn{
    effects({1, 3, 4, 5, 8}),           // swatches
    effects({2, 3, 4, 5, 8}),           // brightness
    effects({0, 1, 3, 4, 5, 6, 7, 8}),  // period
    effects({3}),                       // the fourth direction
    effects({8}),                       // the buttons' response effects
};

// By effect: the regions covered with the blanked picture, and the regions without a label.
constexpr std::array<std::array<std::int32_t, 6>, kLedModeCount> kBlanked{{
    {50, 71, 72, 74, 75},
    {50, 71, 72, 74},
    {50, 71, 73, 74, 75},
    {71},
    {50, 71},
    {50, 71},
    {71, 72, 74, 75},
    {49, 50, 71, 72, 75},
    {50},
    {50, 71, 72, 73, 74, 75},
}};
constexpr std::array<std::size_t, kLedModeCount> kBlankedCount{5, 4, 5, 1, 2, 2, 4, 5, 1, 6};

constexpr std::array<std::array<std::int32_t, 8>, kLedModeCount> kEmptied{{
    {15, 30, 31, 32, 33, 34, 38},
    {30, 31, 32, 33, 34, 38},
    {15, 30, 31, 32, 33, 34, 39},
    {},
    {34},
    {34},
    {15, 30, 31, 32, 33, 34, 38},
    {15, 33, 34, 38},
    {34},
    {15, 30, 31, 32, 33, 34, 38, 39},
}};
constexpr std::array<std::size_t, kLedModeCount> kEmptiedCount{7, 6, 7, 0, 1, 1, 7, 4, 1, 8};

// Where the knob's top-left corner sits relative to the slider's filled end and top.
constexpr std::int32_t kKnobLeft = 8;
constexpr std::int32_t kKnobUp = 4;
constexpr std::int32_t kModeNameTrim = 23;  // room for the effect box's drop-down arrow
constexpr std::int32_t kSliderLabelTrim = 30;

constexpr std::int32_t kMaxPeriod = 5;
constexpr std::int32_t kMaxBrightness = 6;

std::size_t profileRow(std::int32_t profile) { return static_cast<std::size_t>(std::clamp(profile, 0, kProfileCount - 1)); }

}  // namespace

bool effectOffers(std::uint8_t mode, LightingControl control) {
  return mode < kLedModeCount && ((kOfferedIn[static_cast<std::size_t>(control)] >> mode) & 1U) != 0;
}

std::uint8_t periodSliderValue(std::int32_t d, std::int32_t width) {
  if (width <= 0) {
    return 0;
  }
  const std::int64_t v = static_cast<std::int64_t>(std::max(d, 0)) * kMaxPeriod / width;
  return static_cast<std::uint8_t>(std::min<std::int64_t>(v, kMaxPeriod));
}

std::int32_t brightnessSliderValue(std::int32_t d, std::int32_t width) {
  if (width <= 0) {
    return kMaxBrightness;
  }
  const std::int64_t c = static_cast<std::int64_t>(std::max(d, 0)) * kMaxBrightness / width;
  return static_cast<std::int32_t>(std::max<std::int64_t>(kMaxBrightness - c, 0));
}

std::span<const std::int32_t> blankedRegions(std::uint8_t mode) {
  if (mode >= kLedModeCount) {
    return {};
  }
  return std::span<const std::int32_t>(kBlanked[mode]).first(kBlankedCount[mode]);
}

std::span<const std::int32_t> emptiedLabels(std::uint8_t mode) {
  if (mode >= kLedModeCount) {
    return {};
  }
  return std::span<const std::int32_t>(kEmptied[mode]).first(kEmptiedCount[mode]);
}

std::vector<LightingPaint> lightingPaints(const LightingLayout& layout, const ProfileSettings& s, std::int32_t profile) {
  using Source = LightingPaint::Source;
  std::vector<LightingPaint> out;
  const auto region = [&](std::int32_t i) -> const SkinButton& { return layout[static_cast<std::size_t>(i)]; };
  const auto pressed = [&](std::int32_t i) { out.push_back({Source::Pressed, rectOf(region(i)), 0}); };
  // A slider's bar is pressed up to the value, the knob sits on its end; a value out of range
  // draws as the nearest end.
  const auto slider = [&](const SkinButton& r, std::int32_t filled) {
    out.push_back({Source::Pressed, {r.x, r.y, r.x + filled, r.y + r.height}, 0});
    out.push_back({Source::Knob, {r.x + filled - kKnobLeft, r.y - kKnobUp, r.x + filled - kKnobLeft, r.y - kKnobUp}, 0});
  };
  const SkinButton& brightness = region(lr::kBrightness);
  slider(brightness, (kMaxBrightness - std::clamp(s.ledBrightness, 0, kMaxBrightness)) * brightness.width / kMaxBrightness);
  const SkinButton& period = region(lr::kPeriod);
  slider(period, std::clamp<std::int32_t>(s.ledPeriod, 0, kMaxPeriod) * period.width / kMaxPeriod);

  if (s.ledSymmetry == 1) {
    pressed(lr::kSymmetry);
  }
  if (s.ledDirection >= 0 && s.ledDirection < kDirectionCount) {
    pressed(lr::kFirstDirection + s.ledDirection);
  }
  for (std::int32_t i = 0; i < kCycleColorCount; ++i) {
    if (s.cycleColorEnabled[static_cast<std::size_t>(i)] != 0) {
      pressed(lr::kFirstCycleCheck + i);
    }
  }
  const auto& reactions = s.ledReactEnabled[profileRow(profile)];
  for (std::int32_t b = 0; b < kButtonCount; ++b) {
    if (reactions[static_cast<std::size_t>(b)] != 0) {
      pressed(lr::kFirstReactEnable + b);
    }
  }
  // With user colours on, each colour taking part shows its own colour; otherwise the skin's
  // default colour of that swatch. A colour that does not take part stays idle.
  const bool userColours = s.ledUserColorEnabled == 1;
  if (userColours) {
    pressed(lr::kUserColours);
  }
  for (std::int32_t i = 0; i < kUserColorCount; ++i) {
    if (s.cycleColorEnabled[static_cast<std::size_t>(i)] == 0) {
      continue;
    }
    if (userColours) {
      out.push_back({Source::Colour, rectOf(region(lr::kFirstSwatch + i)), s.ledUserColorRef[static_cast<std::size_t>(i)]});
    } else {
      pressed(lr::kFirstSwatch + i);
    }
  }
  for (const std::int32_t r : blankedRegions(s.ledMode)) {
    out.push_back({Source::Blank, rectOf(region(r)), 0});
  }
  return out;
}

std::array<LightingLabel, kLightingRegionCount> lightingLabels(const LightingLayout& layout, const ProfileSettings& s,
                                                              const Selection& selection, const NameTables& names) {
  std::array<LightingLabel, kLightingRegionCount> out;
  for (std::size_t i = 0; i < layout.size(); ++i) {
    out[i].text = layout[i].label;
  }
  const std::uint8_t mode = s.ledMode;
  LightingLabel& name = out[lr::kMode];
  if (mode < kLedModeCount) {
    name.text = names.lightingModeNames[mode];
  }
  name.trim = kModeNameTrim;
  if (mode == kButtonResponseMode) {
    const auto& types = s.ledReactType[profileRow(selection.currentProfile)];
    const auto& labels = reactionLabels(selection.language);
    for (std::size_t b = 0; b < types.size(); ++b) {
      const std::int32_t type = types[b];
      if (type >= 0 && type < kLedReactTypeCount) {
        out[lr::kFirstReactType + b].text = std::string(labels[static_cast<std::size_t>(type)]);
      }
    }
  }
  out[lr::kBrightness].trim = kSliderLabelTrim;
  out[lr::kPeriod].trim = kSliderLabelTrim;
  if (mode != kFlowWaterMode) {
    out[lr::kFlowWaterNote].text.clear();
  }
  for (const std::int32_t r : emptiedLabels(mode)) {
    out[static_cast<std::size_t>(r)].text.clear();
  }
  return out;
}

}  // namespace quillet
