// quilletctl list and status against quillet-sim, both run as the programs a user runs.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/io/ini.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;

const fs::path kBin = QUILLET_BIN_DIR;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string readAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

class DeviceCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quillet-cli-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);  // mkdtemp makes it 0700
    dir = pattern;
    socket = (dir / "mouse.sock").string();
    logFile = dir / "sim.log";
  }

  void TearDown() override {
    stopSim();
    fs::remove_all(dir);
  }

  // Starts quillet-sim serve and waits until its socket is there.
  void startSim(const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"serve", "--socket", socket, "--log", logFile.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    sim = quillet::test::ChildProcess(kBin / "quillet-sim", args, {.err = dir / "sim.err"});
    ASSERT_TRUE(sim.started());
    // Readiness, not timing: the socket appears once the simulator listens.
    for (int i = 0; i < 500 && !fs::exists(socket); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::exists(socket)) << readAll(dir / "sim.err");
  }

  void stopSim() {
    if (sim.started()) {
      EXPECT_TRUE(sim.stop(SIGTERM) == 0) << "quillet-sim did not end cleanly";
      EXPECT_FALSE(fs::exists(socket));
      sim = {};
    }
  }

  Outcome run(const std::string& commandLine) {
    const fs::path out = dir / "out.txt";
    const fs::path err = dir / "err.txt";
    const std::string full = "cd " + quote(dir.string()) + " && " + commandLine + " >" + quote(out.string()) + " 2>" +
                             quote(err.string()) + " </dev/null";
    const int status = std::system(full.c_str());
    Outcome r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readAll(out);
    r.err = readAll(err);
    return r;
  }

  Outcome ctl(const std::string& args) {
    return run("QUILLET_SIM=" + quote(socket) + " " + quote((kBin / "quilletctl").string()) + " " + args);
  }
  Outcome send(const std::string& command) {
    return run(quote((kBin / "quillet-sim").string()) + " send --socket " + quote(socket) + " " + command);
  }

  std::vector<std::string> logLines() {
    std::vector<std::string> lines;
    std::istringstream in(readAll(logFile));
    for (std::string line; std::getline(in, line);) {
      lines.push_back(line);
    }
    return lines;
  }

  fs::path dir;
  std::string socket;
  fs::path logFile;
  quillet::test::ChildProcess sim;
};

TEST_F(DeviceCliTest, StatusFollowsTheSimulatedProfile) {
  startSim({"--device-value", "9"});
  Outcome r = ctl("status");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "profile 1\ndevice-value 9\n");

  ASSERT_EQ(send("profile 3").exitCode, 0);
  r = ctl("status");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "profile 3\ndevice-value 9\n");

  // The log: the profile event sent, and each status read answered.
  std::vector<std::string> reports;
  for (const std::string& line : logLines()) {
    reports.push_back(line.substr(line.find(' ') + 1));
  }
  EXPECT_EQ(reports, (std::vector<std::string>{"GET 07 00 00 00 00 00 00 09", "IN 06 03 00 00 00 00 00 00",
                                               "GET 07 00 00 00 00 00 08 09"}));
  EXPECT_EQ(send("profile 5").exitCode, 2);
}

TEST_F(DeviceCliTest, ListShowsTheMouseInterfaces) {
  startSim({"--id", "30fa:1030"});
  const Outcome r = ctl("list");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "sim://30fa:1030/0 30FA:1030 usage 0001:0002 input 4 output 0 feature 0\n"
            "sim://30fa:1030/1 30FA:1030 usage FF00:0001 input 8 output 0 feature 0\n"
            "sim://30fa:1030/2 30FA:1030 usage FF01:0001 input 0 output 0 feature 8\n");
}

