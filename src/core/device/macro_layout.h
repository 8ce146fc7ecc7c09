#pragma once
// Where the macros go in the mouse's memory, and the blocks that put them there:
//   0x0080 + 8 * (14 * profile + slot)   the descriptor of one key slot
//   0x0240 upward                         the images, back to back, each at a multiple of 8
// The plan reads the macros from their group files and the built-in table; it writes nothing.
// The download sends the blocks it gives.
#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

#include "core/device/block_writer.h"
#include "core/device/macro_image.h"
#include "core/macro/macro_record.h"
#include "core/settings/button_function.h"
#include "core/settings/key_slots.h"
#include "core/settings/profile_settings.h"

namespace quillet {

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

// One 8-byte block of the descriptor of every slot that has one, in slot order.
std::vector<PlannedBlock> descriptorBlocks(const MacroLayout& layout);

struct ImageBlocks {
  std::vector<PlannedBlock> blocks;
  std::vector<const char*> messages;  // the image notices to show, in order
  bool completed = true;              // false: "LED地址越界!", nothing after that image is sent
  int blocksOutsideMemory = 0;        // pieces past the mouse's 16 KiB, left out
};

// The images in the layout's order in 8-byte blocks: each library image once, a built-in image
// for every slot that holds it.
ImageBlocks imageBlocks(const MacroLayout& layout);

}  // namespace quillet
