// quilletctl listen against quillet-sim serve, both run as the programs a user runs: buttons
// pressed on the simulator, the lines listen prints, the simulator's log and the settings file.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/io/ini.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quillet::test::readBytes;

const fs::path kBin = QUILLET_BIN_DIR;
constexpr auto kPatience = 10s;  // how long to wait for what must come; never a measure

using quillet::test::ChildProcess;

// Starts `args` with stdout and stderr into files and the environment plus `env`.
ChildProcess spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const fs::path& out,
                   const fs::path& err) {
  return ChildProcess(args[0], {args.begin() + 1, args.end()}, {.env = env, .in = "/dev/null", .out = out, .err = err});
}

// Signals the child and waits for it; its exit code, or -1 when it did not exit by itself.
int endProcess(ChildProcess& child, int signal) { return child.stop(signal); }

// Waits until the file holds `text`.
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

class ListenCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    skins = quillet::test::copyShippedSkins(dir);
    config = skins / "config" / "config.ini";
    socket = (dir / "mouse.sock").string();
    // Profile 1: button 3 holds, button 7 mutes; profile 3: button 1 turns the volume up.
    ASSERT_TRUE(quillet::ini::writeString(config, "Init", "CurConfig", "1"));
    ASSERT_TRUE(quillet::ini::writeString(config, "Config1", "K3", "40"));
    ASSERT_TRUE(quillet::ini::writeString(config, "Config1", "K7", "29"));
    ASSERT_TRUE(quillet::ini::writeString(config, "Config3", "K1", "25"));
  }
  void TearDown() override {
    for (ChildProcess* child : {&listen, &second}) {
      if (child->started()) {
        endProcess(*child, SIGKILL);
      }
    }
    if (sim.started()) {
      endProcess(sim, SIGTERM);
    }
  }

  void startSim() {
    sim = spawn({(kBin / "quillet-sim").string(), "serve", "--socket", socket, "--log", (dir / "sim.log").string()}, {},
                dir / "sim.out", dir / "sim.err");
    ASSERT_TRUE(waitForText(dir / "sim.err", "serving")) << readBytes(dir / "sim.err");
  }
  void startListen() {
    listen = spawn({(kBin / "quilletctl").string(), "--skins", skins.string(), "listen"}, {"QUILLET_SIM=" + socket},
                   dir / "listen.out", dir / "listen.err");
  }
  void send(const std::string& command) {
    const std::string line =
        "'" + (kBin / "quillet-sim").string() + "' send --socket '" + socket + "' " + command + " >/dev/null";
    ASSERT_EQ(std::system(line.c_str()), 0) << command;
  }
  std::string out() { return readBytes(dir / "listen.out"); }

  quillet::test::TempDir dir;
  fs::path skins;
  fs::path config;
  std::string socket;
  ChildProcess sim;
  ChildProcess listen;
  ChildProcess second;  // a second listen on the same mouse
};

TEST_F(ListenCliTest, ServesHoldConsumerAndProfileUntilTerminated) {
  startSim();
  startListen();
  ASSERT_TRUE(waitForText(dir / "listen.err", "mouse found")) << readBytes(dir / "listen.err");

  send("press 3");
  send("release 3");
  ASSERT_TRUE(waitForText(dir / "listen.out", "hold released button 3\n")) << out();
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "listen.out", "consumer 00E2 button 7\n")) << out();
  send("profile 3");
  ASSERT_TRUE(waitForText(dir / "listen.out", "profile 3\n")) << out();
  // Profile 3 is loaded and served: its button 1 is a volume key.
  send("click 1");
  ASSERT_TRUE(waitForText(dir / "listen.out", "consumer 00E9 button 1\n")) << out();

  EXPECT_EQ(out(),
            "hold pressed button 3\nhold released button 3\nconsumer 00E2 button 7\nprofile 3\n"
            "consumer 00E9 button 1\n");
  EXPECT_EQ(quillet::ini::readString(config, "Init", "CurConfig", "", 5), "3");

  const std::string log = readBytes(dir / "sim.log");
  const auto at = [&](const std::string& report) { return log.find(report); };
  ASSERT_NE(at("SET 07 11 02 00 00 00 00 00"), std::string::npos) << log;
  EXPECT_LT(at("SET 07 11 02 00 00 00 00 00"), at("SET 07 11 00 00 00 00 00 00"));
  EXPECT_LT(at("SET 07 11 00 00 00 00 00 00"), at("SET 07 17 00 E2"));
  EXPECT_LT(at("SET 07 17 00 E2"), at("IN 06 03"));
  EXPECT_LT(at("IN 06 03"), at("GET 07"));
  EXPECT_LT(at("GET 07"), at("SET 07 17 00 E9"));
  EXPECT_NE(at("SET 07 17 00 E9"), std::string::npos);

  EXPECT_EQ(endProcess(listen, SIGTERM), 0) << readBytes(dir / "listen.err");
}

