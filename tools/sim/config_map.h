#pragma once
// What the firmware reads back from the configuration area and the key-slot descriptors the
// host writes: where each key byte lies, what its device function byte means, the DPI levels,
// the lighting fields and the descriptors of the macro buttons.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/device/configuration.h"
#include "core/device/macro_image.h"

namespace quillet::sim {

namespace config_address {
constexpr std::uint16_t kProfile = 0x0001;  // bits 5-6: the host's current profile
constexpr std::uint16_t kWheel = 0x0014;
constexpr std::uint16_t kDpiCodes = 0x0015;    // three bytes, two DPI codes each, high nibble first
constexpr std::uint16_t kDpiLevel = 0x0018;    // 0x50 + level
constexpr std::uint16_t kDpiEnables = 0x0019;  // bit i: level i enabled
constexpr std::uint16_t kFireTime = 0x001A;    // two bytes, low first: fire time / 8
constexpr std::uint16_t kLighting = 0x001C;
constexpr std::uint16_t kUserColourEnable = 0x001D;  // bit 7 user colours, bits 0-6 cycle colours
constexpr std::uint16_t kColours = 0x0020;           // 18 bytes: user colour high nibble, DPI colour low
constexpr std::uint16_t kLightingFeatures = 0x003A;  // bit 6 symmetry, bits 4-5 direction, bits 0-3 device value
constexpr std::uint16_t kLastUserColour = 0x003E;    // r << 4 | g, then brightness << 4 | b
}  // namespace config_address

constexpr int kDpiLevels = 6;
constexpr int kKeyByteSlots = 12;  // slots 12 and 13 have no key byte

// The address of the key byte of `slot` in `profile`, or nullopt for a slot without one.
std::optional<std::uint16_t> keyByteAddress(int profile, int slot);

// Device function bytes the firmware acts on besides those of device_function: the profile
// functions the host derives from function codes 17..21.
namespace firmware_function {
constexpr std::uint8_t kProfileCycle = 22;
constexpr std::uint8_t kProfile1 = 23;  // .. 26 profile 4
constexpr std::uint8_t kProfile4 = 26;
constexpr std::uint8_t kMask = 0x1F;  // bits 0-4 of a key byte
}  // namespace firmware_function

// "left click", "DPI up", "macro", …; "unknown" for a byte the firmware has no function for.
const char* functionName(std::uint8_t deviceFunction);

// The CPI value in dots per inch of a DPI code or macro CPI index, 0 for none.
int cpiOfCode(std::uint8_t code);

// How a macro button plays.
enum class PlayKind : std::uint8_t {
  kCount,      // every press plays the image's loop count of rounds
  kToggle,     // a press starts, the next press stops
  kWhileHeld,  // plays while the button is held
};
const char* playKindName(PlayKind kind);

// The play kind of a button with device function `deviceFunction` (13 or 14) and descriptor `d`.
PlayKind playKindOf(const DescriptorBits& d, std::uint8_t deviceFunction);

// The descriptor of `slot` in `profile`, as the firmware reads it; nullopt without one.
std::optional<DescriptorBits> readDescriptor(std::span<const std::uint8_t> memory, int profile, int slot);

// "key value" lines of everything the memory configures: the key slots of every profile with
// their functions, the DPI levels, the lighting fields and colours, and every descriptor with
// the steps of its image.
std::string describeConfiguration(std::span<const std::uint8_t> memory);

}  // namespace quillet::sim
