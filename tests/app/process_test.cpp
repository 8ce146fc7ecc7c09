// The utility as a process (offscreen): how it ends on signals and on a failed start, and two
// copies started at the same instant.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quillet::test::readBytes;

const fs::path kBin = QUILLET_BIN_DIR;
constexpr auto kPatience = 20s;  // how long to wait for what must come; never a measure

using quillet::test::ChildProcess;

ChildProcess spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const fs::path& err) {
  return ChildProcess(args[0], {args.begin() + 1, args.end()},
                      {.env = env, .in = "/dev/null", .out = "/dev/null", .err = err});
}

// The exit code once the child ends within `patience`; -1 when it was killed by a signal, -2 when
// it is still running.
int waitExit(ChildProcess& child,
             std::chrono::milliseconds patience = std::chrono::duration_cast<std::chrono::milliseconds>(kPatience)) {
  return child.wait(patience).value_or(-2);
}

bool waitForText(const fs::path& file, const std::string& text) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (readBytes(file).find(text) == std::string::npos) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

class Process : public ::testing::Test {
 protected:
  void SetUp() override {
    skins = quillet::test::copyShippedSkins(dir);
    fs::copy(kBin / "skins", skins, fs::copy_options::recursive | fs::copy_options::skip_existing);
    // Answered, so that the window starts without the survey form.
    quillet::test::writeBytes(skins / "config" / "ConfigFile.ini", "[UserInfo]\nLogin=Yes\n");
    fs::create_directory(dir / "runtime");
    fs::permissions(dir / "runtime", fs::perms::owner_all);
    env = {"QT_QPA_PLATFORM=offscreen", "QUILLET_MESSAGES=stderr", "XDG_RUNTIME_DIR=" + (dir / "runtime").string(),
           "XDG_CONFIG_HOME=" + (dir / "config-home").string(), "XDG_CURRENT_DESKTOP="};
  }
  // The children are killed and reaped with the fixture, those still running included.
  ChildProcess& start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
                      const std::string& err) {
    std::vector<std::string> full = env;
    full.insert(full.end(), extraEnv.begin(), extraEnv.end());
    return running.emplace_back(spawn(args, full, dir / err));
  }

  quillet::test::TempDir dir;
  fs::path skins;
  std::vector<std::string> env;
  std::deque<ChildProcess> running;
};

TEST_F(Process, SignalsEndItAsItsCloseDoes) {
  const std::string before = readBytes(skins / "config" / "config.ini");
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const std::string socket = (dir / "mouse.sock").string();
    const fs::path log = dir / "sim.log";
    fs::remove(log);
    ChildProcess& sim =
        start({(kBin / "quillet-sim").string(), "serve", "--socket", socket, "--log", log.string()}, {}, "sim.err");
    ASSERT_TRUE(waitForText(dir / "sim.err", "serving")) << readBytes(dir / "sim.err");
    ChildProcess& quillet =
        start({(kBin / "quillet").string(), "--skins", skins.string()}, {"QUILLET_SIM=" + socket}, "quillet.err");
    // The start-up reads the mouse's status once it has found it.
    ASSERT_TRUE(waitForText(log, " GET ")) << readBytes(dir / "quillet.err");
    quillet.signal(sig);
    EXPECT_EQ(waitExit(quillet), 0) << readBytes(dir / "quillet.err");
    EXPECT_NE(readBytes(log).find(" SET 07 20"), std::string::npos) << "no HostExit:\n" << readBytes(log);
    EXPECT_EQ(readBytes(skins / "config" / "config.ini"), before);
    sim.signal(SIGTERM);
    EXPECT_EQ(waitExit(sim), 0);
  }
}

TEST_F(Process, AStartThatFailsEndsWithAFailure) {
  fs::remove(skins / "INI_EN" / "skin_mac_en.ini");
  fs::remove(skins / "INI_CN" / "skin_mac.ini");
  ChildProcess& broken =
      start({(kBin / "quillet").string(), "--skins", skins.string(), "--simulate"}, {}, "broken.err");
  EXPECT_EQ(waitExit(broken), 1) << readBytes(dir / "broken.err");
  ChildProcess& nowhere =
      start({(kBin / "quillet").string(), "--skins", (dir / "nowhere").string(), "--simulate"}, {}, "nowhere.err");
  EXPECT_EQ(waitExit(nowhere), 2);
}

TEST_F(Process, OfCopiesStartedAtTheSameInstantExactlyOneRuns) {
  constexpr int kCopies = 8;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    std::vector<ChildProcess*> copies;
    for (int i = 0; i < kCopies; ++i) {
      copies.push_back(&start({(kBin / "quillet").string(), "--skins", skins.string(), "--simulate"}, {},
                              "copy" + std::to_string(i) + ".err"));
    }
    // All but one hand over to the one that runs, and end with 0.
    int handedOver = 0;
    ChildProcess* survivor = nullptr;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (handedOver < kCopies - 1 && std::chrono::steady_clock::now() < deadline) {
      for (ChildProcess*& copy : copies) {
        if (copy != nullptr && waitExit(*copy, 0ms) != -2) {
          copy = nullptr;
          ++handedOver;
        }
      }
      std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(handedOver, kCopies - 1);
    for (ChildProcess* copy : copies) {
      if (copy != nullptr) {
        survivor = copy;
      }
    }
    ASSERT_NE(survivor, nullptr);
    // The one left keeps running, and a later start still finds it.
    EXPECT_EQ(waitExit(*survivor, 500ms), -2);
    ChildProcess& late = start({(kBin / "quillet").string(), "--skins", skins.string(), "--simulate"}, {}, "late.err");
    EXPECT_EQ(waitExit(late), 0);
    EXPECT_EQ(waitExit(*survivor, 200ms), -2);
    survivor->signal(SIGTERM);
    EXPECT_EQ(waitExit(*survivor), 0);
  }
}

}  // namespace