TEST_F(ListenCliTest, WaitsForAMouseThatComesLater) {
  // Nothing serves the socket yet: listen waits, and SIGINT ends it cleanly as well.
  startListen();
  ASSERT_TRUE(waitForText(dir / "listen.err", "waiting for it")) << readBytes(dir / "listen.err");
  startSim();
  ASSERT_TRUE(waitForText(dir / "listen.err", "mouse found")) << readBytes(dir / "listen.err");
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "listen.out", "consumer 00E2 button 7\n")) << out();

  // Unplugged and plugged again: followed through the simulator's hotplug watch.
  send("unplug");
  ASSERT_TRUE(waitForText(dir / "listen.err", "mouse removed")) << readBytes(dir / "listen.err");
  send("plug");
  ASSERT_TRUE(waitForText(dir / "listen.err", "mouse back")) << readBytes(dir / "listen.err");
  send("press 3");
  ASSERT_TRUE(waitForText(dir / "listen.out", "hold pressed button 3\n")) << out();

  EXPECT_EQ(endProcess(listen, SIGINT), 0) << readBytes(dir / "listen.err");
}

TEST_F(ListenCliTest, AReadErrorThatIsNoRemovalDoesNotEndTheServing) {
  startSim();
  startListen();
  ASSERT_TRUE(waitForText(dir / "listen.err", "mouse found")) << readBytes(dir / "listen.err");
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "listen.out", "consumer 00E2 button 7\n")) << out();
  // The event node fails one read, as after a suspend, and stays: the listener opens it again
  // and the buttons are served as before (clicked until the reopened node hears one).
  send("glitch");
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (readBytes(dir / "listen.out").find("consumer 00E2 button 7\nconsumer 00E2 button 7\n") == std::string::npos &&
         std::chrono::steady_clock::now() < deadline) {
    send("click 7");
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_NE(out().find("consumer 00E2 button 7\nconsumer 00E2 button 7\n"), std::string::npos) << out();
  EXPECT_EQ(readBytes(dir / "listen.err").find("removed"), std::string::npos) << "no removal was seen";
}

TEST_F(ListenCliTest, ServesWhatTheSettingsFileHoldsNow) {
  // Another program's download saves new functions into the settings file: listen serves them
  // from then on, not the ones it loaded at its start.
  startSim();
  startListen();
  ASSERT_TRUE(waitForText(dir / "listen.err", "mouse found")) << readBytes(dir / "listen.err");
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "listen.out", "consumer 00E2 button 7\n")) << out();
  ASSERT_TRUE(quillet::ini::writeString(config, "Config1", "K7", "25"));  // volume up now
  ASSERT_TRUE(waitForText(dir / "listen.err", "the settings file changed")) << readBytes(dir / "listen.err");
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "listen.out", "consumer 00E9 button 7\n")) << out();
  EXPECT_EQ(out(), "consumer 00E2 button 7\nconsumer 00E9 button 7\n");
}

TEST_F(ListenCliTest, TwoListenersOnOneMouseServeEachPressOnce) {
  // The first serves; the second says once that it does not, and takes over when the first ends.
  startSim();
  startListen();
  ASSERT_TRUE(waitForText(dir / "listen.err", "mouse found")) << readBytes(dir / "listen.err");
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "listen.out", "consumer 00E2 button 7\n")) << out();
  second = spawn({(kBin / "quilletctl").string(), "--skins", skins.string(), "listen"}, {"QUILLET_SIM=" + socket},
                 dir / "second.out", dir / "second.err");
  ASSERT_TRUE(waitForText(dir / "second.err", "mouse found")) << readBytes(dir / "second.err");
  send("click 7");
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "second.err", "serves this mouse's buttons")) << readBytes(dir / "second.err");
  const auto thrice = "consumer 00E2 button 7\nconsumer 00E2 button 7\nconsumer 00E2 button 7\n";
  ASSERT_TRUE(waitForText(dir / "listen.out", thrice)) << out();
  EXPECT_EQ(readBytes(dir / "second.out"), "");

  EXPECT_EQ(endProcess(listen, SIGTERM), 0);
  send("click 7");
  ASSERT_TRUE(waitForText(dir / "second.out", "consumer 00E2 button 7\n")) << readBytes(dir / "second.err");
  EXPECT_EQ(endProcess(second, SIGTERM), 0);
  const std::string err = readBytes(dir / "second.err");
  EXPECT_EQ(err.find("serves this mouse's buttons"), err.rfind("serves this mouse's buttons")) << "said once";
  // One consumer report per click: four clicks, four reports.
  const std::string log = readBytes(dir / "sim.log");
  int reports = 0;
  for (std::size_t at = log.find("SET 07 17 00 E2"); at != std::string::npos; at = log.find("SET 07 17 00 E2", at + 1)) {
    ++reports;
  }
  EXPECT_EQ(reports, 4) << log;
}

TEST_F(ListenCliTest, RefusesArgumentsAndAMissingSettingsFile) {
  const std::string ctl = "'" + (kBin / "quilletctl").string() + "'";
  EXPECT_EQ(WEXITSTATUS(std::system((ctl + " --skins '" + skins.string() + "' listen now 2>/dev/null").c_str())), 2);
  fs::remove(config);
  EXPECT_EQ(WEXITSTATUS(std::system((ctl + " --skins '" + skins.string() + "' listen 2>/dev/null").c_str())), 2);
}

}  // namespace
