// The settings download end to end against a recording mouse: what is written in which order,
// what the desktop and the settings file get, and where the download stops.
#include "core/device/download.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/device/block_writer.h"
#include "core/device/configuration.h"
#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library.h"
#include "core/settings/settings_file.h"
#include "linux/desktop_mouse.h"
#include "support/shipped_configuration.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::readBytes;

// The blocks, and where they came among the desktop's changes.
struct Recorder final : BlockRecorder {
  bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) override {
    events.push_back("block");
    return BlockRecorder::writeBlock(address, data);
  }
  std::vector<std::string> events;
};

struct FakeDesktop final : DesktopMouseSettings {
  explicit FakeDesktop(std::vector<std::string>& events) : events(events) {}
  std::string name() const override { return "fake"; }
  std::optional<int> pointerSpeed() override { return hasSpeed ? std::optional<int>(speed) : std::nullopt; }
  bool setPointerSpeed(int s) override {
    events.push_back("speed " + std::to_string(s));
    speed = s;
    return true;
  }
  std::optional<int> wheelScrollLines() override { return hasWheel ? std::optional<int>(lines) : std::nullopt; }
  bool setWheelScrollLines(int l) override {
    events.push_back("wheel " + std::to_string(l));
    lines = l;
    return true;
  }
  std::vector<std::string>& events;
  bool hasSpeed = true;
  bool hasWheel = true;
  int speed = 10;
  int lines = 3;
};

class Download : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.appFolder = QUILLET_BIN_DIR;
    app_.setSkinFolder(test::copyShippedSkins(dir_));
    loadStartupSettings(app_, settings_);
    startLibrary();
  }
  void startLibrary() { library_.start(app_); }
  DownloadResult run(bool writeFiles = true) {
    DownloadContext context{settings_, app_, state_, library_, writer_,
                            [this] {
                              writer_.events.push_back("finish");
                              return true;
                            },
                            &desktop_, messages_,
                            [this] { writer_.events.push_back("repaint"); }, writeFiles};
    return downloadSettings(context);
  }
  std::string config(const std::string& section, const std::string& key) {
    return ini::readString(app_.configPath, section, key, "<missing>", 16);
  }

  test::TempDir dir_;
  AppState app_;
  ProfileSettings settings_;
  DownloadState state_;
  RecordedMessages messages_;
  MacroLibrary library_{messages_};
  Recorder writer_;
  FakeDesktop desktop_{writer_.events};
};

TEST_F(Download, WritesConfigurationDescriptorsAndImagesThenEndsSetsTheDesktopAndSaves) {
  for (auto& profile : settings_.buttonFunction) {
    profile = {1, 2, 3, 4, 5, 6, 11, 12};  // nothing with a descriptor
  }
  app_.currentProfile = 2;  // picked in the profile popup, not yet saved
  settings_.pointerSpeed = 10;
  settings_.wheelSpeed = 2;
  settings_.buttonFunction[0][3] = 38;                                 // a built-in macro
  settings_.buttonFunction[1][7] = 22;                                 // a multimedia key
  settings_.buttonFunction[2][0] = function_code::libraryMacro(1, 0);  // the first shipped macro
  const DownloadResult result = run();
  ASSERT_TRUE(result.completed);
  EXPECT_TRUE(messages_.texts.empty());

  // The configuration area comes first: the shipped one with profile index 2 current and the
  // key bytes of these buttons. Built-in macro 6 ("RapidFire") plays in mode 2: device function
  // 14; the library's first macro ("Copy") in mode 0: 13; the multimedia key: 15; functions 11
  // and 12: 7 and 8. Profile 2's reactions add 0x60 to its slots 0-7, profile 4's 0xA0.
  test::ConfigurationArea expected = test::shippedConfigurationArea();
  expected[0x0001] = {0x42};
  expected[0x0008] = {0x01, 0x02, 0x03, 0x0E, 0x05, 0x06, 0x07, 0x00};
  expected[0x0010][0] = 0x08;
  expected[0x0040] = {0x00, 0x00, 0x00, 0xFF, 0x61, 0x62, 0x63, 0x64};
  expected[0x0048] = {0x65, 0x66, 0x67, 0x60, 0x0F, 0x00, 0x00, 0x00};
  expected[0x0050] = {0x0D, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x00};
  expected[0x0058] = {0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  expected[0x0060] = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA0};
  expected[0x0068] = {0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
  ASSERT_GE(writer_.blocks.size(), 16u + 3);
  std::vector<std::uint16_t> order;
  test::ConfigurationArea written;
  for (std::size_t i = 0; i < 16; ++i) {
    order.push_back(writer_.blocks[i].address);
    written[writer_.blocks[i].address] = writer_.blocks[i].bytes;
  }
  EXPECT_EQ(order, (std::vector<std::uint16_t>{0x01, 0x08, 0x10, 0x18, 0x20, 0x28, 0x30, 0x38, 0x40, 0x48, 0x50,
                                               0x58, 0x60, 0x68, 0x70, 0x78}));
  EXPECT_EQ(written, expected);
  // Then the descriptors of the three slots, in profile and slot order, then the images.
  EXPECT_EQ(writer_.blocks[16].address, 0x0080 + 8 * 3);
  EXPECT_EQ(writer_.blocks[17].address, 0x0080 + 8 * (14 + 8));
  EXPECT_EQ(writer_.blocks[18].address, 0x0080 + 8 * (28 + 0));
  for (std::size_t i = 19; i < writer_.blocks.size(); ++i) {
    EXPECT_GE(writer_.blocks[i].address, 0x0240);
    EXPECT_LE(writer_.blocks[i].bytes.size(), 8u);
  }
  // Finish after the last block; the desktop; the repaint; the save.
  const std::vector<std::string> tail(writer_.events.end() - 4, writer_.events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"finish", "speed 18", "wheel 3", "repaint"}));
  EXPECT_EQ(config("Init", "CurConfig"), "3");
  EXPECT_EQ(config("Config3", "K0"), std::to_string(function_code::libraryMacro(1, 0)));
  EXPECT_EQ(config("Config4", "DPI_SPEED"), "10");
}

