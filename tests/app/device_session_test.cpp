// The window's device session on the simulated mouse in this process: discovery, the status,
// the download into the mouse's memory and the save, HostExit, and the mouse coming and going.
#include "core/device/device_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "core/device/configuration.h"
#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/macro/macro_library.h"
#include "core/settings/settings_file.h"
#include "sim_mouse.h"
#include "sim_transport.h"
#include "support/shipped_configuration.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

class DeviceSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy(std::filesystem::path(QUILLET_BIN_DIR) / "skins", dir_ / "skins",
                          std::filesystem::copy_options::recursive);
    app_.appFolder = QUILLET_BIN_DIR;
    app_.setSkinFolder(dir_ / "skins");
    loadStartupSettings(app_, settings_);
    library_.start(app_);
    sim::SimOptions options;
    options.deviceValue = 5;
    mouse_ = sim::SimMouse::create(options);
    session_ = std::make_unique<HidDeviceSession>(sim::makeInProcessTransport(mouse_), mouse_, messages_, nullptr);
    session_->onRemoved = [this] { ++removed_; };
    session_->onArrived = [this] { ++arrived_; };
  }

  std::array<std::uint8_t, sim::kMemoryBytes> memory() const {
    std::array<std::uint8_t, sim::kMemoryBytes> copy{};
    mouse_->inspect([&](const sim::Firmware& fw) { copy = fw.memory(); });
    return copy;
  }

  test::TempDir dir_;
  RecordedMessages messages_;
  AppState app_;
  ProfileSettings settings_;
  MacroLibrary library_{messages_};
  std::shared_ptr<sim::SimMouse> mouse_;
  std::unique_ptr<HidDeviceSession> session_;
  int removed_ = 0;
  int arrived_ = 0;
};

TEST_F(DeviceSessionTest, FindsTheMouseDownloadsAndSaves) {
  ASSERT_TRUE(session_->open());
  EXPECT_TRUE(session_->isOpen());
  EXPECT_EQ(session_->readDeviceValue(), 5);
  app_.deviceValue = 5;

  settings_.dpiStep[0] = 11;
  const DownloadResult result = session_->apply(settings_, app_, library_);
  EXPECT_TRUE(result.completed);

  // The shipped configuration area with level 1's DPI code 15 (step 12) and the device value 5,
  // byte for byte, in the mouse's memory; 0x0000 and 0x0002-0x0007 are never written.
  const auto mem = memory();
  test::ConfigurationArea inMemory;
  for (const auto& [address, bytes] : test::withByte(test::shippedConfigurationArea(5), 0x0015, 0xF4)) {
    inMemory[address].assign(mem.begin() + address, mem.begin() + address + static_cast<long>(bytes.size()));
  }
  EXPECT_EQ(inMemory, test::withByte(test::shippedConfigurationArea(5), 0x0015, 0xF4));
  EXPECT_TRUE(std::all_of(mem.begin() + 2, mem.begin() + 8, [](std::uint8_t b) { return b == 0; }));
  mouse_->inspect([](const sim::Firmware& fw) {
    EXPECT_EQ(fw.counters().downloadsClosed, 1);
    EXPECT_EQ(fw.counters().blocksRejected, 0);
  });
  EXPECT_EQ(ini::readString(app_.configPath, "Config1", "DPI_SET0", "", 16), "11");

  session_->hostExit();
  mouse_->inspect([](const sim::Firmware& fw) { EXPECT_TRUE(fw.hostExited()); });
}

TEST_F(DeviceSessionTest, WithoutTheMouseTheDownloadStillSaves) {
  mouse_->unplug();
  EXPECT_FALSE(session_->open());
  EXPECT_FALSE(session_->isOpen());
  EXPECT_EQ(session_->readDeviceValue(), std::nullopt);
  settings_.dpiStep[0] = 9;
  EXPECT_TRUE(session_->apply(settings_, app_, library_).completed);
  EXPECT_EQ(ini::readString(app_.configPath, "Config1", "DPI_SET0", "", 16), "9");
}

TEST_F(DeviceSessionTest, RemovalAndArrivalReachTheWindow) {
  ASSERT_TRUE(session_->open());
  ASSERT_GE(session_->hotplugDescriptor(), 0);
  session_->serviceHotplug();
  EXPECT_EQ(removed_ + arrived_, 0) << "nothing happened yet";

  mouse_->unplug();
  session_->serviceHotplug();
  EXPECT_EQ(removed_, 1);
  EXPECT_FALSE(session_->isOpen());

  mouse_->plug();
  session_->serviceHotplug();
  EXPECT_EQ(arrived_, 1);
  EXPECT_TRUE(session_->isOpen()) << "the arrival ran discovery again";
  EXPECT_EQ(session_->readDeviceValue(), 5);
}

