#pragma once
// The macros in the mouse's memory as bytes: the image the mouse plays for one macro
// (MacroImage) and the 8-byte record of each macro or consumer-key button that points at its
// image (MacroButtonDescriptor), each encoded for the download and decoded as the mouse reads
// it (the simulated mouse plays what walkImage and decodeDescriptor give). No file and no
// device here: the memory layout plans where they go (macro_layout.h), in block writes of 8
// bytes at most.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/macro/macro_record.h"
#include "core/settings/button_function.h"
#include "core/settings/key_slots.h"
#include "core/settings/profile_settings.h"

namespace quillet {

namespace device_memory {
constexpr std::uint32_t kDescriptorTable = 0x0080;
constexpr std::uint32_t kDescriptorBytes = 8;
constexpr std::uint32_t kImageArea = 0x0240;
constexpr std::uint32_t kEnd = 0x4000;  // 16 KiB; addresses in images and descriptors hold 14 bits
constexpr std::uint32_t kBlockBytes = 8;
}  // namespace device_memory

constexpr int kPlayModeSlots = 12;  // descriptors of slots 12 and 13 carry no play-mode bits
constexpr std::size_t kMaxMacroImageBytes = 8192;

// The descriptors of the four profiles end before the first image.
static_assert(device_memory::kDescriptorTable + device_memory::kDescriptorBytes * kKeySlotCount * kProfileCount <=
              device_memory::kImageArea);
static_assert(device_memory::kEnd == 1u << 14);
static_assert(kMaxMacroImageBytes % device_memory::kBlockBytes == 0);

constexpr std::uint32_t descriptorAddress(int profile, int slot) {
  return device_memory::kDescriptorTable +
         device_memory::kDescriptorBytes * static_cast<std::uint32_t>(kKeySlotCount * profile + slot);
}

// Shown while an image is built: an LED step in a macro that counts none, an LED step whose
// type or row does not exist, and LED data that would pass the end of the mouse's memory
// (which stops the download).
inline constexpr const char* kMsgLedCountZero = "LED数量(0)出错!";
inline constexpr const char* kMsgLedIndexMissing = "LED索引不存在!";
inline constexpr const char* kMsgLedAddressOverflow = "LED地址越界!";

enum class ImageNotice : std::uint8_t { LedCountZero, LedIndexMissing };
const char* noticeText(ImageNotice notice);

// The mouse's pause unit for a step: delay / 10, at least 1 and at most 127 (10..1,270 ms).
constexpr std::uint8_t stepTime(std::uint16_t delay) {
  const int t = delay / 10;
  return static_cast<std::uint8_t>(t == 0 ? 1 : (t > 127 ? 127 : t));
}

// Where the LED data of an image starts: two bytes of loop word and the room the counters
// reserve for the step entries, rounded up to 8.
std::size_t macroDataStart(const Macro& macro);
// The room one LED data block takes: (entries * 4 + 4) rounded up to 8.
std::size_t ledBlockSize(const LedRow& row);
// dataStart plus the LED blocks the counters call for, cut to 8,192, a multiple of 8.
std::size_t macroImageSize(const Macro& macro);

enum class LoopWord : std::uint8_t {
  ByPlayMode,  // 1 in the continuous modes, loopCount otherwise (library macros)
  LoopCount,   // always loopCount (built-in macros)
};

struct MacroImage {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;    // macroImageSize bytes
  std::vector<ImageNotice> notices;   // in step order
  bool ledAddressOverflow = false;    // built only up to the offending step; must not be written
};

// The image of `macro` placed at `address`. It never grows past the size it was given: an
// entry the counters left no room for, or LED data beyond the image, is left out (a record
// read from a file always has counters that fit).
MacroImage buildMacroImage(const Macro& macro, std::uint32_t address, LoopWord loopWord = LoopWord::ByPlayMode);

// The 8-byte record of one macro or consumer-key slot.
struct MacroButtonDescriptor {
  std::uint16_t eventCount = 0;
  std::uint8_t playMode = 0;
  std::uint8_t key = 255;          // KeyPickerUsage of (code - 70) mod 256
  std::uint16_t consumerUsage = 0;
  std::uint32_t imageAddress = 0;  // bits 0-13 are stored

  std::array<std::uint8_t, device_memory::kDescriptorBytes> encode() const;
  bool operator==(const MacroButtonDescriptor&) const = default;
};

// The descriptor of slot `slot` holding function `code`, whose image is `macro` (nullptr for
// a slot without one) at `imageAddress`.
MacroButtonDescriptor describeSlot(ButtonFunction code, int slot, const Macro* macro, std::uint32_t imageAddress);

// What a walk over an image gives back: the loop word, then one step per entry, each entry a
// time byte and a code byte followed by the operands its code calls for:
//
//   code 0                  pause                      t, 0
//   code 246                pointer move               t, 246, X (s16), Y (s16), little-endian
//   code 248                CPI step                   t, 248, CPI index, 0; bit 7 of t: set, else reset
//   code 249                LED step                   t, 249, A low, A bits 8-13 + 64 * LED
//   codes 241, 242, 243     left, middle, right button t, code
//   codes 247, 250, 251     reserved steps             t, code
//   any other code          keyboard usage             t, code
//
// Bits 0-6 of t are the pause after the step in tens of milliseconds; bit 7 marks a press (and
// a CPI set). An entry of two zero bytes is the padding after the last step. The LED data block
// at A: byte 0 the entries less one, three header bytes, then per entry mode, colour index,
// time in tenths of a second and a reserved byte.
struct ImageStep {
  enum class Kind : std::uint8_t { kKey, kButton, kReserved, kPause, kMove, kCpiSet, kCpiReset, kLed };
  Kind kind = Kind::kPause;
  std::uint8_t code = 0;  // usage, button or reserved code; CPI index for the CPI steps
  bool down = false;      // press (keys, buttons, reserved steps)
  int x = 0;              // move
  int y = 0;
  int led = 0;  // LED step: which LED (0..3)
  std::uint16_t ledAddress = 0;
  struct LedEntry {
    std::uint8_t mode = 0;
    std::uint8_t colour = 0;
    std::uint8_t tenths = 0;
    bool operator==(const LedEntry&) const = default;
  };
  std::vector<LedEntry> ledEntries;
  std::uint16_t waitMs = 0;  // the pause that follows the step
  bool operator==(const ImageStep&) const = default;
};

struct ImageWalk {
  std::uint16_t loops = 0;  // the loop word
  std::vector<ImageStep> steps;
  std::optional<std::string> error;  // why the walk stopped early: "step at 3FFE past the memory"
};

// Reads the image at `address` in `memory`, taking at most `maxSteps` entries. Reads nothing
// outside `memory`, so a damaged image (an address past the memory, an LED block that claims
// more than 16 entries) stops with an error text instead.
ImageWalk walkImage(std::span<const std::uint8_t> memory, std::uint32_t address, int maxSteps);

// The descriptor as read back from the mouse's memory: its fields, and its flag bits as stored
// (a memory not written by the download may set bits that no play mode sets together).
struct DescriptorBits {
  MacroButtonDescriptor fields;  // playMode: the play-mode byte the bits stand for
  bool whileHeld = false;        // byte 1 bit 7
  bool toggle = false;           // byte 6 bit 7
  bool loopCountFlag = false;    // byte 6 bit 6
  bool continuousFlag = false;   // byte 7 bit 6
};

// The descriptor in `bytes`; nullopt when its tag byte is not the descriptor's.
std::optional<DescriptorBits> decodeDescriptor(std::span<const std::uint8_t, device_memory::kDescriptorBytes> bytes);

}  // namespace quillet
