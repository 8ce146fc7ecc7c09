// The macro image, the button descriptors, their layout in device memory and the live
// adjustment, checked through a recording block writer.
#include <gtest/gtest.h>

#include <algorithm>

#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "core/device/block_writer.h"
#include "core/device/macro_adjustment.h"
#include "core/device/macro_image.h"
#include "core/device/macro_layout.h"
#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "macro/macro_test_support.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::TempFolder;

struct Block {
  std::uint32_t address;
  Bytes data;
  bool operator==(const Block&) const = default;
};

class RecordingWriter final : public BlockWriter {
 public:
  bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) override {
    EXPECT_LE(data.size(), 8u) << "a block write carries 8 bytes at most";
    blocks.push_back({address, Bytes(data.begin(), data.end())});
    for (std::size_t i = 0; i < data.size(); ++i) {
      memory[address + static_cast<std::uint32_t>(i)] = data[i];
    }
    return true;
  }
  // The bytes the writes left from `address` on.
  Bytes at(std::uint32_t address, std::size_t n) const {
    Bytes out;
    for (std::size_t i = 0; i < n; ++i) {
      const auto it = memory.find(address + static_cast<std::uint32_t>(i));
      out.push_back(it == memory.end() ? 0xEE : it->second);
    }
    return out;
  }
  std::vector<Block> blocks;
  std::map<std::uint32_t, std::uint8_t> memory;
};

// The macro part of a download as it reaches the mouse: the descriptors, then the images,
// each through `writer`.
MacroLayout layoutMacros(const SlotFunctionTable& functions, const SlotDeviceFunctionTable& deviceFunctions,
                         int currentProfile, const fs::path& macroFolder, const BuiltinMacros& builtins,
                         BlockWriter& writer) {
  MacroLayout layout = planMacroLayout(functions, deviceFunctions, currentProfile, macroFolder, builtins);
  const std::vector<PlannedBlock> blocks = descriptorBlocks(layout);
  EXPECT_EQ(sendBlocks(blocks, writer), blocks.size());
  return layout;
}

struct ImageWriteResult {
  bool completed = true;
  int blocksWritten = 0;
  int blocksOutsideMemory = 0;
};

ImageWriteResult writeMacroImages(const MacroLayout& layout, BlockWriter& writer, MessageService& messages) {
  const ImageBlocks images = imageBlocks(layout);
  for (const char* text : images.messages) {
    messages.show(text);
  }
  return {images.completed, static_cast<int>(sendBlocks(images.blocks, writer)), images.blocksOutsideMemory};
}

Bytes imageOf(const Macro& m, std::uint32_t address = device_memory::kImageArea,
              LoopWord loop = LoopWord::ByPlayMode) {
  const MacroImage image = buildMacroImage(m, address, loop);
  EXPECT_FALSE(image.ledAddressOverflow);
  return image.bytes;
}

MacroEvent cpi(std::uint8_t type, std::int16_t x, std::uint16_t delay) { return {type, step_code::kCpi, x, 0, delay}; }

TEST(MacroImage, KeyPressAndRelease) {
  const Macro m = test::makeMacro("k", {test::press(4, 5), test::release(4, 5)});
  EXPECT_EQ(macroDataStart(m), 8u);
  EXPECT_EQ(imageOf(m), (Bytes{0x01, 0x00, 0x81, 0x04, 0x01, 0x04, 0x00, 0x00}));
}

TEST(MacroImage, StepTimeIsTenToTwelveHundredSeventyMilliseconds) {
  EXPECT_EQ(stepTime(0), 1);
  EXPECT_EQ(stepTime(9), 1);
  EXPECT_EQ(stepTime(15), 1);
  EXPECT_EQ(stepTime(20), 2);
  EXPECT_EQ(stepTime(1270), 127);
  EXPECT_EQ(stepTime(1280), 127);
  EXPECT_EQ(stepTime(2000), 127);
  EXPECT_EQ(stepTime(65535), 127);
}

