#pragma once
// The macros in the mouse's memory: the byte image the mouse plays for one macro
// (MacroImage), the 8-byte record of each macro or consumer-key button that points at its
// image (MacroButtonDescriptor), where both go, and the live adjustment of the macro on the
// first button.
//
// Device memory as the download writes it:
//   0x0080 + 8 * (14 * profile + slot)   the descriptor of one key slot
//   0x0240 upward                         the images, back to back, each at a multiple of 8
// Every write is a block write of 8 bytes at most.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/macro/macro_record.h"
#include "core/settings/button_function.h"
#include "core/settings/key_slots.h"
#include "core/settings/profile_settings.h"

namespace quillet {

class BlockWriter;
class MessageService;

namespace device_memory {
constexpr std::uint32_t kDescriptorTable = 0x0080;
constexpr std::uint32_t kDescriptorBytes = 8;
constexpr std::uint32_t kImageArea = 0x0240;
constexpr std::uint32_t kEnd = 0x4000;  // 16 KiB; addresses in images and descriptors hold 14 bits
constexpr std::uint32_t kBlockBytes = 8;
}  // namespace device_memory

constexpr int kPlayModeSlots = 12;  // descriptors of slots 12 and 13 carry no play-mode bits
constexpr std::size_t kMaxMacroImageBytes = 8192;

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
};

// The descriptor of slot `slot` holding function `code`, whose image is `macro` (nullptr for
// a slot without one) at `imageAddress`.
MacroButtonDescriptor describeSlot(ButtonFunction code, int slot, const Macro* macro, std::uint32_t imageAddress);

// The image a slot plays.
enum class ImageSource : std::uint8_t {
  None,     // a consumer key, or a single-key function 45..255: a descriptor, no image space
  Library,  // code >= 256: a macro of the library
  Builtin,  // code 32..44 except 40: a built-in macro
};
ImageSource imageSourceOf(ButtonFunction code);

struct SlotImage {
  ButtonFunction function = 0;
  bool hasDescriptor = false;  // device function 13, 14 or 15
  ImageSource source = ImageSource::None;
  std::uint32_t address = 0;
  std::uint32_t size = 0;  // the image's size, also where the slot shares an earlier one
  bool shared = false;     // the same function as an earlier slot: that slot's image
  int macro = -1;          // index into MacroLayout::macros
};

// What the live adjustment rewrites: the image on button 0 of the current profile. Size 0:
// that button held no library macro at the last download.
struct AdjustTarget {
  std::uint32_t address = 0;
  std::uint32_t size = 0;
};

struct MacroLayout {
  std::array<std::array<SlotImage, kKeySlotCount>, kProfileCount> slots{};
  std::vector<Macro> macros;  // one per distinct function, as read for this download
  AdjustTarget adjustTarget;
  std::uint32_t end = device_memory::kImageArea;  // the first address after the images
};

// Sizes and places every image, in the order profile 0..3, slot 0..13, from 0x0240 upward; a
// slot whose function an earlier slot has shares that slot's image. Reads the library macros
// (readMacro) and the built-in macros; writes nothing.
MacroLayout planMacroLayout(const SlotFunctionTable& functions, const SlotDeviceFunctionTable& deviceFunctions,
                            int currentProfile, const std::filesystem::path& macroFolder,
                            const BuiltinMacros& builtins);

// planMacroLayout, then one 8-byte block write of the descriptor of every slot that has one.
MacroLayout layoutMacros(const SlotFunctionTable& functions, const SlotDeviceFunctionTable& deviceFunctions,
                         int currentProfile, const std::filesystem::path& macroFolder, const BuiltinMacros& builtins,
                         BlockWriter& writer);

struct ImageWriteResult {
  bool completed = true;         // false: "LED地址越界!", the download stops here
  int blocksWritten = 0;
  int blocksOutsideMemory = 0;   // pieces past the mouse's 16 KiB, not sent
  int blocksRefused = 0;         // blocks the writer did not get into the mouse (it is gone)
};

// Writes the images in the layout's order in 8-byte blocks: each library image once, a
// built-in image for every slot that holds it. Shows the image notices.
ImageWriteResult writeMacroImages(const MacroLayout& layout, BlockWriter& writer, MessageService& messages);

// Moves the vertical distance of every move step one up (at most to 30) or down (not below 0).
void adjustMoves(Macro& macro, bool up);

struct AdjustResult {
  bool adjusted = false;  // a library macro was found and changed
  bool written = false;   // its new image went into the mouse
  bool up = false;        // the direction of this adjustment
  std::filesystem::path macroFolder;
  int group = -1;
  int index = -1;
  Macro macro;            // the changed macro, as its new image has it
};

// The live adjustment, on the device thread that serves the mouse: when button 0 of the
// current profile holds a library macro, its move steps are adjusted, its image rebuilt at the
// remembered address and written when it fits the remembered size. The macro adjusted is
// `mouseCopy` (the macro as the last adjustment left it in the mouse) or, without one, the
// macro's copy in its file. The image carries the LED steps and their data as the download's
// image does, so that it stays what the descriptor's step count describes.
//
// Nothing is written to any file here: the owner of the model stores the result
// (storeAdjustment) on its own thread, where the macro page edits the same group.
AdjustResult adjustMacro(ButtonFunction buttonZeroFunction, bool up, const AdjustTarget& target,
                         const std::filesystem::path& macroFolder, BlockWriter& writer,
                         const Macro* mouseCopy = nullptr);

// The group open in an editor: its macros in memory and its file.
struct EditedGroup {
  OpenGroup& open;
  std::filesystem::path file;
};

// On the owner's thread: stores an adjustment that a device thread made. The macro's copy in
// its file, as the file is now (with whatever was saved into it since), gets the same change
// and is written back under its key, macroNum unchanged; when `edited` is that macro's group,
// its copy in memory gets the change as well and keeps every unsaved edit. So neither the
// adjustment nor an edit of the same group overwrites the other, whichever comes first. False
// when the macro is no longer in the library or its file could not be written.
[[nodiscard]] bool storeAdjustment(const AdjustResult& result, EditedGroup* edited);

}  // namespace quillet
