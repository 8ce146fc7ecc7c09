// Recording: the steps and pauses a sequence of keyboard messages leaves in the macro, the
// limits, held keys, repeats, midnight, and the timeline that turns event stamps into times of
// day.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "core/macro/key_translation.h"
#include "core/macro/macro_recorder.h"
#include "macro/macro_test_support.h"

namespace quillet {
namespace {

namespace km = key_message;
using Outcome = MacroRecorder::Outcome;

constexpr std::uint8_t kA = 'A';
constexpr std::uint8_t kB = 'B';
constexpr std::uint8_t kUsageA = 4;
constexpr std::uint8_t kUsageB = 5;

class ScriptedTimeOfDay final : public TimeOfDay {
 public:
  std::uint32_t nowMs() const override { return now; }
  std::uint32_t now = 0;
};

struct Played {
  unsigned message;
  std::uint8_t vk;
  std::uint32_t at;
};

class RecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    macro_ = test::makeMacro("Combo", {{1, 9, 0, 0, 50}, {2, 9, 0, 0, 50}, {9, 248, 2, 0, 10}}, play_mode::kWhileHeld, 7);
    macro_.ledRows[0] = LedRow::fresh();
    recorder_.start(macro_);
  }
  std::vector<Outcome> play(const std::vector<Played>& keys) {
    std::vector<Outcome> outcomes;
    for (const Played& k : keys) {
      outcomes.push_back(recorder_.key(k.message, k.vk, k.at));
    }
    return outcomes;
  }
  std::vector<MacroEvent> steps() const {
    return {macro_.events.begin(), macro_.events.begin() + macro_.eventCount};
  }
  Macro macro_;
  MacroRecorder recorder_;
};

TEST_F(RecorderTest, StartLeavesTheBlankRecordWithItsNamePlayedOnce) {
  Macro expected{};
  expected.name = macro_.name;
  expected.loopCount = 1;
  EXPECT_EQ(macro_, expected);
  EXPECT_EQ(macroName(macro_), "Combo");
  EXPECT_TRUE(recorder_.recording());
}

TEST_F(RecorderTest, APressAndReleaseTakeThePausePlayedAndTheLastStepLetsGoAfter20Ms) {
  EXPECT_EQ(play({{km::kKeyDown, kA, 1000}, {km::kKeyUp, kA, 1300}}), (std::vector{Outcome::Recorded, Outcome::Recorded}));
  EXPECT_EQ(steps(), (std::vector<MacroEvent>{{1, kUsageA, 0, 0, 300}, {2, kUsageA, 0, 0, 20}}));
  recorder_.stop();
  EXPECT_EQ(macro_.eventCount, 2);
  EXPECT_TRUE(countersAgree(macro_));
  EXPECT_FALSE(recorder_.recording());
}

TEST_F(RecorderTest, AHeldKeyRepeatingGivesOnePressAndOnlyTheSameMessageCountsAsARepeat) {
  const auto outcomes = play({{km::kKeyDown, kA, 0},
                              {km::kKeyDown, kA, 500},
                              {km::kKeyDown, kA, 533},
                              {km::kKeyDown, kA, 566},
                              {km::kKeyDown, kB, 600},  // B now repeats, A no longer
                              {km::kKeyDown, kB, 640},
                              {km::kKeyUp, kB, 700},
                              {km::kKeyUp, kA, 900}});
  EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), Outcome::Repeat), 4);
  EXPECT_EQ(steps(), (std::vector<MacroEvent>{{1, kUsageA, 0, 0, 600},
                                              {1, kUsageB, 0, 0, 100},
                                              {2, kUsageB, 0, 0, 200},
                                              {2, kUsageA, 0, 0, 20}}));
  // The system forms are other messages: Alt held, A's press comes as a system key down.
  EXPECT_EQ(recorder_.key(km::kSysKeyDown, kA, 1000), Outcome::Recorded);
  EXPECT_EQ(recorder_.key(km::kSysKeyDown, kA, 1010), Outcome::Repeat);
}