TEST_F(DeviceCliTest, NoMouseIsExitCodeThree) {
  // Nothing serves the socket.
  Outcome r = ctl("status");
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_NE(r.err.find("cannot connect to"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no mouse"), std::string::npos);
  EXPECT_EQ(ctl("list").exitCode, 3);

  // A mouse of an ID this program does not drive.
  startSim({"--id", "18F8:0CC1"});
  r = ctl("list");
  EXPECT_EQ(r.exitCode, 3);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(ctl("status").exitCode, 3);
}

TEST_F(DeviceCliTest, UnpluggedMouseIsNoMouseUntilPluggedAgain) {
  startSim();
  ASSERT_EQ(send("unplug").exitCode, 0);
  EXPECT_EQ(ctl("status").exitCode, 3);
  const Outcome press = send("press 2");
  EXPECT_EQ(press.exitCode, 1);
  EXPECT_NE(press.err.find("unplugged"), std::string::npos);
  ASSERT_EQ(send("plug").exitCode, 0);
  EXPECT_EQ(ctl("status").exitCode, 0);
}

TEST_F(DeviceCliTest, SimulatorCommandsAndOptions) {
  startSim();
  const Outcome dump = send("dump");
  ASSERT_EQ(dump.exitCode, 0);
  EXPECT_TRUE(dump.out.starts_with("0000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n0010: "));
  EXPECT_TRUE(dump.out.ends_with("3FF0: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00\n"));
  const Outcome state = send("state");
  EXPECT_NE(state.out.find("plugged yes\nid 18F8:0CC0\nprofile 1\n"), std::string::npos) << state.out;
  EXPECT_EQ(send("wiggle").exitCode, 2);

  // A second simulator on the same socket is refused, and bad options are usage errors.
  const std::string sim = quote((kBin / "quillet-sim").string());
  EXPECT_EQ(run(sim + " serve --socket " + quote(socket)).exitCode, 1);
  EXPECT_EQ(run(sim + " serve --socket x --id 18F8").exitCode, 2);
  EXPECT_EQ(run(sim + " serve --socket x --device-value 16").exitCode, 2);
  EXPECT_EQ(run(sim + " send --socket " + quote((dir / "none.sock").string()) + " state").exitCode, 1);
}

TEST(DeviceCliSimulate, InProcessMouse) {
  std::string pattern = (fs::temp_directory_path() / "quillet-cli-sim-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::string out = pattern + "/out";
  const std::string cmd = "env -u QUILLET_SIM '" + (kBin / "quilletctl").string() + "' --simulate status >'" + out + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(readAll(out), "profile 1\ndevice-value 0\n");
  fs::remove_all(pattern);
}

}  // namespace

namespace {

// The mouse's memory from "AAAA: HH HH ..." dump lines.
std::vector<int> memoryOf(const std::string& dump) {
  std::vector<int> memory(0x4000, -1);
  std::istringstream in(dump);
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string address;
    fields >> address;
    int a = std::stoi(address, nullptr, 16);
    for (std::string byte; fields >> byte; ++a) {
      memory[static_cast<std::size_t>(a)] = std::stoi(byte, nullptr, 16);
    }
  }
  return memory;
}

TEST_F(DeviceCliTest, ApplyLeavesTheMemoryThePlanPrints) {
  const fs::path skins = dir / "skins";
  fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins", skins, fs::copy_options::recursive);
  startSim({"--device-value", "5"});
  const std::string options = "--skins " + quote(skins.string());
  const Outcome plan = ctl(options + " plan");
  ASSERT_EQ(plan.exitCode, 0) << plan.err;
  ASSERT_TRUE(plan.out.ends_with("\nfinish\n")) << plan.out;

  // A GNOME desktop whose settings are a key file of this test's own: the machine's own mouse
  // settings stay untouched.
  const fs::path config = dir / "config";
  const Outcome apply = run("XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME=" +
                            quote(config.string()) + " QUILLET_SIM=" + quote(socket) + " " +
                            quote((kBin / "quilletctl").string()) + " " + options + " apply");
  ASSERT_EQ(apply.exitCode, 0) << apply.err;
  // The shipped pointer speed level 5 is Windows speed 10: -1 + 2 * 9 / 19.
  const std::string keyfile = readAll(config / "glib-2.0" / "settings" / "keyfile");
  const auto speed = keyfile.find("[org/gnome/desktop/peripherals/mouse]\nspeed=");
  ASSERT_NE(speed, std::string::npos) << keyfile;
  EXPECT_NEAR(std::strtod(keyfile.c_str() + speed + 44, nullptr), -1.0 / 19, 1e-12) << keyfile;
  const std::vector<int> memory = memoryOf(send("dump").out);

  std::istringstream lines(plan.out);
  int blocks = 0;
  for (std::string line; std::getline(lines, line) && line != "finish";) {
    std::istringstream fields(line);
    std::string word, address;
    fields >> word >> address;
    ASSERT_EQ(word, "block");
    int a = std::stoi(address, nullptr, 16);
    for (std::string byte; fields >> byte; ++a) {
      int expected = std::stoi(byte, nullptr, 16);
      if (a == 0x003A) {
        expected |= 5;  // the plan asks no mouse: its device value is 0, the simulator's is 5
      }
      EXPECT_EQ(memory[static_cast<std::size_t>(a)], expected) << line;
    }
    ++blocks;
  }
  EXPECT_GE(blocks, 16);
  // The last reports: Finish, then the end with address 0.
  const std::vector<std::string> log = logLines();
  ASSERT_GE(log.size(), 2u);
  EXPECT_NE(log[log.size() - 2].find("SET 07 18 10 00 00 00 00 00"), std::string::npos);
  EXPECT_NE(log.back().find("SET 07 18 00 00 00 00 00 00"), std::string::npos);
}

}  // namespace

namespace {

// The blocks a plan prints, by address.
std::map<int, int> plannedBytes(const std::string& plan) {
  std::map<int, int> bytes;
  std::istringstream lines(plan);
  for (std::string line; std::getline(lines, line) && line != "finish";) {
    std::istringstream fields(line);
    std::string word, address;
    fields >> word >> address;
    int a = std::stoi(address, nullptr, 16);
    for (std::string byte; fields >> byte; ++a) {
      bytes[a] = std::stoi(byte, nullptr, 16);
    }
  }
  return bytes;
}

TEST_F(DeviceCliTest, TwoAppliesIntoOneMouseTakeTurns) {
  // Two settings folders whose downloads differ in every profile's buttons, applied at once
  // into one mouse, three times over: the mouse holds one of the two downloads whole each time.
  startSim();
  std::vector<fs::path> folders;
  std::vector<std::map<int, int>> plans;
  for (const int variant : {0, 1}) {
    const fs::path skins = dir / ("skins" + std::to_string(variant));
    fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins", skins, fs::copy_options::recursive);
    const fs::path config = skins / "config" / "config.ini";
    for (int p = 1; p <= 4; ++p) {
      for (int k = 1; k < 8; ++k) {
        ASSERT_TRUE(quillet::ini::writeString(config, "Config" + std::to_string(p), "K" + std::to_string(k),
                                              std::to_string(variant == 0 ? 22 + k : 2 + k)));
      }
      ASSERT_TRUE(quillet::ini::writeString(config, "Config" + std::to_string(p), "DPI_LEVEL",
                                            std::to_string(variant == 0 ? 1 : 4)));
    }
    const Outcome plan = ctl("--skins " + quote(skins.string()) + " plan");
    ASSERT_EQ(plan.exitCode, 0) << plan.err;
    plans.push_back(plannedBytes(plan.out));
    folders.push_back(skins);
  }
  ASSERT_NE(plans[0], plans[1]);
  const std::string ctlPath = quote((kBin / "quilletctl").string());
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const std::string both = "export XDG_CURRENT_DESKTOP= GSETTINGS_BACKEND=memory QUILLET_SIM=" + quote(socket) +
                             "; " + ctlPath + " --skins " +
                             quote(folders[0].string()) + " apply 2>a.err & a=$!; " + ctlPath + " --skins " +
                             quote(folders[1].string()) + " apply 2>b.err & b=$!; wait $a && wait $b";
    const Outcome r = run(both);
    ASSERT_EQ(r.exitCode, 0) << readAll(dir / "a.err") << readAll(dir / "b.err");
    const std::vector<int> memory = memoryOf(send("dump").out);
    int whole = 0;
    for (const std::map<int, int>& plan : plans) {
      bool all = true;
      for (const auto& [address, byte] : plan) {
        // The device value the simulator keeps at 0x3A is the mouse's own.
        all = all && (address == 0x003A || memory[static_cast<std::size_t>(address)] == byte);
      }
      whole += all ? 1 : 0;
    }
    EXPECT_EQ(whole, 1) << "the mouse holds neither download whole";
  }
}

TEST_F(DeviceCliTest, AMouseThatMayNotBeOpenedIsNamedWithItsNodeAndReason) {
  const fs::path skins = dir / "skins";
  fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins", skins, fs::copy_options::recursive);
  const std::string config = readAll(skins / "config" / "config.ini");
  startSim();
  ASSERT_EQ(send("deny").exitCode, 0);

  const Outcome list = ctl("list");
  EXPECT_EQ(list.exitCode, 4) << list.err;
  EXPECT_EQ(list.out,
            "sim://18f8:0cc0/0 18F8:0CC0 usage 0001:0002 input 4 output 0 feature 0\n"
            "sim://18f8:0cc0/1 18F8:0CC0 usage FF00:0001 input 8 output 0 feature 0 not opened: Permission denied\n"
            "sim://18f8:0cc0/2 18F8:0CC0 usage FF01:0001 input 0 output 0 feature 8 not opened: Permission denied\n");
  // Every command that needs the mouse names the node, the reason and the rule that fixes it.
  for (const char* command : {"list", "status", "apply"}) {
    const Outcome r = ctl("--skins " + quote(skins.string()) + " " + command);
    EXPECT_EQ(r.exitCode, 4) << command;
    EXPECT_NE(r.err.find("sim://18f8:0cc0/"), std::string::npos) << command << ": " << r.err;
    EXPECT_NE(r.err.find("Permission denied"), std::string::npos) << command << ": " << r.err;
    EXPECT_NE(r.err.find("70-quillet.rules"), std::string::npos) << command << ": " << r.err;
  }
  EXPECT_EQ(readAll(skins / "config" / "config.ini"), config) << "an apply that reached no mouse saved nothing";

  ASSERT_EQ(send("allow").exitCode, 0);
  EXPECT_EQ(ctl("list").exitCode, 0);
  EXPECT_EQ(ctl("status").exitCode, 0);
}

TEST_F(DeviceCliTest, ApplyCountsEveryReportAndEverySave) {
  // What goes wrong on the way, and what apply must say about it.
  struct Case {
    const char* name;
    const char* simCommand;  // sent to the mouse before the apply
    bool readOnlySettings;
    int exitCode;
    const char* says;
    bool saved;
  };
  for (const Case c : {Case{"all well", nullptr, false, 0, "", true},
                       Case{"the mouse goes after the finish", "unplug after-finish", false, 1,
                            "the mouse did not take every report", true},
                       Case{"the settings file is read-only", nullptr, true, 1, "config.ini", false}}) {
    SCOPED_TRACE(c.name);
    const fs::path skins = dir / "skins";
    fs::remove_all(skins);
    fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins", skins, fs::copy_options::recursive);
    const fs::path config = skins / "config" / "config.ini";
    // A button on a macro whose group is gone: the apply gives it 0, so the save has to write.
    ASSERT_TRUE(quillet::ini::writeString(config, "Config1", "K0", "2304"));
    const std::string before = readAll(config);
    if (c.readOnlySettings) {
      ::chmod(config.c_str(), 0444);
    }
    startSim();
    if (c.simCommand != nullptr) {
      ASSERT_EQ(send(c.simCommand).exitCode, 0);
    }
    const Outcome r = run("XDG_CURRENT_DESKTOP= QUILLET_SIM=" + quote(socket) + " " +
                          quote((kBin / "quilletctl").string()) + " --skins " + quote(skins.string()) + " apply");
    EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(readAll(config) != before, c.saved);
    // The mouse got the configuration either way: its log shows the Finish.
    EXPECT_NE(readAll(logFile).find("SET 07 18 10 00 00 00 00 00"), std::string::npos);
    stopSim();
    fs::remove(logFile);
  }
}

}  // namespace
