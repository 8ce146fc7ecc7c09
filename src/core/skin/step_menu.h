#pragma once
// The menus the window builds from tables rather than skin pictures: the step list's context
// menu (titled "宏编辑" in both languages, the same command IDs in both) and the items such a
// menu is made of. The tray menu's items are in window_rules.h.
#include <string>
#include <vector>

#include "core/settings/app_state.h"

namespace quillet {

// One item of a menu: a command (its ID above 0), a sub-menu (its items), or a separator (no
// text, no command, no items).
struct MenuItemSpec {
  std::string text;  // UTF-8; '&' marks the mnemonic
  int command = 0;
  std::vector<MenuItemSpec> items;

  bool isSeparator() const { return text.empty() && command == 0 && items.empty(); }
  bool isSubMenu() const { return !items.empty(); }
};

inline constexpr const char* kStepMenuTitle = "宏编辑";

// The step list's menu in `language`: insert before / after (left, right, middle button, press
// and release), insert a move, a CPI step, an LED step, a pause, change the parameters, modify
// the delay, delete the step.
std::vector<MenuItemSpec> stepMenu(Language language);

// Every command ID of a menu, depth first.
std::vector<int> commandsOf(const std::vector<MenuItemSpec>& items);

}  // namespace quillet