TEST(MacroImage, EveryStepKind) {
  const Macro m = test::makeMacro(
      "all", {
                 test::move(step_type::kMoveLeftUp, 5, 10, 20),      // t 2
                 test::move(step_type::kMoveLeftDown, 1, 2, 30),     // t 3
                 test::move(step_type::kMoveRightUp, 3, 4, 40),      // t 4
                 test::move(step_type::kMoveRightDown, 100, 0, 0),   // t 1
                 test::move(7, 9, 9, 50),                            // no sign: time and code only
                 cpi(step_type::kCpiSet, 4, 60),
                 cpi(step_type::kCpiReset, 4, 70),
                 cpi(3, 9, 80),
                 {step_type::kNone, step_code::kPause, 0, 0, 90},
                 test::press(step_code::kMouseRight, 10),
                 {0, 4, 0, 0, 10},  // a key with no press or release: no entry
                 test::release(step_code::kMouseRight, 2000),
             });
  EXPECT_EQ(m.moveCount, 5);
  EXPECT_EQ(m.cpiCount, 3);
  // (12 steps + 2 * 5 moves + 3 CPI) * 2 + 2 = 52, rounded to 56.
  EXPECT_EQ(macroDataStart(m), 56u);
  const Bytes expected = {
      0x01, 0x00,                                // loop word
      2,    246,  0xFB, 0xFF, 0xF6, 0xFF,        // X-5 Y-10
      3,    246,  0xFF, 0xFF, 0x02, 0x00,        // X-1 Y+2
      4,    246,  0x03, 0x00, 0xFC, 0xFF,        // X+3 Y-4
      1,    246,  100,  0x00, 0x00, 0x00,        // X+100 Y+0
      5,    246,                                 //
      6 + 128, 248, 4, 0,                        // CPI set: 800
      7,    248,  4,    0,                       // CPI reset
      0,    248,  9,    0,                       // unknown CPI type
      9,    0,                                   // pause
      1 + 128, step_code::kMouseRight,           //
      127,  step_code::kMouseRight,              //
  };
  Bytes image = imageOf(m);
  ASSERT_EQ(image.size(), 56u);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(expected.size())), expected);
  EXPECT_TRUE(std::all_of(image.begin() + static_cast<std::ptrdiff_t>(expected.size()), image.end(),
                          [](std::uint8_t b) { return b == 0; }));
}

TEST(MacroImage, LoopWordByPlayMode) {
  Macro m = test::makeMacro("l", {test::press(4, 10)}, play_mode::kLoopCount, 0x0305);
  auto loopWord = [&](LoopWord how) {
    const Bytes b = imageOf(m, device_memory::kImageArea, how);
    return b[0] | (b[1] << 8);
  };
  EXPECT_EQ(loopWord(LoopWord::ByPlayMode), 0x0305);
  m.playMode = play_mode::kToggle;
  EXPECT_EQ(loopWord(LoopWord::ByPlayMode), 1);
  m.playMode = play_mode::kWhileHeld | play_mode::kContinuousFlag;
  EXPECT_EQ(loopWord(LoopWord::ByPlayMode), 1);
  m.playMode = 3;
  EXPECT_EQ(loopWord(LoopWord::ByPlayMode), 0x0305);
  m.playMode = play_mode::kToggle;
  EXPECT_EQ(loopWord(LoopWord::LoopCount), 0x0305) << "built-in images always carry the loop count";
}

TEST(MacroImage, LedStepsPointAtTheirDataBlocks) {
  Macro m = test::makeMacro("led", {test::led(step_type::kLed0, 0, 100), test::press(4, 10),
                                    test::led(step_type::kLed2, 1, 30)});
  m.ledRows[0] = LedRow::fresh();
  m.ledRows[0].bytes[4] = 3;
  m.ledRows[0].bytes[5] = 2;
  m.ledRows[0].bytes[6] = 15;
  m.ledRows[1].bytes[0] = 3;
  for (int i = 1; i < kLedRowBytes; ++i) {
    m.ledRows[1].bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
  }
  // (3 steps + 2 LED) * 2 + 2 = 12 -> 16; blocks of 8 and (3 * 4 + 4) = 16.
  ASSERT_EQ(macroDataStart(m), 16u);
  ASSERT_EQ(macroImageSize(m), 16u + 8 + 16);
  const std::uint32_t address = 0x1F40;
  const Bytes image = imageOf(m, address);
  // The blocks lie at address + 16 = 0x1F50 and address + 24 = 0x1F58; LED 2 adds 2 * 64.
  EXPECT_EQ(Bytes(image.begin() + 2, image.begin() + 12),
            (Bytes{10, 249, 0x50, 0x1F, 0x81, 0x04, 3, 249, 0x58, static_cast<std::uint8_t>(0x1F + 2 * 64)}));
  EXPECT_EQ(Bytes(image.begin() + 16, image.begin() + 24), (Bytes{0, 0, 0, 0, 3, 2, 15, 0}));
  Bytes second = {2};
  for (int i = 1; i < 16; ++i) {
    second.push_back(static_cast<std::uint8_t>(0xA0 + i));
  }
  EXPECT_EQ(Bytes(image.begin() + 24, image.end()), second);
}

