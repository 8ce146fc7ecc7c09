// The firmware against what the host's download writes: macro playback of every step kind and
// play mode, damaged images, the DPI and profile buttons, and the decoded configuration.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "config_map.h"
#include "core/device/block_writer.h"
#include "core/device/configuration.h"
#include "core/device/macro_image.h"
#include "core/device/macro_layout.h"
#include "core/io/messages.h"
#include "firmware.h"
#include "macro/macro_test_support.h"

namespace quillet::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::Not;
using Bytes = std::vector<std::uint8_t>;
using test::makeMacro;

// Block writes straight into the firmware, report by report, as the protocol sends them.
class FirmwareWriter final : public BlockWriter {
 public:
  explicit FirmwareWriter(Firmware& fw) : fw_(fw) {}
  bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) override {
    for (std::size_t off = 0; off < data.size(); off += 8) {
      const std::size_t n = std::min<std::size_t>(8, data.size() - off);
      const auto a = static_cast<std::uint16_t>(address + off);
      const auto lo = static_cast<std::uint8_t>(a & 0xFF);
      const auto hi = static_cast<std::uint8_t>(a >> 8);
      const auto m = static_cast<std::uint8_t>(n - 1);
      for (std::size_t i = 0; i < n; ++i) {
        fw_.receive(Bytes{0x07, 0x18, 0x03, static_cast<std::uint8_t>(i), lo, hi, data[off + i], m});
      }
      fw_.receive(Bytes{0x07, 0x18, 0x09, 0x00, lo, hi, 0x00, m});
      fw_.receive(Bytes{0x07, 0x18, 0x00, 0x00, lo, hi, 0x00, 0x00});
    }
    return true;
  }

 private:
  Firmware& fw_;
};

constexpr MacroEvent pause(std::uint16_t delay) { return {0, 0, 0, 0, delay}; }
constexpr MacroEvent cpiSet(std::int16_t index, std::uint16_t delay) {
  return {step_type::kCpiSet, step_code::kCpi, index, 0, delay};
}
constexpr MacroEvent cpiReset(std::uint16_t delay) { return {step_type::kCpiReset, step_code::kCpi, 4, 0, delay}; }

class PlaybackTest : public ::testing::Test {
 protected:
  // Built-in macro `index` (function code 32 + index) on `button` of profile 1.
  void give(int button, int index, const Macro& macro, int profile = 0) {
    builtins.macros[static_cast<std::size_t>(index)] = macro;
    builtins.count = std::max(builtins.count, index + 1);
    settings.buttonFunction[static_cast<std::size_t>(profile)][static_cast<std::size_t>(button)] =
        function_code::kFirstBuiltinMacro + index;
  }

  // The host's download: key slots, configuration area, descriptors and images.
  void download(int currentProfile = 0) {
    auto playMode = [this](ButtonFunction code) -> std::optional<std::uint8_t> {
      return builtins.macros[static_cast<std::size_t>(code - function_code::kFirstBuiltinMacro)].playMode;
    };
    deriveKeySlots(settings, playMode, state);
    std::vector<PlannedBlock> blocks = configurationBlocks(settings, state, currentProfile, 0);
    const MacroLayout layout = planMacroLayout(state.slotFunction, state.deviceFunction, currentProfile, {}, builtins);
    const std::vector<PlannedBlock> descriptors = descriptorBlocks(layout);
    const ImageBlocks images = imageBlocks(layout);
    ASSERT_TRUE(images.completed);
    blocks.insert(blocks.end(), descriptors.begin(), descriptors.end());
    blocks.insert(blocks.end(), images.blocks.begin(), images.blocks.end());
    FirmwareWriter writer(fw);
    sendBlocks(blocks, writer);
    fw.takePlayLog();
  }

  std::vector<std::string> press(int button) {
    reports = fw.press(button);
    return fw.takePlayLog();
  }
  std::vector<std::string> release(int button) {
    reports = fw.release(button);
    return fw.takePlayLog();
  }
  // Only the steps: without the start, end and stop lines.
  static std::vector<std::string> steps(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines) {
      if (!l.starts_with("start ") && !l.starts_with("end ") && !l.starts_with("stop ")) {
        out.push_back(l);
      }
    }
    return out;
  }

  void poke(std::uint16_t address, const Bytes& bytes) {
    FirmwareWriter writer(fw);
    writer.writeBlock(address, bytes);
  }

  Firmware fw;
  ProfileSettings settings;
  BuiltinMacros builtins;
  DownloadState state;
  std::vector<EventReport> reports;
};

