#pragma once
// The main window's rules that need no display: which region of each layer is under the
// pointer, what a hover change repaints, the slider values, the frame's command regions, the
// name a mouse button is shown under and the tray menu of each language.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/macro/group_list.h"
#include "core/settings/app_state.h"
#include "core/settings/button_function.h"
#include "core/skin/skin_layout.h"

namespace quillet {

enum class Page : std::uint8_t { Main = 0, Advanced = 1, Macro = 2, Lighting = 3 };
constexpr std::uint8_t pageNumber(Page p) { return static_cast<std::uint8_t>(p); }

// Regions of the main layout that every page shows (the common frame) and the main page's own.
namespace frame_region {
constexpr std::int32_t kMinimize = 0;   // minimise to the notification area
constexpr std::int32_t kClose = 1;      // minimise to the notification area, then shut down
constexpr std::int32_t kHideToTray = 2;
constexpr std::int32_t kApply = 3;
constexpr std::int32_t kChinese = 4;
constexpr std::int32_t kEnglish = 5;
constexpr std::int32_t kFirstTab = 6;  // 6 main, 7 advanced, 8 macro, 9 lighting
constexpr std::int32_t kLastTab = 9;
constexpr std::int32_t kLast = 10;
constexpr std::int32_t kProfile = 11;
constexpr std::int32_t kImport = 12;   // the settings file's import, export and factory reset
constexpr std::int32_t kExport = 13;
constexpr std::int32_t kReset = 14;
constexpr std::int32_t kSupportSite = 19;
constexpr std::int32_t kFirstButton = 20;  // 20..27: the eight mouse buttons
constexpr std::int32_t kLastButton = 27;
}  // namespace frame_region

constexpr std::int32_t tabOfPage(std::uint8_t page) { return frame_region::kFirstTab + page; }

// Regions of the advanced layout with a slider.
namespace advanced_region {
constexpr std::int32_t kPointerSpeed = 1;
constexpr std::int32_t kWheelSpeed = 18;
constexpr std::int32_t kFireTime = 31;
constexpr std::int32_t kFirstDpiColor = 41;
constexpr std::int32_t kFirstDpiEnable = 47;
constexpr std::int32_t kFirstDpiSelect = 60;
constexpr std::int32_t kFirstDpiStep = 66;
constexpr std::int32_t kLastDpiStep = 137;
}  // namespace advanced_region

// Regions of the macro layout with a command.
namespace macro_region {
constexpr std::int32_t kGroupPopup = 1;
constexpr std::int32_t kNewGroup = 2;
constexpr std::int32_t kDeleteGroup = 3;
constexpr std::int32_t kLibraryMenu = 4;  // import, export, restore the factory set
constexpr std::int32_t kRecord = 5;
constexpr std::int32_t kNewMacro = 6;
constexpr std::int32_t kDeleteMacro = 7;
// The play modes (macro_record.h says what each plays).
constexpr std::int32_t kWhileHeld = 10;  // mode 2
constexpr std::int32_t kToggle = 11;     // mode 1
constexpr std::int32_t kLoopCount = 12;  // mode 0, with the loop-count box
}  // namespace macro_region

// The region that shows play mode `mode` (bits 0-1 of a play-mode byte) chosen; kNoRegion for
// mode 3, which no region sets.
constexpr std::int32_t playModeRegion(std::uint8_t mode) {
  switch (mode & 0x03) {
    case 0:
      return macro_region::kLoopCount;
    case 1:
      return macro_region::kToggle;
    case 2:
      return macro_region::kWhileHeld;
    default:
      return kNoRegion;
  }
}

// The region of each layer under the pointer, kNoRegion for none.
struct HoverIndexes {
  std::int32_t main = kNoRegion;
  std::int32_t advanced = kNoRegion;
  std::int32_t macro = kNoRegion;
  std::int32_t lighting = kNoRegion;
  friend bool operator==(const HoverIndexes&, const HoverIndexes&) = default;
};

// All four hit tests, whatever page is shown: the main layout over 0..27 on the main page and
// over the frame 0..10 elsewhere, lighting 0..70, advanced 0..137, macro 0..19.
HoverIndexes hoverAt(const SkinLayouts& layouts, std::uint8_t page, std::int32_t x, std::int32_t y);

// What a hover change repaints: the page's repaint region on the macro and advanced pages (so
// that their child controls are left alone), the whole window elsewhere.
enum class RepaintArea : std::uint8_t { Window, MacroPage, AdvancedPage };
RepaintArea hoverRepaintArea(std::uint8_t page);

// The pointer-speed and wheel-speed sliders: d pixels into a slider `width` wide gives
// d × 10 / width, where 9 becomes 10 from width × 9 / 10 + width / 20 on, and never above 10.
// A press measures d from 14 pixels left of the slider (the knob's reach), a drag from its edge.
std::int32_t speedSliderValue(std::int32_t d, std::int32_t width);
// The fire-time slider: d × 300 / width, where a value above 297 becomes 300 from
// width × 298 / 300 on. A press measures d from 4 pixels left of the slider.
std::int32_t fireTimeSliderValue(std::int32_t d, std::int32_t width);

constexpr std::int32_t kSpeedPressReach = 14;
constexpr std::int32_t kFireTimePressReach = 4;

// d for a pointer at x over a slider at sliderX: max(0, x - sliderX + reach).
constexpr std::int32_t sliderOffset(std::int32_t x, std::int32_t sliderX, std::int32_t reach) {
  const std::int32_t d = x - sliderX + reach;
  return d < 0 ? 0 : d;
}

// The name a mouse button is shown under on the main page: the skin's FUN_STRING name for a code
// below 48, the macro's name for a library macro (group and macro of the code), else nothing.
std::string buttonFunctionName(ButtonFunction code, const NameTables& names, const MacroNameTable& macroNames);

// The notification-area icon and its menu.
constexpr std::uint32_t kTrayIconId = 153;
inline constexpr const char* kTrayTipAdded = "K736 Gaming mouse";
inline constexpr const char* kTrayTipRemoved = "Quillet";

namespace tray_command {
constexpr int kShowWindowEn = 32801;
constexpr int kExitEn = 32800;
constexpr int kShowWindowCn = 32837;
constexpr int kExitCn = 32838;
}  // namespace tray_command

enum class TrayAction : std::uint8_t { None, ShowWindow, Exit };

struct TrayMenuItem {
  int command;
  const char* text;
  TrayAction action;
};

struct TrayMenu {
  const char* title;
  std::span<const TrayMenuItem> items;
};

// The tray menu of `language`: "Show Window" 32801 and "Exit Driver" 32800 in English,
// "显示窗口   " 32837 and "关闭驱动" 32838 in Chinese.
TrayMenu trayMenu(Language language);
// What a tray menu command does, in either language.
TrayAction trayAction(int command);

}  // namespace quillet