TEST(MacroImage, LedProblemsAreReportedAndSkipped) {
  Macro m = test::makeMacro("bad", {test::led(16, 0, 10), test::led(step_type::kLed1, 7, 10)});
  m.ledRows[0] = LedRow::fresh();
  MacroImage image = buildMacroImage(m, device_memory::kImageArea);
  EXPECT_EQ(image.notices, (std::vector<ImageNotice>{ImageNotice::LedIndexMissing, ImageNotice::LedIndexMissing}));
  // The unknown type is played as LED 0; the missing row gives no entry.
  EXPECT_EQ(image.bytes[3], 249);
  EXPECT_EQ(image.bytes[5] >> 6, 0);
  EXPECT_EQ(image.bytes[7], 0);

  // A row without entries would give the count byte 0 - 1 = 0xFF, 256 entries on the mouse.
  Macro empty = test::makeMacro("empty", {test::led(step_type::kLed0, 0, 10)});
  empty.ledRows[0].bytes[0] = 0;
  const MacroImage emptyImage = buildMacroImage(empty, device_memory::kImageArea);
  EXPECT_EQ(emptyImage.notices, (std::vector<ImageNotice>{ImageNotice::LedIndexMissing}));
  EXPECT_TRUE(std::all_of(emptyImage.bytes.begin() + 2, emptyImage.bytes.end(), [](std::uint8_t b) { return b == 0; }))
      << "no entry and no data block";

  m.ledCount = 0;  // counters that do not match, as an in-memory edit could leave them
  image = buildMacroImage(m, device_memory::kImageArea);
  EXPECT_EQ(image.notices, (std::vector<ImageNotice>{ImageNotice::LedCountZero, ImageNotice::LedCountZero}));
  EXPECT_EQ(image.bytes[3], 0);
}

TEST(MacroImage, LedDataMustEndInsideTheMouse) {
  Macro m = test::makeMacro("edge", {test::led(step_type::kLed0, 0, 10)});
  m.ledRows[0] = LedRow::fresh();
  ASSERT_EQ(macroImageSize(m), 16u);
  // Data at +8..+15: the last byte at 0x3FFF is the last byte of the 16 KiB.
  EXPECT_FALSE(buildMacroImage(m, 0x3FF0).ledAddressOverflow);
  EXPECT_TRUE(buildMacroImage(m, 0x3FF8).ledAddressOverflow);
}

TEST(MacroImage, NeverGrowsPastTheSizeItGave) {
  // Ten moves the counters do not know of: room for ten two-byte entries (22 bytes, so 24)
  // where each move takes six.
  Macro m;
  for (int i = 0; i < 10; ++i) {
    m.events[m.eventCount++] = test::move(step_type::kMoveRightDown, 1, 1, 10);
  }
  ASSERT_EQ(m.moveCount, 0);
  const MacroImage image = buildMacroImage(m, device_memory::kImageArea);
  ASSERT_EQ(image.bytes.size(), 24u);
  EXPECT_EQ(image.bytes[2], 1);
  EXPECT_EQ(image.bytes[14], 1) << "the third move fills the entry area up to byte 20";
  EXPECT_EQ(image.bytes[20], 0) << "and the fourth would pass dataStart: left out";

  m.moveCount = 65535;
  EXPECT_EQ(macroImageSize(m), kMaxMacroImageBytes);
  EXPECT_EQ(buildMacroImage(m, device_memory::kImageArea).bytes.size(), kMaxMacroImageBytes);
}

TEST(MacroButtonDescriptor, Bits) {
  MacroButtonDescriptor d;
  d.eventCount = 180;
  d.playMode = play_mode::kWhileHeld | play_mode::kContinuousFlag;
  d.key = 0x2A;
  d.consumerUsage = 0x0223;
  d.imageAddress = 0x1234;
  EXPECT_EQ(d.encode(), (std::array<std::uint8_t, 8>{10, 180 - 128 + 0x80, 0x2A, 0x23, 0x02, 0x34, 0x12, 1 + 0x40}));

  auto byte6and7 = [](std::uint8_t playMode) {
    MacroButtonDescriptor x;
    x.playMode = playMode;
    const auto b = x.encode();
    return std::pair<int, int>(b[6], b[7]);
  };
  EXPECT_EQ(byte6and7(play_mode::kToggle), (std::pair<int, int>(0x80, 0)));
  EXPECT_EQ(byte6and7(play_mode::kToggle | play_mode::kContinuousFlag), (std::pair<int, int>(0x80, 0x40)));
  EXPECT_EQ(byte6and7(play_mode::kToggle | play_mode::kLoopCountFlag), (std::pair<int, int>(0x80, 0)));
  EXPECT_EQ(byte6and7(play_mode::kLoopCount | play_mode::kLoopCountFlag), (std::pair<int, int>(0x40, 0)));
  EXPECT_EQ(byte6and7(3 | play_mode::kLoopCountFlag), (std::pair<int, int>(0x40, 0)));
  EXPECT_EQ(byte6and7(play_mode::kLoopCount | play_mode::kContinuousFlag), (std::pair<int, int>(0, 0)));

  d = MacroButtonDescriptor{};
  d.imageAddress = 0x4240;  // 14 address bits are kept
  EXPECT_EQ(d.encode()[6], 0x02);
}

