// Where a build and an installed copy find their data, and the first start of an installed copy
// that makes the user's folder from the shipped one.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/io/app_folder.h"
#include "core/skin/command_line.h"
#include "core/skin/startup.h"
#include "linux/autostart.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// Sets an environment variable for the life of the object (unset with nullopt).
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::map<std::string, std::string> contentsOf(const fs::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    files[fs::relative(e.path(), root).string()] = e.is_regular_file() ? readBytes(e.path()) : "<dir>";
  }
  return files;
}

TEST(AppFolders, ABuildAnInstalledCopyAndAChosenSkinFolder) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").string());
  // A build: skins/ beside the executable, everything there.
  fs::create_directories(dir / "build" / "bin" / "skins");
  AppFolders f = locateAppFolders(dir / "build" / "bin");
  EXPECT_FALSE(f.installed);
  EXPECT_EQ(f.appFolder, dir / "build" / "bin");
  EXPECT_EQ(f.skinFolder, dir / "build" / "bin" / "skins");
  EXPECT_EQ(f.dataFolder, f.skinFolder);

  // An installed copy under any prefix: share/quillet beside bin/, the user's data under XDG.
  fs::create_directories(dir / "opt" / "q" / "bin");
  fs::create_directories(dir / "opt" / "q" / "share" / "quillet" / "skins");
  f = locateAppFolders(dir / "opt" / "q" / "bin");
  EXPECT_TRUE(f.installed);
  EXPECT_EQ(f.appFolder, dir / "opt" / "q" / "share" / "quillet");
  EXPECT_EQ(f.skinFolder, dir / "opt" / "q" / "share" / "quillet" / "skins");
  EXPECT_EQ(f.dataFolder, dir / "xdg" / "quillet");

  // --skins: one folder for everything, installed or not.
  f = locateAppFolders(dir / "opt" / "q" / "bin", dir / "mine");
  EXPECT_FALSE(f.installed);
  EXPECT_EQ(f.skinFolder, dir / "mine");
  EXPECT_EQ(f.dataFolder, dir / "mine");
  EXPECT_EQ(f.appFolder, dir / "opt" / "q" / "share" / "quillet") << "constMacro.dat stays the shipped one";

  // Neither layout: the build's, whose missing skins/ the caller reports.
  f = locateAppFolders(dir / "nowhere");
  EXPECT_FALSE(f.installed);
  EXPECT_EQ(f.skinFolder, dir / "nowhere" / "skins");
}

TEST(AppFolders, TheUsersFolderFollowsXdgThenHome) {
  {
    const ScopedEnv xdg("XDG_CONFIG_HOME", "/x/config");
    const ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(userDataFolder(), fs::path("/x/config/quillet"));
  }
  {
    // A relative XDG_CONFIG_HOME is to be ignored, as the XDG rules say.
    const ScopedEnv xdg("XDG_CONFIG_HOME", "relative/config");
    const ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(userDataFolder(), fs::path("/home/u/.config/quillet"));
  }
  {
    const ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    const ScopedEnv home("HOME", "/home/u");
    EXPECT_EQ(userDataFolder(), fs::path("/home/u/.config/quillet"));
  }
}

class Seeding : public ::testing::Test {
 protected:
  void SetUp() override {
    shipped = dir / "share" / "quillet" / "skins";
    writeBytes(shipped / "config" / "config.ini", "[Init]\nCurConfig=1\n");
    writeBytes(shipped / "config" / "country.ini", "[COUNTRY]\n0=x\n");
    writeBytes(shipped / "INI_EN" / "macro" / "macroGrp.ini", "[MACRO_GROUP_NUM]\nmacGrpNum=1\n");
    writeBytes(shipped / "INI_EN" / "macro" / "Office.dat", "office");
    writeBytes(shipped / "INI_CN" / "macro" / "macroGrp.ini", "cn");
    writeBytes(shipped / "INI_EN" / "skin_main_en.ini", "layout");
    folders = AppFolders{dir / "share" / "quillet", shipped, dir / "home" / "quillet", true};
  }
  bool seed() {
    problem.clear();
    return seedUserData(folders, problem);
  }

  TempDir dir;
  fs::path shipped;
  AppFolders folders;
  std::string problem;
};

TEST_F(Seeding, AFreshStartCopiesTheWritableDataAndNothingElse) {
  ASSERT_TRUE(seed()) << problem;
  EXPECT_EQ(contentsOf(folders.dataFolder),
            (std::map<std::string, std::string>{{"config", "<dir>"},
                                                {"config/config.ini", "[Init]\nCurConfig=1\n"},
                                                {"config/country.ini", "[COUNTRY]\n0=x\n"},
                                                {"INI_EN", "<dir>"},
                                                {"INI_EN/macro", "<dir>"},
                                                {"INI_EN/macro/macroGrp.ini", "[MACRO_GROUP_NUM]\nmacGrpNum=1\n"},
                                                {"INI_EN/macro/Office.dat", "office"},
                                                {"INI_CN", "<dir>"},
                                                {"INI_CN/macro", "<dir>"},
                                                {"INI_CN/macro/macroGrp.ini", "cn"}}));
}

