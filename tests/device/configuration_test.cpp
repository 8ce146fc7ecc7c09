// The configuration area, byte for byte, as the mouse must receive it.
#include "core/device/configuration.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

// The byte a download writes at `address`, from its configuration blocks.
std::uint8_t byteAt(const std::vector<ConfigurationBlock>& blocks, std::uint16_t address) {
  for (const ConfigurationBlock& b : blocks) {
    if (address >= b.address && address < b.address + b.bytes.size()) {
      return b.bytes[address - b.address];
    }
  }
  ADD_FAILURE() << "address " << address << " is not written";
  return 0;
}

class Configuration : public ::testing::Test {
 protected:
  std::vector<ConfigurationBlock> download(int currentProfile = 0, std::uint8_t deviceValue = 0) {
    deriveKeySlots(settings_, playModes_, state_);
    return configurationBlocks(settings_, state_, currentProfile, deviceValue);
  }
  ProfileSettings settings_;
  DownloadState state_;
  MacroPlayModeLookup playModes_ = [](ButtonFunction code) -> std::optional<std::uint8_t> {
    if (code == 33 || code == function_code::libraryMacro(2, 1)) {
      return 2;
    }
    if (code == 32 || code == function_code::libraryMacro(1, 0)) {
      return 1;
    }
    return std::nullopt;
  };
};

TEST_F(Configuration, SixteenBlocksInOrder) {
  const auto blocks = download();
  ASSERT_EQ(blocks.size(), 16u);
  EXPECT_EQ(blocks[0].address, 0x0001);
  EXPECT_EQ(blocks[0].bytes.size(), 1u);
  for (std::size_t i = 1; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].address, 8 * i);
    EXPECT_EQ(blocks[i].bytes.size(), 8u);
  }
  EXPECT_EQ(download(3)[0].bytes[0], (3 << 5) | 2);
  EXPECT_EQ(byteAt(blocks, 0x0013), 0x3F);
  EXPECT_EQ(byteAt(blocks, 0x001E), 0x07);
  EXPECT_EQ(byteAt(blocks, 0x0032), 0xFF);
  EXPECT_EQ(byteAt(blocks, 0x0033), 0x03);
  EXPECT_EQ(byteAt(blocks, 0x0043), 0xFF);
}

