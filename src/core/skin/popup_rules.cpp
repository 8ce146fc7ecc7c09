#include "core/skin/popup_rules.h"

#include <algorithm>

namespace quillet {

namespace {

using Set = PopupPictureSet;

// Kind by kind: pictures, row divisor, rows, highlight, text, acting rows.
constexpr std::array<MenuKindSpec, kMenuKindCount> kKinds{{
    {Set::Menu, 10, 4, true, RowText::LeftOfCentre, 1, 4},                  // profiles
    {Set::FunctionMenu, 15, kFunctionMenuRows, true, RowText::Centred, 1, kLastBasicFunctionRow},
    {Set::Menu, 15, 0, true, RowText::Centred, 1, 10},                      // macro groups
    {Set::LibraryMenu, 3, 3, true, RowText::Centred, 1, 3},                 // import, export, reset
    {Set::Menu, 15, 10, true, RowText::Centred, 1, 10},                     // lighting effects
    {Set::Menu, 15, 4, true, RowText::CentredIn115, 1, 4},                  // key-reaction effects
    {Set::Menu, 15, 5, false, RowText::Centred, 1, 10},                     // lighting-step effect
    {Set::Menu, 15, 7, false, RowText::ColourFill, 1, 7},                   // lighting-step colour
}};

// Device functions 11..21, then the hold function; multimedia keys; built-in macros.
constexpr std::array<FunctionChoice, 12> kDeviceFunctions{{{11, 11},
                                                           {12, 12},
                                                           {13, 13},
                                                           {14, 14},
                                                           {15, 15},
                                                           {16, 16},
                                                           {17, 17},
                                                           {18, 18},
                                                           {19, 19},
                                                           {20, 20},
                                                           {21, 21},
                                                           {40, function_code::kHold}}};
constexpr std::array<FunctionChoice, 10> kMultimedia{
    {{22, 22}, {23, 23}, {24, 24}, {25, 25}, {26, 26}, {27, 27}, {28, 28}, {29, 29}, {30, 30}, {31, 31}}};
constexpr std::array<FunctionChoice, 8> kBuiltinMacros{
    {{32, 32}, {33, 33}, {34, 34}, {35, 35}, {36, 36}, {37, 37}, {38, 38}, {39, 39}}};

}  // namespace

const PopupPictureFiles& popupPictureFiles(PopupPictureSet set) {
  switch (set) {
    case Set::FunctionMenu:
      return kFunctionMenuPictures;
    case Set::LibraryMenu:
      return kLibraryMenuPictures;
    case Set::Menu:
      break;
  }
  return kMenuPictures;
}

const MenuKindSpec& menuKindSpec(MenuKind kind) {
  const auto i = static_cast<std::size_t>(kind);
  return kKinds[i < kKinds.size() ? i : 0];
}

ScreenRect menuBelow(std::int32_t windowX, std::int32_t windowY, const SkinButton& region, std::int32_t dx,
                     std::int32_t dw, std::int32_t height) {
  return {windowX + region.x + dx, windowY + region.y + region.height, region.width + dw, height};
}

ScreenRect visiblePopup(const ScreenRect& placement, std::int32_t pictureWidth, std::int32_t rowHeight, int rows) {
  const std::int32_t shapeHeight = std::max(0, rows) * std::max(0, rowHeight);
  return {placement.x, placement.y, std::clamp(pictureWidth, 0, std::max(0, placement.width)),
          std::clamp(shapeHeight, 0, std::max(0, placement.height))};
}

ScreenRect keepOnScreen(const ScreenRect& popup, const ScreenRect& screen, std::optional<std::int32_t> leftOfParent) {
  ScreenRect r = popup;
  if (leftOfParent && r.x + r.width > screen.x + screen.width && *leftOfParent - r.width >= screen.x) {
    r.x = *leftOfParent - r.width;
  }
  r.x = std::min(r.x, screen.x + screen.width - r.width);
  r.y = std::min(r.y, screen.y + screen.height - r.height);
  r.x = std::max(r.x, screen.x);
  r.y = std::max(r.y, screen.y);
  return r;
}

std::int32_t popupRowAt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t rowHeight, int rows) {
  if (rowHeight <= 0 || x < 0 || x >= width || y < 0) {
    return kNoRegion;
  }
  const std::int32_t row = y / rowHeight + 1;
  return row <= rows ? row : kNoRegion;
}

std::optional<FunctionSubMenu> functionSubMenu(int row) {
  switch (row) {
    case 7:
      return FunctionSubMenu{row, kDeviceFunctions, false};
    case 8:
      return FunctionSubMenu{row, kMultimedia, false};
    case kMacroSubMenuRow:
      return FunctionSubMenu{row, {}, true};
    case 10:
      return FunctionSubMenu{row, kBuiltinMacros, false};
    default:
      return std::nullopt;
  }
}

std::int32_t functionSubMenuRowOffset(int row, int groupCount) {
  switch (row) {
    case 7:
      return 1;
    case 8:
      return -2;
    case kMacroSubMenuRow:
      return 9 - groupCount;
    default:
      return 2;
  }
}

}  // namespace quillet
