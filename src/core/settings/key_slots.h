#pragma once
// The mouse's key slots: 14 per profile, of which the eight buttons occupy slots 0..6 and 8.
// The download fills one function code and one device function byte per slot.
#include <array>
#include <cstdint>

#include "core/settings/button_function.h"
#include "core/settings/profile_settings.h"

namespace quillet {

constexpr int kKeySlotCount = 14;

// The key slot each of the eight buttons occupies, in every profile. Slots 7 and 9..13 carry
// no button.
constexpr std::array<int, kButtonCount> kButtonKeySlot = {0, 1, 2, 3, 4, 5, 6, 8};

using SlotFunctionTable = std::array<std::array<ButtonFunction, kKeySlotCount>, kProfileCount>;
using SlotDeviceFunctionTable = std::array<std::array<std::uint8_t, kKeySlotCount>, kProfileCount>;

}  // namespace quillet