TEST_F(Configuration, DeviceFunctionBytesAndFlags) {
  const std::pair<ButtonFunction, std::uint8_t> table[] = {
      {0, 0},   {1, 1},   {6, 6},   {7, 3},   {10, 6},  {13, 9},  {14, 21}, {15, 11}, {16, 12}, {17, 22},
      {21, 26}, {22, 15}, {31, 15}, {40, 0},  {32, 13}, {33, 14}, {39, 13}, {44, 13}, {45, 13}, {255, 13},
      {-5, 0},  {256 * 1 + 0, 13}, {256 * 2 + 1, 14}, {256 * 9 + 11, 13}};
  for (const auto& [code, expected] : table) {
    const auto mode = isMacroFunction(code) ? playModes_(code) : std::nullopt;
    EXPECT_EQ(deviceFunctionByte(code, mode), expected) << "code " << code;
  }

  settings_.buttonFunction[1] = {10, 40, 17, 16, 15, 6, 21, 22};
  download();
  EXPECT_EQ(state_.isDpiButton[1], (std::array<std::int32_t, 8>{1, 0, 0, 1, 1, 1, 0, 0}));
  EXPECT_EQ(state_.isHoldButton[1], (std::array<std::int32_t, 8>{0, 1, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(state_.isProfileButton[1], (std::array<std::int32_t, 8>{0, 0, 1, 0, 0, 0, 1, 0}));
  EXPECT_EQ(state_.slotFunction[1][8], 22) << "button 7 sits on key slot 8";
  EXPECT_EQ(state_.slotFunction[1][7], 0);

  // Flags are set, never cleared, within a run.
  settings_.buttonFunction[1] = {1, 1, 1, 1, 1, 1, 1, 1};
  download();
  EXPECT_EQ(state_.isDpiButton[1][0], 1);
  EXPECT_EQ(state_.isHoldButton[1][1], 1);
  EXPECT_EQ(state_.isProfileButton[1][2], 1);
  EXPECT_EQ(state_.deviceFunction[1][0], 1);
}

TEST_F(Configuration, KeyBytesCarryTheReactionBySlotNumber) {
  settings_.buttonFunction[0][7] = 22;
  settings_.ledReactEnabled[0][7] = 1;
  settings_.ledReactType[0][7] = 1;
  settings_.buttonFunction[3][0] = 14;
  settings_.ledReactEnabled[3][0] = 1;
  settings_.ledReactType[3][0] = 3;
  const auto blocks = download();
  EXPECT_EQ(byteAt(blocks, 0x0010), 15) << "button 7's function on slot 8, no reaction";
  EXPECT_EQ(byteAt(blocks, 0x000F) >> 5, 3) << "button 7's reaction on slot 7";
  EXPECT_EQ(byteAt(blocks, 0x000F) & 0x1F, 0);
  EXPECT_EQ(byteAt(blocks, 0x0060), (7 << 5) | 21);
}

TEST_F(Configuration, FireTimeDpiAndEnables) {
  settings_.fireTime = 300;
  settings_.dpiStep = {0, 1, 2, 3, 4, 5};
  settings_.dpiLevelEnabled = {1, 0, 1, 1, 0, 1};
  settings_.currentDpiLevel = 3;
  auto blocks = download();
  EXPECT_EQ(byteAt(blocks, 0x001A), 0x25);
  EXPECT_EQ(byteAt(blocks, 0x001B), 0x00);
  EXPECT_EQ(byteAt(blocks, 0x0015), 0x12);
  EXPECT_EQ(byteAt(blocks, 0x0016), 0x34);
  EXPECT_EQ(byteAt(blocks, 0x0017), 0x56);
  EXPECT_EQ(byteAt(blocks, 0x0018), 0x53);
  EXPECT_EQ(byteAt(blocks, 0x0019), 0b101101);

  settings_.dpiStep = {9, 10, 11, 0, 1, 2};
  settings_.fireTime = 2047;
  blocks = download();
  EXPECT_EQ(byteAt(blocks, 0x0015), 0xDE);
  EXPECT_EQ(byteAt(blocks, 0x0016), 0xF1);
  EXPECT_EQ(byteAt(blocks, 0x0017), 0x23);
  EXPECT_EQ(byteAt(blocks, 0x001A), 0xFF);
  EXPECT_EQ(byteAt(blocks, 0x001B), 0x00);

  // A step beyond the table (from a damaged file) never reads past it.
  settings_.dpiStep = {44, 255, 12, 0, 0, 0};
  blocks = download();
  EXPECT_EQ(byteAt(blocks, 0x0015), 0xFF);
  EXPECT_EQ(byteAt(blocks, 0x0016), 0xF1);
}

TEST_F(Configuration, LightingByteCarriesItsFieldsBetweenDownloads) {
  settings_.ledMode = 3;
  settings_.ledPeriod = 2;
  EXPECT_EQ(byteAt(download(), 0x001C), 0xB2);
  settings_.ledMode = 9;
  EXPECT_EQ(byteAt(download(), 0x001C), 0xB7) << "type 3 carried over, speed 7";
  settings_.ledMode = 12;
  EXPECT_EQ(byteAt(download(), 0x001C), 0xB7) << "an unknown effect keeps the held speed";
  settings_.ledMode = 8;
  EXPECT_EQ(byteAt(download(), 0x001C), 0x9A);
  settings_.ledMode = 12;
  EXPECT_EQ(byteAt(download(), 0x001C), 0x9A);

  DownloadState fresh;
  EXPECT_EQ(lightingByte(fresh, 9, 0), 0x87) << "nothing to carry in a new run";
}

TEST_F(Configuration, ColoursDirectionAndBrightness) {
  for (int j = 0; j < 7; ++j) {
    settings_.ledUserColor[j] = ColorLevels{j, j + 1, j + 2};
  }
  for (int l = 0; l < 6; ++l) {
    settings_.dpiColor[l] = ColorLevels{15 - l, 14 - l, 13 - l};
  }
  settings_.ledSymmetry = 1;
  settings_.ledDirection = 2;
  settings_.ledBrightness = 6;
  settings_.ledUserColorEnabled = 1;
  settings_.setCycleColorMask(0x7F);
  settings_.cycleColorEnabled[6] = 0;
  const auto blocks = download(0, 0xA5);
  for (int n = 0; n < 18; ++n) {
    const int j = n / 3;
    const int user = j + n % 3;
    const int dpi = 15 - j - n % 3;
    const std::uint16_t address = n < 16 ? 0x0020 + n : 0x0030 + (n - 16);
    EXPECT_EQ(byteAt(blocks, address), (user << 4) + dpi) << "colour byte " << n;
  }
  EXPECT_EQ(byteAt(blocks, 0x003A), (1 << 6) | (2 << 4) | 0x5);
  EXPECT_EQ(byteAt(blocks, 0x003E), (6 << 4) + 7);
  EXPECT_EQ(byteAt(blocks, 0x003F), (6 << 4) + 8);
  EXPECT_EQ(byteAt(blocks, 0x001D), 0x80 + 0x3F) << "mask rebuilt from the flags";
}

}  // namespace
}  // namespace quillet