TEST_F(Download, DesktopWithoutTheSettingsIsLeftAlone) {
  desktop_.hasSpeed = false;
  desktop_.hasWheel = false;
  ASSERT_TRUE(run().completed);
  EXPECT_EQ(writer_.events.back(), "repaint");
  EXPECT_EQ(writer_.events[writer_.events.size() - 2], "finish");
}

TEST_F(Download, AMacroThatNoLongerExistsBecomesNoFunction) {
  settings_.buttonFunction[1][2] = function_code::libraryMacro(9, 0);   // no ninth group
  settings_.buttonFunction[1][3] = function_code::libraryMacro(1, 11);  // beyond the group's macros
  ASSERT_TRUE(run().completed);
  EXPECT_EQ(settings_.buttonFunction[1][2], 0);
  EXPECT_EQ(settings_.buttonFunction[1][3], 0);
  EXPECT_EQ(state_.deviceFunction[1][2], 0);
  EXPECT_EQ(config("Config2", "K2"), "0");
  EXPECT_EQ(config("Config2", "K3"), "0");
}

TEST_F(Download, DryRunWritesNoFile) {
  const std::string before = readBytes(app_.configPath);
  app_.currentProfile = 3;
  settings_.fireTime = 120;
  ASSERT_TRUE(run(false).completed);
  EXPECT_EQ(readBytes(app_.configPath), before);
  EXPECT_GE(writer_.blocks.size(), 16u);
  EXPECT_EQ(writer_.blocks[0].bytes[0], (3 << 5) | 2);
}

TEST_F(Download, LedDataPastTheMemoryStopsEverythingAfterIt) {
  // Two groups of twelve large macros with lighting: their images do not fit in 16 KiB.
  MacroGroupList list;
  list.groupCount = 2;
  for (int g = 0; g < 2; ++g) {
    list.names[g] = "Big" + std::to_string(g);
    OpenGroup group;
    group.count = kGroupMaxMacros;
    for (int m = 0; m < kGroupMaxMacros; ++m) {
      Macro& macro = group.slots[m];
      setMacroName(macro, "m" + std::to_string(m));
      macro.loopCount = 1;
      for (int s = 0; s < kMacroMaxSteps - kMacroMaxLedSteps; ++s) {
        macro.events[macro.eventCount++] = {step_type::kPress, 4, 0, 0, 10};
      }
      for (int l = 0; l < kMacroMaxLedSteps; ++l) {
        macro.events[macro.eventCount++] = {step_type::kLed0, step_code::kLed, static_cast<std::int16_t>(l), 0, 10};
        macro.ledRows[l].bytes[0] = kLedRowMaxEntries;
      }
      recountSteps(macro);
    }
    ASSERT_TRUE(writeAllMacros(library_.folders().macroFolder / (list.names[g] + ".dat"), group));
  }
  ASSERT_TRUE(writeGroupList(library_.folders().macroFolder, list));
  startLibrary();
  for (int p = 0; p < kProfileCount; ++p) {
    for (int b = 0; b < kButtonCount; ++b) {
      const int n = p * kButtonCount + b;
      if (n < 24) {
        settings_.buttonFunction[p][b] = function_code::libraryMacro(1 + n / 12, n % 12);
      }
    }
  }
  settings_.buttonFunction[0][0] = 1;
  settings_.buttonFunction[0][1] = function_code::libraryMacro(1, 0);
  const std::string before = readBytes(app_.configPath);

  const DownloadResult result = run();
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"LED地址越界!"});
  EXPECT_EQ(writer_.events.back(), "block") << "no Finish, no desktop settings, no repaint";
  EXPECT_EQ(readBytes(app_.configPath), before) << "the settings are not saved";
  for (const auto& block : writer_.blocks) {
    EXPECT_LT(block.address + block.bytes.size(), 0x4001u);
  }
}

TEST_F(Download, StartupDerivesTheButtonFlagsWithoutDownloading) {
  settings_.buttonFunction[2] = {1, 40, 17, 15, 5, 6, 11, 12};
  DownloadState state;
  deriveDownloadState(settings_, library_, state);
  EXPECT_EQ(state.isHoldButton[2][1], 1);
  EXPECT_EQ(state.isProfileButton[2][2], 1);
  EXPECT_EQ(state.isDpiButton[2][3], 1);
  EXPECT_EQ(state.isDpiButton[2][5], 1);
  EXPECT_TRUE(writer_.blocks.empty());
}

TEST(DownloadRules, DesktopPointerSpeedFromTheSpeedLevel) {
  const std::pair<int, int> table[] = {{0, 1}, {1, 2}, {2, 4}, {5, 10}, {8, 16}, {9, 18}, {10, 18}, {255, 18}};
  for (const auto& [level, speed] : table) {
    EXPECT_EQ(desktopPointerSpeed(static_cast<std::uint8_t>(level)), speed) << level;
  }
}

}  // namespace
}  // namespace quillet
