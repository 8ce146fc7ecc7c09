#include "core/settings/profile_settings.h"

namespace quillet {
namespace {

constexpr bool validIndex(int i, int count) { return i >= 0 && i < count; }

std::uint8_t levelToChannel(std::int32_t level) {
  // 255 - 16 * level, truncated to 8 bits as a Windows colour channel is.
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(255 - 16 * level) & 0xFF);
}

}  // namespace

ColorRef colorLevelToDisplay(std::int32_t r, std::int32_t g, std::int32_t b) {
  return makeColorRef(levelToChannel(r), levelToChannel(g), levelToChannel(b));
}

ColorLevels displayToColorLevels(ColorRef rgb) {
  return ColorLevels{15 - (redOf(rgb) >> 4), 15 - (greenOf(rgb) >> 4), 15 - (blueOf(rgb) >> 4)};
}

void ProfileSettings::setDpiColor(int level, ColorRef rgb) {
  if (!validIndex(level, kDpiLevelCount)) {
    return;
  }
  dpiColor[level] = displayToColorLevels(rgb);
  dpiColorRef[level] = colorLevelToDisplay(dpiColor[level]);
}

void ProfileSettings::setUserColor(int index, ColorRef rgb) {
  if (!validIndex(index, kUserColorCount)) {
    return;
  }
  ledUserColor[index] = displayToColorLevels(rgb);
  ledUserColorRef[index] = colorLevelToDisplay(ledUserColor[index]);
}

void ProfileSettings::setDpiStep(int level, std::uint8_t step) {
  if (!validIndex(level, kDpiLevelCount)) {
    return;
  }
  dpiStep[level] = step;
  dpiStepRegion[level] = step + 66 + 12 * level;
}

void ProfileSettings::setCycleColorMask(std::uint8_t mask) {
  cycleColorMask = mask;
  for (int i = 0; i < kCycleColorCount; ++i) {
    cycleColorEnabled[i] = (mask >> i) & 1;
  }
}

std::uint8_t ProfileSettings::cycleColorMaskFromFlags() const {
  std::uint8_t mask = 0;
  for (int i = 0; i < kCycleColorCount; ++i) {
    if (cycleColorEnabled[i] != 0) {
      mask = static_cast<std::uint8_t>(mask | (1u << i));
    }
  }
  return mask;
}

void ProfileSettings::recomputeDpiColorRefs() {
  for (int l = 0; l < kDpiLevelCount; ++l) {
    dpiColorRef[l] = colorLevelToDisplay(dpiColor[l]);
  }
}

void ProfileSettings::recomputeUserColorRefs() {
  for (int k = 0; k < kUserColorCount; ++k) {
    ledUserColorRef[k] = colorLevelToDisplay(ledUserColor[k]);
  }
}

void ProfileSettings::toggleDpiLevel(int level) {
  if (!validIndex(level, kDpiLevelCount)) {
    return;
  }
  if (dpiLevelEnabled[level] == 0) {
    dpiLevelEnabled[level] = 1;
    return;
  }
  dpiLevelEnabled[level] = 0;
  if (level != currentDpiLevel) {
    return;
  }
  int next = level;
  for (int step = 0; step < kDpiLevelCount; ++step) {
    next = (next + 1) % kDpiLevelCount;
    if (dpiLevelEnabled[next] != 0) {
      currentDpiLevel = next;
      return;
    }
  }
  // No other level is enabled: the last one stays enabled and current.
  currentDpiLevel = level;
  dpiLevelEnabled[level] = 1;
}

void ProfileSettings::selectDpiLevel(int level) {
  if (validIndex(level, kDpiLevelCount) && dpiLevelEnabled[level] != 0) {
    currentDpiLevel = level;
  }
}

void ProfileSettings::toggleCycleColor(int index) {
  if (!validIndex(index, kCycleColorCount)) {
    return;
  }
  if (cycleColorEnabled[index] == 0) {
    cycleColorEnabled[index] = 1;
    return;
  }
  int enabled = 0;
  for (const std::uint8_t flag : cycleColorEnabled) {
    enabled += flag != 0 ? 1 : 0;
  }
  if (enabled > 1) {
    cycleColorEnabled[index] = 0;
  }
}

bool ProfileSettings::needsLeftClickWarning(int profile, int button) const {
  if (profile != 0 || !validIndex(button, kButtonCount)) {
    return false;
  }
  for (int b = 0; b < kButtonCount; ++b) {
    if (b != button && buttonFunction[0][b] == function_code::kLeftClick) {
      return false;
    }
  }
  return true;
}

void ProfileSettings::setButtonFunction(int profile, int button, ButtonFunction code) {
  if (!validIndex(profile, kProfileCount) || !validIndex(button, kButtonCount)) {
    return;
  }
  buttonFunction[profile][button] = code;
  if (profile != 0) {
    return;
  }
  for (const std::int32_t c : buttonFunction[0]) {
    if (c == function_code::kLeftClick) {
      return;
    }
  }
  const int heir = button == kButtonCount - 1 ? button : button + 1;
  buttonFunction[0][heir] = function_code::kLeftClick;
}

int ProfileSettings::followDeletedGroup(int group) {
  namespace fc = function_code;
  const std::int32_t deleted = group + 1;  // codes count groups from 1
  int changed = 0;
  for (auto& profile : buttonFunction) {
    for (std::int32_t& code : profile) {
      if (!fc::isLibraryMacro(code) || fc::macroGroup(code) < deleted) {
        continue;
      }
      code = fc::macroGroup(code) == deleted ? fc::kNone : fc::libraryMacro(fc::macroGroup(code) - 1, fc::macroIndex(code));
      ++changed;
    }
  }
  return changed;
}

int ProfileSettings::followDeletedMacro(int group, int index) {
  namespace fc = function_code;
  int changed = 0;
  for (auto& profile : buttonFunction) {
    for (std::int32_t& code : profile) {
      if (!fc::isLibraryMacro(code) || fc::macroGroup(code) != group + 1 || fc::macroIndex(code) < index) {
        continue;
      }
      code = fc::macroIndex(code) == index ? fc::kNone : code - 1;
      ++changed;
    }
  }
  return changed;
}

}  // namespace quillet
