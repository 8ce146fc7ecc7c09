#pragma once
// Keys as the Linux input layer numbers them (the KEY_* codes of the evdev interface), turned
// into Windows virtual-key codes, the form recorded key steps and group files hold. The mapping
// is by position on the keyboard, as Windows reports it under a US layout: the key right of L is
// VK_OEM_1 whatever the active layout prints on it, and the keypad keys are the VK_NUMPAD codes
// whether Num Lock is on or not.
#include <cstdint>
#include <span>

#include "core/macro/virtual_keys.h"

namespace quillet {

struct EvdevVk {
  std::uint16_t evdev;  // KEY_* code
  std::uint8_t vk;      // Windows virtual-key code, never 0
};

// Every key the mapping knows, in the order vkToEvdev prefers them.
std::span<const EvdevVk> evdevKeyTable();

// The virtual key of evdev key `evdevCode`; 0 for a key the table does not have.
std::uint8_t evdevToVk(unsigned evdevCode);

// X11 and Wayland key codes (Qt's QKeyEvent::nativeScanCode on both) are evdev codes plus 8.
constexpr unsigned kNativeKeyOffset = 8;

// The virtual key of an X11 / Wayland key code; 0 below 8 or for a key the table does not have.
std::uint8_t nativeKeyToVk(unsigned nativeScanCode);

// The evdev key that gives `vk` (the main block's key where the keypad gives the same one, so
// VK_RETURN is KEY_ENTER); 0 when no key gives it.
unsigned vkToEvdev(std::uint8_t vk);

}  // namespace quillet
