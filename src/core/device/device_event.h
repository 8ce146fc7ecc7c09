#pragma once
// What the mouse announces in input report 6: byte 1 the event code, byte 2 its data.
//
//   0xF1-0xF7, 0xF9  key event of buttons 0-6 and 7; byte 2 bit 7 pressed, bits 0-5 DPI level
//   0xF8, 0xFA-0xFF  key event that belongs to no button
//   0xF0             nothing
//   3                the profile was switched on the mouse
//   1, 2             live macro adjustment up, down
//   0, 4-0xEF        live macro adjustment, direction unchanged
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "core/settings/profile_settings.h"

namespace quillet {

namespace event_code {
constexpr std::uint8_t kAdjustUp = 0x01;
constexpr std::uint8_t kAdjustDown = 0x02;
constexpr std::uint8_t kProfileChanged = 0x03;
constexpr std::uint8_t kNoKey = 0xF0;
}  // namespace event_code

// Key event code of button i: 0xF0 + the i-th of 1, 2, 3, 4, 5, 6, 7, 9.
constexpr std::array<std::uint8_t, kButtonCount> kKeyEventCodes = {0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF9};

constexpr std::uint8_t kKeyPressedBit = 0x80;
constexpr std::uint8_t kDpiLevelMask = 0x3F;

// The button of a key event code, or nullopt for a code of no button.
constexpr std::optional<int> buttonOfKeyCode(std::uint8_t code) {
  for (int i = 0; i < kButtonCount; ++i) {
    if (kKeyEventCodes[static_cast<std::size_t>(i)] == code) {
      return i;
    }
  }
  return std::nullopt;
}

struct DeviceEvent {
  enum class Kind : std::uint8_t {
    kNotAnEvent,      // not input report 6, or too short to carry an event code
    kNone,            // event 0xF0
    kKey,             // a key event; `button` is empty for a code of no button
    kProfileChanged,  // event 3
    kAdjustUp,        // event 1
    kAdjustDown,      // event 2
    kAdjust,          // any other code below 0xF0: adjustment, direction unchanged
  };
  Kind kind = Kind::kNotAnEvent;
  std::uint8_t code = 0;
  std::optional<int> button;
  bool pressed = false;
  std::uint8_t dpiLevel = 0;
  bool operator==(const DeviceEvent&) const = default;
};

// Decodes one input report as read (report ID first). A report of only the ID and the code
// reads its data byte as 0.
DeviceEvent decodeEvent(std::span<const std::uint8_t> report);

}  // namespace quillet
