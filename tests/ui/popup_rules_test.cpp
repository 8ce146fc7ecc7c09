#include "core/skin/popup_rules.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(PopupKinds, PicturesRowsAndActingRowsOfEveryKind) {
  struct Row {
    MenuKind kind;
    const char* mask;
    const char* over;
    int divisor;
    int rows;
    bool highlight;
    int lastActing;
  };
  const Row table[] = {
      {MenuKind::Profile, "menu_mask.jpg", "menu_over.jpg", 10, 4, true, 4},
      {MenuKind::ButtonFunction, "menu1_mask.jpg", "menu1_over.jpg", 15, 10, true, 6},
      {MenuKind::MacroGroup, "menu_mask.jpg", "menu_over.jpg", 15, 0, true, 10},
      {MenuKind::MacroLibrary, "more_mask.jpg", "menu_over.jpg", 3, 3, true, 3},
      {MenuKind::LightingMode, "menu_mask.jpg", "menu_over.jpg", 15, 10, true, 10},
      {MenuKind::ReactionEffect, "menu_mask.jpg", "menu_over.jpg", 15, 4, true, 4},
      {MenuKind::LedStepEffect, "menu_mask.jpg", "menu_over.jpg", 15, 5, false, 10},
      {MenuKind::LedStepColor, "menu_mask.jpg", "menu_over.jpg", 15, 7, false, 7},
  };
  for (const Row& r : table) {
    const MenuKindSpec& spec = menuKindSpec(r.kind);
    const PopupPictureFiles& files = popupPictureFiles(spec.pictures);
    const int k = static_cast<int>(r.kind);
    EXPECT_STREQ(files.mask, r.mask) << k;
    EXPECT_STREQ(files.over, r.over) << k;
    EXPECT_EQ(spec.rowDivisor, r.divisor) << k;
    EXPECT_EQ(spec.rows, r.rows) << k;
    EXPECT_EQ(spec.highlight, r.highlight) << k;
    EXPECT_EQ(spec.firstActingRow, 1) << k;
    EXPECT_EQ(spec.lastActingRow, r.lastActing) << k;
  }
  EXPECT_STREQ(popupPictureFiles(PopupPictureSet::LibraryMenu).normal, "more_normal.jpg");
  EXPECT_EQ(menuKindSpec(MenuKind::LedStepColor).text, RowText::ColourFill);
  EXPECT_EQ(menuKindSpec(MenuKind::Profile).text, RowText::LeftOfCentre);
}

TEST(PopupGeometry, PlacementShapeScreenAndRows) {
  const SkinButton box{440, 84, 200, 28, ""};
  EXPECT_EQ(menuBelow(100, 50, box, 0, 0, 300), (ScreenRect{540, 162, 200, 300}));
  EXPECT_EQ(menuBelow(100, 50, box, 1, 1, 360), (ScreenRect{541, 162, 201, 360}));
  // The shape is the picture's width by rows × row height, cut by the placement.
  EXPECT_EQ(visiblePopup({0, 0, 201, 360}, 200, 28, 10), (ScreenRect{0, 0, 200, 280}));
  EXPECT_EQ(visiblePopup({0, 0, 150, 360}, 200, 24, 15), (ScreenRect{0, 0, 150, 360})) << "both cut";
  EXPECT_EQ(visiblePopup({0, 0, 200, 360}, 200, 24, 0).height, 0) << "no groups: nothing to see";

  const ScreenRect screen{0, 0, 1280, 800};
  EXPECT_EQ(keepOnScreen({100, 100, 200, 300}, screen), (ScreenRect{100, 100, 200, 300}));
  EXPECT_EQ(keepOnScreen({1200, 700, 200, 300}, screen), (ScreenRect{1080, 500, 200, 300}));
  EXPECT_EQ(keepOnScreen({-20, -5, 200, 300}, screen), (ScreenRect{0, 0, 200, 300}));
  EXPECT_EQ(keepOnScreen({1200, 10, 200, 300}, screen, 1000), (ScreenRect{800, 10, 200, 300}))
      << "a cascade opens on its parent's other side";
  EXPECT_EQ(keepOnScreen({1200, 10, 200, 300}, screen, 150), (ScreenRect{1080, 10, 200, 300}))
      << "no room there either: pushed in";

  EXPECT_EQ(popupRowAt(10, 0, 200, 24, 4), 1);
  EXPECT_EQ(popupRowAt(10, 23, 200, 24, 4), 1);
  EXPECT_EQ(popupRowAt(10, 24, 200, 24, 4), 2);
  EXPECT_EQ(popupRowAt(10, 95, 200, 24, 4), 4);
  EXPECT_EQ(popupRowAt(10, 96, 200, 24, 4), kNoRegion) << "below the last row";
  EXPECT_EQ(popupRowAt(200, 10, 200, 24, 4), kNoRegion) << "beside the popup";
  EXPECT_EQ(popupRowAt(10, -1, 200, 24, 4), kNoRegion);
  EXPECT_EQ(popupRowAt(10, 10, 200, 0, 4), kNoRegion) << "no picture, no rows";
}

TEST(FunctionList, SubMenusAndTheirPlaces) {
  for (int row = 1; row <= 6; ++row) {
    EXPECT_FALSE(functionSubMenu(row)) << row;
  }
  ASSERT_TRUE(functionSubMenu(7));
  EXPECT_EQ(functionSubMenu(7)->items.size(), 12u);
  EXPECT_EQ(functionSubMenu(7)->items.back().nameIndex, 40);
  EXPECT_EQ(functionSubMenu(8)->items.front().code, 22);
  EXPECT_TRUE(functionSubMenu(9)->listsMacroGroups);
  EXPECT_TRUE(functionSubMenu(9)->items.empty());
  EXPECT_EQ(functionSubMenu(10)->items.size(), 8u);
  EXPECT_FALSE(functionSubMenu(11));
  EXPECT_EQ(functionSubMenuRowOffset(7, 3), 1);
  EXPECT_EQ(functionSubMenuRowOffset(8, 3), -2);
  EXPECT_EQ(functionSubMenuRowOffset(9, 3), 6);
  EXPECT_EQ(functionSubMenuRowOffset(9, 10), -1);
  EXPECT_EQ(functionSubMenuRowOffset(10, 3), 2);
  EXPECT_EQ(macroMenuCode(2, 3), 256 * 3 + 2) << "group 3, macro 2";
  EXPECT_EQ(macroMenuCode(0, 1), 256);
}

}  // namespace
}  // namespace quillet
