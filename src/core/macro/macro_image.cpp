#include "core/macro/macro_image.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/macro/block_writer.h"
#include "core/macro/group_list.h"
#include "core/macro/key_translation.h"
#include "core/macro/macro_file.h"
#include "core/settings/consumer_usage.h"

namespace quillet {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t roundUp8(std::size_t n) { return (n + 7) & ~static_cast<std::size_t>(7); }

constexpr std::uint8_t lowByte(std::uint32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
constexpr std::uint8_t highByte(std::uint32_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }

// Step entries in the image.
namespace entry {
// A press, release or pause is time and code; a move time, 246, X (s16), Y (s16); a CPI step
// time, 248, CPI index, 0; an LED step time, 249, address low byte, address bits 8-13 + 64 * LED.
constexpr std::uint8_t kPressFlag = 0x80;  // on the time byte of a press and of a CPI set
constexpr std::size_t kLedBytes = 4;
constexpr std::uint32_t kLedAddressHighMask = 0x3F;
constexpr std::uint8_t kLedSelectorShift = 6;
}  // namespace entry

// The MacroButtonDescriptor's bytes.
namespace descriptor {
constexpr std::size_t kTagByte = 0;
constexpr std::uint8_t kTag = 10;
constexpr std::size_t kCountLowByte = 1;
constexpr std::uint16_t kCountLowMask = 0x7F;          // event count bits 0-6
constexpr std::uint8_t kWhileHeldBit = 0x80;          // play mode 2
constexpr std::size_t kKeyByte = 2;
constexpr std::size_t kConsumerLowByte = 3;
constexpr std::size_t kConsumerHighByte = 4;
constexpr std::size_t kAddressLowByte = 5;
constexpr std::size_t kAddressHighByte = 6;
constexpr std::uint32_t kAddressHighMask = 0x3F;       // address bits 8-13
constexpr std::uint8_t kLoopCountFlagBit = 0x40;       // mode 0 or 3 with play-mode bit 2
constexpr std::uint8_t kToggleBit = 0x80;             // play mode 1
constexpr std::size_t kCountHighByte = 7;
constexpr unsigned kCountHighShift = 7;
constexpr std::uint16_t kCountHighMask = 0x3F;         // event count bits 7-12
constexpr std::uint8_t kContinuousFlagBit = 0x40;      // mode 1 or 2 with play-mode bit 3
constexpr int kKeyPickerOffset = 70;                   // byte 2 = KeyPickerUsage((code - 70) mod 256)
}  // namespace descriptor

int ledSelector(std::uint8_t type) {
  switch (type) {
    case step_type::kLed0:
      return 0;
    case step_type::kLed1:
      return 1;
    case step_type::kLed2:
      return 2;
    default:
      return -1;
  }
}

// Appends step entries into the entry area of an image, never past its end.
class EntryWriter {
 public:
  EntryWriter(std::vector<std::uint8_t>& bytes, std::size_t end) : bytes_(bytes), end_(std::min(end, bytes.size())) {}
  bool fits(std::size_t n) const { return pos_ + n <= end_; }
  void put(std::initializer_list<std::uint8_t> entryBytes) {
    if (!fits(entryBytes.size())) {
      return;
    }
    for (std::uint8_t b : entryBytes) {
      bytes_[pos_++] = b;
    }
  }

 private:
  std::vector<std::uint8_t>& bytes_;
  std::size_t end_;
  std::size_t pos_ = 2;  // after the loop word
};

void appendMove(EntryWriter& out, const MacroEvent& e, std::uint8_t t) {
  using namespace step_type;
  if (e.type < kMoveLeftUp || e.type > kMoveRightDown) {
    out.put({t, step_code::kMove});
    return;
  }
  const int sx = (e.type == kMoveLeftUp || e.type == kMoveLeftDown) ? -1 : 1;
  const int sy = (e.type == kMoveLeftUp || e.type == kMoveRightUp) ? -1 : 1;
  // Two's complement s16, low byte first.
  const auto x = static_cast<std::uint16_t>(sx * e.x);
  const auto y = static_cast<std::uint16_t>(sy * e.y);
  out.put({t, step_code::kMove, lowByte(x), highByte(x), lowByte(y), highByte(y)});
}

void appendCpi(EntryWriter& out, const MacroEvent& e, std::uint8_t t) {
  const std::uint8_t index = lowByte(static_cast<std::uint16_t>(e.x));
  switch (e.type) {
    case step_type::kCpiSet:
      out.put({static_cast<std::uint8_t>(t | entry::kPressFlag), step_code::kCpi, index, 0});
      return;
    case step_type::kCpiReset:
      out.put({t, step_code::kCpi, index, 0});
      return;
    default:
      out.put({0, step_code::kCpi, index, 0});
      return;
  }
}

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

// Writes `bytes` at `address` in 8-byte blocks, none past the mouse's memory.
void writeBlocks(std::uint32_t address, const std::vector<std::uint8_t>& bytes, BlockWriter& writer,
                 ImageWriteResult& result) {
  for (std::size_t off = 0; off < bytes.size(); off += device_memory::kBlockBytes) {
    const std::uint32_t at = address + static_cast<std::uint32_t>(off);
    const std::size_t n = std::min<std::size_t>(device_memory::kBlockBytes, bytes.size() - off);
    if (at + n > device_memory::kEnd) {
      ++result.blocksOutsideMemory;
      continue;
    }
    if (writer.writeBlock(static_cast<std::uint16_t>(at), std::span<const std::uint8_t>(bytes.data() + off, n))) {
      ++result.blocksWritten;
    } else {
      ++result.blocksRefused;
    }
  }
}

}  // namespace

const char* noticeText(ImageNotice notice) {
  return notice == ImageNotice::LedCountZero ? kMsgLedCountZero : kMsgLedIndexMissing;
}

std::size_t macroDataStart(const Macro& m) {
  const std::size_t units = std::size_t{m.eventCount} + 2 * std::size_t{m.moveCount} + m.cpiCount + m.ledCount +
                            m.reservedF7Count + m.reservedFACount + m.reservedFBCount;
  return roundUp8(units * 2 + 2);
}

std::size_t ledBlockSize(const LedRow& row) {
  return roundUp8(static_cast<std::size_t>(row.entryCount()) * kLedEntryBytes + kLedRowHeaderBytes);
}

std::size_t macroImageSize(const Macro& m) {
  std::size_t size = macroDataStart(m);
  for (int r = 0; r < std::min<int>(m.ledCount, kLedRowCount); ++r) {
    size += ledBlockSize(m.ledRows[r]);
  }
  for (int r = 0; r < std::min<int>(m.reservedFBCount, kLedRowCount); ++r) {
    size += ledBlockSize(m.ledRowsB[r]);
  }
  return roundUp8(std::min(size, kMaxMacroImageBytes));
}

MacroImage buildMacroImage(const Macro& m, std::uint32_t address, LoopWord loopWord) {
  MacroImage image;
  image.address = address;
  image.bytes.assign(macroImageSize(m), 0);
  std::vector<std::uint8_t>& bytes = image.bytes;

  const std::uint16_t loops =
      (loopWord == LoopWord::ByPlayMode && play_mode::isContinuous(m.playMode)) ? 1 : m.loopCount;
  bytes[0] = lowByte(loops);
  bytes[1] = highByte(loops);

  const std::size_t dataStart = std::min(macroDataStart(m), bytes.size());
  EntryWriter out(bytes, dataStart);
  std::size_t dataPos = dataStart;  // where the next LED data block goes

  const int used = std::min<int>(m.eventCount, kMacroMaxSteps);
  for (int i = 0; i < used; ++i) {
    const MacroEvent& e = m.events[i];
    const std::uint8_t t = stepTime(e.delay);
    switch (e.code) {
      case step_code::kPause:
        out.put({t, step_code::kPause});
        break;
      case step_code::kMove:
        appendMove(out, e, t);
        break;
      case step_code::kCpi:
        appendCpi(out, e, t);
        break;
      case step_code::kLed: {
        if (m.ledCount == 0) {
          image.notices.push_back(ImageNotice::LedCountZero);
          break;
        }
        int selector = ledSelector(e.type);
        if (selector < 0) {
          image.notices.push_back(ImageNotice::LedIndexMissing);
          selector = 0;
        }
        // A row index the record does not have, a row without entries (its count byte would
        // read as 256 entries on the mouse), or a block the counters left no room for (only in
        // a record whose counters disagree with its steps): the step is left out.
        const bool rowInUse = e.x >= 0 && e.x < kLedRowCount && m.ledRows[e.x].entryCount() > 0;
        const std::size_t blockSize = rowInUse ? ledBlockSize(m.ledRows[e.x]) : 0;
        if (blockSize == 0 || dataPos + blockSize > bytes.size() || !out.fits(entry::kLedBytes)) {
          image.notices.push_back(ImageNotice::LedIndexMissing);
          break;
        }
        const std::uint32_t dataAddress = address + static_cast<std::uint32_t>(dataPos);
        // The last byte of the block must lie inside the mouse's 16 KiB.
        if (dataAddress + blockSize - 1 >= device_memory::kEnd) {
          image.ledAddressOverflow = true;
          return image;
        }
        out.put({t, step_code::kLed, lowByte(dataAddress),
                 static_cast<std::uint8_t>(((dataAddress >> 8) & entry::kLedAddressHighMask) +
                                           (selector << entry::kLedSelectorShift))});
        const LedRow& row = m.ledRows[e.x];
        const int entries = row.entryCount();
        bytes[dataPos] = static_cast<std::uint8_t>(entries - 1);
        std::copy(row.bytes.begin() + 1, row.bytes.begin() + entries * kLedEntryBytes + kLedRowHeaderBytes,
                  bytes.begin() + static_cast<std::ptrdiff_t>(dataPos + 1));
        dataPos += blockSize;
        break;
      }
      default:
        if (e.type == step_type::kPress) {
          out.put({static_cast<std::uint8_t>(t | entry::kPressFlag), e.code});
        } else if (e.type == step_type::kRelease) {
          out.put({t, e.code});
        }
        break;  // a key code with any other type has no entry
    }
  }
  return image;
}

std::array<std::uint8_t, device_memory::kDescriptorBytes> MacroButtonDescriptor::encode() const {
  namespace d = descriptor;
  const std::uint8_t mode = play_mode::modeOf(playMode);
  const bool continuous = mode == play_mode::kToggle || mode == play_mode::kWhileHeld;
  std::array<std::uint8_t, device_memory::kDescriptorBytes> b{};
  b[d::kTagByte] = d::kTag;
  b[d::kCountLowByte] = static_cast<std::uint8_t>((eventCount & d::kCountLowMask) |
                                                  (mode == play_mode::kWhileHeld ? d::kWhileHeldBit : 0));
  b[d::kKeyByte] = key;
  b[d::kConsumerLowByte] = lowByte(consumerUsage);
  b[d::kConsumerHighByte] = highByte(consumerUsage);
  b[d::kAddressLowByte] = lowByte(imageAddress);
  b[d::kAddressHighByte] = static_cast<std::uint8_t>(
      ((imageAddress >> 8) & d::kAddressHighMask) |
      (!continuous && (playMode & play_mode::kLoopCountFlag) ? d::kLoopCountFlagBit : 0) |
      (mode == play_mode::kToggle ? d::kToggleBit : 0));
  b[d::kCountHighByte] = static_cast<std::uint8_t>(
      ((eventCount >> d::kCountHighShift) & d::kCountHighMask) |
      (continuous && (playMode & play_mode::kContinuousFlag) ? d::kContinuousFlagBit : 0));
  return b;
}

MacroButtonDescriptor describeSlot(ButtonFunction code, int slot, const Macro* macro, std::uint32_t imageAddress) {
  MacroButtonDescriptor d;
  if (macro != nullptr) {
    d.eventCount = macro->eventCount;
    d.playMode = slot < kPlayModeSlots ? macro->playMode : 0;
  }
  const int pickerIndex = ((code - descriptor::kKeyPickerOffset) % 256 + 256) % 256;
  d.key = KeyPickerUsage(static_cast<std::uint8_t>(pickerIndex));
  d.consumerUsage = consumerUsageOf(code % 256);
  d.imageAddress = imageAddress;
  return d;
}

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

MacroLayout layoutMacros(const SlotFunctionTable& functions, const SlotDeviceFunctionTable& deviceFunctions,
                         int currentProfile, const fs::path& macroFolder, const BuiltinMacros& builtins,
                         BlockWriter& writer) {
  MacroLayout layout = planMacroLayout(functions, deviceFunctions, currentProfile, macroFolder, builtins);
  for (int p = 0; p < kProfileCount; ++p) {
    for (int s = 0; s < kKeySlotCount; ++s) {
      const SlotImage& slot = layout.slots[p][s];
      if (!slot.hasDescriptor) {
        continue;
      }
      const Macro* macro = slot.macro >= 0 ? &layout.macros[slot.macro] : nullptr;
      const auto bytes = describeSlot(slot.function, s, macro, slot.address).encode();
      // The download lays the descriptors out into its plan, a recorder that takes every block;
      // the plan's blocks then go to the mouse through the send, which checks each of them.
      static_cast<void>(writer.writeBlock(static_cast<std::uint16_t>(descriptorAddress(p, s)), bytes));
    }
  }
  return layout;
}

ImageWriteResult writeMacroImages(const MacroLayout& layout, BlockWriter& writer, MessageService& messages) {
  ImageWriteResult result;
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
        messages.show(noticeText(notice));
      }
      if (image.ledAddressOverflow) {
        messages.show(kMsgLedAddressOverflow);
        result.completed = false;
        return result;
      }
      writeBlocks(image.address, image.bytes, writer, result);
    }
  }
  return result;
}

