// quillet-sim serve as a separate program: macros written into it by the host (through the
// protocol, and by quilletctl apply) and played when `quillet-sim send press` presses the button;
// the PLAY lines of its log are checked step for step.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "core/device/clock.h"
#include "core/device/configuration.h"
#include "core/device/device_link.h"
#include "core/device/device_protocol.h"
#include "core/device/macro_image.h"
#include "linux/sim_socket_transport.h"
#include "macro/macro_test_support.h"
#include "support/process.h"

namespace quillet::sim {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

class SimPlaybackE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    socket = (dir / "mouse.sock").string();
    logFile = dir / "sim.log";
    const fs::path err = dir / "sim.err";
    sim = test::ChildProcess(test::buildProgram("quillet-sim"),
                             {"serve", "--socket", socket, "--log", logFile.string()}, {.err = err});
    ASSERT_EQ(sim.error(), 0);
    for (int i = 0; i < 500 && !fs::exists(socket); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(fs::exists(socket)) << test::readBytes(err);
  }

  void TearDown() override {
    if (sim.started()) {
      EXPECT_EQ(sim.stop(SIGTERM), 0);
    }
  }

  void send(const std::string& command) {
    std::vector<std::string> args = {"send", "--socket", socket};
    std::istringstream words(command);
    for (std::string w; words >> w;) {
      args.push_back(w);
    }
    const test::ProcessResult r = test::runProgram("quillet-sim", args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }

  // The PLAY lines of the log so far, without time stamps.
  std::vector<std::string> played() {
    std::vector<std::string> out;
    std::istringstream in(test::readBytes(logFile));
    for (std::string line; std::getline(in, line);) {
      const auto at = line.find(" PLAY ");
      if (at != std::string::npos) {
        out.push_back(line.substr(at + 6));
      }
    }
    return out;
  }

  test::TempDir dir;
  std::string socket;
  fs::path logFile;
  test::ChildProcess sim;
};

TEST_F(SimPlaybackE2e, AMacroWrittenThroughTheProtocolPlaysStepForStep) {
  const Macro macro = test::makeMacro("combo",
                                      {test::press(4, 300),
                                       test::release(4, 5),
                                       test::move(step_type::kMoveLeftUp, 5, 10, 20),
                                       {step_type::kCpiSet, step_code::kCpi, 4, 0, 10},
                                       {0, 0, 0, 0, 1000},
                                       test::press(step_code::kMouseRight, 0),
                                       test::release(step_code::kMouseRight, 0)},
                                      play_mode::kLoopCount, 2);
  const ButtonFunction code = function_code::libraryMacro(1, 0);

  auto transport = makeSimSocketTransport(socket);
  DeviceLink link(*transport);
  RecordingClock clock;
  DeviceProtocol protocol(link, clock);
  ASSERT_TRUE(link.open());
  ProfileSettings settings;
  DownloadState state;
  state.deviceFunction[0][3] = device_function::kMacro;
  for (const ConfigurationBlock& b : configurationBlocks(settings, state, 0, 0)) {
    ASSERT_TRUE(protocol.writeBlock(b.address, b.bytes));
  }
  ASSERT_TRUE(protocol.writeBlock(static_cast<std::uint16_t>(descriptorAddress(0, 3)),
                                  describeSlot(code, 3, &macro, device_memory::kImageArea).encode()));
  const MacroImage image = buildMacroImage(macro, device_memory::kImageArea);
  for (std::size_t off = 0; off < image.bytes.size(); off += 8) {
    ASSERT_TRUE(
        protocol.writeBlock(static_cast<std::uint16_t>(image.address + off), std::span(image.bytes).subspan(off, 8)));
  }
  ASSERT_TRUE(protocol.endDownload());

  send("press 3");
  send("release 3");
  // Each step and the pause after it, in tens of milliseconds from 10 to 1,270: 5 ms and 0 ms
  // become 10.
  const std::vector<std::string> round = {"key 04 down", "wait 300",  "key 04 up",         "wait 10",
                                          "move -5 -10", "wait 20",   "cpi 4",             "wait 10",
                                          "wait 1000",   "button right down", "wait 10", "button right up",
                                          "wait 10"};
  std::vector<std::string> expected = {"start button 3 profile 1 image 0240 mode count rounds 2"};
  expected.insert(expected.end(), round.begin(), round.end());
  expected.insert(expected.end(), round.begin(), round.end());
  expected.push_back("end button 3");
  EXPECT_THAT(played(), ElementsAreArray(expected));
}

TEST_F(SimPlaybackE2e, ApplyPutsALibraryMacroOnAButtonAndTheMousePlaysIt) {
  const fs::path skins = dir / "skins";
  fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins", skins, fs::copy_options::recursive);
  // Button 3 of profile 1 gets macro 0 of the first group.
  const fs::path config = skins / "config" / "config.ini";
  std::string text = test::readBytes(config);
  const auto at = text.find("K3=", text.find("[Config1]"));
  ASSERT_NE(at, std::string::npos);
  text.replace(at, text.find('\n', at) - at, "K3=256");
  test::writeBytes(config, text);

  const std::string ctl = (fs::path(QUILLET_BIN_DIR) / "quilletctl").string();
  // A GNOME desktop whose settings are a key file of this test's own.
  const std::string command = "XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=keyfile XDG_CONFIG_HOME='" +
                              (dir / "config").string() + "' QUILLET_SIM='" + socket + "' '" + ctl + "' --skins '" +
                              skins.string() + "' apply >/dev/null 2>'" + (dir / "apply.err").string() + "'";
  ASSERT_EQ(std::system(command.c_str()), 0) << test::readBytes(dir / "apply.err");

  // The first macro of the first group, "Copy": left Control and C, once.
  send("click 3");
  EXPECT_THAT(played(), ElementsAre("start button 3 profile 1 image 0240 mode count rounds 1", "key E0 down",
                                    "wait 20", "key 06 down", "wait 50", "key 06 up", "wait 20", "key E0 up",
                                    "wait 20", "end button 3"));
}

}  // namespace
}  // namespace quillet::sim