TEST(MacroButtonDescriptor, PerFunction) {
  const Macro m = test::makeMacro("m", {test::press(4, 1)}, play_mode::kToggle);
  auto bytes = [&](ButtonFunction code, int slot, const Macro* macro) {
    return describeSlot(code, slot, macro, 0x0240).encode();
  };
  EXPECT_EQ(bytes(22, 0, nullptr), (std::array<std::uint8_t, 8>{10, 0, 255, 0x23, 0x02, 0x40, 0x02, 0}));
  EXPECT_EQ(bytes(31, 0, nullptr)[3], 0x92);
  EXPECT_EQ(bytes(32, 0, &m), (std::array<std::uint8_t, 8>{10, 1, 255, 0xB7, 0x00, 0x40, 0x82, 0}));
  EXPECT_EQ(bytes(function_code::libraryMacro(1, 3), 0, &m), (std::array<std::uint8_t, 8>{10, 1, 255, 0, 0, 0x40, 0x82, 0}));
  EXPECT_EQ(bytes(70 + 5, 0, nullptr)[2], 62) << "a single-key function carries its key: F5";
  EXPECT_EQ(bytes(70 + 79, 0, nullptr)[2], 255);
  EXPECT_EQ(bytes(32, 12, &m)[6], 0x02) << "no play-mode bits past slot 11";
}

// A macro library in a temporary folder, and the slot tables of a download.
class LayoutTest : public ::testing::Test {
 protected:
  LayoutTest() {
    folder = temp / "macro";
    fs::create_directories(folder);
    MacroGroupList list;
    list.names[0] = "G";
    list.groupCount = 1;
    EXPECT_TRUE(writeGroupList(folder, list));
    OpenGroup group;
    group.slots[0] = test::makeMacro("a", {test::press(4, 10), test::release(4, 10)});  // 8 bytes
    group.slots[1] = test::makeMacro("b", {test::move(step_type::kMoveRightDown, 2, 30, 10),
                                           test::move(step_type::kMoveLeftUp, 2, 0, 10),
                                           test::led(step_type::kLed1, 0, 10)});
    group.slots[1].ledRows[0] = LedRow::fresh();
    group.count = 2;
    EXPECT_TRUE(writeAllMacros(folder / "G.dat", group));
    macroA = group.slots[0];
    macroB = group.slots[1];
    builtins.macros[1] = test::makeMacro("b1", {test::press(5, 10), test::release(5, 10), test::press(6, 10),
                                                test::release(6, 10)},
                                         play_mode::kToggle, 3);  // 16 bytes
    builtins.count = 2;
  }

  void put(int profile, int slot, ButtonFunction code, std::uint8_t deviceFunction) {
    functions[profile][slot] = code;
    deviceFunctions[profile][slot] = deviceFunction;
  }

  TempFolder temp;
  fs::path folder;
  Macro macroA, macroB;
  BuiltinMacros builtins;
  SlotFunctionTable functions{};
  SlotDeviceFunctionTable deviceFunctions{};
  RecordingWriter writer;
  RecordedMessages messages;
};