TEST_F(DeviceSessionTest, AMouseThatMayNotBeOpenedIsNoMouseButSaysWhy) {
  mouse_->denyOpens(true);
  ASSERT_GE(session_->hotplugDescriptor(), 0);
  EXPECT_FALSE(session_->open()) << "a mouse that cannot be written is not taken for present";
  EXPECT_FALSE(session_->isOpen());
  const std::string problem = session_->accessProblem();
  EXPECT_NE(problem.find(mouse_->nodePath(sim::NodeRole::kCommands)), std::string::npos) << problem;
  EXPECT_NE(problem.find("Permission denied"), std::string::npos) << problem;

  // Its removal does not end the window; once it may be opened, its return is an arrival.
  mouse_->unplug();
  session_->serviceHotplug();
  EXPECT_EQ(removed_, 0);
  mouse_->denyOpens(false);
  mouse_->plug();
  session_->serviceHotplug();
  EXPECT_EQ(arrived_, 1);
  EXPECT_TRUE(session_->isOpen());
  EXPECT_TRUE(session_->accessProblem().empty());
  mouse_->unplug();
  session_->serviceHotplug();
  EXPECT_EQ(removed_, 1) << "a mouse that was usable ends the window when it goes";
}

TEST_F(DeviceSessionTest, ADownloadSaysWhatTheMouseAndTheFilesDidNotTake) {
  ASSERT_TRUE(session_->open());
  // The mouse goes away between the Finish and the end of the download.
  mouse_->unplugAfterFinish();
  settings_.dpiStep[0] = 7;
  DownloadResult result = session_->apply(settings_, app_, library_);
  EXPECT_TRUE(result.completed);
  EXPECT_FALSE(result.mouseTookAll);
  EXPECT_TRUE(result.saved());
  EXPECT_EQ(ini::readString(app_.configPath, "Config1", "DPI_SET0", "", 16), "7");

  // A settings file that may not be written: the save is named, the file and the model stay.
  std::filesystem::permissions(app_.configPath, std::filesystem::perms::owner_read);
  const std::string before = test::readBytes(app_.configPath);
  settings_.dpiStep[0] = 3;
  result = session_->apply(settings_, app_, library_);
  EXPECT_EQ(result.unsaved, std::vector<std::filesystem::path>{app_.configPath});
  EXPECT_EQ(test::readBytes(app_.configPath), before);
  EXPECT_EQ(settings_.dpiStep[0], 3);
}

TEST_F(DeviceSessionTest, StartUpDerivesTheButtonFlagsWithoutADownload) {
  settings_.buttonFunction[0][2] = function_code::kHold;
  session_->settingsLoaded(settings_, app_, library_);
  EXPECT_TRUE(session_->downloadState().isHoldButton[0][2]);
  mouse_->inspect([](const sim::Firmware& fw) { EXPECT_EQ(fw.counters().blocksCommitted, 0); });
}

// The device threads through the session: work they hand over waits until this thread runs
// it, as it waits in the window's event loop.
class SessionThreadsTest : public DeviceSessionTest {
 protected:
  void SetUp() override {
    DeviceSessionTest::SetUp();
    session_->post = [this](std::function<void()> work) {
      const std::lock_guard lock(mutex_);
      posted_.push_back(std::move(work));
    };
    session_->onFollowed = [this](const FollowedChange& change) {
      followed_.push_back(change);
      ASSERT_TRUE(applyFollowedChange(change, app_, settings_));
      session_->settingsLoaded(settings_, app_, library_);
    };
    session_->startThreads();
    ASSERT_TRUE(session_->open());
  }
  void TearDown() override { session_->stopThreads(); }

  // Runs what the threads posted until `done` holds, for at most five seconds.
  bool runPostedUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) {
        return false;
      }
      std::deque<std::function<void()>> work;
      {
        const std::lock_guard lock(mutex_);
        work.swap(posted_);
      }
      for (auto& w : work) {
        w();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;
  std::vector<FollowedChange> followed_;
};

TEST_F(SessionThreadsTest, AProfileSwitchedOnTheMouseBecomesTheWindowsProfile) {
  session_->settingsLoaded(settings_, app_, library_);
  std::string error;
  ASSERT_TRUE(mouse_->switchProfile(3, error)) << error;
  ASSERT_TRUE(runPostedUntil([this] { return !followed_.empty(); }));
  EXPECT_EQ(followed_[0].kind, FollowedChange::Kind::kProfile);
  EXPECT_EQ(app_.currentProfileNumber, 3);
  EXPECT_EQ(ini::readString(app_.configPath, "Init", "CurConfig", "", 16), "3");
}