void adjustMoves(Macro& macro, bool up) {
  const int used = std::min<int>(macro.eventCount, kMacroMaxSteps);
  for (int i = 0; i < used; ++i) {
    MacroEvent& e = macro.events[i];
    if (e.code != step_code::kMove) {
      continue;
    }
    if (up && e.y < 30) {
      ++e.y;
    } else if (!up && e.y > 0) {
      --e.y;
    }
  }
}

AdjustResult adjustMacro(ButtonFunction buttonZeroFunction, bool up, const AdjustTarget& target,
                         const fs::path& macroFolder, BlockWriter& writer, const Macro* mouseCopy) {
  AdjustResult result;
  if (!function_code::isLibraryMacro(buttonZeroFunction)) {
    return result;
  }
  const std::optional<MacroLocation> at = locateMacro(macroFolder, function_code::macroGroup(buttonZeroFunction) - 1,
                                                      function_code::macroIndex(buttonZeroFunction));
  if (!at) {
    return result;  // nothing stored there: nothing to adjust
  }
  result.up = up;
  result.macroFolder = macroFolder;
  result.group = at->group;
  result.index = at->index;
  result.macro = mouseCopy != nullptr ? *mouseCopy
                                      : parseMacroValue(ini::readString(at->file, kMacrosSection,
                                                                        std::to_string(at->index), "", kGroupValueBuffer));
  adjustMoves(result.macro, up);
  result.adjusted = true;

  // The image goes into the space the last download gave it, or not at all: a macro that has
  // grown since would overwrite the next image.
  MacroImage image = buildMacroImage(result.macro, target.address);
  if (target.size > 0 && image.bytes.size() <= target.size && !image.ledAddressOverflow) {
    image.bytes.resize(target.size, 0);
    ImageWriteResult written;
    writeBlocks(target.address, image.bytes, writer, written);
    // Written only when every block reached the mouse: a mouse that is gone took none.
    result.written = written.blocksOutsideMemory == 0 && written.blocksRefused == 0;
  }
  return result;
}

bool storeAdjustment(const AdjustResult& result, EditedGroup* edited) {
  if (!result.adjusted) {
    return false;
  }
  // The macro is found again by group and index: the group may have been renamed since.
  const std::optional<MacroLocation> at = locateMacro(result.macroFolder, result.group, result.index);
  if (!at) {
    return false;
  }
  const std::string key = std::to_string(at->index);
  Macro stored = parseMacroValue(ini::readString(at->file, kMacrosSection, key, "", kGroupValueBuffer));
  adjustMoves(stored, result.up);
  const bool written = ini::writeString(at->file, kMacrosSection, key, serialiseMacro(stored));
  std::error_code ec;
  if (edited != nullptr && at->index < std::min<int>(edited->open.count, kGroupMaxMacros) &&
      fs::equivalent(edited->file, at->file, ec)) {
    adjustMoves(edited->open.slots[static_cast<std::size_t>(at->index)], result.up);
  }
  return written;
}

}  // namespace quillet