TEST_F(PlaybackTest, EveryStepKindPlaysAsTheHostEncodedIt) {
  Macro m =
      makeMacro("all", {test::press(4, 300), test::release(4, 5), test::press(step_code::kMouseLeft, 10),
                        test::release(step_code::kMouseLeft, 10), test::press(step_code::kMouseMiddle, 10),
                        test::release(step_code::kMouseRight, 10), pause(2000), pause(0),
                        test::move(step_type::kMoveLeftUp, 5, 10, 20), test::move(step_type::kMoveRightDown, 7, 3, 20),
                        cpiSet(4, 10), cpiReset(10), test::led(step_type::kLed1, 0, 100)});
  m.ledRows[0].bytes[0] = 2;
  m.ledRows[0].bytes[4] = 1;  // mode 1, colour 3, 0.5 s
  m.ledRows[0].bytes[5] = 3;
  m.ledRows[0].bytes[6] = 5;
  m.ledRows[0].bytes[8] = 2;  // mode 2, colour 0, 1.2 s
  m.ledRows[0].bytes[10] = 12;
  give(3, 0, m);
  download();

  const auto lines = press(3);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "start button 3 profile 1 image 0240 mode count rounds 1");
  EXPECT_EQ(lines.back(), "end button 3");
  // The LED data follows the step entries: 2 + 2 * 8 + 6 * 2 + 4 * 3 = 42, rounded up to 48.
  EXPECT_THAT(
      steps(lines),
      ElementsAre("key 04 down", "wait 300", "key 04 up", "wait 10", "button left down", "wait 10", "button left up",
                  "wait 10", "button middle down", "wait 10", "button right up", "wait 10", "wait 1270", "wait 10",
                  "move -5 -10", "wait 20", "move 7 3", "wait 20", "cpi 4", "wait 10", "cpi reset", "wait 10",
                  "led L1 at 0270: mode 1 colour 3 time 0.5s, mode 2 colour 0 time 1.2s", "wait 100"));
  // The key event goes out whatever the button plays.
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], (EventReport{0x06, 0xF4, 0x80, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(release(3).empty());
}

TEST_F(PlaybackTest, ACpiStepHoldsUntilItsReset) {
  give(0, 0, makeMacro("cpi", {cpiSet(9, 10), test::press(5, 10)}));
  give(1, 1, makeMacro("back", {cpiReset(10)}));
  download();
  press(0);
  EXPECT_EQ(fw.macroCpi(), 9);
  EXPECT_THAT(fw.describe(), HasSubstr("macro-cpi 9\n"));
  press(1);
  EXPECT_EQ(fw.macroCpi(), 0);
}

TEST_F(PlaybackTest, LoopCountAndPlayModes) {
  give(0, 0, makeMacro("three", {test::press(4, 10), test::release(4, 10)}, play_mode::kLoopCount, 3));
  give(1, 1, makeMacro("zero", {test::press(5, 10)}, play_mode::kLoopCount, 0));
  give(2, 2, makeMacro("toggle", {test::press(6, 10)}, play_mode::kToggle, 1));
  give(4, 3, makeMacro("held", {test::press(7, 10)}, play_mode::kWhileHeld, 1));
  download();
  ASSERT_EQ(state.deviceFunction[0][4], device_function::kMacroWhileHeld);

  // Three rounds, each press.
  const std::vector<std::string> round = {"key 04 down", "wait 10", "key 04 up", "wait 10"};
  std::vector<std::string> three;
  for (int i = 0; i < 3; ++i) {
    three.insert(three.end(), round.begin(), round.end());
  }
  EXPECT_THAT(steps(press(0)), ElementsAreArray(three));
  EXPECT_THAT(steps(press(0)), ElementsAreArray(three));
  // A loop word of 0 still plays the macro once.
  EXPECT_THAT(press(1), ElementsAre("start button 1 profile 1 image 0248 mode count rounds 1", "key 05 down", "wait 10",
                                    "end button 1"));

  // Toggle: the first press starts it, the release changes nothing, the next press stops it.
  EXPECT_THAT(press(2),
              ElementsAre("start button 2 profile 1 image 0250 mode toggle rounds 1", "key 06 down", "wait 10"));
  EXPECT_TRUE(release(2).empty());
  EXPECT_TRUE(fw.macroRunning(2));
  EXPECT_THAT(fw.describe(), HasSubstr("macros-running 2\n"));
  EXPECT_THAT(press(2), ElementsAre("stop button 2"));
  EXPECT_FALSE(fw.macroRunning(2));
  EXPECT_THAT(steps(press(2)), ElementsAre("key 06 down", "wait 10"));

  // While held: a round at the press, stopped by the release.
  EXPECT_THAT(press(4),
              ElementsAre("start button 4 profile 1 image 0258 mode held rounds 1", "key 07 down", "wait 10"));
  EXPECT_THAT(release(4), ElementsAre("stop button 4"));
  EXPECT_THAT(steps(press(4)), ElementsAre("key 07 down", "wait 10"));
  EXPECT_THAT(release(4), ElementsAre("stop button 4"));
  EXPECT_TRUE(release(4).empty());

  // A profile switch stops what runs.
  ASSERT_TRUE(fw.macroRunning(2));
  fw.switchProfile(1);
  EXPECT_THAT(fw.takePlayLog(), ElementsAre("stop button 2"));
}

TEST_F(PlaybackTest, PlaysTheActiveProfilesButtonAndSharedImages) {
  give(0, 0, makeMacro("a", {test::press(4, 10)}), 0);
  give(0, 1, makeMacro("b", {test::press(5, 10)}), 2);
  settings.buttonFunction[2][7] = function_code::kFirstBuiltinMacro + 1;  // slot 8, same macro
  download();
  EXPECT_THAT(steps(press(0)), ElementsAre("key 04 down", "wait 10"));
  fw.switchProfile(2);
  EXPECT_THAT(steps(press(0)), ElementsAre("key 05 down", "wait 10"));
  EXPECT_THAT(steps(press(7)), ElementsAre("key 05 down", "wait 10"));
  // A button without a macro plays nothing.
  EXPECT_TRUE(press(1).empty());
}

TEST_F(PlaybackTest, DamagedImagesStopWithAnError) {
  // Slot 3 of profile 1 says "macro"; its descriptor is written by hand below.
  settings.buttonFunction[0][3] = function_code::kFirstBuiltinMacro;
  builtins.count = 1;
  download();
  auto descriptor = [&](std::uint16_t image, std::uint16_t stepCount) {
    poke(static_cast<std::uint16_t>(descriptorAddress(0, 3)),
         Bytes{10, static_cast<std::uint8_t>(stepCount & 0x7F), 0xFF, 0, 0, static_cast<std::uint8_t>(image & 0xFF),
               static_cast<std::uint8_t>((image >> 8) & 0x3F), static_cast<std::uint8_t>((stepCount >> 7) & 0x3F)});
  };

  // No descriptor at all.
  poke(static_cast<std::uint16_t>(descriptorAddress(0, 3)), Bytes(8, 0));
  EXPECT_THAT(press(3), ElementsAre("error button 3 has no descriptor at 0098"));

  // An image whose loop word would lie past the memory.
  descriptor(0x3FFF, 1);
  EXPECT_THAT(steps(press(3)), ElementsAre("error image at 3FFF past the memory"));

  // Key presses up to the end of the memory and a step count beyond them: every entry that
  // lies inside plays once, then the walk stops; the loop word's other rounds do not run.
  Bytes presses(0x100, 0);
  presses[0] = 2;  // two rounds
  for (std::size_t i = 2; i < presses.size(); i += 2) {
    presses[i] = 0x81;
    presses[i + 1] = 0x04;
  }
  poke(0x3F00, presses);
  descriptor(0x3F00, 8191);
  auto lines = press(3);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "key 04 down"), 127);
  EXPECT_EQ(lines.back(), "error step at 4000 past the memory");

  // A move whose operands run past the memory.
  poke(0x3FF8, Bytes{1, 0, 0x01, 0, 0x01, 0, 0x01, 246});
  descriptor(0x3FF8, 5);
  lines = press(3);
  EXPECT_THAT(steps(lines), ElementsAre("wait 10", "wait 10", "error step at 3FFE past the memory"));

  // LED data past the memory, or claiming more entries than a row holds.
  poke(0x0800, Bytes{1, 0, 0x01, 249, 0xFC, 0x3F, 0, 0});
  descriptor(0x0800, 1);
  EXPECT_EQ(press(3).back(), "error led data at 3FFC past the memory");
  poke(0x0800, Bytes{1, 0, 0x01, 249, 0x08, 0x08, 0, 0, 0xC7, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(press(3).back(), "error led data at 0808 claims 200 entries");

  // A long loop is cut, not played forever.
  Bytes many(8, 0);
  many[0] = 0xFF;
  many[1] = 0xFF;
  many[2] = 0x81;
  many[3] = 0x04;
  poke(0x1000, many);
  descriptor(0x1000, 1);
  lines = press(3);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "key 04 down"), kMaxStepsPerPress);
  EXPECT_EQ(lines.back(), "cut after 10000 steps");
}

