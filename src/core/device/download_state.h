#pragma once
// What a download derives from the settings model and leaves behind for the device threads:
// per profile and key slot the function codes and device function bytes, per button the hold,
// profile and DPI flags, and the lighting fields carried from one download to the next.
#include <array>
#include <cstdint>

#include "core/settings/key_slots.h"

namespace quillet {

struct DownloadState {
  using ButtonFlags = std::array<std::array<std::int32_t, kButtonCount>, kProfileCount>;

  SlotFunctionTable slotFunction{};
  SlotDeviceFunctionTable deviceFunction{};
  // Set, never cleared, within a run: a button that once had such a function keeps its flag.
  ButtonFlags isHoldButton{};
  ButtonFlags isProfileButton{};
  ButtonFlags isDpiButton{};
  std::uint8_t lightingType = 0;
  std::uint8_t lightingFlag = 0;
  std::uint8_t lightingHold = 0;
};

}  // namespace quillet
