// The device threads against the simulated mouse in this process: the mouse's buttons pressed
// on the simulator, the commands checked in the simulator's report log, the changes handed to
// a test thread that plays the owner of the settings model.
#include "core/device/device_threads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/device/configuration.h"
#include "core/device/device_link.h"
#include "core/device/device_protocol.h"
#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "core/settings/settings_file.h"
#include "sim_mouse.h"
#include "sim_transport.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr auto kPatience = 10s;  // how long a test waits for what must come; never a measure

constexpr const char* kHoldPressed = "SET 07 11 02 00 00 00 00 00";
constexpr const char* kHoldReleased = "SET 07 11 00 00 00 00 00 00";

// Lines that arrive from other threads, waited for by the test.
class Lines {
 public:
  void add(std::string line) {
    {
      std::lock_guard lock(mutex_);
      lines_.push_back(std::move(line));
    }
    changed_.notify_all();
  }
  std::vector<std::string> all() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }
  // Waits until at least `n` lines satisfy `keep`; returns those lines.
  std::vector<std::string> waitFor(std::size_t n, const std::function<bool(const std::string&)>& keep) const {
    std::unique_lock lock(mutex_);
    std::vector<std::string> kept;
    changed_.wait_for(lock, kPatience, [&] {
      kept.clear();
      std::copy_if(lines_.begin(), lines_.end(), std::back_inserter(kept), keep);
      return kept.size() >= n;
    });
    return kept;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<std::string> lines_;
};

// The simulator's log without the time stamps, and without the input reports unless asked for.
bool isCommand(const std::string& line) { return line.starts_with("SET") || line.starts_with("GET"); }

// The owner thread of the settings model: posted work waits here until the test runs it.
class Owner {
 public:
  void post(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      work_.push_back(std::move(work));
    }
    changed_.notify_all();
  }
  // Runs posted work until `n` pieces have run in all.
  void runUntil(std::size_t n) {
    while (ran_ < n) {
      std::function<void()> work;
      {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, kPatience, [&] { return !work_.empty(); })) {
          ADD_FAILURE() << "nothing was posted to the owner";
          return;
        }
        work = std::move(work_.front());
        work_.pop_front();
      }
      work();
      ++ran_;
    }
  }
  std::size_t waiting() {
    std::lock_guard lock(mutex_);
    return work_.size();
  }
  // Runs what has been posted so far, without waiting for more.
  void runPosted() {
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard lock(mutex_);
        if (work_.empty()) {
          return;
        }
        work = std::move(work_.front());
        work_.pop_front();
      }
      work();
      ++ran_;
    }
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> work_;
  std::size_t ran_ = 0;
};

class DeviceThreadsTest : public ::testing::Test {
 protected:
  // `readTimeout`: how long a read waits for a report. A test that must see a wait end by
  // something other than its time-out gives an hour (DeviceThreadsLongReads).
  explicit DeviceThreadsTest(std::chrono::milliseconds readTimeout = 50ms) {
    DeviceThreadHooks hooks;
    hooks.post = [this](std::function<void()> work) { owner.post(std::move(work)); };
    hooks.followed = [this](const FollowedChange& change) {
      changes.push_back(change);
      // The model is what these tests look at: the fixture has no settings file to save into.
      static_cast<void>(applyFollowedChange(change, app, settings, edited ? &*edited : nullptr));
    };
    hooks.action = [this](std::string_view line) { actions.add(std::string(line)); };
    threads = std::make_unique<DeviceThreads>(link, protocol, std::move(hooks), readTimeout);
    app.setSkinFolder(dir / "skins");
    app.currentProfile = 0;
    app.currentProfileNumber = 1;
  }
  ~DeviceThreadsTest() override {
    threads->stop();
    mouse->shutdown();
  }

  void start() {
    ASSERT_TRUE(link.open());
    publish();
    threads->start();
  }
  void publish() { threads->publish(makeDeviceSnapshot(app, settings, state, &layout, dir / "macro")); }

  // The commands the mouse received, waiting until there are `n`.
  std::vector<std::string> commands(std::size_t n) { return log.waitFor(n, isCommand); }

