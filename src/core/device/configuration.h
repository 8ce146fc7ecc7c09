#pragma once
// The configuration area of the mouse's memory (0x0000..0x007F) as a download writes it: the
// device function byte of every button, the key bytes, DPI codes, lighting byte and colours,
// laid out in the sixteen blocks the mouse expects.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/device/block_writer.h"
#include "core/device/download_state.h"
#include "core/macro/macro_record.h"

namespace quillet {

class BlockWriter;

// The play-mode byte of the macro a macro function code names (built-in 32..39 and 41..44,
// library 256 and above), or nullopt when there is no such macro.
using MacroPlayModeLookup = std::function<std::optional<std::uint8_t>(ButtonFunction)>;

// Device function bytes the host relies on.
namespace device_function {
constexpr std::uint8_t kNone = 0;
constexpr std::uint8_t kDpiCycle = 6;
constexpr std::uint8_t kDpiUp = 11;
constexpr std::uint8_t kDpiDown = 12;
constexpr std::uint8_t kMacro = kDeviceFunctionMacro;
constexpr std::uint8_t kMacroWhileHeld = kDeviceFunctionMacroHeld;  // play mode 2: repeats while held
constexpr std::uint8_t kMultimedia = kDeviceFunctionConsumerKey;
constexpr std::uint8_t kReportRate = 21;
constexpr bool changesDpi(std::uint8_t f) { return f == kDpiCycle || f == kDpiUp || f == kDpiDown; }
constexpr bool hasDescriptor(std::uint8_t f) { return f == kMacro || f == kMacroWhileHeld || f == kMultimedia; }
}  // namespace device_function

// The device function byte of a function code. `playMode` is the play-mode byte of the macro
// the code names (ignored for other codes).
std::uint8_t deviceFunctionByte(ButtonFunction code, std::optional<std::uint8_t> playMode);

// True for codes the mouse plays as a macro: built-in 32..39 and 41..44, library 256 and up,
// and the codes 45..255 that name no macro (they get a descriptor but no image).
bool isMacroFunction(ButtonFunction code);

// Fills slotFunction and deviceFunction of all four profiles from the button functions and sets
// the button flags (never clearing one).
void deriveKeySlots(const ProfileSettings& settings, const MacroPlayModeLookup& playModeOf, DownloadState& state);

// The configuration byte of key slot `slot` of `profile`: the device function in bits 0..4, the
// key reaction of the button with the same number as the slot in bits 5..7.
std::uint8_t keyByte(const ProfileSettings& settings, const DownloadState& state, int profile, int slot);

// The device code of a DPI step. A step beyond the twelve (only a damaged settings file holds
// one) is sent as the highest step.
std::uint8_t dpiCode(std::uint8_t step);

// Updates the carried lighting fields for the effect and returns the lighting byte.
std::uint8_t lightingByte(DownloadState& state, std::uint8_t ledMode, std::uint8_t ledPeriod);

using ConfigurationBlock = PlannedBlock;

// The sixteen blocks of the configuration area, in the order they are written. Updates the
// lighting fields of `state` (call deriveKeySlots first).
std::vector<ConfigurationBlock> configurationBlocks(const ProfileSettings& settings, DownloadState& state,
                                                    int currentProfile, std::uint8_t deviceValue);

}  // namespace quillet
