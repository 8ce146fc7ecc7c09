// The rules the settings model keeps whatever the user clicks.
#include "core/settings/profile_settings.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

ProfileSettings withLevels(std::initializer_list<int> enabled, int current) {
  ProfileSettings s;
  for (int l : enabled) {
    s.dpiLevelEnabled[l] = 1;
  }
  s.currentDpiLevel = current;
  return s;
}

TEST(DpiLevels, DisablingTheCurrentLevelMovesToTheNextEnabled) {
  ProfileSettings s = withLevels({3, 4, 5}, 4);
  s.toggleDpiLevel(4);
  EXPECT_EQ(s.dpiLevelEnabled[4], 0);
  EXPECT_EQ(s.currentDpiLevel, 5);

  // The search wraps through 0, 1 and 2.
  s = withLevels({3, 5}, 5);
  s.toggleDpiLevel(5);
  EXPECT_EQ(s.currentDpiLevel, 3);
  EXPECT_EQ(s.dpiLevelEnabled[5], 0);

  // Disabling another level leaves the current one alone; enabling always works.
  s = withLevels({0, 2}, 0);
  s.toggleDpiLevel(2);
  EXPECT_EQ(s.currentDpiLevel, 0);
  s.toggleDpiLevel(4);
  EXPECT_EQ(s.dpiLevelEnabled[4], 1);
}

TEST(DpiLevels, TheLastEnabledLevelStaysEnabledAndCurrent) {
  ProfileSettings s = withLevels({2}, 2);
  s.toggleDpiLevel(2);
  EXPECT_EQ(s.dpiLevelEnabled[2], 1);
  EXPECT_EQ(s.currentDpiLevel, 2);
}

TEST(DpiLevels, OnlyEnabledLevelsCanBeSelected) {
  ProfileSettings s = withLevels({1, 3}, 1);
  s.selectDpiLevel(2);
  EXPECT_EQ(s.currentDpiLevel, 1);
  s.selectDpiLevel(3);
  EXPECT_EQ(s.currentDpiLevel, 3);
  s.selectDpiLevel(6);
  s.selectDpiLevel(-1);
  s.toggleDpiLevel(9);
  EXPECT_EQ(s.currentDpiLevel, 3);
}

TEST(CycleColors, TheLastEnabledColourCannotBeDisabled) {
  ProfileSettings s;
  s.setCycleColorMask(0b0000101);
  s.toggleCycleColor(0);
  EXPECT_EQ(s.cycleColorMaskFromFlags(), 0b0000100);
  s.toggleCycleColor(2);
  EXPECT_EQ(s.cycleColorMaskFromFlags(), 0b0000100) << "last one refused";
  s.toggleCycleColor(6);
  EXPECT_EQ(s.cycleColorMaskFromFlags(), 0b1000100);
}

TEST(Colors, LevelsAndDisplayValues) {
  ProfileSettings s;
  s.setDpiColor(0, makeColorRef(255, 0, 128));
  EXPECT_EQ(s.dpiColor[0], (ColorLevels{0, 15, 7}));
  EXPECT_EQ(s.dpiColorRef[0], makeColorRef(255, 15, 143));
  s.setUserColor(6, makeColorRef(16, 31, 240));
  EXPECT_EQ(s.ledUserColor[6], (ColorLevels{14, 14, 0}));
  EXPECT_EQ(s.ledUserColorRef[6], makeColorRef(31, 31, 255));
  // Levels out of range keep only the low 8 bits of the display channel.
  EXPECT_EQ(colorLevelToDisplay(16, -1, 0), makeColorRef(255, 15, 255));
}

TEST(LeftClick, ProfileOneAlwaysKeepsALeftClick) {
  ProfileSettings s;
  s.buttonFunction[0] = {1, 2, 3, 4, 5, 6, 14, 13};
  EXPECT_TRUE(s.needsLeftClickWarning(0, 0));
  EXPECT_FALSE(s.needsLeftClickWarning(0, 1));
  EXPECT_FALSE(s.needsLeftClickWarning(1, 0)) << "other profiles are not protected";

  s.setButtonFunction(0, 0, 3);
  EXPECT_EQ(s.buttonFunction[0][0], 3);
  EXPECT_EQ(s.buttonFunction[0][1], 1) << "the next button takes the left click";

  s.buttonFunction[0] = {2, 2, 3, 4, 5, 6, 14, 1};
  s.setButtonFunction(0, 7, 22);
  EXPECT_EQ(s.buttonFunction[0][7], 1) << "the last button keeps it";

  // With another left click present nothing is moved.
  s.buttonFunction[0] = {1, 1, 3, 4, 5, 6, 14, 13};
  s.setButtonFunction(0, 0, 22);
  EXPECT_EQ(s.buttonFunction[0][0], 22);
  EXPECT_EQ(s.buttonFunction[0][1], 1);

  s.buttonFunction[1] = {1, 2, 3, 4, 5, 6, 14, 13};
  s.setButtonFunction(1, 0, 2);
  EXPECT_EQ(s.buttonFunction[1][0], 2);
  EXPECT_EQ(s.buttonFunction[1][1], 2);
}

TEST(ButtonFunctions, MacroReferences) {
  EXPECT_EQ(function_code::macroGroup(256 * 3 + 2), 3);
  EXPECT_EQ(function_code::macroIndex(256 * 3 + 2), 2);
  EXPECT_TRUE(function_code::isLibraryMacro(function_code::libraryMacro(1, 0)));
  EXPECT_FALSE(function_code::isLibraryMacro(255));
  EXPECT_TRUE(function_code::isMultimedia(22) && function_code::isMultimedia(31));
  EXPECT_TRUE(function_code::isBuiltinMacro(32) && !function_code::isBuiltinMacro(40));
}

}  // namespace
}  // namespace quillet