TEST_F(RecorderTest, ASinglePressStaysWithoutPauseAndAKeyHeldBeforeTheStartIsNotReleased) {
  EXPECT_EQ(recorder_.key(km::kKeyUp, kB, 100), Outcome::Passed) << "B was down before recording";
  EXPECT_EQ(recorder_.key(km::kKeyDown, kA, 200), Outcome::Recorded);
  recorder_.stop();
  EXPECT_EQ(steps(), (std::vector<MacroEvent>{{1, kUsageA, 0, 0, 0}}));
  EXPECT_TRUE(recorder_.heldKeys().empty());
  EXPECT_EQ(recorder_.key(km::kKeyUp, kA, 300), Outcome::Passed) << "stopped";
}

TEST_F(RecorderTest, PausesCrossMidnightAndAreCutTo65535) {
  play({{km::kKeyDown, kA, kDayMs - 100}, {km::kKeyUp, kA, 150}, {km::kKeyDown, kB, 70'150}, {km::kKeyUp, kB, 70'150}});
  EXPECT_EQ(steps(), (std::vector<MacroEvent>{{1, kUsageA, 0, 0, 250},
                                              {2, kUsageA, 0, 0, 65'535},
                                              {1, kUsageB, 0, 0, 0},
                                              {2, kUsageB, 0, 0, 20}}));
}

TEST_F(RecorderTest, AfterFiftyFivePressesOnlyReleasesOfHeldKeysAreRecordedUntil110Steps) {
  // 50 taps of alternating keys, then five keys held: 105 steps, 55 presses.
  std::uint32_t t = 0;
  for (int i = 0; i < 50; ++i) {
    const std::uint8_t key = i % 2 ? kB : kA;
    play({{km::kKeyDown, key, t += 10}, {km::kKeyUp, key, t += 10}});
  }
  const std::vector<std::uint8_t> held = {'C', 'D', 'E', 'F', 'G'};
  for (std::uint8_t k : held) {
    EXPECT_EQ(recorder_.key(km::kKeyDown, k, t += 10), Outcome::Recorded);
  }
  EXPECT_EQ(recorder_.pressCount(), 55);
  EXPECT_EQ(recorder_.key(km::kKeyDown, 'H', t += 10), Outcome::Passed);
  EXPECT_EQ(recorder_.key(km::kKeyUp, 'H', t += 10), Outcome::Passed) << "its press was not recorded";
  for (std::uint8_t k : held) {
    EXPECT_EQ(recorder_.key(km::kKeyUp, k, t += 10), Outcome::Recorded);
  }
  EXPECT_EQ(recorder_.recordedCount(), kRecordMaxSteps);
  EXPECT_EQ(recorder_.key(km::kKeyDown, 'A', t += 10), Outcome::Passed);
  recorder_.stop();
  EXPECT_EQ(macro_.eventCount, kRecordMaxSteps);
  EXPECT_EQ(macro_.events[kRecordMaxSteps - 1], (MacroEvent{2, VkToUsage('G'), 0, 0, 20}));
  EXPECT_EQ(macro_.events[kRecordMaxSteps], MacroEvent{});
}

TEST_F(RecorderTest, ATenthHeldKeyIsNotRecordedNorItsRelease) {
  const std::vector<std::uint8_t> keys = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  for (std::uint8_t k : keys) {
    recorder_.key(km::kKeyDown, k, 0);
  }
  EXPECT_EQ(recorder_.key(km::kKeyDown, '0', 0), Outcome::Passed);
  EXPECT_EQ(recorder_.heldKeys().size(), 9u);
  EXPECT_EQ(recorder_.key(km::kKeyUp, '0', 0), Outcome::Passed);
  // Releases take keys out of the middle; later ones move up, in press order.
  recorder_.key(km::kKeyUp, '3', 0);
  EXPECT_EQ(std::vector<std::uint8_t>(recorder_.heldKeys().begin(), recorder_.heldKeys().end()),
            (std::vector<std::uint8_t>{'1', '2', '4', '5', '6', '7', '8', '9'}));
  EXPECT_EQ(recorder_.key(km::kKeyDown, '0', 0), Outcome::Recorded) << "room again";
}

TEST_F(RecorderTest, KeysWithoutAKeyboardUsageAreNotRecorded) {
  constexpr std::uint8_t kVolumeUp = 0xAF;
  EXPECT_EQ(play({{km::kKeyDown, kVolumeUp, 0}, {km::kKeyUp, kVolumeUp, 5}}), (std::vector{Outcome::Passed, Outcome::Passed}));
  EXPECT_EQ(recorder_.key(km::kKeyDown, 0xE2, 10), Outcome::Recorded) << "the ISO key beside the left Shift";
  EXPECT_EQ(macro_.events[0].code, 100);
  EXPECT_EQ(UsageToVk(100), 0xE2);
}

// Whatever is played, the record stays within its limits and plays back sound: every release
// follows a recorded press of its key, and no key is pressed twice without a release between.
TEST_F(RecorderTest, AnySequenceLeavesASoundRecordWithinTheLimits) {
  std::mt19937 random(736);
  const std::vector<std::uint8_t> keys = {'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K', 0xA0, 0xA1, 0xAF};
  for (int round = 0; round < 200; ++round) {
    recorder_.start(macro_);
    std::uint32_t t = random() % kDayMs;
    for (int i = 0; i < 300; ++i) {
      const std::uint8_t key = keys[random() % keys.size()];
      const unsigned message = random() % 2 ? km::kKeyDown : km::kKeyUp;
      t = (t + random() % 2000) % kDayMs;
      recorder_.key(message, key, t);
      ASSERT_LE(recorder_.heldKeys().size(), static_cast<std::size_t>(kRecordMaxHeldKeys));
    }
    recorder_.stop();
    ASSERT_LE(macro_.eventCount, kRecordMaxSteps);
    std::vector<std::uint8_t> down;
    int presses = 0;
    for (int s = 0; s < macro_.eventCount; ++s) {
      const MacroEvent& e = macro_.events[s];
      auto at = std::find(down.begin(), down.end(), e.code);
      if (e.type == step_type::kPress) {
        ASSERT_EQ(at, down.end()) << "pressed twice, step " << s;
        down.push_back(e.code);
        ++presses;
      } else {
        ASSERT_EQ(e.type, step_type::kRelease);
        ASSERT_NE(at, down.end()) << "released unpressed, step " << s;
        down.erase(at);
      }
    }
    ASSERT_LE(presses, kRecordMaxPresses);
    ASSERT_TRUE(countersAgree(macro_));
    if (macro_.eventCount > 1) {
      ASSERT_EQ(macro_.events[macro_.eventCount - 1].delay, kRecordLastDelay);
    }
  }
}

TEST(KeyMessage, TheSystemFormsAreF10AltAndKeysUnderAltWithoutControl) {
  struct Case {
    bool down;
    std::uint8_t key;
    bool alt;
    bool control;
    unsigned message;
  };
  const std::vector<Case> cases = {
      {true, 'A', false, false, km::kKeyDown},   {false, 'A', false, false, km::kKeyUp},
      {true, 'A', true, false, km::kSysKeyDown}, {false, 'A', true, false, km::kSysKeyUp},
      {true, 'A', true, true, km::kKeyDown},     {true, vk::kF10, false, false, km::kSysKeyDown},
      {true, vk::kLMenu, false, false, km::kSysKeyDown}, {false, vk::kRMenu, true, false, km::kSysKeyUp},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(keyMessageOf(c.down, c.key, c.alt, c.control), c.message) << int(c.key) << " alt " << c.alt;
  }
}

TEST(KeyTimeline, StampsKeepTheirDistancesAcrossWrapsAndMidnight) {
  ScriptedTimeOfDay clock;
  KeyTimeline timeline(clock);
  clock.now = kDayMs - 1000;
  EXPECT_EQ(timeline.timeOfDay(0xFFFF'FF00u), kDayMs - 1000) << "the first event is placed at the clock";
  clock.now = 5;  // the clock moves on; the stamps decide
  EXPECT_EQ(timeline.timeOfDay(0xFFFF'FFFFu), kDayMs - 1000 + 255);
  EXPECT_EQ(timeline.timeOfDay(0x0000'0100u), kDayMs - 488) << "the counter wrapped";
  EXPECT_EQ(timeline.timeOfDay(0xFFFF'FF00u + 1500), 500u) << "past midnight";
  EXPECT_EQ(timeline.timeOfDay(0xFFFF'FE00u), kDayMs - 1256) << "an event stamped before the first";
  EXPECT_EQ(timeline.timeOfDay(0), 5u) << "no stamp: the clock";
  timeline.restart();
  EXPECT_EQ(timeline.timeOfDay(42), 5u);
}

}  // namespace
}  // namespace quillet
