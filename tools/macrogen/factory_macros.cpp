#include "factory_macros.h"

#include <initializer_list>
#include <iterator>
#include <stdexcept>

#include "core/macro/key_translation.h"

namespace quillet::macrogen {
namespace {

// Windows virtual keys of the keys the factory macros use.
namespace vk {
constexpr std::uint8_t kTab = 9;
constexpr std::uint8_t kLeft = 37;
constexpr std::uint8_t kRight = 39;
constexpr std::uint8_t kF5 = 116;
constexpr std::uint8_t kLeftShift = 160;
constexpr std::uint8_t kLeftControl = 162;
constexpr std::uint8_t kLeftAlt = 164;
}  // namespace vk

constexpr std::uint16_t kModifierDelay = 20;  // between a modifier and the next key
constexpr std::uint16_t kKeyHold = 50;        // how long the main key of a shortcut is held
constexpr std::uint16_t kReleaseDelay = 20;

// Builds one macro step by step; the counters follow the steps.
class MacroBuilder {
 public:
  MacroBuilder(const std::string& name, std::uint8_t playMode = play_mode::kLoopCount, std::uint16_t loops = 1) {
    if (!setMacroName(macro_, name)) {
      throw std::invalid_argument("macro name longer than 9 characters: " + name);
    }
    macro_.playMode = playMode;
    macro_.loopCount = loops;
  }

  MacroBuilder& step(const MacroEvent& e) {
    if (macro_.eventCount >= kMacroMaxSteps) {
      throw std::length_error("more than 180 steps");
    }
    macro_.events[macro_.eventCount++] = e;
    return *this;
  }
  MacroBuilder& keyDown(std::uint8_t virtualKey, std::uint16_t delay) {
    return step({step_type::kPress, VkToUsage(virtualKey), 0, 0, delay});
  }
  MacroBuilder& keyUp(std::uint8_t virtualKey, std::uint16_t delay) {
    return step({step_type::kRelease, VkToUsage(virtualKey), 0, 0, delay});
  }
  // Modifiers down in order, the key pressed and released, the modifiers up in reverse.
  MacroBuilder& shortcut(std::initializer_list<std::uint8_t> modifiers, std::uint8_t virtualKey) {
    for (std::uint8_t m : modifiers) {
      keyDown(m, kModifierDelay);
    }
    keyDown(virtualKey, kKeyHold);
    keyUp(virtualKey, kReleaseDelay);
    for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it) {
      keyUp(*it, kReleaseDelay);
    }
    return *this;
  }
  MacroBuilder& click(std::uint8_t button, std::uint16_t hold, std::uint16_t after) {
    step({step_type::kPress, button, 0, 0, hold});
    return step({step_type::kRelease, button, 0, 0, after});
  }
  MacroBuilder& move(std::uint8_t type, std::int16_t x, std::int16_t y, std::uint16_t delay) {
    return step({type, step_code::kMove, x, y, delay});
  }
  MacroBuilder& cpi(std::uint8_t type, std::int16_t index, std::uint16_t delay) {
    return step({type, step_code::kCpi, index, 0, delay});
  }
  MacroBuilder& pause(std::uint16_t delay) { return step({step_type::kNone, step_code::kPause, 0, 0, delay}); }
  // An LED step with a one-entry row: lighting mode byte, colour index, time in tenths of a second.
  MacroBuilder& light(std::uint8_t type, std::uint8_t mode, std::uint8_t colour, std::uint8_t tenths,
                      std::uint16_t delay) {
    const int row = countSteps(macro_).led;
    if (row >= kMacroMaxLedSteps) {
      throw std::length_error("more than 5 LED steps");
    }
    LedRow& r = macro_.ledRows[row];
    r = LedRow::fresh();
    r.bytes[kLedRowHeaderBytes + 0] = mode;
    r.bytes[kLedRowHeaderBytes + 1] = colour;
    r.bytes[kLedRowHeaderBytes + 2] = tenths;
    return step({type, step_code::kLed, static_cast<std::int16_t>(row), 0, delay});
  }

  Macro build() {
    recountSteps(macro_);
    return macro_;
  }