  void press(int button) {
    std::string error;
    ASSERT_TRUE(mouse->press(button, error)) << error;
  }
  void release(int button) {
    std::string error;
    ASSERT_TRUE(mouse->release(button, error)) << error;
  }
  void input(std::vector<std::uint8_t> report) { ASSERT_TRUE(mouse->sendInput(report)); }
  // Group 1 ("G") of the library: `count` macros of one move step each (x 2, y 10).
  void writeMoveGroup(int count) {
    MacroGroupList list;
    list.names[0] = "G";
    list.groupCount = 1;
    fs::create_directories(dir / "macro");
    ASSERT_TRUE(writeGroupList(dir / "macro", list));
    OpenGroup group;
    for (int i = 0; i < count; ++i) {
      group.slots[i].eventCount = 1;
      group.slots[i].events[0] = {step_type::kMoveRightDown, step_code::kMove, 2, 10, 10};
      recountSteps(group.slots[i]);
    }
    group.count = static_cast<std::uint8_t>(count);
    ASSERT_TRUE(writeAllMacros(dir / "macro" / "G.dat", group));
  }

  static sim::SimOptions loggingTo(Lines& log) {
    sim::SimOptions options;
    options.log = [&log](const std::string& line) { log.add(line.substr(line.find(' ') + 1)); };
    return options;
  }

  test::TempDir dir;
  Lines log;
  Lines actions;
  Owner owner;
  std::shared_ptr<sim::SimMouse> mouse = sim::SimMouse::create(loggingTo(log));
  std::unique_ptr<HidTransport> transport = sim::makeInProcessTransport(mouse);
  DeviceLink link{*transport};
  SteadyClock clock;  // the protocol's pauses for real: a download takes its time
  DeviceProtocol protocol{link, clock};
  AppState app;
  ProfileSettings settings;
  DownloadState state;
  MacroLayout layout;  // the last download's
  std::vector<FollowedChange> changes;
  // The group an editor has open on the owner's thread, when the test has one.
  OpenGroup open;
  std::optional<EditedGroup> edited;
  std::unique_ptr<DeviceThreads> threads;
};

TEST_F(DeviceThreadsTest, HoldButtonSendsPressAndReleaseEvenBackToBack) {
  state.isHoldButton[0][3] = 1;
  // Button 5 is a hold button in profile 2 only; in profile 1 it is the mute key.
  state.isHoldButton[1][5] = 1;
  settings.buttonFunction[0][5] = 29;
  start();
  // Pressed and released before the loop can have served the press: both are served, in order.
  press(3);
  release(3);
  press(3);
  release(3);
  // Served in order after them: had profile 2's flag counted here, a hold would come first.
  press(5);
  release(5);
  const auto sent = commands(5);
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 4),
            (std::vector<std::string>{kHoldPressed, kHoldReleased, kHoldPressed, kHoldReleased}));
  EXPECT_TRUE(sent[4].starts_with("SET 07 17 00 E2")) << sent[4];
  EXPECT_EQ(actions.waitFor(5, [](auto&) { return true; }),
            (std::vector<std::string>{"hold pressed button 3", "hold released button 3", "hold pressed button 3",
                                      "hold released button 3", "consumer 00E2 button 5"}));
  EXPECT_EQ(owner.waiting(), 0u);
}

TEST_F(DeviceThreadsTest, FlagsOfAnEarlierDownloadOutliveTheFunction) {
  // A download with the hold function on button 3 and a DPI function on button 5, then one
  // after both were given a plain click: the flags stay, and the buttons keep serving them.
  settings.buttonFunction[0][3] = function_code::kHold;
  settings.buttonFunction[0][5] = 10;  // device function 6: a DPI function
  const auto noMacros = [](ButtonFunction) { return std::optional<std::uint8_t>(); };
  deriveKeySlots(settings, noMacros, state);
  settings.buttonFunction[0][3] = 1;
  settings.buttonFunction[0][5] = 1;
  deriveKeySlots(settings, noMacros, state);
  app.currentProfileNumber = 1;
  start();
  press(3);
  press(5);
  EXPECT_EQ(commands(1), (std::vector<std::string>{kHoldPressed}));
  owner.runUntil(1);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].kind, FollowedChange::Kind::kDpiLevel);
}