TEST_F(LayoutTest, AddressesPackAndShare) {
  const ButtonFunction a = function_code::libraryMacro(1, 0);
  const ButtonFunction b = function_code::libraryMacro(1, 1);
  put(0, 0, a, 13);
  put(0, 1, 33, 13);
  put(0, 2, a, 13);    // shares a
  put(0, 3, 22, 15);   // consumer key: descriptor, no image
  put(0, 4, 75, 13);   // single-key function: descriptor, no image
  put(0, 5, b, 13);
  put(0, 6, b, 4);     // not a macro kind: no descriptor, no image
  put(1, 8, 33, 13);   // shares the built-in
  put(2, 0, function_code::libraryMacro(1, 5), 13);  // gone: an empty macro of 8 bytes
  const MacroLayout layout = layoutMacros(functions, deviceFunctions, 1, folder, builtins, writer);

  const std::uint32_t base = device_memory::kImageArea;
  const std::uint32_t sizeB = static_cast<std::uint32_t>(macroImageSize(macroB));
  ASSERT_EQ(sizeB, 32u);  // (3 + 2 * 2 + 1) * 2 + 2 -> 24, one LED block of 8
  EXPECT_EQ(layout.slots[0][0].address, base);
  EXPECT_EQ(layout.slots[0][1].address, base + 8);
  EXPECT_EQ(layout.slots[0][2].address, base);
  EXPECT_TRUE(layout.slots[0][2].shared);
  EXPECT_EQ(layout.slots[0][3].address, base + 24);
  EXPECT_EQ(layout.slots[0][4].address, base + 24);
  EXPECT_EQ(layout.slots[0][5].address, base + 24);
  EXPECT_FALSE(layout.slots[0][6].hasDescriptor);
  EXPECT_EQ(layout.slots[1][8].address, base + 8);
  EXPECT_EQ(layout.slots[2][0].address, base + 24 + sizeB);
  EXPECT_EQ(layout.end, base + 24 + sizeB + 8);
  EXPECT_EQ(layout.macros.size(), 4u) << "each distinct macro read once";

  // One 8-byte descriptor per slot that has one, in slot order.
  std::vector<std::uint32_t> addresses;
  for (const Block& block : writer.blocks) {
    EXPECT_EQ(block.data.size(), 8u);
    addresses.push_back(block.address);
  }
  EXPECT_EQ(addresses, (std::vector<std::uint32_t>{0x80, 0x88, 0x90, 0x98, 0xA0, 0xA8, 0x80 + 8 * 22,
                                                   0x80 + 8 * 28}));
  EXPECT_EQ(writer.at(0x80, 8), (Bytes{10, 2, 255, 0, 0, 0x40, 0x02, 0}));
  EXPECT_EQ(writer.at(0x88, 8), (Bytes{10, 4, 255, 0, 0, 0x48, 0x82, 0}));  // code 33: no consumer usage
  EXPECT_EQ(writer.at(0x80 + 8 * 22, 8), writer.at(0x88, 8));

  // The adjustment's target: button 0 of profile 1 holds no macro.
  EXPECT_EQ(layout.adjustTarget.size, 0u);
  EXPECT_EQ(planMacroLayout(functions, deviceFunctions, 0, folder, builtins).adjustTarget.size, 8u);
  EXPECT_EQ(planMacroLayout(functions, deviceFunctions, 2, folder, builtins).adjustTarget.address, base + 24 + sizeB);
}

TEST_F(LayoutTest, ImagesAreWrittenInBlocksOncePerLibraryMacro) {
  const ButtonFunction a = function_code::libraryMacro(1, 0);
  put(0, 0, a, 13);
  put(0, 1, 33, 13);
  put(1, 0, a, 13);
  put(1, 1, 33, 13);
  put(1, 2, 75, 13);
  put(1, 3, 22, 15);
  put(2, 0, function_code::libraryMacro(1, 1), 13);
  const MacroLayout layout = planMacroLayout(functions, deviceFunctions, 0, folder, builtins);
  const ImageWriteResult result = writeMacroImages(layout, writer, messages);
  EXPECT_TRUE(result.completed);
  EXPECT_TRUE(messages.texts.empty());

  std::vector<std::uint32_t> addresses;
  for (const Block& block : writer.blocks) {
    addresses.push_back(block.address);
  }
  // a once; the built-in for both slots that hold it; b in four blocks.
  EXPECT_EQ(addresses, (std::vector<std::uint32_t>{0x240, 0x248, 0x250, 0x248, 0x250, 0x258, 0x260, 0x268, 0x270}));
  EXPECT_EQ(result.blocksWritten, 9);
  EXPECT_EQ(writer.at(0x240, 8), imageOf(macroA, 0x240));
  EXPECT_EQ(writer.at(0x248, 16), imageOf(builtins.macros[1], 0x248, LoopWord::LoopCount));
  EXPECT_EQ(writer.at(0x248, 2), (Bytes{3, 0})) << "built-in loop word: its loop count";
  EXPECT_EQ(writer.at(0x258, 32), imageOf(macroB, 0x258));
}

TEST_F(LayoutTest, LedOverflowStopsTheImages) {
  MacroLayout layout;
  layout.macros = {macroA, macroB, macroA};
  auto place = [&](int slot, ButtonFunction code, std::uint32_t address, int macro) {
    SlotImage& s = layout.slots[0][slot];
    s.function = code;
    s.hasDescriptor = true;
    s.source = ImageSource::Library;
    s.address = address;
    s.macro = macro;
  };
  place(0, function_code::libraryMacro(1, 0), 0x3FC0, 0);
  place(1, function_code::libraryMacro(1, 1), 0x3FF0, 1);  // its LED block would end at 0x400F
  place(2, function_code::libraryMacro(2, 0), 0x0300, 2);
  const ImageWriteResult result = writeMacroImages(layout, writer, messages);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(messages.texts, std::vector<std::string>{kMsgLedAddressOverflow});
  ASSERT_EQ(writer.blocks.size(), 1u);
  EXPECT_EQ(writer.blocks[0].address, 0x3FC0u);
}

