#pragma once
// The mouse settings the user edits, keeps in the settings file and downloads into the mouse:
// per profile the function of each button and its key-reaction lighting; common to the four
// profiles the DPI levels, the lighting effect, the speeds and the fire time.
#include <array>
#include <cstdint>

#include "core/settings/button_function.h"

namespace quillet {

constexpr int kProfileCount = 4;
constexpr int kButtonCount = 8;
constexpr int kDpiLevelCount = 6;
constexpr int kDpiStepCount = 12;
constexpr int kUserColorCount = 7;
constexpr int kCycleColorCount = 7;
constexpr int kLedModeCount = 10;
constexpr int kLedReactTypeCount = 4;

// The mouse's twelve DPI steps, and the device code of each, in step order.
constexpr std::array<int, kDpiStepCount> kDpiStepValues = {200,  400,  600,  800,  1000, 1200,
                                                           1600, 2000, 2400, 3200, 4000, 4800};
constexpr std::array<std::uint8_t, kDpiStepCount> kDpiStepDeviceCodes = {1, 2, 3, 4, 5, 6, 7, 9, 11, 13, 14, 15};

// A colour as the model stores it: three 4-bit levels, 0 the brightest and 15 the dimmest.
struct ColorLevels {
  std::int32_t r = 0;
  std::int32_t g = 0;
  std::int32_t b = 0;
  bool operator==(const ColorLevels&) const = default;
};

// A display colour: red in the low byte, green in the next, blue in the third.
using ColorRef = std::uint32_t;

constexpr ColorRef makeColorRef(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) | (static_cast<ColorRef>(b) << 16);
}
constexpr std::uint8_t redOf(ColorRef c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t greenOf(ColorRef c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t blueOf(ColorRef c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// Per channel 255 - 16 * level, kept to 8 bits.
ColorRef colorLevelToDisplay(std::int32_t r, std::int32_t g, std::int32_t b);
inline ColorRef colorLevelToDisplay(const ColorLevels& c) { return colorLevelToDisplay(c.r, c.g, c.b); }
// Per channel 15 - (channel >> 4).
ColorLevels displayToColorLevels(ColorRef rgb);

struct ProfileSettings {
  using ButtonTable = std::array<std::array<std::int32_t, kButtonCount>, kProfileCount>;

  // ---- stored fields, in the order of the settings file's keys ----
  ButtonTable buttonFunction{};  // ButtonFunction codes
  std::int32_t currentDpiLevel = 0;
  std::int32_t wheelStatus = 0;
  std::int32_t macroMode2 = 0;  // kept and restored only
  std::int32_t ledUserColorEnabled = 0;
  std::uint8_t cycleColorMask = 0;
  std::array<std::uint8_t, kDpiLevelCount> dpiStep{};
  std::array<std::uint8_t, kDpiLevelCount> dpiLevelEnabled{};
  std::array<ColorLevels, kDpiLevelCount> dpiColor{};
  std::array<ColorLevels, kUserColorCount> ledUserColor{};
  std::uint8_t ledMode = 0;
  std::array<std::int32_t, kLedModeCount> ledModeSwitch{};  // kept and restored only
  std::uint8_t ledPeriod = 0;
  std::int32_t ledSingleColor = 0;  // always written as 0, never taken from the file
  std::int32_t ledSymmetry = 0;
  std::int32_t ledDirection = 0;
  std::int32_t ledBrightness = 0;
  ButtonTable ledReactEnabled{};
  ButtonTable ledReactType{};
  std::uint8_t pointerSpeed = 0;
  std::uint8_t wheelSpeed = 0;
  std::uint8_t usbSpeed = 0;  // kept, restored and reset only
  std::int32_t fireTime = 50;

  // ---- derived values, never stored ----
  std::array<ColorRef, kDpiLevelCount> dpiColorRef{};
  std::array<ColorRef, kUserColorCount> ledUserColorRef{};
  std::array<std::uint8_t, kCycleColorCount> cycleColorEnabled{};  // bit i of cycleColorMask
  // Hit-region index of the selected step button of each level on the advanced page.
  std::array<std::int32_t, kDpiLevelCount> dpiStepRegion{};

  // Stores the levels of a picked colour and recomputes its display colour.
  void setDpiColor(int level, ColorRef rgb);
  void setUserColor(int index, ColorRef rgb);
  void setDpiStep(int level, std::uint8_t step);
  void setCycleColorMask(std::uint8_t mask);
  // The mask as the cycle-colour flags say (bit i = flag i).
  std::uint8_t cycleColorMaskFromFlags() const;
  void recomputeDpiColorRefs();
  void recomputeUserColorRefs();

  // Enables a disabled level; disables an enabled one, moving the current level on to the next
  // enabled level when it was the current one. The last enabled level is never disabled.
  void toggleDpiLevel(int level);
  // Makes `level` current when it is enabled.
  void selectDpiLevel(int level);
  // Enables a disabled cycle colour; disables an enabled one unless it is the last enabled.
  void toggleCycleColor(int index);

  // True when button `button` of profile 1 is the only one with the left click, so that giving
  // it another function needs the user's confirmation first.
  bool needsLeftClickWarning(int profile, int button) const;
  // Stores `code` for the button; on profile 1 the left click is kept on some button: when no
  // button has it any more, the next button gets it (the last button gets it back itself).
  void setButtonFunction(int profile, int button, ButtonFunction code);

  // A library macro code names its macro by place (group and index): when a group or a macro is
  // deleted the ones after it move up, and every button of every profile must follow its macro.
  // Group `group` (0-based, as listed) was deleted: buttons on its macros get no function,
  // buttons on later groups' macros move to the group before. Returns the buttons changed.
  int followDeletedGroup(int group);
  // Macro `index` of group `group` (0-based) was deleted: buttons on it get no function, buttons
  // on later macros of that group move to the macro before. Returns the buttons changed.
  int followDeletedMacro(int group, int index);
};

}  // namespace quillet