TEST_F(PlaybackTest, DpiButtonsMoveAmongTheEnabledLevels) {
  settings.buttonFunction[0][4] = 15;  // DPI up
  settings.buttonFunction[0][5] = 16;  // DPI down
  settings.buttonFunction[0][6] = 6;   // DPI cycle
  settings.dpiLevelEnabled = {1, 0, 1, 1, 0, 0};
  settings.currentDpiLevel = 2;
  download();
  EXPECT_EQ(fw.dpiLevel(), 2);  // taken from the download

  auto levelAfter = [&](int button) {
    press(button);
    EXPECT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0][2], 0x80 | fw.dpiLevel());
    release(button);
    EXPECT_EQ(reports[0][2], fw.dpiLevel());
    return fw.dpiLevel();
  };
  EXPECT_EQ(levelAfter(4), 3);
  EXPECT_EQ(levelAfter(4), 3);  // the top enabled level stays
  EXPECT_EQ(levelAfter(5), 2);
  EXPECT_EQ(levelAfter(5), 0);
  EXPECT_EQ(levelAfter(5), 0);
  EXPECT_EQ(levelAfter(6), 2);
  EXPECT_EQ(levelAfter(6), 3);
  EXPECT_EQ(levelAfter(6), 0);  // the cycle wraps
  EXPECT_EQ(levelAfter(3), 0);  // a button of no DPI function

  // With no level enabled in the memory, all six count.
  Firmware fresh;
  fw = fresh;
  poke(0x0008, Bytes{0, 0, 0, 0, device_function::kDpiUp, 0, 0, 0});
  for (int l = 1; l <= 5; ++l) {
    EXPECT_EQ(levelAfter(4), l);
  }
}