TEST_F(LayoutTest, NothingIsWrittenPastTheMouseMemory) {
  MacroLayout layout;
  layout.macros = {builtins.macros[1]};
  SlotImage& s = layout.slots[0][0];
  s.function = 33;
  s.hasDescriptor = true;
  s.source = ImageSource::Builtin;
  s.address = 0x3FF8;
  s.macro = 0;
  const ImageWriteResult result = writeMacroImages(layout, writer, messages);
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.blocksWritten, 1);
  EXPECT_EQ(result.blocksOutsideMemory, 1);
}

TEST_F(LayoutTest, AdjustmentMovesYWithinItsBoundsAndWritesTheImageOnly) {
  const ButtonFunction b = function_code::libraryMacro(1, 1);
  const std::string before = test::readText(folder / "G.dat");
  const AdjustTarget target{0x0300, static_cast<std::uint32_t>(macroImageSize(macroB))};

  AdjustResult up = adjustMacro(b, true, target, folder, writer);
  EXPECT_TRUE(up.adjusted);
  EXPECT_TRUE(up.written);
  EXPECT_TRUE(up.up);
  EXPECT_EQ(up.group, 0);
  EXPECT_EQ(up.index, 1);
  EXPECT_EQ(up.macro.events[0].y, 30) << "30 is the top";
  EXPECT_EQ(up.macro.events[1].y, 1);
  EXPECT_EQ(test::readText(folder / "G.dat"), before) << "the owner's thread stores it, not this one";
  // The adjusted image keeps the LED step and its data, at the remembered place.
  EXPECT_EQ(writer.at(0x0300, target.size), imageOf(up.macro, 0x0300));
  for (const Block& block : writer.blocks) {
    EXPECT_GE(block.address, target.address);
    EXPECT_LE(block.address + block.data.size(), target.address + target.size);
  }

  // From the macro as the mouse has it: twice down from the last image, not from the file.
  writer.blocks.clear();
  AdjustResult down = adjustMacro(b, false, target, folder, writer, &up.macro);
  down = adjustMacro(b, false, target, folder, writer, &down.macro);
  EXPECT_EQ(down.macro.events[0].y, 28);
  EXPECT_EQ(down.macro.events[1].y, 0) << "0 is the bottom";
  EXPECT_EQ(writer.at(0x0300, target.size), imageOf(down.macro, 0x0300));
}

TEST_F(LayoutTest, StoredAdjustmentsAndEditsOfTheGroupKeepEachOther) {
  const ButtonFunction b = function_code::libraryMacro(1, 1);
  ASSERT_TRUE(ini::writeString(folder / "G.dat", "Macros", "9", "left alone"));
  const AdjustTarget target{0x0300, static_cast<std::uint32_t>(macroImageSize(macroB))};
  // The editor has the group open and has changed macro b without saving it.
  OpenGroup open;
  RecordedMessages read;
  ASSERT_TRUE(readGroupFile(folder / "G.dat", open, read));
  open.slots[1].events[1].delay = 500;
  EditedGroup edited{open, folder / "G.dat"};
  // Meanwhile macro a was saved with an edit: the stored adjustment leaves it as it is.
  open.slots[0].events[0].delay = 70;
  ASSERT_TRUE(writeMacro(folder / "G.dat", open, 0));

  const AdjustResult down = adjustMacro(b, false, target, folder, writer);
  ASSERT_TRUE(storeAdjustment(down, &edited));
  const Macro stored = readMacro(folder, 0, 1);
  EXPECT_EQ(stored.events[0].y, 29);
  EXPECT_EQ(stored.events[1].delay, 10) << "the unsaved edit is not the file's";
  EXPECT_EQ(open.slots[1].events[0].y, 29) << "the editor's copy has the adjustment";
  EXPECT_EQ(open.slots[1].events[1].delay, 500) << "and keeps its edit";
  EXPECT_EQ(readMacro(folder, 0, 0).events[0].delay, 70);
  EXPECT_EQ(ini::readString(folder / "G.dat", "Macros", "macroNum", "", 5), "2");
  EXPECT_EQ(ini::readString(folder / "G.dat", "Macros", "9", "", 20), "left alone");

  // The editor's save now carries both.
  ASSERT_TRUE(writeMacro(folder / "G.dat", open, 1));
  EXPECT_EQ(readMacro(folder, 0, 1).events[0].y, 29);
  EXPECT_EQ(readMacro(folder, 0, 1).events[1].delay, 500);

  // Another group open in the editor: only the file changes.
  OpenGroup other;
  other.count = 2;
  EditedGroup elsewhere{other, folder / "H.dat"};
  ASSERT_TRUE(storeAdjustment(down, &elsewhere));
  EXPECT_EQ(readMacro(folder, 0, 1).events[0].y, 28);
  EXPECT_EQ(other.slots[1], Macro{});
  // A macro that is gone stores nothing.
  AdjustResult gone = down;
  gone.index = 5;
  EXPECT_FALSE(storeAdjustment(gone, nullptr));
  EXPECT_FALSE(storeAdjustment(AdjustResult{}, nullptr));
}

