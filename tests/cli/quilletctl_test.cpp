// quilletctl show and reset, run as a user runs them.
#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "core/io/ini.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::readBytes;
using test::runProgram;
using test::TempDir;

class Quilletctl : public ::testing::Test {
 protected:
  void SetUp() override { skins_ = test::copyShippedSkins(dir_); }
  std::filesystem::path config() const { return skins_ / "config" / "config.ini"; }

  TempDir dir_;
  std::filesystem::path skins_;
};

TEST_F(Quilletctl, ShowPrintsWhatTheUtilityLoadsAndWritesNothing) {
  ASSERT_TRUE(ini::writeString(config(), "Init", "CurConfig", "3"));
  ASSERT_TRUE(ini::writeString(config(), "Config3", "LED_BRIGHT", "6"));
  ASSERT_TRUE(ini::writeString(config(), "Config2", "K4", "31"));
  const std::string before = readBytes(config());

  const auto r = runProgram("quilletctl", {"--skins", skins_.string(), "show"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readBytes(config()), before);
  EXPECT_TRUE(r.out.starts_with("[Init]\nCurConfig=3\nVER_SEL=1\n[Config1]\nK0=1\nK1=2\n")) << r.out;
  // The common keys come from the current profile's section, into all four.
  std::size_t count = 0;
  for (std::size_t pos = r.out.find("LED_BRIGHT=6\n"); pos != std::string::npos;
       pos = r.out.find("LED_BRIGHT=6\n", pos + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 4u);
  EXPECT_NE(r.out.find("[Config2]\nK0=1\nK1=2\nK2=3\nK3=4\nK4=31\n"), std::string::npos);
  EXPECT_TRUE(r.out.ends_with("FIRE_TIME=50\n"));
  // 3 lines of Init, then 4 sections of a header and 101 keys.
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3 + 4 * 102);
}

// Every file below `root` with its bytes and its modification time.
std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> stateOf(const std::filesystem::path& root) {
  std::map<std::string, std::pair<std::string, std::filesystem::file_time_type>> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    files[std::filesystem::relative(e.path(), root).string()] = {e.is_regular_file() ? readBytes(e.path()) : "<dir>",
                                                                 e.last_write_time()};
  }
  return files;
}

TEST_F(Quilletctl, CommandsThatOnlyReadWriteNothing) {
  // A library whose list names a group that is gone and a profile number out of range: what a
  // start-up would mend, a command that only reads must leave.
  const auto list = skins_ / "INI_EN" / "macro" / "macroGrp.ini";
  ASSERT_TRUE(ini::WriteBatch(list).set("MACRO_GROUP_NUM", "macGrpNum", "4").set("MACRO_GROUP_NAME", "3", "Gone").commit());
  ASSERT_TRUE(ini::writeString(config(), "Init", "CurConfig", "9"));
  ASSERT_TRUE(ini::writeString(config(), "Config1", "K0", std::to_string(256 * 4 + 0)));  // the macro of the gone group
  const auto before = stateOf(skins_);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"show"}, {"plan"}, {"macros", (skins_ / "INI_EN" / "macro" / "Office.dat").string()}}) {
    std::vector<std::string> full = {"--skins", skins_.string()};
    full.insert(full.end(), args.begin(), args.end());
    const auto r = runProgram("quilletctl", full);
    EXPECT_EQ(r.exitCode, 0) << args[0] << ": " << r.err;
    std::vector<std::string> changed;
    const auto after = stateOf(skins_);
    for (const auto& [path, state] : after) {
      if (!before.count(path) || before.at(path) != state) {
        changed.push_back(path);
      }
    }
    EXPECT_EQ(changed, std::vector<std::string>{}) << args[0] << " wrote";
    EXPECT_EQ(after.size(), before.size());
  }
}

TEST_F(Quilletctl, ResetRestoresTheFactoryButtons) {
  ASSERT_TRUE(ini::writeString(config(), "Config1", "K0", "2"));
  ASSERT_TRUE(ini::writeString(config(), "Config1", "FIRE_TIME", "250"));
  const auto reset = runProgram("quilletctl", {"reset", "--skins=" + skins_.string()});
  ASSERT_EQ(reset.exitCode, 0) << reset.err;
  EXPECT_EQ(ini::readString(config(), "Config1", "K0", "", 5), "1");
  EXPECT_EQ(ini::readString(config(), "Config4", "FIRE_TIME", "", 5), "50");
}

TEST_F(Quilletctl, BadArgumentsAndMissingFoldersExitWithTwo) {
  EXPECT_EQ(runProgram("quilletctl", {}).exitCode, 2);
  EXPECT_EQ(runProgram("quilletctl", {"frobnicate"}).exitCode, 2);
  EXPECT_EQ(runProgram("quilletctl", {"--bogus", "show"}).exitCode, 2);
  EXPECT_EQ(runProgram("quilletctl", {"show", "extra"}).exitCode, 2);
  EXPECT_EQ(runProgram("quilletctl", {"--skins"}).exitCode, 2);
  const auto missing = runProgram("quilletctl", {"--skins", (dir_ / "nowhere").string(), "show"});
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("nowhere"), std::string::npos) << missing.err;
  EXPECT_TRUE(missing.out.empty());
  std::filesystem::remove(config());
  EXPECT_EQ(runProgram("quilletctl", {"--skins", skins_.string(), "show"}).exitCode, 2);
  EXPECT_EQ(runProgram("quilletctl", {"--skins", skins_.string(), "reset"}).exitCode, 2);
  EXPECT_FALSE(std::filesystem::exists(config())) << "a failed reset creates nothing";
}

TEST_F(Quilletctl, HelpOnEveryCommand) {
  for (const char* command : {"show", "reset"}) {
    const auto r = runProgram("quilletctl", {command, "--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(std::string("quilletctl [--skins DIR] ") + command), std::string::npos) << r.out;
  }
  const auto r = runProgram("quilletctl", {"--help"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("Commands:"), std::string::npos);
}

}  // namespace
}  // namespace quillet