TEST_F(PlaybackTest, ProfileButtonsSwitchAndAnnounceTheProfile) {
  settings.buttonFunction[0][3] = 20;  // profile 3
  settings.buttonFunction[2][3] = 17;  // profile cycle
  settings.buttonFunction[3][3] = 17;
  download();
  press(3);
  EXPECT_EQ(fw.activeProfile(), 2) << "the button switched to profile 3";
  EXPECT_EQ(fw.status()[6], 0x08);
  // The key event of button 3 (pressed, DPI level 0), then event 3: the profile changed.
  EXPECT_THAT(reports, ElementsAre(EventReport{0x06, 0xF4, 0x80, 0, 0, 0, 0, 0}, EventReport{0x06, 0x03, 0, 0, 0, 0, 0, 0}));
  press(3);
  EXPECT_EQ(fw.activeProfile(), 3);
  press(3);
  EXPECT_EQ(fw.activeProfile(), 0);  // the cycle wraps to profile 1
  release(3);
  EXPECT_EQ(reports.size(), 1u);
}

TEST_F(PlaybackTest, TheDownloadSetsTheActiveProfile) {
  download(2);
  EXPECT_EQ(fw.activeProfile(), 2);
  download(0);
  EXPECT_EQ(fw.activeProfile(), 0);
}