TEST_F(LayoutTest, AdjustmentNeverWritesPastTheRememberedSize) {
  const ButtonFunction b = function_code::libraryMacro(1, 1);
  // The macro has grown since the download that sized its image.
  AdjustResult r = adjustMacro(b, true, AdjustTarget{0x0300, 16}, folder, writer);
  EXPECT_TRUE(r.adjusted);
  EXPECT_FALSE(r.written);
  EXPECT_TRUE(writer.blocks.empty());
  // Button 0 had no library macro at the last download.
  r = adjustMacro(b, true, AdjustTarget{0x0300, 0}, folder, writer);
  EXPECT_FALSE(r.written);
  EXPECT_TRUE(writer.blocks.empty());

  // Not a library macro, or one that is not there: nothing at all.
  EXPECT_FALSE(adjustMacro(33, true, AdjustTarget{0x0240, 16}, folder, writer).adjusted);
  EXPECT_FALSE(adjustMacro(function_code::libraryMacro(1, 5), true, AdjustTarget{0x0240, 16}, folder, writer).adjusted);
  EXPECT_FALSE(adjustMacro(function_code::libraryMacro(4, 0), true, AdjustTarget{0x0240, 16}, folder, writer).adjusted);
  EXPECT_TRUE(writer.blocks.empty());
  EXPECT_EQ(readMacroNum(folder / "G.dat"), 2);
}

TEST_F(LayoutTest, AnAdjustmentTheMouseDidNotTakeIsNotWritten) {
  // The mouse went away: its writer takes no block (or, gone half-way, only the first).
  class GoneWriter final : public BlockWriter {
   public:
    explicit GoneWriter(int takes) : takes_(takes) {}
    bool writeBlock(std::uint16_t, std::span<const std::uint8_t>) override { return takes_-- > 0; }

   private:
    int takes_;
  };
  const ButtonFunction b = function_code::libraryMacro(1, 1);
  const AdjustTarget target{0x0300, static_cast<std::uint32_t>(macroImageSize(macroB))};
  for (const int takes : {0, 1}) {
    SCOPED_TRACE(takes);
    GoneWriter gone(takes);
    const AdjustResult r = adjustMacro(b, true, target, folder, gone);
    EXPECT_TRUE(r.adjusted) << "the adjustment is still made, for the file";
    EXPECT_FALSE(r.written);
  }
}

