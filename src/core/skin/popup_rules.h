#pragma once
// The popup menus' rules that need no display: the eight kinds of first-level menu with their
// pictures, row heights, row counts and which rows act; where each popup opens; which row a point
// is on; and the button-function list with its sub-menus and the codes each item assigns.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "core/settings/button_function.h"
#include "core/skin/skin_layout.h"

namespace quillet {

// The first-level menus, by what they list.
enum class MenuKind : std::uint8_t {
  Profile = 0,          // the four profiles (main page, region 11)
  ButtonFunction = 1,   // what a button does (main page, regions 20..27)
  MacroGroup = 2,       // the macro groups (macro page)
  MacroLibrary = 3,     // import, export, reset of the macro library (macro page)
  LightingMode = 4,     // the ten lighting effects (lighting page)
  ReactionEffect = 5,   // the four key-reaction effects (lighting page)
  LedStepEffect = 6,    // the effect of a lighting step of a macro
  LedStepColor = 7,     // the colour of a lighting step of a macro
};
constexpr int kMenuKindCount = 8;

// A popup's four pictures, file names in the skin folder. A popup without a highlight uses its
// idle picture for every row.
struct PopupPictureFiles {
  const char* mask;
  const char* normal;
  const char* over;
  const char* down;
};
inline constexpr PopupPictureFiles kMenuPictures{"menu_mask.jpg", "menu_normal.jpg", "menu_over.jpg", "menu_down.jpg"};
inline constexpr PopupPictureFiles kFunctionMenuPictures{"menu1_mask.jpg", "menu1_normal.jpg", "menu1_over.jpg",
                                                         "menu1_down.jpg"};
inline constexpr PopupPictureFiles kLibraryMenuPictures{"more_mask.jpg", "more_normal.jpg", "menu_over.jpg",
                                                        "menu_down.jpg"};
enum class PopupPictureSet : std::uint8_t { Menu, FunctionMenu, LibraryMenu };
constexpr int kPopupPictureSetCount = 3;
const PopupPictureFiles& popupPictureFiles(PopupPictureSet set);

// How a row's text sits in its band.
enum class RowText : std::uint8_t {
  Centred,         // centred in the popup's width
  LeftOfCentre,    // centred, then 8 pixels to the left (the profile list)
  CentredIn115,    // centred in the first 115 pixels (the key-reaction effects)
  ColourFill,      // no text: the row is filled with a colour
};

struct MenuKindSpec {
  PopupPictureSet pictures;
  int rowDivisor;    // row height = mask picture height / rowDivisor
  int rows;          // rows shown; 0: as many as the opener lists (the macro groups)
  bool highlight;    // the hovered row is copied from the hover picture, the pressed one from the down picture
  RowText text;
  int firstActingRow;  // a release on rows firstActingRow..lastActingRow acts and closes the menu;
  int lastActingRow;   // on any other row it does nothing and the menu stays open
};

const MenuKindSpec& menuKindSpec(MenuKind kind);

// "MainMenuDlg", "SubMenuDlg", "MacSelMenuDlg": the popups' window titles, by which tools find
// them (the windows are borderless, so nobody sees them).
inline constexpr const char* kMenuTitle = "MainMenuDlg";
inline constexpr const char* kSubMenuTitle = "SubMenuDlg";
inline constexpr const char* kMacroMenuTitle = "MacSelMenuDlg";

// A rectangle in screen coordinates.
struct ScreenRect {
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend constexpr bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// Where the opener puts a menu: below a region of the main window at (windowX, windowY) on the
// screen, `dx` pixels further right and `dw` pixels wider than the region, `height` high.
ScreenRect menuBelow(std::int32_t windowX, std::int32_t windowY, const SkinButton& region, std::int32_t dx,
                     std::int32_t dw, std::int32_t height);

// The part of a popup placed at `placement` that shows: its shape is the rectangle of the
// picture's width and rows × row height, cut by the placement's size.
ScreenRect visiblePopup(const ScreenRect& placement, std::int32_t pictureWidth, std::int32_t rowHeight, int rows);

// Moves `popup` into `screen` where it would leave it, keeping its size: a popup that would pass
// the right edge goes to `leftOfParent` when that is given and fits (a cascaded menu then opens
// on its parent's other side), else it is pushed in; then the bottom edge, then left and top.
ScreenRect keepOnScreen(const ScreenRect& popup, const ScreenRect& screen,
                        std::optional<std::int32_t> leftOfParent = std::nullopt);

// The 1-based row of a popup under (x, y) in its own coordinates: bands of `rowHeight` over the
// popup's width, rows 1..rows; kNoRegion outside them.
std::int32_t popupRowAt(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t rowHeight, int rows);

// ---- the button-function list ----

// Rows 1..6 of the function list assign their row number (the basic functions); rows 7..10 open
// a sub-menu and assign nothing themselves.
constexpr int kFunctionMenuRows = 10;
constexpr int kLastBasicFunctionRow = 6;
constexpr int kFirstSubMenuRow = 7;
constexpr int kMacroSubMenuRow = 9;

// One item of a sub-menu: the function name shown (its FUN_STRING number) and the code it assigns.
struct FunctionChoice {
  int nameIndex;
  ButtonFunction code;
};

// The sub-menu of function-list row `row` (7 device functions, 8 multimedia keys, 9 macro groups,
// 10 built-in macros). The macro row lists the library's groups instead of items; a group opens
// the menu of its macros. nullopt for rows without a sub-menu.
struct FunctionSubMenu {
  int row = 0;
  std::span<const FunctionChoice> items;  // empty for the macro row
  bool listsMacroGroups = false;
};
std::optional<FunctionSubMenu> functionSubMenu(int row);

// The function list's sub-menus and the macro menus cut the menu pictures into rows of this
// fraction of their height. The shipped pictures make those rows as high as the function list's,
// so that each sub-menu, placed in rows of the function list, meets the row that opened it.
constexpr int kSubMenuRowDivisor = 15;

// How many rows of the function list (its own row height) below the list's top the sub-menu of
// `row` opens: 1, -2, 9 - groupCount and 2 for rows 7..10.
std::int32_t functionSubMenuRowOffset(int row, int groupCount);

// The code of macro `macroRow` (1-based) of library group `group` (0-based), as the macro menu
// assigns it: 256 × (group + 1) + macroRow - 1.
constexpr ButtonFunction macroMenuCode(int group, int macroRow) {
  return function_code::libraryMacro(group + 1, macroRow - 1);
}

// The items of the macro library menu.
inline constexpr std::array<const char*, 3> kLibraryMenuEn{"Import", "Export", "Reset"};
inline constexpr std::array<const char*, 3> kLibraryMenuCn{"导入", "导出", "复位"};

}  // namespace quillet
