#pragma once
// What a download derives from the settings model and leaves behind for the device threads:
// per profile and key slot the function codes and device function bytes, per button the hold,
// profile and DPI flags, and the lighting fields carried from one download to the next.
#include <array>
#include <cstdint>

#include "app/button_function.h"
#include "app/profile_settings.h"

namespace quillet {

constexpr int kKeySlotCount = 14;

// The key slot each of the eight buttons occupies, in every profile. Slots 7 and 9..13 carry
// no button.
constexpr std::array<int, kButtonCount> kButtonKeySlot = {0, 1, 2, 3, 4, 5, 6, 8};

struct DownloadState {
  using SlotCodes = std::array<std::array<std::int32_t, kKeySlotCount>, kProfileCount>;
  using SlotBytes = std::array<std::array<std::uint8_t, kKeySlotCount>, kProfileCount>;
  using ButtonFlags = std::array<std::array<std::int32_t, kButtonCount>, kProfileCount>;

  SlotCodes slotFunction{};
  SlotBytes deviceFunction{};
  // Set, never cleared, within a run: a button that once had such a function keeps its flag.
  ButtonFlags isHoldButton{};
  ButtonFlags isProfileButton{};
  ButtonFlags isDpiButton{};
  std::uint8_t lightingType = 0;
  std::uint8_t lightingFlag = 0;
  std::uint8_t lightingHold = 0;
};

}  // namespace quillet