 private:
  Macro macro_;
};

Macro ctrl(const std::string& name, char key) {
  return MacroBuilder(name).shortcut({vk::kLeftControl}, static_cast<std::uint8_t>(key)).build();
}

// Names of the macros that both languages share, English first.
struct Names {
  const char* en;
  const char* cn;
};
const char* pick(const Names& n, Language language) { return language == kChinese ? n.cn : n.en; }

std::vector<Macro> officeMacros(Language l) {
  return {
      ctrl(pick({"Copy", "复制"}, l), 'C'),      ctrl(pick({"Paste", "粘贴"}, l), 'V'),
      ctrl(pick({"Cut", "剪切"}, l), 'X'),       ctrl(pick({"Undo", "撤销"}, l), 'Z'),
      ctrl(pick({"Redo", "重做"}, l), 'Y'),      ctrl(pick({"SelectAll", "全选"}, l), 'A'),
      ctrl(pick({"Save", "保存"}, l), 'S'),      ctrl(pick({"Find", "查找"}, l), 'F'),
  };
}

// Left-button clicks, 30 ms down and 30 ms up, for as long as the mode plays it.
Macro rapidFire(const std::string& name) {
  return MacroBuilder(name, play_mode::kWhileHeld).click(step_code::kMouseLeft, 30, 30).build();
}

Macro doubleClick(const std::string& name) {
  return MacroBuilder(name).click(step_code::kMouseLeft, 10, 40).click(step_code::kMouseLeft, 10, 10).build();
}

// One click played three times by the loop count.
Macro burst(const std::string& name) {
  return MacroBuilder(name, play_mode::kLoopCount, 3).click(step_code::kMouseLeft, 20, 60).build();
}

std::vector<Macro> gamingMacros(Language l) {
  // Recoil compensation: fire and pull the pointer down a little every 15 ms. The mouse's
  // adjustment buttons change the pull (the vertical distance) when it sits on the first button.
  MacroBuilder recoil(pick({"NoRecoil", "压枪"}, l));
  recoil.step({step_type::kPress, step_code::kMouseLeft, 0, 0, 10});
  for (int i = 0; i < 12; ++i) {
    recoil.move(step_type::kMoveRightDown, 0, 4, 15);
  }
  recoil.step({step_type::kRelease, step_code::kMouseLeft, 0, 0, 10});

  // Sniper: 400 CPI for about three seconds, then back to the CPI before the macro.
  const Macro sniper = MacroBuilder(pick({"Sniper", "狙击"}, l))
                           .cpi(step_type::kCpiSet, 2, 1000)
                           .pause(1000)
                           .pause(1000)
                           .cpi(step_type::kCpiReset, 4, 10)
                           .build();

  // Flash: the mouse lights up in colour 1 for a second.
  const Macro flash =
      MacroBuilder(pick({"Flash", "闪灯"}, l)).light(step_type::kLed0, 3, 1, 10, 1000).build();

  return {rapidFire(pick({"RapidFire", "连发"}, l)), recoil.build(), doubleClick(pick({"DoubleClk", "双击"}, l)),
          burst(pick({"Burst3", "三连发"}, l)), sniper, flash};
}

std::vector<Macro> browserMacros(Language l) {
  return {
      ctrl(pick({"NewTab", "新标签页"}, l), 'T'),
      ctrl(pick({"CloseTab", "关闭标签"}, l), 'W'),
      MacroBuilder(pick({"ReopenTab", "恢复标签"}, l)).shortcut({vk::kLeftControl, vk::kLeftShift}, 'T').build(),
      MacroBuilder(pick({"Back", "后退"}, l)).shortcut({vk::kLeftAlt}, vk::kLeft).build(),
      MacroBuilder(pick({"Forward", "前进"}, l)).shortcut({vk::kLeftAlt}, vk::kRight).build(),
      MacroBuilder(pick({"Refresh", "刷新"}, l)).shortcut({}, vk::kF5).build(),
      MacroBuilder(pick({"NextTab", "下个标签"}, l)).shortcut({vk::kLeftControl}, vk::kTab).build(),
      MacroBuilder(pick({"PrevTab", "上个标签"}, l)).shortcut({vk::kLeftControl, vk::kLeftShift}, vk::kTab).build(),
  };
}

}  // namespace

std::vector<FactoryGroup> factoryGroups(Language language) {
  return {
      {pick({"Office", "办公"}, language), officeMacros(language)},
      {pick({"Gaming", "游戏"}, language), gamingMacros(language)},
      {pick({"Browser", "浏览器"}, language), browserMacros(language)},
  };
}

std::vector<Macro> builtinMacros() {
  return {
      ctrl("Copy", 'C'),       ctrl("Paste", 'V'),       ctrl("Cut", 'X'),      ctrl("Undo", 'Z'),
      ctrl("SelectAll", 'A'),  doubleClick("DoubleClk"), rapidFire("RapidFire"), burst("Burst3"),
  };
}

}  // namespace quillet::macrogen
