#pragma once
// The lighting page's rules that need no display: its regions, which controls each lighting
// effect offers, the brightness and period sliders, and what the page draws over its idle
// picture (pressed parts, colour swatches, slider knobs, the blanked controls an effect does not
// use) with the labels it writes.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"
#include "core/skin/skin_layout.h"

namespace quillet {

using LightingLayout = SkinLayout<kLightingRegionCount>;

// Regions of the lighting layout with a command or a state of their own.
namespace lighting_region {
constexpr std::int32_t kFirstSwatch = 0;        // 0..6: user colour 0..6, opens the colour dialog
constexpr std::int32_t kFirstCycleCheck = 7;    // 7..13: user colour 0..6 takes part
constexpr std::int32_t kUserColours = 14;       // user colours on
constexpr std::int32_t kMode = 35;              // the effect; opens the effect list
constexpr std::int32_t kBrightness = 40;        // brightness slider
constexpr std::int32_t kPeriod = 41;            // period (speed) slider
constexpr std::int32_t kSymmetry = 45;
constexpr std::int32_t kFirstDirection = 47;    // 47..50: direction 0..3
constexpr std::int32_t kFirstReactEnable = 51;  // 51..58: button 0..7 lights up when pressed
constexpr std::int32_t kFirstReactType = 61;    // 61..68: button 0..7's response effect; opens its list
constexpr std::int32_t kFlowWaterNote = 98;     // a note shown with "Flow water" only
}  // namespace lighting_region

constexpr std::int32_t kDirectionCount = 4;
constexpr std::uint8_t kButtonResponseMode = 8;
constexpr std::uint8_t kFlowWaterMode = 3;

// The controls that only some effects offer. Every other control of the page works in every
// effect.
enum class LightingControl : std::uint8_t {
  Swatches,         // 0..6 (and then only with user colours on and the colour taking part)
  Brightness,       // 40: effects 2, 3, 4, 5, 8
  Period,           // 41: every effect but 2 and 9
  FourthDirection,  // 50: effect 3
  ResponseEffects,  // 61..68: effect 8
};

// True when a click on `control` acts in effect `mode`; an effect outside 0..9 offers none of
// them.
bool effectOffers(std::uint8_t mode, LightingControl control);

// A press on a lighting slider measures from 14 pixels right of the slider's left edge, a drag
// from the edge itself: d = sliderOffset(x, slider x, -kLightingPressInset) or (..., 0) (window_rules.h).
constexpr std::int32_t kLightingPressInset = 14;

// The period d pixels into a slider `width` wide: d × 5 / width, at most 5 (0 for a slider
// without width).
std::uint8_t periodSliderValue(std::int32_t d, std::int32_t width);
// The brightness d pixels into a slider `width` wide: 6 - d × 6 / width, at least 0 (the full
// bar is brightness 0). 6 for a slider without width.
std::int32_t brightnessSliderValue(std::int32_t d, std::int32_t width);

// The regions effect `mode` covers with the blanked picture, and the regions whose label it
// empties (none for an effect outside 0..9).
std::span<const std::int32_t> blankedRegions(std::uint8_t mode);
std::span<const std::int32_t> emptiedLabels(std::uint8_t mode);

// One step of the page's state drawing, in drawing order.
struct LightingPaint {
  enum class Source : std::uint8_t {
    Pressed,  // copy `area` from the page's pressed picture
    Blank,    // copy `area` from the blanked picture
    Colour,   // fill `area` with `colour`
    Knob,     // the slider knob with its top-left corner at (area.left, area.top)
  };
  Source source = Source::Pressed;
  SkinRect area;
  ColorRef colour = 0;
  friend bool operator==(const LightingPaint&, const LightingPaint&) = default;
};

// What the page draws over its idle picture (after the hovered region) for these settings and
// profile `profile`'s key-reaction row: the sliders with their knobs, symmetry, direction, the
// colours taking part and their swatches, the buttons that light up, then the blanking of the
// controls the effect does not use.
std::vector<LightingPaint> lightingPaints(const LightingLayout& layout, const ProfileSettings& s, std::int32_t profile);

// A region's label as the page writes it: the text, centred in the region's width less `trim`.
struct LightingLabel {
  std::string text;
  std::int32_t trim = 0;
  friend bool operator==(const LightingLabel&, const LightingLabel&) = default;
};

// The labels of all regions: each region's own, except the effect's name in region 35, the
// response effects' names in 61..68 with effect 8, the note 98 only with effect 3, and the
// labels the effect empties. Names in app.language (the effect names from app's table).
std::array<LightingLabel, kLightingRegionCount> lightingLabels(const LightingLayout& layout, const ProfileSettings& s,
                                                              const Selection& selection, const NameTables& names);

}  // namespace quillet