TEST_F(DeviceThreadsTest, MultimediaButtonRelaysItsConsumerUsageOncePerPress) {
  settings.buttonFunction[0][7] = 29;  // mute
  start();
  input({6, 0xF9, 0x82});
  input({6, 0xF9, 0x02});
  input({6, 0xF9, 0x82});
  const auto sent = commands(2);
  ASSERT_EQ(sent.size(), 2u);
  // Bytes 4-7 are whatever the buffer held: only the first four are the command's.
  EXPECT_TRUE(sent[0].starts_with("SET 07 17 00 E2")) << sent[0];
  EXPECT_TRUE(sent[1].starts_with("SET 07 17 00 E2")) << sent[1];
  EXPECT_EQ(actions.waitFor(2, [](auto&) { return true; }),
            (std::vector<std::string>{"consumer 00E2 button 7", "consumer 00E2 button 7"}));
}

TEST_F(DeviceThreadsTest, DpiButtonSavesTheLevelForTheCurrentProfileNumber) {
  test::writeBytes(app.configPath, "[Config1]\nDPI_LEVEL=1\n[Config2]\nDPI_LEVEL=1\n");
  app.currentProfile = 1;
  app.currentProfileNumber = 2;
  state.isDpiButton[1][0] = 1;
  settings.buttonFunction[1][7] = 29;  // the mute key: a command that marks where the loop is
  start();
  input({6, 0xF1, 0x89});  // level 9: not one of the six; nothing follows
  input({6, 0xF1, 0x84});
  owner.runUntil(1);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].dpiLevel, 4);
  EXPECT_EQ(settings.currentDpiLevel, 4);
  EXPECT_EQ(ini::readString(app.configPath, "Config2", "DPI_LEVEL", "", 5), "4");
  EXPECT_EQ(ini::readString(app.configPath, "Config1", "DPI_LEVEL", "", 5), "1");
  // A DPI button sends nothing itself: the first command is the mute key pressed after both.
  input({6, 0xF9, 0x80});
  const auto sent = commands(1);
  ASSERT_EQ(sent.size(), 1u) << sent.back();
  EXPECT_TRUE(sent[0].starts_with("SET 07 17 00 E2")) << sent[0];
  EXPECT_EQ(actions.waitFor(2, [](auto&) { return true; }),
            (std::vector<std::string>{"dpi level 9 ignored: the mouse has levels 0..5", "consumer 00E2 button 7"}));
}

TEST_F(DeviceThreadsTest, ProfileEventFollowsTheMouseIntoTheSettings) {
  test::writeBytes(app.configPath,
                   "[Init]\nCurConfig=1\n[Config1]\nK0=1\nDPI_LEVEL=0\n[Config3]\nK0=29\nDPI_LEVEL=5\n");
  loadStartupSettings(app, settings);
  start();
  std::string error;
  ASSERT_TRUE(mouse->switchProfile(3, error)) << error;
  owner.runUntil(1);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].kind, FollowedChange::Kind::kProfile);
  EXPECT_EQ(changes[0].profileNumber, 3);
  EXPECT_EQ(ini::readString(app.configPath, "Init", "CurConfig", "", 5), "3");
  EXPECT_EQ(app.currentProfile, 2);
  EXPECT_EQ(app.currentProfileNumber, 3);
  EXPECT_EQ(app.sectionName, "Config3");
  EXPECT_EQ(settings.currentDpiLevel, 5) << "profile 3 is loaded";
  EXPECT_EQ(commands(1).front().substr(0, 6), "GET 07");
}

