#include "core/device/configuration.h"

#include <algorithm>

namespace quillet {
namespace {

constexpr std::uint8_t byteOf(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

bool isMacroFunction(ButtonFunction code) {
  return function_code::isBuiltinMacro(code) || (code > function_code::kHold && code < 256) ||
         function_code::isLibraryMacro(code);
}

std::uint8_t deviceFunctionByte(ButtonFunction code, std::optional<std::uint8_t> playMode) {
  if (code >= 0 && code <= 6) {
    return byteOf(code);
  }
  if ((code >= 7 && code <= 13) || code == 15 || code == 16) {
    return byteOf(code - 4);
  }
  if (code == 14) {
    return device_function::kReportRate;
  }
  if (code >= 17 && code <= 21) {
    return byteOf(code + 5);
  }
  if (function_code::isMultimedia(code)) {
    return device_function::kMultimedia;
  }
  if (code == function_code::kHold) {
    return device_function::kNone;
  }
  if (isMacroFunction(code)) {
    return macroDeviceFunction(playMode.value_or(0));
  }
  return device_function::kNone;  // a negative code: only a damaged settings file holds one
}

void deriveKeySlots(const ProfileSettings& settings, const MacroPlayModeLookup& playModeOf, DownloadState& state) {
  for (int p = 0; p < kProfileCount; ++p) {
    state.slotFunction[p].fill(0);
    state.deviceFunction[p].fill(0);
    for (int b = 0; b < kButtonCount; ++b) {
      const ButtonFunction code = settings.buttonFunction[p][b];
      const std::optional<std::uint8_t> playMode =
          isMacroFunction(code) && playModeOf ? playModeOf(code) : std::nullopt;
      const std::uint8_t device = deviceFunctionByte(code, playMode);
      const int slot = kButtonKeySlot[b];
      state.slotFunction[p][slot] = code;
      state.deviceFunction[p][slot] = device;
      if (code == function_code::kHold) {
        state.isHoldButton[p][b] = 1;
      }
      if (code >= 17 && code <= 21) {
        state.isProfileButton[p][b] = 1;
      }
      if (device_function::changesDpi(device)) {
        state.isDpiButton[p][b] = 1;
      }
    }
  }
}

std::uint8_t keyByte(const ProfileSettings& settings, const DownloadState& state, int profile, int slot) {
  int reaction = 0;
  if (slot < kButtonCount) {
    reaction = settings.ledReactEnabled[profile][slot] + 2 * settings.ledReactType[profile][slot];
  }
  return byteOf((state.deviceFunction[profile][slot] & 0x1F) | (reaction << 5));
}

std::uint8_t dpiCode(std::uint8_t step) {
  return kDpiStepDeviceCodes[std::min<std::size_t>(step, kDpiStepDeviceCodes.size() - 1)];
}

std::uint8_t lightingByte(DownloadState& state, std::uint8_t ledMode, std::uint8_t ledPeriod) {
  std::uint8_t speed = ledPeriod & 7;
  if (ledMode <= 7) {
    state.lightingType = ledMode;
    state.lightingFlag = 0;
    state.lightingHold = 0;
  } else if (ledMode == 8) {
    state.lightingType = 1;
    state.lightingFlag = 1;
    state.lightingHold = 0;
  } else if (ledMode == 9) {
    state.lightingFlag = 0;
    state.lightingHold = 7;
    speed = 7;
  } else if (state.lightingHold == 7) {
    speed = 7;
  }
  return byteOf(0x80 | (state.lightingType << 4) | (state.lightingFlag << 3) | speed);
}

std::vector<ConfigurationBlock> configurationBlocks(const ProfileSettings& s, DownloadState& state,
                                                    int currentProfile, std::uint8_t deviceValue) {
  auto key = [&](int profile, int slot) { return keyByte(s, state, profile, slot); };
  std::array<std::uint8_t, kDpiLevelCount> dpi{};
  std::uint8_t enabledMask = 0;
  for (int l = 0; l < kDpiLevelCount; ++l) {
    dpi[l] = dpiCode(s.dpiStep[l]);
    enabledMask = byteOf(enabledMask | ((s.dpiLevelEnabled[l] != 0 ? 1 : 0) << l));
  }
  const int fire = s.fireTime / 8;
  const std::uint8_t lighting = lightingByte(state, s.ledMode, s.ledPeriod);
  const std::uint8_t cycleMask = s.cycleColorMaskFromFlags();

  // Colour byte n: user colour n / 3 in the high nibble, DPI colour n / 3 in the low one, channel n % 3.
  std::array<std::uint8_t, 18> color{};
  for (int n = 0; n < 18; ++n) {
    const ColorLevels& user = s.ledUserColor[n / 3];
    const ColorLevels& level = s.dpiColor[n / 3];
    const int channel = n % 3;
    const int u = channel == 0 ? user.r : channel == 1 ? user.g : user.b;
    const int d = channel == 0 ? level.r : channel == 1 ? level.g : level.b;
    color[n] = byteOf((u << 4) + d);
  }
  const ColorLevels& last = s.ledUserColor[6];

  using B = std::vector<std::uint8_t>;
  std::vector<ConfigurationBlock> blocks;
  blocks.reserve(16);
  blocks.push_back({0x0001, B{byteOf(((currentProfile & 3) << 5) | 2)}});
  blocks.push_back({0x0008, B{key(0, 0), key(0, 1), key(0, 2), key(0, 3), key(0, 4), key(0, 5), key(0, 6), key(0, 7)}});
  blocks.push_back({0x0010, B{key(0, 8), 0, 0, 0x3F, byteOf(s.wheelStatus), byteOf((dpi[0] << 4) | dpi[1]),
                              byteOf((dpi[2] << 4) | dpi[3]), byteOf((dpi[4] << 4) | dpi[5])}});
  blocks.push_back({0x0018, B{byteOf(0x50 + (s.currentDpiLevel & 7)), enabledMask, byteOf(fire), byteOf(fire >> 8),
                              lighting, byteOf((s.ledUserColorEnabled << 7) + (cycleMask & 0x7F)), 0x07, 0x00}});
  blocks.push_back({0x0020, B(color.begin(), color.begin() + 8)});
  blocks.push_back({0x0028, B(color.begin() + 8, color.begin() + 16)});
  blocks.push_back({0x0030, B{color[16], color[17], 0xFF, 0x03, 0, 0, 0, 0}});
  blocks.push_back({0x0038, B{0, 0,
                              byteOf(((s.ledSymmetry & 1) << 6) | ((s.ledDirection & 3) << 4) | (deviceValue & 0x0F)),
                              key(0, 9), key(0, 10), key(0, 11), byteOf((last.r << 4) + last.g),
                              byteOf(((s.ledBrightness & 7) << 4) + last.b)}});
  blocks.push_back({0x0040, B{0, 0, 0, 0xFF, key(1, 0), key(1, 1), key(1, 2), key(1, 3)}});
  blocks.push_back({0x0048, B{key(1, 4), key(1, 5), key(1, 6), key(1, 7), key(1, 8), key(1, 9), key(1, 10), key(1, 11)}});
  blocks.push_back({0x0050, B{key(2, 0), key(2, 1), key(2, 2), key(2, 3), key(2, 4), key(2, 5), key(2, 6), key(2, 7)}});
  blocks.push_back({0x0058, B{key(2, 8), key(2, 9), key(2, 10), key(2, 11), 0, 0, 0, 0}});
  blocks.push_back({0x0060, B{key(3, 0), key(3, 1), key(3, 2), key(3, 3), key(3, 4), key(3, 5), key(3, 6), key(3, 7)}});
  blocks.push_back({0x0068, B{key(3, 8), key(3, 9), key(3, 10), key(3, 11), 0, 0, 0, 0}});
  blocks.push_back({0x0070, B(8, 0)});
  blocks.push_back({0x0078, B(8, 0)});
  return blocks;
}

}  // namespace quillet
