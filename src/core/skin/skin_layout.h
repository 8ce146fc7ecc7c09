#pragma once
// The skin layouts: per window layer a fixed array of numbered regions read from the layer's
// layout file, the name tables of the main layout's file, and the hit test.
//
// Files, under the skin folder, by language (English: INI_EN/…_en.ini, Chinese: INI_CN/…):
//   main page and common frame  skin_main      BUTTONPOS 0..27, FUN_STRING 1..47
//   advanced page               skin_advance   BUTTONPOS 0..137
//   macro page                  skin_mac       BUTTONPOS 0..19, EDIT 0..2, MACRODISPLAY 1..3
//   lighting page               skin_color     BUTTONPOS 0..102
//   warning dialog              LBWarning      BUTTONPOS 0..2
//   survey form                 skin_Login     BUTTONPOS 0..10 (read by the form itself)
// Pictures are shared by both languages; only labels and names differ.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "core/io/messages.h"
#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"
#include "core/skin/skin_value.h"

namespace quillet {

// "No region" (and "no row") throughout the user interface.
constexpr std::int32_t kNoRegion = 255;

constexpr std::size_t kMainRegionCount = 28;
constexpr std::size_t kFrameRegionCount = 11;  // regions 0..10 of the main layout, on every page
constexpr std::size_t kAdvancedRegionCount = 138;
constexpr std::size_t kMacroRegionCount = 20;
constexpr std::size_t kLightingRegionCount = 103;
constexpr std::size_t kLightingActiveRegionCount = 71;  // 71..102 are drawing areas only
constexpr std::size_t kWarningRegionCount = 3;
constexpr std::size_t kSurveyRegionCount = 11;
constexpr std::size_t kMacroControlCount = 6;
constexpr int kFirstProfileFunction = 18;  // FUN_STRING 18..21 double as the profile names

// One region of a layer: a rectangle in window coordinates and the text drawn in it. A region
// whose key is absent is all zero and contains no point.
struct SkinButton {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::string label;

  // Left and top edges inside, right and bottom edges outside.
  constexpr bool contains(std::int32_t px, std::int32_t py) const {
    return px >= x && py >= y && static_cast<std::int64_t>(px) < static_cast<std::int64_t>(x) + width &&
           static_cast<std::int64_t>(py) < static_cast<std::int64_t>(y) + height;
  }
};

// A window layer's regions, indexed by region number.
template <std::size_t N>
using SkinLayout = std::array<SkinButton, N>;

// A rectangle as (left, top, right, bottom), right and bottom outside.
struct SkinRect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  constexpr std::int32_t width() const { return right - left; }
  constexpr std::int32_t height() const { return bottom - top; }
  friend constexpr bool operator==(const SkinRect&, const SkinRect&) = default;
};

constexpr SkinRect rectOf(const SkinButton& b) { return {b.x, b.y, b.x + b.width, b.y + b.height}; }

// The lowest region number i in 0..last whose rectangle contains (px, py), or kNoRegion. `last`
// beyond the layout is limited to it. The values of `last`: main layout 27 on the main page and 10
// on the other pages (the common frame), advanced 137, macro 19, lighting 70.
std::int32_t hitTest(std::span<const SkinButton> layout, std::int32_t px, std::int32_t py, std::size_t last);

// The child controls of the macro page, in the order of macroControlRects: EDIT 0..2, then
// MACRODISPLAY 1..3.
enum class MacroControl : std::uint8_t {
  GroupNameEdit,   // EDIT 0, control 10006, at most 20 characters
  MacroNameEdit,   // EDIT 1, control 10000, at most 9 characters
  LoopCountEdit,   // EDIT 2, control 10004
  MacroList,       // MACRODISPLAY 1, control 10001
  StepList,        // MACRODISPLAY 2, control 10002
  LedList,         // MACRODISPLAY 3, control 10007
};

// Everything loadSkinLayouts fills besides AppState::functionNames. Owned by the main window for
// its whole life; a reload overwrites it in place. Read-only between loads.
struct SkinLayouts {
  SkinLayout<kMainRegionCount> main{};
  SkinLayout<kAdvancedRegionCount> advanced{};
  SkinLayout<kMacroRegionCount> macro{};
  SkinLayout<kLightingRegionCount> lighting{};
  SkinLayout<kWarningRegionCount> warning{};
  // Profile p (0-based) is shown under profileNames[p]: copies of FUN_STRING 18..21.
  std::array<std::string, kProfileCount> profileNames{};
  std::array<SkinRect, kMacroControlCount> macroControlRects{};

  const SkinRect& macroControlRect(MacroControl c) const {
    return macroControlRects[static_cast<std::size_t>(c)];
  }
};

enum class SkinFile : std::uint8_t { Main, Advanced, Macro, Lighting, Warning, Survey };

// The layout file of `file` for `language` under `skinFolder`.
std::filesystem::path skinLayoutPath(const std::filesystem::path& skinFolder, Language language, SkinFile file);

// Reads BUTTONPOS keys 0..layout.size() - 1 of `file` into `layout`, one read per key.
void readSkinLayout(const std::filesystem::path& file, std::span<SkinButton> layout, SkinReadReport& report);

// One region from a cut value: fields 1..4 are x, y, width, height, field 5 the label.
SkinButton skinButtonFrom(const SkinValue& value);

// The main window's load, for app.language from app.skinFolder: the main layout (then
// FUN_STRING 1..47 into app.functionNames, then the profile names), the lighting, advanced and
// macro layouts (then the six macro control rectangles). loadWarningLayout reads the warning
// dialog's layout; start-up and the language switch call it after the lighting mode names are
// set. loadSkinLayouts does both in that order, for callers that have nothing in between.
//
// Problems go to `report` (see SkinReadReport). Returns false once the report has seen a missing
// layout file: the window then closes (the report's onMissingFile has already run). The caller
// repaints.
bool loadPageLayouts(AppState& app, SkinLayouts& layouts, SkinReadReport& report);
bool loadWarningLayout(const AppState& app, SkinLayouts& layouts, SkinReadReport& report);
bool loadSkinLayouts(AppState& app, SkinLayouts& layouts, SkinReadReport& report);

}  // namespace quillet