TEST_F(DeviceThreadsTest, ProfileButtonTakesTheConsumerKeyFromTheNewProfile) {
  // The mouse is in profile 3 already; button 2 of profile 1 is a profile button, and in
  // profile 3 the same button raises the volume.
  std::string error;
  ASSERT_TRUE(mouse->switchProfile(3, error)) << error;  // no reader yet: no event
  state.isProfileButton[0][2] = 1;
  settings.buttonFunction[0][2] = 19;
  settings.buttonFunction[2][2] = 25;
  start();
  press(2);
  const auto sent = commands(2);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_TRUE(sent[0].starts_with("GET 07"));
  EXPECT_TRUE(sent[1].starts_with("SET 07 17 00 E9")) << sent[1];
  // An event that comes before the owner has applied the switch is served in profile 3 too.
  // There it is no profile button: no status read, only the consumer key.
  press(2);
  const auto after = commands(3);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_TRUE(after[2].starts_with("SET 07 17 00 E9")) << after[2];
  owner.runUntil(1);
  EXPECT_EQ(changes[0].profileNumber, 3);
  EXPECT_EQ(owner.waiting(), 0u);
}

TEST_F(DeviceThreadsTest, EventsOfNoButtonAndOddReportsSendNothing) {
  settings.buttonFunction[0][0] = 22;
  state.isHoldButton[0][0] = 1;
  start();
  input({6, 0xF8, 0x80});  // a key event of no button
  input({6, 0xF8, 0x00});
  input({6, 0xF0, 0x80});  // nothing
  input({5, 0xF1, 0x80});  // not report 6
  input({6});              // no event code
  input({6, 0xF1, 0x80});  // the one that counts, last
  const auto sent = commands(2);
  EXPECT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0], kHoldPressed);
  // Served in order: anything the others had caused would have come first.
  EXPECT_TRUE(sent[1].starts_with("SET 07 17 02 23"));
}

TEST_F(DeviceThreadsTest, AdjustmentsKeepTheDirectionOfTheirOwnEvent) {
  writeMoveGroup(1);
  const ButtonFunction macro = function_code::libraryMacro(1, 0);
  settings.buttonFunction[0][0] = macro;
  layout.slots[0][0] = {macro, true, ImageSource::Library, 0x0300,
                        static_cast<std::uint32_t>(macroImageSize(readMacro(dir / "macro", 0, 0)))};
  start();

  // Up, then down, then two of unchanged direction, all before the first is served.
  std::string error;
  ASSERT_TRUE(mouse->adjust(true, error));
  ASSERT_TRUE(mouse->adjust(false, error));
  input({6, 0x05});
  input({6, 0x40});
  EXPECT_EQ(actions.waitFor(4, [](auto&) { return true; }),
            (std::vector<std::string>{"adjust up", "adjust down", "adjust down", "adjust down"}));
  EXPECT_FALSE(threads->liveAdjustUp());
  // Nothing reached the file on the device thread: the owner stores each adjustment.
  EXPECT_EQ(readMacro(dir / "macro", 0, 0).events[0].y, 10);
  owner.runUntil(4);
  EXPECT_EQ(readMacro(dir / "macro", 0, 0).events[0].y, 8);
  // All four were served before the owner stored the first: each started from the last one's
  // image, so the mouse holds all four, where the download put them.
  const std::vector<std::uint8_t> image = buildMacroImage(readMacro(dir / "macro", 0, 0), 0x0300).bytes;
  mouse->inspect([&](const sim::Firmware& f) {
    EXPECT_TRUE(std::equal(image.begin(), image.end(), f.memory().begin() + 0x0300));
  });
}

