#include "core/skin/window_rules.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(SliderValues, SpeedRoundsUpNearTheEndAndStopsAtTen) {
  // A 100-pixel slider: a press at its left edge reaches 14 pixels in.
  EXPECT_EQ(speedSliderValue(sliderOffset(0, 0, kSpeedPressReach), 100), 1);
  EXPECT_EQ(speedSliderValue(sliderOffset(76, 0, kSpeedPressReach), 100), 9);
  EXPECT_EQ(speedSliderValue(sliderOffset(81, 0, kSpeedPressReach), 100), 10) << "81 + 14 reaches 90 + 5";
  EXPECT_EQ(speedSliderValue(sliderOffset(100, 0, kSpeedPressReach), 100), 10);
  EXPECT_EQ(speedSliderValue(sliderOffset(400, 0, 0), 100), 10) << "a drag beyond the end";
  EXPECT_EQ(speedSliderValue(sliderOffset(-30, 0, 0), 100), 0) << "a drag left of the slider";
  EXPECT_EQ(speedSliderValue(94, 100), 9);
  EXPECT_EQ(speedSliderValue(5, 0), 0) << "an empty slider region";
}

TEST(SliderValues, FireTimeReachesExactlyThreeHundred) {
  EXPECT_EQ(fireTimeSliderValue(sliderOffset(0, 0, kFireTimePressReach), 300), 4);
  EXPECT_EQ(fireTimeSliderValue(297, 300), 297);
  EXPECT_EQ(fireTimeSliderValue(298, 300), 300) << "above 297 and at 298 of 300: the end";
  EXPECT_EQ(fireTimeSliderValue(1000, 226), 300);
  EXPECT_EQ(fireTimeSliderValue(0, 226), 0);
}

TEST(Hover, AllFourLayersOnEveryPageAndTheMainPageOnlyOnItsPage) {
  SkinLayouts l;
  l.main[3] = {10, 10, 20, 20, "Apply"};
  l.main[15] = {100, 100, 50, 50, "Caption"};
  l.advanced[1] = {100, 100, 50, 10, ""};
  l.macro[2] = {120, 120, 5, 5, ""};
  l.lighting[80] = {100, 100, 50, 50, ""};  // a drawing area never hovers
  EXPECT_EQ(hoverAt(l, 0, 110, 105), (HoverIndexes{15, 1, kNoRegion, kNoRegion}));
  EXPECT_EQ(hoverAt(l, 2, 121, 121), (HoverIndexes{kNoRegion, kNoRegion, 2, kNoRegion}))
      << "main region 15 is not hit away from the main page";
  EXPECT_EQ(hoverAt(l, 1, 10, 10).main, 3);
  EXPECT_EQ(hoverAt(l, 1, 30, 30).main, kNoRegion) << "right and bottom edges are outside";
  EXPECT_EQ(hoverRepaintArea(1), RepaintArea::AdvancedPage);
  EXPECT_EQ(hoverRepaintArea(2), RepaintArea::MacroPage);
  EXPECT_EQ(hoverRepaintArea(0), RepaintArea::Window);
  EXPECT_EQ(hoverRepaintArea(3), RepaintArea::Window);
}

TEST(ButtonNames, FunctionNamesAndLibraryMacros) {
  AppState app;
  app.functionNames[1] = "Left click";
  app.functionNames[47] = "Last";
  MacroNameTable names;
  names.groups[1].count = 2;
  names.groups[1].names[1] = "Reload";
  EXPECT_EQ(buttonFunctionName(1, app, names), "Left click");
  EXPECT_EQ(buttonFunctionName(47, app, names), "Last");
  EXPECT_EQ(buttonFunctionName(function_code::libraryMacro(2, 1), app, names), "Reload");
  EXPECT_EQ(buttonFunctionName(function_code::libraryMacro(2, 2), app, names), "") << "beyond the group's macros";
  EXPECT_EQ(buttonFunctionName(100, app, names), "");
  EXPECT_EQ(buttonFunctionName(-1, app, names), "");
}

TEST(TrayMenu, CommandsAndTextsInBothLanguages) {
  const TrayMenu en = trayMenu(kEnglish);
  ASSERT_EQ(en.items.size(), 2u);
  EXPECT_STREQ(en.title, "Menu_Tray");
  EXPECT_EQ(en.items[0].command, 32801);
  EXPECT_STREQ(en.items[0].text, "Show Window");
  EXPECT_EQ(en.items[1].command, 32800);
  EXPECT_STREQ(en.items[1].text, "Exit Driver");
  const TrayMenu cn = trayMenu(kChinese);
  EXPECT_STREQ(cn.title, "托盘菜单");
  EXPECT_EQ(cn.items[0].command, 32837);
  EXPECT_STREQ(cn.items[0].text, "显示窗口   ");
  EXPECT_EQ(cn.items[1].command, 32838);
  EXPECT_STREQ(cn.items[1].text, "关闭驱动");
  EXPECT_EQ(trayAction(32838), TrayAction::Exit);
  EXPECT_EQ(trayAction(32801), TrayAction::ShowWindow);
  EXPECT_EQ(trayAction(153), TrayAction::None);
}

}  // namespace
}  // namespace quillet
