#include "core/device/macro_image.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>

#include "core/io/hex_text.h"
#include "core/macro/key_translation.h"
#include "core/settings/consumer_usage.h"

namespace quillet {

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
constexpr std::uint8_t kTimeMask = 0x7F;  // the pause after the step, in tens of milliseconds
constexpr int kMsPerTimeUnit = 10;
constexpr std::size_t kPlainBytes = 2;
constexpr std::size_t kMoveBytes = 6;
constexpr std::size_t kCpiBytes = 4;
constexpr std::size_t kLoopWordBytes = 2;

// The bytes of one entry by its code.
constexpr std::size_t bytesOf(std::uint8_t code) {
  return code == step_code::kMove ? kMoveBytes
         : code == step_code::kCpi ? kCpiBytes
         : code == step_code::kLed ? kLedBytes
                                   : kPlainBytes;
}
static_assert((kPressFlag & kTimeMask) == 0);
static_assert(stepTime(65535) <= kTimeMask);
// An LED step holds a 14-bit address and a selector of 0..3 in its last two bytes.
static_assert(((device_memory::kEnd - 1) >> 8) == kLedAddressHighMask);
static_assert((3u << kLedSelectorShift) + kLedAddressHighMask == 0xFF);
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

static_assert(kCountHighByte < device_memory::kDescriptorBytes && kAddressHighByte < kCountHighByte);
static_assert((kCountLowMask & kWhileHeldBit) == 0 && (kCountHighMask & kContinuousFlagBit) == 0);
static_assert((kAddressHighMask & (kLoopCountFlagBit | kToggleBit)) == 0);
// 13 bits of event count, 14 of image address.
static_assert((kCountLowMask | (kCountHighMask << kCountHighShift)) == 0x1FFF);
static_assert((0xFFu | (kAddressHighMask << 8)) == device_memory::kEnd - 1);
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

std::int16_t s16(std::span<const std::uint8_t> m, std::size_t at) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(m[at] | (m[at + 1] << 8)));
}

std::string pastTheMemory(const char* what, std::size_t at) {
  return std::string(what) + " at " + hexDigits(static_cast<std::uint32_t>(at) & 0xFFFF, 4) + " past the memory";
}

// Reads the LED data block of an LED step; false with `error` set when it is not inside the memory.
bool readLedBlock(std::span<const std::uint8_t> m, ImageStep& step, std::string& error) {
  const std::size_t at = step.ledAddress;
  const auto header = static_cast<std::size_t>(kLedRowHeaderBytes);
  const auto perEntry = static_cast<std::size_t>(kLedEntryBytes);
  if (at + header > m.size()) {
    error = pastTheMemory("led data", at);
    return false;
  }
  const int entries = m[at] + 1;
  if (entries > kLedRowMaxEntries) {
    error = "led data at " + hexDigits(step.ledAddress, 4) + " claims " + std::to_string(entries) + " entries";
    return false;
  }
  if (at + header + perEntry * static_cast<std::size_t>(entries) > m.size()) {
    error = pastTheMemory("led data", at);
    return false;
  }
  for (int e = 0; e < entries; ++e) {
    const std::size_t p = at + header + perEntry * static_cast<std::size_t>(e);
    step.ledEntries.push_back({m[p], m[p + 1], m[p + 2]});
  }
  return true;
}