TEST_F(DeviceThreadsTest, AdjustmentLeavesAnImageThatBelongsToAnotherFunction) {
  writeMoveGroup(2);
  // The download put macro 0 on button 0 of profile 1; since then button 0 got macro 1, which
  // would fit the same room.
  layout.slots[0][0] = {function_code::libraryMacro(1, 0), true, ImageSource::Library, 0x0300, 8};
  settings.buttonFunction[0][0] = function_code::libraryMacro(1, 1);
  settings.buttonFunction[0][7] = 29;  // the mute key, pressed after the adjustment
  start();
  std::string error;
  ASSERT_TRUE(mouse->adjust(true, error));
  input({6, 0xF9, 0x80});
  // The image of macro 0 stays as the download wrote it: the first command is the mute key.
  const auto sent = commands(1);
  ASSERT_EQ(sent.size(), 1u) << sent.front();
  EXPECT_TRUE(sent[0].starts_with("SET 07 17 00 E2")) << sent[0];
  EXPECT_EQ(actions.waitFor(2, [](auto&) { return true; }),
            (std::vector<std::string>{"adjust up (saved; the mouse gets it with the next download)",
                                      "consumer 00E2 button 7"}));
  owner.runUntil(1);  // the owner stores the adjustment
  EXPECT_EQ(readMacro(dir / "macro", 0, 1).events[0].y, 11);
  EXPECT_EQ(readMacro(dir / "macro", 0, 0).events[0].y, 10);
}

// The editor on the owner's thread and the adjustment on the device thread change the same
// group file; the owner stores each adjustment, so neither overwrites the other.
class DeviceThreadsInterleavingTest : public DeviceThreadsTest {
 protected:
  void SetUp() override {
    writeMoveGroup(3);
    settings.buttonFunction[0][0] = function_code::libraryMacro(1, 0);
    layout.slots[0][0] = {settings.buttonFunction[0][0], true, ImageSource::Library, 0x0300,
                          static_cast<std::uint32_t>(macroImageSize(readMacro(dir / "macro", 0, 0)))};
    RecordedMessages read;
    ASSERT_TRUE(readGroupFile(file, open, read));
    edited.emplace(EditedGroup{open, file});
    start();
  }
  void adjustUp() {
    std::string error;
    ASSERT_TRUE(mouse->adjust(true, error)) << error;
  }
  Macro inFile(int index) const { return readMacro(dir / "macro", 0, index); }
  std::vector<std::uint8_t> imageInMouse() const {
    std::vector<std::uint8_t> bytes;
    mouse->inspect([&](const sim::Firmware& f) {
      bytes.assign(f.memory().begin() + 0x0300, f.memory().begin() + 0x0300 + layout.slots[0][0].size);
    });
    return bytes;
  }

  fs::path file = dir / "macro" / "G.dat";
};

TEST_F(DeviceThreadsInterleavingTest, EachOrderOfEditsSavesAndAdjustmentsKeepsThemAll) {
  // Saved before the adjustment comes: an edit of another macro of the group.
  open.slots[1].events[0].x = 50;
  ASSERT_TRUE(writeMacro(file, open, 1));
  // Not saved yet: an edit of the adjusted macro itself.
  open.slots[0].events[0].delay = 300;
  adjustUp();
  adjustUp();
  ASSERT_EQ(actions.waitFor(2, [](auto&) { return true; }).size(), 2u);
  // Saved after both were served, before the owner stored them.
  open.slots[2].events[0].x = 60;
  ASSERT_TRUE(writeMacro(file, open, 2));
  owner.runUntil(2);

  EXPECT_EQ(inFile(0).events[0].y, 12) << "both adjustments reached the file";
  EXPECT_EQ(inFile(0).events[0].delay, 10) << "the unsaved edit did not";
  EXPECT_EQ(inFile(1).events[0].x, 50);
  EXPECT_EQ(inFile(2).events[0].x, 60);
  EXPECT_EQ(open.slots[0].events[0].y, 12) << "the editor's copy has them too";
  EXPECT_EQ(open.slots[0].events[0].delay, 300) << "and keeps its edit";
  // The editor's save now holds the edit and the adjustments.
  ASSERT_TRUE(writeMacro(file, open, 0));
  EXPECT_EQ(inFile(0).events[0].y, 12);
  EXPECT_EQ(inFile(0).events[0].delay, 300);
  EXPECT_EQ(readMacroNum(file), 3);
}

