#include "core/skin/window_rules.h"

namespace quillet {

HoverIndexes hoverAt(const SkinLayouts& layouts, std::uint8_t page, std::int32_t x, std::int32_t y) {
  HoverIndexes h;
  const std::size_t mainLast = page == pageNumber(Page::Main) ? kMainRegionCount - 1 : kFrameRegionCount - 1;
  h.main = hitTest(layouts.main, x, y, mainLast);
  h.lighting = hitTest(layouts.lighting, x, y, kLightingActiveRegionCount - 1);
  h.advanced = hitTest(layouts.advanced, x, y, kAdvancedRegionCount - 1);
  h.macro = hitTest(layouts.macro, x, y, kMacroRegionCount - 1);
  return h;
}

RepaintArea hoverRepaintArea(std::uint8_t page) {
  if (page == pageNumber(Page::Macro)) {
    return RepaintArea::MacroPage;
  }
  if (page == pageNumber(Page::Advanced)) {
    return RepaintArea::AdvancedPage;
  }
  return RepaintArea::Window;
}

std::int32_t speedSliderValue(std::int32_t d, std::int32_t width) {
  if (width <= 0) {
    return 0;
  }
  std::int32_t v = static_cast<std::int32_t>(static_cast<std::int64_t>(d) * 10 / width);
  if (v == 9 && d >= width * 9 / 10 + width / 20) {
    v = 10;
  }
  return v > 10 ? 10 : v;
}

std::int32_t fireTimeSliderValue(std::int32_t d, std::int32_t width) {
  if (width <= 0) {
    return 0;
  }
  std::int32_t v = static_cast<std::int32_t>(static_cast<std::int64_t>(d) * 300 / width);
  if (v > 297 && d >= width * 298 / 300) {
    v = 300;
  }
  // Past the slider's end the value stays at its maximum.
  return v > 300 ? 300 : v;
}

std::string buttonFunctionName(ButtonFunction code, const NameTables& names, const MacroNameTable& macroNames) {
  if (code >= 0 && code < kFunctionNameCount) {
    return names.functionNames[static_cast<std::size_t>(code)];
  }
  if (function_code::isLibraryMacro(code)) {
    const std::int32_t group = function_code::macroGroup(code) - 1;
    const std::int32_t macro = function_code::macroIndex(code);
    if (group >= 0 && group < static_cast<std::int32_t>(macroNames.groups.size())) {
      const MacroNameTable::Group& g = macroNames.groups[static_cast<std::size_t>(group)];
      if (macro >= 0 && macro < g.count) {
        return g.names[static_cast<std::size_t>(macro)];
      }
    }
  }
  return {};
}

namespace {
constexpr std::array<TrayMenuItem, 2> kTrayMenuEn{{
    {tray_command::kShowWindowEn, "Show Window", TrayAction::ShowWindow},
    {tray_command::kExitEn, "Exit Driver", TrayAction::Exit},
}};
constexpr std::array<TrayMenuItem, 2> kTrayMenuCn{{
    {tray_command::kShowWindowCn, "显示窗口   ", TrayAction::ShowWindow},
    {tray_command::kExitCn, "关闭驱动", TrayAction::Exit},
}};
}  // namespace

TrayMenu trayMenu(Language language) {
  if (language != kChinese) {
    return {"Menu_Tray", kTrayMenuEn};
  }
  return {"托盘菜单", kTrayMenuCn};
}

TrayAction trayAction(int command) {
  for (const auto* table : {&kTrayMenuEn, &kTrayMenuCn}) {
    for (const TrayMenuItem& item : *table) {
      if (item.command == command) {
        return item.action;
      }
    }
  }
  return TrayAction::None;
}

}  // namespace quillet
