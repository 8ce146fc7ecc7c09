// The utility as a process (offscreen): how it ends on signals and on a failed start, and two
// copies started at the same instant.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using quillet::test::readBytes;

const fs::path kBin = QUILLET_BIN_DIR;
constexpr auto kPatience = 20s;  // how long to wait for what must come; never a measure

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, const fs::path& err) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    for (const std::string& e : env) {
      ::putenv(const_cast<char*>(e.c_str()));
    }
    if (!std::freopen("/dev/null", "w", stdout) || !std::freopen(err.c_str(), "w", stderr) ||
        !std::freopen("/dev/null", "r", stdin)) {
      ::_exit(126);
    }
    std::vector<char*> argv;
    for (const std::string& a : args) {
      argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

// The exit code once `pid` ends within `patience`; -1 when it was killed by a signal, -2 when it
// is still running.
int waitExit(pid_t pid, std::chrono::milliseconds patience = std::chrono::duration_cast<std::chrono::milliseconds>(kPatience)) {
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    int status = 0;
    const pid_t r = ::waitpid(pid, &status, WNOHANG);
    if (r == pid) {
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      return -2;
    }
    std::this_thread::sleep_for(10ms);
  }
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
  void TearDown() override {
    for (const pid_t pid : running) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }
  pid_t start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv, const std::string& err) {
    std::vector<std::string> full = env;
    full.insert(full.end(), extraEnv.begin(), extraEnv.end());
    const pid_t pid = spawn(args, full, dir / err);
    running.push_back(pid);
    return pid;
  }
  void ended(pid_t pid) { std::erase(running, pid); }

  quillet::test::TempDir dir;
  fs::path skins;
  std::vector<std::string> env;
  std::vector<pid_t> running;
};

TEST_F(Process, SignalsEndItAsItsCloseDoes) {
  const std::string before = readBytes(skins / "config" / "config.ini");
  for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(strsignal(sig));
    const std::string socket = (dir / "mouse.sock").string();
    const fs::path log = dir / "sim.log";
    fs::remove(log);
    const pid_t sim = start({(kBin / "quillet-sim").string(), "serve", "--socket", socket, "--log", log.string()}, {},
                            "sim.err");
    ASSERT_TRUE(waitForText(dir / "sim.err", "serving")) << readBytes(dir / "sim.err");
    const pid_t quillet = start({(kBin / "quillet").string(), "--skins", skins.string()}, {"QUILLET_SIM=" + socket},
                                "quillet.err");
    // The start-up reads the mouse's status once it has found it.
    ASSERT_TRUE(waitForText(log, " GET ")) << readBytes(dir / "quillet.err");
    ::kill(quillet, sig);
    EXPECT_EQ(waitExit(quillet), 0) << readBytes(dir / "quillet.err");
    ended(quillet);
    EXPECT_NE(readBytes(log).find(" SET 07 20"), std::string::npos) << "no HostExit:\n" << readBytes(log);
    EXPECT_EQ(readBytes(skins / "config" / "config.ini"), before);
    ::kill(sim, SIGTERM);
    EXPECT_EQ(waitExit(sim), 0);
    ended(sim);
  }
}

TEST_F(Process, AStartThatFailsEndsWithAFailure) {
  fs::remove(skins / "INI_EN" / "skin_mac_en.ini");
  fs::remove(skins / "INI_CN" / "skin_mac.ini");
  const pid_t broken = start({(kBin / "quillet").string(), "--skins", skins.string(), "--simulate"}, {}, "broken.err");
  EXPECT_EQ(waitExit(broken), 1) << readBytes(dir / "broken.err");
  ended(broken);
  const pid_t nowhere =
      start({(kBin / "quillet").string(), "--skins", (dir / "nowhere").string(), "--simulate"}, {}, "nowhere.err");
  EXPECT_EQ(waitExit(nowhere), 2);
  ended(nowhere);
}

TEST_F(Process, OfCopiesStartedAtTheSameInstantExactlyOneRuns) {
  constexpr int kCopies = 8;
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    std::vector<pid_t> copies;
    for (int i = 0; i < kCopies; ++i) {
      copies.push_back(start({(kBin / "quillet").string(), "--skins", skins.string(), "--simulate"}, {},
                             "copy" + std::to_string(i) + ".err"));
    }
    // All but one hand over to the one that runs, and end with 0.
    int handedOver = 0;
    pid_t survivor = -1;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (handedOver < kCopies - 1 && std::chrono::steady_clock::now() < deadline) {
      for (pid_t& pid : copies) {
        if (pid > 0 && waitExit(pid, 0ms) != -2) {
          ended(pid);
          pid = -1;
          ++handedOver;
        }
      }
      std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(handedOver, kCopies - 1);
    for (const pid_t pid : copies) {
      if (pid > 0) {
        survivor = pid;
      }
    }
    ASSERT_GT(survivor, 0);
    // The one left keeps running, and a later start still finds it.
    EXPECT_EQ(waitExit(survivor, 500ms), -2);
    const pid_t late = start({(kBin / "quillet").string(), "--skins", skins.string(), "--simulate"}, {}, "late.err");
    EXPECT_EQ(waitExit(late), 0);
    ended(late);
    EXPECT_EQ(waitExit(survivor, 200ms), -2);
    ::kill(survivor, SIGTERM);
    EXPECT_EQ(waitExit(survivor), 0);
    ended(survivor);
  }
}

}  // namespace