TEST_F(SessionThreadsTest, AMultimediaButtonIsRelayedWithTheFunctionsOfTheLastApply) {
  settings_.buttonFunction[0][7] = 29;  // a multimedia key: its consumer usage 0x00E2
  ASSERT_TRUE(session_->apply(settings_, app_, library_).completed);
  std::string error;
  ASSERT_TRUE(mouse_->click(7, error)) << error;
  std::uint16_t usage = 0;
  ASSERT_TRUE(runPostedUntil([&] {
    mouse_->inspect([&](const sim::Firmware& fw) { usage = fw.lastConsumerUsage(); });
    return usage != 0;
  }));
  EXPECT_EQ(usage, 0x00E2);
}

TEST_F(SessionThreadsTest, AStartedApplyWritesOnItsOwnThreadReportsEachBlockAndThenSaves) {
  settings_.dpiStep[0] = 7;
  settings_.buttonFunction[0][3] = function_code::libraryMacro(1, 0);  // a macro: descriptors and an image
  // The blocks the mouse must end up with, as the download without a mouse records them.
  ProfileSettings planned = settings_;
  AppState plannedApp = app_;
  NullDeviceSession recorder(messages_);
  ASSERT_TRUE(recorder.apply(planned, plannedApp, library_).completed);
  // (The recorder saved the settings too: forget that, the session must save them itself.)
  ASSERT_TRUE(ini::writeString(app_.configPath, "Config1", "DPI_SET0", "0"));

  std::vector<DeviceSession::ApplyProgress> progress;
  int done = 0;
  DownloadResult result;
  session_->startApply(
      settings_, app_, library_, [&](const DeviceSession::ApplyProgress& p) { progress.push_back(p); },
      [&](const DownloadResult& r) {
        ++done;
        result = r;
      });
  EXPECT_TRUE(session_->applying());
  EXPECT_EQ(ini::readString(app_.configPath, "Config1", "DPI_SET0", "", 16), "0") << "saved only at the end";
  ASSERT_TRUE(runPostedUntil([&] { return done > 0; }));
  EXPECT_EQ(done, 1);
  EXPECT_FALSE(session_->applying());
  EXPECT_TRUE(result.completed);
  EXPECT_TRUE(result.mouseTookAll);
  EXPECT_EQ(ini::readString(app_.configPath, "Config1", "DPI_SET0", "", 16), "7");

  const std::size_t total = recorder.lastBlocks().size();
  ASSERT_EQ(progress.size(), total) << "one report per block";
  for (std::size_t i = 0; i < progress.size(); ++i) {
    EXPECT_EQ(progress[i].sent, i + 1);
    EXPECT_EQ(progress[i].total, total);
  }
  const auto mem = memory();
  for (const NullDeviceSession::Block& block : recorder.lastBlocks()) {
    EXPECT_TRUE(std::equal(block.bytes.begin(), block.bytes.end(), mem.begin() + block.address))
        << "block at " << block.address;
  }
  mouse_->inspect([](const sim::Firmware& fw) { EXPECT_EQ(fw.counters().downloadsClosed, 1); });
}

TEST_F(SessionThreadsTest, ARunningApplyIsFinishedAndSavedOnDemand) {
  settings_.dpiStep[0] = 5;
  int done = 0;
  session_->startApply(settings_, app_, library_, {}, [&](const DownloadResult&) { ++done; });
  session_->finishApplyNow();  // shutdown: waits for the writes, saves, reports
  EXPECT_EQ(done, 1);
  EXPECT_FALSE(session_->applying());
  EXPECT_EQ(ini::readString(app_.configPath, "Config1", "DPI_SET0", "", 16), "5");
  mouse_->inspect([](const sim::Firmware& fw) { EXPECT_EQ(fw.counters().downloadsClosed, 1); });
  ASSERT_TRUE(runPostedUntil([] { return true; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(runPostedUntil([] { return true; }));
  EXPECT_EQ(done, 1) << "what the writer posted finds nothing more to do";
}

TEST_F(SessionThreadsTest, AMouseGoneDuringTheDownloadIsReportedAndTheSettingsAreSaved) {
  settings_.dpiStep[0] = 4;
  DownloadResult result;
  bool done = false;
  mouse_->unplug();
  session_->startApply(settings_, app_, library_, {}, [&](const DownloadResult& r) {
    result = r;
    done = true;
  });
  ASSERT_TRUE(runPostedUntil([&] { return done; }));
  EXPECT_FALSE(result.mouseTookAll);
  EXPECT_EQ(ini::readString(app_.configPath, "Config1", "DPI_SET0", "", 16), "4");
}

}  // namespace
}  // namespace quillet
