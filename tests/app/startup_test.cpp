#include "core/skin/startup.h"

#include <gtest/gtest.h>

#include "core/skin/command_line.h"

namespace quillet {
namespace {

TEST(Startup, FontSizeFollowsTheScreenScale) {
  EXPECT_EQ(uiFontTenthsOfPoint(1.0), 85);
  EXPECT_EQ(uiFontTenthsOfPoint(1.25), 63);
  EXPECT_EQ(uiFontTenthsOfPoint(1.5), 53);
  EXPECT_EQ(uiFontTenthsOfPoint(1.75), 43);
  EXPECT_EQ(uiFontTenthsOfPoint(2.0), 43);
  EXPECT_EQ(uiFontTenthsOfPoint(2.5), 30);
  EXPECT_EQ(uiFontTenthsOfPoint(3.0), 20);
  EXPECT_EQ(uiFontTenthsOfPoint(3.5), 10);
  EXPECT_EQ(uiFontTenthsOfPoint(1.1), 10) << "a scale between the named ones";
}

TEST(Startup, HideSwitchAfterTheLastDash) {
  EXPECT_TRUE(commandLineRequestsHide("quillet -HIDE"));
  EXPECT_FALSE(commandLineRequestsHide("quillet -hide"));
  EXPECT_TRUE(commandLineRequestsHide("quillet -x -HIDEME"));
  EXPECT_FALSE(commandLineRequestsHide("quillet -HIDE -x"));
  EXPECT_TRUE(commandLineRequestsHide("HIDE"));
  EXPECT_FALSE(commandLineRequestsHide("quillet"));
  EXPECT_FALSE(commandLineRequestsHide("-HID"));
  EXPECT_FALSE(commandLineRequestsHide(""));
}

TEST(Startup, NoMouseMessageInBothLanguages) {
  EXPECT_EQ(noMouseMessage(kEnglish), "Please plug-in【K736 Gaming mouse】USB Mouse");
  EXPECT_EQ(noMouseMessage(kChinese), "请插入【K736 Gaming mouse】USB鼠标");
}

TEST(CommandLine, OptionsAndTheHiddenStart) {
  CommandLine c = parseCommandLine({"--skins", "/x/skins", "--simulate", "-HIDE"});
  EXPECT_EQ(c.skins, std::filesystem::path("/x/skins"));
  EXPECT_TRUE(c.simulate);
  EXPECT_TRUE(c.startHidden);
  EXPECT_TRUE(c.error.empty());
  c = parseCommandLine({"--skins=/y", "-hide"});
  EXPECT_EQ(c.skins, std::filesystem::path("/y"));
  EXPECT_FALSE(c.startHidden);
  EXPECT_TRUE(parseCommandLine({"-x", "-HIDEME"}).startHidden);
  EXPECT_FALSE(parseCommandLine({"-HIDE", "--skins", "/z"}).startHidden) << "the last dash is the option's";
  EXPECT_FALSE(parseCommandLine({"--skins"}).error.empty());
  EXPECT_TRUE(parseCommandLine({"--whatever"}).error.empty()) << "unknown arguments are ignored";
  // --tray: hidden in the notification area; -HIDE still only minimises.
  c = parseCommandLine({"--tray"});
  EXPECT_TRUE(c.startInTray);
  EXPECT_FALSE(c.startHidden);
  c = parseCommandLine({"--tray", "-HIDE"});
  EXPECT_TRUE(c.startInTray);
  EXPECT_TRUE(c.startHidden);
  EXPECT_FALSE(parseCommandLine({"-HIDE"}).startInTray);
}

}  // namespace
}  // namespace quillet