// Encoding then decoding, over many generated macros and descriptors: the mouse reads back every
// step and field the download encoded (delays in whole tens of milliseconds, as the mouse keeps them).
TEST(MacroImageRoundTrip, EveryStepComesBackAsEncoded) {
  std::mt19937 rng(736);
  auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 400; ++round) {
    SCOPED_TRACE(round);
    Macro m;
    m.loopCount = static_cast<std::uint16_t>(pick(500));
    m.eventCount = static_cast<std::uint16_t>(1 + pick(kMacroMaxSteps));
    int leds = 0;
    for (int i = 0; i < m.eventCount; ++i) {
      MacroEvent& e = m.events[static_cast<std::size_t>(i)];
      e.delay = static_cast<std::uint16_t>(10 * (1 + pick(127)));
      switch (pick(leds < kLedRowCount ? 6 : 5)) {
        case 0:
          e = {step_type::kNone, step_code::kPause, 0, 0, e.delay};
          break;
        case 1:
          e.type = pick(2) == 0 ? step_type::kPress : step_type::kRelease;
          e.code = static_cast<std::uint8_t>(4 + pick(0xE4));
          break;
        case 2:
          e.type = pick(2) == 0 ? step_type::kPress : step_type::kRelease;
          e.code = static_cast<std::uint8_t>(step_code::kMouseLeft + pick(3));
          break;
        case 3:
          e = {static_cast<std::uint8_t>(step_type::kMoveLeftUp + pick(4)), step_code::kMove,
               static_cast<std::int16_t>(pick(101)), static_cast<std::int16_t>(pick(101)), e.delay};
          break;
        case 4:
          e = {pick(2) == 0 ? step_type::kCpiSet : step_type::kCpiReset, step_code::kCpi,
               static_cast<std::int16_t>(pick(8)), 0, e.delay};
          break;
        default: {
          LedRow& row = m.ledRows[static_cast<std::size_t>(leds)];
          row.bytes[0] = static_cast<std::uint8_t>(1 + pick(kLedRowMaxEntries));
          for (std::size_t b = kLedRowHeaderBytes; b < row.bytes.size(); ++b) {
            row.bytes[b] = static_cast<std::uint8_t>(pick(256));
          }
          e = {static_cast<std::uint8_t>(step_type::kLed0 + pick(3)), step_code::kLed,
               static_cast<std::int16_t>(leds++), 0, e.delay};
          break;
        }
      }
    }
    recountSteps(m);
    const std::uint32_t address = device_memory::kImageArea + 8 * static_cast<std::uint32_t>(pick(200));
    const MacroImage image = buildMacroImage(m, address, LoopWord::LoopCount);
    ASSERT_TRUE(image.notices.empty());
    ASSERT_FALSE(image.ledAddressOverflow);
    Bytes memory(device_memory::kEnd, 0);
    std::copy(image.bytes.begin(), image.bytes.end(), memory.begin() + address);

    const ImageWalk walk = walkImage(memory, address, m.eventCount);
    EXPECT_FALSE(walk.error.has_value());
    EXPECT_EQ(walk.loops, m.loopCount);
    ASSERT_EQ(walk.steps.size(), std::size_t{m.eventCount});
    for (std::size_t i = 0; i < walk.steps.size(); ++i) {
      const MacroEvent& e = m.events[i];
      const ImageStep& step = walk.steps[i];
      EXPECT_EQ(step.waitMs, e.delay);
      switch (e.code) {
        case step_code::kPause:
          EXPECT_EQ(step.kind, ImageStep::Kind::kPause);
          break;
        case step_code::kMove: {
          const bool left = e.type == step_type::kMoveLeftUp || e.type == step_type::kMoveLeftDown;
          const bool up = e.type == step_type::kMoveLeftUp || e.type == step_type::kMoveRightUp;
          EXPECT_EQ(step.kind, ImageStep::Kind::kMove);
          EXPECT_EQ(step.x, left ? -e.x : e.x);
          EXPECT_EQ(step.y, up ? -e.y : e.y);
          break;
        }
        case step_code::kCpi:
          EXPECT_EQ(step.kind, e.type == step_type::kCpiSet ? ImageStep::Kind::kCpiSet : ImageStep::Kind::kCpiReset);
          EXPECT_EQ(step.code, e.x);
          break;
        case step_code::kLed: {
          EXPECT_EQ(step.kind, ImageStep::Kind::kLed);
          EXPECT_EQ(step.led, e.type - step_type::kLed0);
          EXPECT_GE(std::size_t{step.ledAddress}, address + macroDataStart(m));
          EXPECT_LT(std::size_t{step.ledAddress}, address + image.bytes.size());
          const LedRow& row = m.ledRows[static_cast<std::size_t>(e.x)];
          ASSERT_EQ(step.ledEntries.size(), static_cast<std::size_t>(row.entryCount()));
          for (std::size_t k = 0; k < step.ledEntries.size(); ++k) {
            const std::size_t at = kLedRowHeaderBytes + kLedEntryBytes * k;
            EXPECT_EQ(step.ledEntries[k], (ImageStep::LedEntry{row.bytes[at], row.bytes[at + 1], row.bytes[at + 2]}));
          }
          break;
        }
        default:
          EXPECT_EQ(step.kind, e.code >= step_code::kMouseLeft ? ImageStep::Kind::kButton : ImageStep::Kind::kKey);
          EXPECT_EQ(step.code, e.code);
          EXPECT_EQ(step.down, e.type == step_type::kPress);
          break;
      }
    }
  }
}

TEST(MacroButtonDescriptorRoundTrip, EveryFieldComesBack) {
  std::mt19937 rng(14);
  constexpr std::uint8_t kModes[] = {play_mode::kLoopCount, play_mode::kToggle, play_mode::kWhileHeld};
  for (int round = 0; round < 2000; ++round) {
    MacroButtonDescriptor d;
    d.eventCount = static_cast<std::uint16_t>(rng() % 0x2000);
    d.key = static_cast<std::uint8_t>(rng());
    d.consumerUsage = static_cast<std::uint16_t>(rng());
    d.imageAddress = rng() % device_memory::kEnd;
    const std::uint8_t mode = kModes[rng() % 3];
    const std::uint8_t flag = mode == play_mode::kLoopCount ? play_mode::kLoopCountFlag : play_mode::kContinuousFlag;
    d.playMode = static_cast<std::uint8_t>(mode | (rng() % 2 == 0 ? flag : 0));
    const std::optional<DescriptorBits> back = decodeDescriptor(d.encode());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->fields, d) << round;
  }
  // A flag of another mode is not stored; a block without the tag is no descriptor.
  MacroButtonDescriptor d;
  d.playMode = play_mode::kToggle | play_mode::kLoopCountFlag;
  EXPECT_EQ(decodeDescriptor(d.encode())->fields.playMode, play_mode::kToggle);
  auto bytes = d.encode();
  bytes[0] = 0;
  EXPECT_FALSE(decodeDescriptor(bytes).has_value());
}

}  // namespace
}  // namespace quillet