// Where the firmware looks for the key byte of each slot: the configuration area's rows as the
// host writes them (profile 1 from 0x08 with slots 9-11 at 0x3B; profile 2 from 0x44; profiles
// 3 and 4 from 0x50 and 0x60), and no byte for slots 12 and 13.
TEST(ConfigMap, KeyBytesLieWhereTheHostWritesThem) {
  const std::array<std::array<int, 12>, 4> table = {{
      {0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x3B, 0x3C, 0x3D},
      {0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F},
      {0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B},
      {0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B},
  }};
  for (int p = 0; p < 4; ++p) {
    for (int s = 0; s < 14; ++s) {
      const std::optional<std::uint16_t> at = keyByteAddress(p, s);
      if (s >= 12) {
        EXPECT_FALSE(at) << "profile " << p << " slot " << s;
      } else {
        EXPECT_EQ(at, table[static_cast<std::size_t>(p)][static_cast<std::size_t>(s)]) << "profile " << p << " slot " << s;
      }
    }
  }
}

TEST_F(PlaybackTest, StateDecodesTheConfigurationAndTheMacros) {
  settings.buttonFunction[0] = {1, 2, 3, 4, 5, 6, 14, 13};
  settings.buttonFunction[1][0] = 22;  // a consumer key
  settings.ledReactEnabled[0][1] = 1;
  settings.ledReactType[0][1] = 2;
  settings.dpiStep = {0, 1, 2, 9, 10, 11};
  settings.dpiLevelEnabled = {1, 1, 0, 1, 0, 1};
  settings.currentDpiLevel = 3;
  settings.dpiColor[2] = {1, 2, 3};
  settings.ledUserColor[2] = {4, 5, 6};
  settings.ledUserColor[6] = {7, 8, 9};
  settings.ledUserColorEnabled = 1;
  settings.cycleColorEnabled = {1, 0, 1, 0, 0, 0, 1};
  settings.ledMode = 8;
  settings.ledPeriod = 2;
  settings.ledBrightness = 3;
  settings.ledSymmetry = 1;
  settings.ledDirection = 2;
  settings.fireTime = 300;
  settings.wheelStatus = 1;
  Macro m = makeMacro("m", {test::press(4, 50), test::release(4, 50)}, play_mode::kToggle);
  give(2, 0, m, 3);
  download();

  const std::string text = fw.describe();
  for (const char* expected : {"profile 1\n",
                               "dpi-level 3\n",  // the lines that were there before
                               "config-profile 1\n",
                               "slot 1.0 key 01 function 1 left click reaction off type 0\n",
                               "slot 1.1 key A2 function 2 right click reaction on type 2\n",
                               "slot 1.6 key 15 function 21 report rate reaction off type 0\n",
                               "slot 1.8 key 09 function 9 lighting mode reaction off type 0\n",
                               "slot 2.0 key 0F function 15 multimedia reaction off type 0\n",
                               "slot 4.2 key 0D function 13 macro reaction off type 0\n",
                               "config-dpi-level 3 (byte 53)\n",
                               "dpi 0 code 1 cpi 200 enabled yes colour 0 0 0\n",
                               "dpi 2 code 3 cpi 600 enabled no colour 1 2 3\n",
                               "dpi 3 code 13 cpi 3200 enabled yes colour 0 0 0\n",
                               "dpi 5 code 15 cpi 4800 enabled yes colour 0 0 0\n",
                               "wheel 1\n",
                               "fire-time 296\n",
                               "lighting 9A effect 1 flag 1 speed 2\n",
                               "lighting-brightness 3\n",
                               "lighting-symmetry 1\n",
                               "lighting-direction 2\n",
                               "user-colours on cycle-mask 45\n",
                               "user-colour 2 4 5 6\n",
                               "user-colour 6 7 8 9\n",
                               "descriptor 2.0 at 00F0 image 0240 steps 0 mode count key FF consumer 0223\n",
                               "descriptor 4.2 at 01E0 image 0240 steps 2 mode toggle key FF consumer 00B7\n",
                               "macro 4.2 loops 1 entries 2\n",
                               "macro-step 4.2 key 04 down\n",
                               "macro-step 4.2 wait 50\n",
                               "macro-step 4.2 key 04 up\n"}) {
    EXPECT_THAT(text, HasSubstr(expected));
  }
  EXPECT_THAT(text, Not(HasSubstr("macro 2.0")));  // a consumer key has no image
}

}  // namespace
}  // namespace quillet::sim