TEST_F(DeviceThreadsInterleavingTest, AdjustmentsRacingSavesOfTheSameFileLoseNothing) {
  // The owner saves other macros of the group while the device thread adjusts macro 0 and the
  // owner stores those adjustments whenever it gets to them.
  constexpr int kAdjustments = 15;  // from 10, below the top of 30
  for (int i = 1; i <= kAdjustments; ++i) {
    adjustUp();
    open.slots[1].events[0].x = static_cast<std::int16_t>(i);
    ASSERT_TRUE(writeMacro(file, open, 1));
    if (i % 2 == 0) {
      owner.runPosted();
    }
    open.slots[2].events[0].delay = static_cast<std::uint16_t>(i);
    ASSERT_TRUE(writeMacro(file, open, 2));
  }
  owner.runUntil(kAdjustments);

  EXPECT_EQ(inFile(0).events[0].y, 10 + kAdjustments);
  EXPECT_EQ(open.slots[0].events[0].y, 10 + kAdjustments);
  EXPECT_EQ(inFile(1).events[0].x, kAdjustments);
  EXPECT_EQ(inFile(2).events[0].delay, kAdjustments);
  EXPECT_EQ(inFile(1).events[0].y, 10) << "only macro 0 is adjusted";
  // The mouse got every adjustment, whether or not the file had the ones before it yet.
  EXPECT_EQ(imageInMouse(), buildMacroImage(inFile(0), 0x0300).bytes);
}

TEST_F(DeviceThreadsTest, EventBurstsDuringADownloadNeverLandInsideABlockWrite) {
  state.isHoldButton[0][1] = 1;
  settings.buttonFunction[0][6] = 30;
  start();
  // The owner's download: twenty 8-byte blocks with their pauses, 200 ms in all.
  std::thread download([this] {
    for (std::uint16_t block = 0; block < 20; ++block) {
      const std::uint8_t b = static_cast<std::uint8_t>(block);
      const std::uint8_t data[8] = {b, b, b, b, b, b, b, b};
      ASSERT_TRUE(protocol.writeBlock(static_cast<std::uint16_t>(0x0240 + 8 * block), data));
    }
  });
  // Five bursts of twenty presses and releases (fewer than an open node keeps waiting at once).
  std::size_t served = 0;
  for (int burst = 0; burst < 5; ++burst) {
    for (int i = 0; i < 10; ++i) {
      press(1);
      release(1);
      press(6);
      release(6);
    }
    served += 30;  // two hold commands and one consumer key per round
    actions.waitFor(served, [](auto&) { return true; });
  }
  download.join();

  const std::vector<std::string> sent = commands(served + 20 * 10);
  // Inside a block (its first data report up to its end) only that block's reports.
  std::size_t holds = 0;
  std::size_t consumers = 0;
  std::size_t commandsBetweenBlocks = 0;
  std::size_t blocksLeft = 20;
  bool inBlock = false;
  std::string lastHold = kHoldReleased;
  for (const std::string& line : sent) {
    const bool blockReport = line.starts_with("SET 07 18");
    if (!blockReport) {
      EXPECT_FALSE(inBlock) << "a command inside a block write: " << line;
      commandsBetweenBlocks += blocksLeft > 0 ? 1 : 0;
      if (line.starts_with("SET 07 11")) {
        EXPECT_NE(line, lastHold) << "a press and its release in turn";
        lastHold = line;
        ++holds;
      } else if (line.starts_with("SET 07 17 00 CD")) {
        ++consumers;
      }
      continue;
    }
    if (line.starts_with("SET 07 18 03 00")) {
      inBlock = true;
    } else if (line.starts_with("SET 07 18 00")) {
      inBlock = false;
      --blocksLeft;
    }
  }
  EXPECT_GT(commandsBetweenBlocks, 0u) << "the events came while the download ran";
  EXPECT_EQ(holds, 100u) << "no event lost";
  EXPECT_EQ(consumers, 50u);
  EXPECT_EQ(sent.size(), served + 200);
}

TEST_F(DeviceThreadsTest, StopEndsAThreadBlockedInARead) {
  settings.buttonFunction[0][0] = 22;
  start();
  // One press served: the listener is back in its read of the mouse.
  press(0);
  ASSERT_EQ(commands(1).size(), 1u);
  threads->stop();  // ends that read (within its time-out) and joins both threads
  threads->stop();
  const std::size_t before = log.all().size();
  press(0);
  EXPECT_EQ(log.all().size(), before + 1) << "only the press: nobody is left to serve it";
}

