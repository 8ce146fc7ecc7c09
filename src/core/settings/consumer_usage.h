#pragma once
// The HID consumer-page usage of a button function: the multimedia keys 22..31 that the host
// relays to the mouse, and code 32, which the button descriptors carry as well.
#include <array>
#include <cstdint>

#include "core/settings/button_function.h"

namespace quillet {

struct ConsumerUsageEntry {
  ButtonFunction code;
  std::uint16_t usage;
};

constexpr std::array<ConsumerUsageEntry, 11> kConsumerUsages = {{
    {22, 0x0223},  // AC Home
    {23, 0x0183},  // AL Consumer Control Configuration
    {24, 0x018A},  // AL Email Reader
    {25, 0x00E9},  // Volume Increment
    {26, 0x00EA},  // Volume Decrement
    {27, 0x00B6},  // Scan Previous Track
    {28, 0x00B5},  // Scan Next Track
    {29, 0x00E2},  // Mute
    {30, 0x00CD},  // Play/Pause
    {31, 0x0192},  // AL Calculator
    {32, 0x00B7},  // Stop
}};

// The usage of `code`, or 0 for a code without one.
constexpr std::uint16_t consumerUsageOf(ButtonFunction code) {
  for (const ConsumerUsageEntry& e : kConsumerUsages) {
    if (e.code == code) {
      return e.usage;
    }
  }
  return 0;
}

}  // namespace quillet