ImageStep::Kind kindOf(std::uint8_t code, bool down) {
  switch (code) {
    case step_code::kPause:
      return ImageStep::Kind::kPause;
    case step_code::kMove:
      return ImageStep::Kind::kMove;
    case step_code::kCpi:
      return down ? ImageStep::Kind::kCpiSet : ImageStep::Kind::kCpiReset;
    case step_code::kLed:
      return ImageStep::Kind::kLed;
    case step_code::kMouseLeft:
    case step_code::kMouseMiddle:
    case step_code::kMouseRight:
      return ImageStep::Kind::kButton;
    case step_code::kReservedF7:
    case step_code::kReservedFA:
    case step_code::kReservedFB:
      return ImageStep::Kind::kReserved;
    default:
      return ImageStep::Kind::kKey;
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
  static_assert(entry::kLoopWordBytes == 2);

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

std::optional<DescriptorBits> decodeDescriptor(std::span<const std::uint8_t, device_memory::kDescriptorBytes> b) {
  namespace d = descriptor;
  if (b[d::kTagByte] != d::kTag) {
    return std::nullopt;
  }
  DescriptorBits out;
  out.whileHeld = (b[d::kCountLowByte] & d::kWhileHeldBit) != 0;
  out.toggle = (b[d::kAddressHighByte] & d::kToggleBit) != 0;
  out.loopCountFlag = (b[d::kAddressHighByte] & d::kLoopCountFlagBit) != 0;
  out.continuousFlag = (b[d::kCountHighByte] & d::kContinuousFlagBit) != 0;
  MacroButtonDescriptor& f = out.fields;
  f.eventCount = static_cast<std::uint16_t>((b[d::kCountLowByte] & d::kCountLowMask) |
                                            ((b[d::kCountHighByte] & d::kCountHighMask) << d::kCountHighShift));
  f.key = b[d::kKeyByte];
  f.consumerUsage = static_cast<std::uint16_t>(b[d::kConsumerLowByte] | (b[d::kConsumerHighByte] << 8));
  f.imageAddress = b[d::kAddressLowByte] | ((b[d::kAddressHighByte] & d::kAddressHighMask) << 8);
  // The while-held bit wins over the toggle bit, as the mouse plays them.
  const std::uint8_t mode = out.whileHeld ? play_mode::kWhileHeld : (out.toggle ? play_mode::kToggle : play_mode::kLoopCount);
  const bool continuous = mode != play_mode::kLoopCount;
  f.playMode = static_cast<std::uint8_t>(mode | (!continuous && out.loopCountFlag ? play_mode::kLoopCountFlag : 0) |
                                         (continuous && out.continuousFlag ? play_mode::kContinuousFlag : 0));
  return out;
}

ImageWalk walkImage(std::span<const std::uint8_t> m, std::uint32_t address, int maxSteps) {
  ImageWalk walk;
  if (std::size_t{address} + entry::kLoopWordBytes > m.size()) {
    walk.error = pastTheMemory("image", address);
    return walk;
  }
  walk.loops = static_cast<std::uint16_t>(m[address] | (m[address + 1] << 8));
  std::size_t at = std::size_t{address} + entry::kLoopWordBytes;
  for (int n = 0; n < maxSteps; ++n) {
    if (at + entry::kPlainBytes > m.size()) {
      walk.error = pastTheMemory("step", at);
      return walk;
    }
    const std::uint8_t t = m[at];
    const std::uint8_t c = m[at + 1];
    if (t == 0 && c == step_code::kPause) {
      return walk;  // the padding after the last step
    }
    if (at + entry::bytesOf(c) > m.size()) {
      walk.error = pastTheMemory("step", at);
      return walk;
    }
    ImageStep step;
    step.waitMs = static_cast<std::uint16_t>((t & entry::kTimeMask) * entry::kMsPerTimeUnit);
    step.down = (t & entry::kPressFlag) != 0;
    step.code = c;
    step.kind = kindOf(c, step.down);
    if (c == step_code::kMove) {
      step.x = s16(m, at + 2);
      step.y = s16(m, at + 4);
    } else if (c == step_code::kCpi) {
      step.code = m[at + 2];
    } else if (c == step_code::kLed) {
      step.ledAddress = static_cast<std::uint16_t>(m[at + 2] | ((m[at + 3] & entry::kLedAddressHighMask) << 8));
      step.led = m[at + 3] >> entry::kLedSelectorShift;
      std::string error;
      if (!readLedBlock(m, step, error)) {
        walk.error = error;
        return walk;
      }
    }
    walk.steps.push_back(std::move(step));
    at += entry::bytesOf(c);
  }
  return walk;
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

}  // namespace quillet