// Reads that would wait an hour: only what the test does can end a wait that is under way. The
// mouse goes first at the end, which fails the read the listener is in.
class DeviceThreadsLongReads : public DeviceThreadsTest {
 protected:
  DeviceThreadsLongReads() : DeviceThreadsTest(std::chrono::hours(1)) {}
  ~DeviceThreadsLongReads() override { mouse->shutdown(); }
};

TEST_F(DeviceThreadsLongReads, ListenerWaitsForTheMouseAndFollowsItsArrival) {
  // The listener's wait for a mouse lasts an hour unless the discovery ends it.
  settings.buttonFunction[0][4] = 26;
  mouse->unplug();
  EXPECT_FALSE(link.open());
  publish();
  threads->start();
  // A head start, not a measure: the listener should be waiting for the mouse when the
  // discovery comes (if it is not there yet, it finds the mouse at its first read instead).
  std::this_thread::sleep_for(50ms);
  mouse->plug();
  ASSERT_TRUE(link.open());
  press(4);
  const auto sent = commands(1);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_TRUE(sent[0].starts_with("SET 07 17 00 EA"));
}

TEST_F(DeviceThreadsTest, WithoutAMouseStopReturnsAndNothingIsSent) {
  mouse->unplug();
  EXPECT_FALSE(link.open());
  threads->start();
  threads->stop();
  // The loop serves on after the mouse is gone: a command it cannot send is said, not lost.
  TriggerLoop loop(protocol, {{}, {}, [this](std::string_view line) { actions.add(std::string(line)); }, {}});
  DeviceSnapshot snapshot;
  snapshot.isHoldButton[0][2] = 1;
  loop.publish(snapshot);
  DeviceEvent e;
  e.kind = DeviceEvent::Kind::kKey;
  e.code = 0xF3;
  e.button = 2;
  e.pressed = true;
  loop.serve({e, false});
  EXPECT_EQ(actions.all(), (std::vector<std::string>{"hold pressed button 2 (not sent: no mouse)"}));
}

TEST(FollowedChangeTest, ProfileStatusThatCannotBeReadChangesNothing) {
  // A mouse without a status answer: the follow-up says so and hands nothing to the owner.
  sim::SimOptions options;
  auto mouse = sim::SimMouse::create(options);
  auto transport = sim::makeInProcessTransport(mouse);
  DeviceLink link(*transport);
  RecordingClock clock;
  DeviceProtocol protocol(link, clock);
  int posts = 0;
  std::vector<std::string> said;
  TriggerLoop loop(protocol, {[&](std::function<void()>) { ++posts; }, [](const FollowedChange&) {},
                              [&](std::string_view line) { said.emplace_back(line); }, {}});
  loop.publish({});
  DeviceEvent e;
  e.kind = DeviceEvent::Kind::kProfileChanged;
  e.code = 3;
  loop.serve({e, false});  // the link was never opened
  EXPECT_EQ(posts, 0);
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].find("did not answer"), std::string::npos);
}

TEST(FollowedChangeTest, OutOfRangeChangesLeaveTheModelAndTheFileAlone) {
  test::TempDir dir;
  AppState app;
  app.setSkinFolder(dir / "skins");
  app.currentProfile = 1;
  app.currentProfileNumber = 2;
  ProfileSettings settings;
  settings.currentDpiLevel = 3;
  FollowedChange c;
  c.kind = FollowedChange::Kind::kDpiLevel;
  c.dpiLevel = 6;
  EXPECT_FALSE(applyFollowedChange(c, app, settings));
  c.kind = FollowedChange::Kind::kProfile;
  c.profileNumber = 5;
  EXPECT_FALSE(applyFollowedChange(c, app, settings));
  EXPECT_EQ(settings.currentDpiLevel, 3);
  EXPECT_EQ(app.currentProfileNumber, 2);
  EXPECT_FALSE(fs::exists(app.configPath));
}

}  // namespace
}  // namespace quillet