TEST_F(Seeding, AnUpgradeNeverOverwritesAndOnlyAddsWhatIsMissing) {
  ASSERT_TRUE(seed());
  // The user's own settings, a group deleted, a library emptied; the new version ships more.
  writeBytes(folders.dataFolder / "config" / "config.ini", "mine");
  fs::remove(folders.dataFolder / "INI_EN" / "macro" / "Office.dat");
  fs::remove(folders.dataFolder / "INI_CN" / "macro" / "macroGrp.ini");
  writeBytes(shipped / "config" / "config.ini", "[Init]\nCurConfig=2\n");
  writeBytes(shipped / "config" / "ConfigFile.ini", "[UserInfo]\n");
  writeBytes(shipped / "INI_EN" / "macro" / "Gaming.dat", "gaming");
  const auto before = contentsOf(folders.dataFolder);

  ASSERT_TRUE(seed()) << problem;
  auto expected = before;
  expected["config/ConfigFile.ini"] = "[UserInfo]\n";
  EXPECT_EQ(contentsOf(folders.dataFolder), expected);
}

TEST_F(Seeding, ABuildAndAChosenFolderAreLeftAlone) {
  folders.installed = false;
  ASSERT_TRUE(seed());
  EXPECT_FALSE(fs::exists(folders.dataFolder));
}

TEST_F(Seeding, AFolderThatCannotBeMadeIsSaid) {
  writeBytes(dir / "home", "a file where the folder should be");
  EXPECT_FALSE(seed());
  EXPECT_NE(problem.find((dir / "home").string()), std::string::npos) << problem;
  folders.dataFolder.clear();
  EXPECT_FALSE(seed());
  EXPECT_NE(problem.find("home folder"), std::string::npos) << problem;
}

TEST(Autostart, ExecArgumentsAreQuotedOnlyWhenTheyMustBe) {
  struct Case {
    const char* argument;
    const char* quoted;
  };
  for (const Case c : {Case{"/usr/bin/quillet", "/usr/bin/quillet"}, Case{"/opt/my apps/quillet", "\"/opt/my apps/quillet\""},
                       Case{"/x/$HOME/q", "\"/x/\\$HOME/q\""}, Case{"/a\"b/q", "\"/a\\\"b/q\""},
                       Case{"/a`b\\c/q", "\"/a\\`b\\\\c/q\""}, Case{"", "\"\""}}) {
    EXPECT_EQ(quoteExecArgument(c.argument), c.quoted) << c.argument;
  }
}

TEST(Autostart, OnWritesTheShippedEntryForThisCopyAndOffRemovesIt) {
  TempDir dir;
  const ScopedEnv xdg("XDG_CONFIG_HOME", (dir / "xdg").string());
  writeBytes(dir / "shipped.desktop", "[Desktop Entry]\nType=Application\nExec=quillet -HIDE\nName=Quillet\n");
  std::string problem;
  EXPECT_FALSE(autostartEnabled());
  ASSERT_TRUE(enableAutostart(dir / "shipped.desktop", "/opt/q 1/bin/quillet", problem)) << problem;
  EXPECT_EQ(autostartEntryPath(), dir / "xdg" / "autostart" / "org.quillet.Quillet.desktop");
  EXPECT_EQ(readBytes(autostartEntryPath()),
            "[Desktop Entry]\nType=Application\nExec=\"/opt/q 1/bin/quillet\" -HIDE\nName=Quillet\n");
  EXPECT_TRUE(autostartEnabled());
  EXPECT_TRUE(disableAutostart(problem));
  EXPECT_FALSE(autostartEnabled());
  EXPECT_TRUE(disableAutostart(problem)) << "off when off is no failure";
  EXPECT_FALSE(enableAutostart(dir / "missing.desktop", "/usr/bin/quillet", problem));
  EXPECT_NE(problem.find("missing.desktop"), std::string::npos);
}

// The shipped entry starts the utility hidden in the notification area (--tray), not merely
// minimised (-HIDE): its Exec line, as the utility reads its arguments.
TEST(Autostart, TheShippedEntryStartsHiddenInTheNotificationArea) {
  const std::string entry = readBytes(std::filesystem::path(QUILLET_SOURCE_DIR) / "data" / "desktop" /
                                      kAutostartTemplateName);
  const std::size_t exec = entry.find("\nExec=");
  ASSERT_NE(exec, std::string::npos);
  const std::string line = entry.substr(exec + 6, entry.find('\n', exec + 1) - exec - 6);
  std::vector<std::string> args;
  for (std::size_t at = 0; at < line.size();) {
    const std::size_t space = line.find(' ', at);
    args.push_back(line.substr(at, space == std::string::npos ? std::string::npos : space - at));
    at = space == std::string::npos ? line.size() : space + 1;
  }
  ASSERT_FALSE(args.empty());
  EXPECT_EQ(args.front(), "quillet");
  const CommandLine parsed = parseCommandLine({args.begin() + 1, args.end()});
  EXPECT_TRUE(parsed.startInTray) << line;
  EXPECT_FALSE(parsed.startHidden) << line << ": -HIDE only minimises";
}

}  // namespace
}  // namespace quillet
