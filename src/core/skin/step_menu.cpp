#include "core/skin/step_menu.h"

#include "core/macro/step_commands.h"

namespace quillet {

namespace {

namespace sc = step_command;

// The texts of one language. Several carry trailing blanks, as they always have: the menu is
// measured by its characters, and the blanks make room.
struct StepMenuTexts {
  const char* insertBefore;
  const char* insertAfter;
  const char* leftButton;
  const char* rightButton;
  const char* middleButton;
  const char* press;
  const char* release;
  const char* insertMove;
  const char* moves[4];  // X-,Y-  X-,Y+  X+,Y-  X+,Y+
  const char* insertCpi;
  const char* setCpi;
  const char* resetCpi;
  const char* insertLed;
  const char* insertPause;
  const char* changeParameters;
  const char* modifyDelay;
  const char* deleteStep;
};

constexpr StepMenuTexts kEnglishTexts{"Insert before  ",
                                 "Insert after",
                                 "Left button  ",
                                 "Right button  ",
                                 "Middle button  ",
                                 "↓    ",
                                 "↑    ",
                                 "Insert XY",
                                 {"X-,Y-", "X-,Y+", "X+,Y-", "X+,Y+"},
                                 "Insert CPI",
                                 "Set up CPI",
                                 "Reset CPI",
                                 "Insert LED",
                                 "Insert [delay]",
                                 "Change parameters",
                                 "Modifiy delay",
                                 "Delete option"};

constexpr StepMenuTexts kChineseTexts{"项前插入  ",
                                 "项后插入  ",
                                 "左键  ",
                                 "右键  ",
                                 "中键  ",
                                 "向下  ",
                                 "向上  ",
                                 "插入弹道修正  ",
                                 {"X负,Y负  ", "X负,Y正  ", "X正,Y负  ", "X正,Y正  "},
                                 "插入CPI  ",
                                 "设定CPI  ",
                                 "返回CPI至执行前  ",
                                 "插入LED  ",
                                 "插入[延迟]  ",
                                 "修改参数  ",
                                 "修改延迟  ",
                                 "删除选项  "};

// The three buttons' sub-menus of "insert before" (first = 32807) or "insert after" (32813).
MenuItemSpec insertButtons(const StepMenuTexts& t, const char* title, int first) {
  const char* buttons[3] = {t.leftButton, t.rightButton, t.middleButton};
  MenuItemSpec menu{title, 0, {}};
  for (int b = 0; b < 3; ++b) {
    menu.items.push_back({buttons[b], 0, {{t.press, first + 2 * b, {}}, {t.release, first + 2 * b + 1, {}}}});
  }
  return menu;
}

void collect(const std::vector<MenuItemSpec>& items, std::vector<int>& out) {
  for (const MenuItemSpec& item : items) {
    if (item.command > 0) {
      out.push_back(item.command);
    }
    collect(item.items, out);
  }
}

}  // namespace

std::vector<MenuItemSpec> stepMenu(Language language) {
  const StepMenuTexts& t = language != kChinese ? kEnglishTexts : kChineseTexts;
  MenuItemSpec moves{t.insertMove, 0, {}};
  const int moveIds[4] = {sc::kMoveLeftUp, sc::kMoveLeftDown, sc::kMoveRightUp, sc::kMoveRightDown};
  for (int i = 0; i < 4; ++i) {
    moves.items.push_back({t.moves[i], moveIds[i], {}});
  }
  return {
      insertButtons(t, t.insertBefore, sc::kLeftPressBefore),
      insertButtons(t, t.insertAfter, sc::kLeftPressAfter),
      moves,
      {t.insertCpi, 0, {{t.setCpi, sc::kCpiSet, {}}, {t.resetCpi, sc::kCpiReset, {}}}},
      {t.insertLed, sc::kLed, {}},
      {t.insertPause, sc::kPause, {}},
      {},
      {t.changeParameters, sc::kChangeParameters, {}},
      {t.modifyDelay, sc::kModifyDelay, {}},
      {},
      {t.deleteStep, sc::kDeleteStep, {}},
  };
}

std::vector<int> commandsOf(const std::vector<MenuItemSpec>& items) {
  std::vector<int> out;
  collect(items, out);
  return out;
}

}  // namespace quillet
