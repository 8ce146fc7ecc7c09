// The window's device session on the simulated mouse in this process: discovery, the status,
// the download into the mouse's memory and the save, HostExit, and the mouse coming and going.
#include "app/device_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "settings/settings_file.h"
#include "device/configuration.h"
#include "macro/macro_library.h"
#include "platform/ini.h"
#include "platform/messages.h"
#include "sim_mouse.h"
#include "sim_transport.h"
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

  // The configuration area as the model derives it, byte for byte, in the mouse's memory.
  DownloadState state = session_->downloadState();
  const auto mem = memory();
  for (const ConfigurationBlock& block : configurationBlocks(settings_, state, app_.currentProfile, app_.deviceValue)) {
    ASSERT_LE(block.address + block.bytes.size(), mem.size());
    EXPECT_TRUE(std::equal(block.bytes.begin(), block.bytes.end(), mem.begin() + block.address))
        << "block at " << block.address;
  }
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
      applyFollowedChange(change, app_, settings_);
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

}  // namespace
}  // namespace quillet
