#pragma once
// Key codes. In memory (and in the mouse) a key step holds a keyboard usage ID of the HID usage
// tables; group files hold the Windows virtual-key code instead, so that files stay exchangeable
// with the Windows utility. Both directions come from one table of pairs: UsageToVk is the exact
// inverse of VkToUsage on those pairs, and both leave every other code unchanged.
#include <cstdint>

namespace quillet {

// Windows virtual-key code -> code in memory.
std::uint8_t VkToUsage(std::uint8_t vk);
// Code in memory -> Windows virtual-key code, the form written to a group file.
std::uint8_t UsageToVk(std::uint8_t usage);

// True when the pair table lists `vk` / `usage`.
bool vkIsListed(std::uint8_t vk);
bool usageIsListed(std::uint8_t usage);

// The key of item `index` of the key picker (0 Escape, 1-12 F1-F12, ... 78 Down) as a usage ID;
// 255 for any index the picker does not have.
constexpr std::uint8_t kNoPickerKey = 255;
constexpr int kKeyPickerItems = 79;
std::uint8_t KeyPickerUsage(std::uint8_t index);

}  // namespace quillet
