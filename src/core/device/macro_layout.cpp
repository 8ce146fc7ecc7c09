#include "core/device/macro_layout.h"

#include <optional>

#include "core/macro/group_list.h"

namespace quillet {
namespace fs = std::filesystem;

namespace {

std::optional<SlotImage> earlierWithFunction(const MacroLayout& layout, int profile, int slot, ButtonFunction code) {
  for (int p = 0; p <= profile; ++p) {
    for (int s = 0; s < (p == profile ? slot : kKeySlotCount); ++s) {
      const SlotImage& earlier = layout.slots[p][s];
      if (earlier.hasDescriptor && earlier.function == code) {
        return earlier;
      }
    }
  }
  return std::nullopt;
}

bool isDescriptorKind(std::uint8_t deviceFunction) {
  return deviceFunction == kDeviceFunctionMacro || deviceFunction == kDeviceFunctionMacroHeld ||
         deviceFunction == kDeviceFunctionConsumerKey;
}

}  // namespace

ImageSource imageSourceOf(ButtonFunction code) {
  if (function_code::isLibraryMacro(code)) {
    return ImageSource::Library;
  }
  // Codes 32..44 select built-in macros 0..12, the whole table; 40 is the hold function.
  if (code >= function_code::kFirstBuiltinMacro && code < function_code::kFirstBuiltinMacro + kBuiltinMacroSlots &&
      code != function_code::kHold) {
    return ImageSource::Builtin;
  }
  return ImageSource::None;
}

MacroLayout planMacroLayout(const SlotFunctionTable& functions, const SlotDeviceFunctionTable& deviceFunctions,
                            int currentProfile, const fs::path& macroFolder, const BuiltinMacros& builtins) {
  MacroLayout layout;
  std::uint32_t next = device_memory::kImageArea;
  for (int p = 0; p < kProfileCount; ++p) {
    for (int s = 0; s < kKeySlotCount; ++s) {
      SlotImage& slot = layout.slots[p][s];
      slot.function = functions[p][s];
      slot.hasDescriptor = isDescriptorKind(deviceFunctions[p][s]);
      if (!slot.hasDescriptor) {
        continue;
      }
      slot.source = imageSourceOf(slot.function);
      if (const std::optional<SlotImage> earlier = earlierWithFunction(layout, p, s, slot.function)) {
        slot.address = earlier->address;
        slot.size = earlier->size;
        slot.macro = earlier->macro;
        slot.shared = true;
        continue;
      }
      slot.address = next;
      if (slot.source == ImageSource::Library) {
        layout.macros.push_back(readLibraryMacro(macroFolder, slot.function));
      } else if (slot.source == ImageSource::Builtin) {
        layout.macros.push_back(builtins.macros[slot.function - function_code::kFirstBuiltinMacro]);
      }
      if (slot.source != ImageSource::None) {
        slot.macro = static_cast<int>(layout.macros.size()) - 1;
        slot.size = static_cast<std::uint32_t>(macroImageSize(layout.macros.back()));
      }
      next += slot.size;
    }
  }
  layout.end = next;
  if (currentProfile >= 0 && currentProfile < kProfileCount) {
    const SlotImage& first = layout.slots[currentProfile][0];
    if (first.hasDescriptor) {
      layout.adjustTarget.address = first.address;
      layout.adjustTarget.size = first.source == ImageSource::Library ? first.size : 0;
    }
  }
  return layout;
}

std::vector<PlannedBlock> descriptorBlocks(const MacroLayout& layout) {
  std::vector<PlannedBlock> blocks;
  for (int p = 0; p < kProfileCount; ++p) {
    for (int s = 0; s < kKeySlotCount; ++s) {
      const SlotImage& slot = layout.slots[p][s];
      if (!slot.hasDescriptor) {
        continue;
      }
      const Macro* macro = slot.macro >= 0 ? &layout.macros[slot.macro] : nullptr;
      const auto bytes = describeSlot(slot.function, s, macro, slot.address).encode();
      blocks.push_back({static_cast<std::uint16_t>(descriptorAddress(p, s)), {bytes.begin(), bytes.end()}});
    }
  }
  return blocks;
}

ImageBlocks imageBlocks(const MacroLayout& layout) {
  ImageBlocks result;
  for (int p = 0; p < kProfileCount; ++p) {
    for (int s = 0; s < kKeySlotCount; ++s) {
      const SlotImage& slot = layout.slots[p][s];
      if (!slot.hasDescriptor || slot.macro < 0) {
        continue;  // no image: nothing was reserved for it
      }
      if (slot.shared && slot.source == ImageSource::Library) {
        continue;  // written with the first slot that holds it
      }
      const MacroImage image =
          buildMacroImage(layout.macros[slot.macro], slot.address,
                          slot.source == ImageSource::Builtin ? LoopWord::LoopCount : LoopWord::ByPlayMode);
      for (ImageNotice notice : image.notices) {
        result.messages.push_back(noticeText(notice));
      }
      if (image.ledAddressOverflow) {
        result.messages.push_back(kMsgLedAddressOverflow);
        result.completed = false;
        return result;
      }
      result.blocksOutsideMemory += appendBlocks(result.blocks, image.address, image.bytes);
    }
  }
  return result;
}

}  // namespace quillet
