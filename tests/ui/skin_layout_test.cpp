// The hit test and the main window's load of the layout files.
#include "core/skin/skin_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::TempDir;

SkinButton region(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) { return {x, y, w, h, {}}; }

TEST(HitTest, EdgesLeftAndTopInsideRightAndBottomOutside) {
  const SkinLayout<1> layout{region(10, 20, 30, 40)};
  EXPECT_EQ(hitTest(layout, 10, 20, 0), 0);
  EXPECT_EQ(hitTest(layout, 39, 59, 0), 0);
  EXPECT_EQ(hitTest(layout, 40, 30, 0), kNoRegion);
  EXPECT_EQ(hitTest(layout, 20, 60, 0), kNoRegion);
  EXPECT_EQ(hitTest(layout, 9, 30, 0), kNoRegion);
  EXPECT_EQ(hitTest(layout, 20, 19, 0), kNoRegion);
}

TEST(HitTest, OverlapGoesToTheLowerNumberAndLastLimitsTheSearch) {
  const SkinLayout<4> layout{region(0, 0, 0, 0), region(50, 50, 100, 100), region(0, 0, 100, 100), region(0, 0, 200, 200)};
  EXPECT_EQ(hitTest(layout, 60, 60, 3), 1);
  EXPECT_EQ(hitTest(layout, 10, 10, 3), 2);
  EXPECT_EQ(hitTest(layout, 160, 160, 3), 3);
  EXPECT_EQ(hitTest(layout, 160, 160, 2), kNoRegion);
  EXPECT_EQ(hitTest(layout, 250, 10, 3), kNoRegion);
  // A last beyond the layout is limited to it.
  EXPECT_EQ(hitTest(layout, 160, 160, 255), 3);
  // An all-zero region (an absent key) contains not even its own origin.
  EXPECT_EQ(hitTest(SkinLayout<1>{}, 0, 0, 0), kNoRegion);
}

TEST(HitTest, NegativeSizesAndHugeCoordinatesContainNothing) {
  const SkinLayout<2> layout{region(10, 10, -5, 20), region(2147483600, 0, 100, 10)};
  EXPECT_EQ(hitTest(layout, 8, 15, 1), kNoRegion);
  EXPECT_EQ(hitTest(layout, 2147483640, 5, 1), 1);
}

class LoadLayouts : public ::testing::Test {
 protected:
  void SetUp() override { app_.setSkinFolder(test::copyShippedSkins(dir_)); }
  bool load() {
    SkinReadReport report(messages_, [this] { ++closeRequests_; });
    return loadSkinLayouts(app_, layouts_, report);
  }
  std::filesystem::path file(SkinFile f) const { return skinLayoutPath(app_.skinFolder, app_.language, f); }

  TempDir dir_;
  AppState app_;
  SkinLayouts layouts_;
  RecordedMessages messages_;
  int closeRequests_ = 0;
};

TEST_F(LoadLayouts, FileNamesFollowTheLanguage) {
  const auto& skins = app_.skinFolder;
  EXPECT_EQ(skinLayoutPath(skins, kEnglish, SkinFile::Main), skins / "INI_EN" / "skin_main_en.ini");
  EXPECT_EQ(skinLayoutPath(skins, kChinese, SkinFile::Main), skins / "INI_CN" / "skin_main.ini");
  EXPECT_EQ(skinLayoutPath(skins, kEnglish, SkinFile::Advanced), skins / "INI_EN" / "skin_advance_en.ini");
  EXPECT_EQ(skinLayoutPath(skins, kChinese, SkinFile::Macro), skins / "INI_CN" / "skin_mac.ini");
  EXPECT_EQ(skinLayoutPath(skins, kEnglish, SkinFile::Lighting), skins / "INI_EN" / "skin_color_en.ini");
  EXPECT_EQ(skinLayoutPath(skins, kChinese, SkinFile::Warning), skins / "INI_CN" / "LBWarning.ini");
  EXPECT_EQ(skinLayoutPath(skins, kEnglish, SkinFile::Survey), skins / "INI_EN" / "skin_Login_en.ini");
  // Any non-zero language is English.
  EXPECT_EQ(skinLayoutPath(skins, 7, SkinFile::Warning), skins / "INI_EN" / "LBWarning_en.ini");
}

TEST_F(LoadLayouts, FillsEveryTableFromTheFiles) {
  app_.language = kEnglish;
  ASSERT_TRUE(ini::writeString(file(SkinFile::Main), "BUTTONPOS", "27", "b8,1,2,3,4,Eight,"));
  ASSERT_TRUE(ini::writeString(file(SkinFile::Main), "FUN_STRING", "47", "Last name"));
  ASSERT_TRUE(ini::writeString(file(SkinFile::Advanced), "BUTTONPOS", "137", "s,5,6,7,8,Step,"));
  ASSERT_TRUE(ini::writeString(file(SkinFile::Lighting), "BUTTONPOS", "102", "d,9,9,9,9,Deco,"));
  ASSERT_TRUE(ini::writeString(file(SkinFile::Warning), "BUTTONPOS", "2", "t,1,1,1,1,Sure?,"));
  ASSERT_TRUE(ini::writeString(file(SkinFile::Macro), "EDIT", "2", "e,100,200,30,40,"));
  ASSERT_TRUE(ini::writeString(file(SkinFile::Macro), "MACRODISPLAY", "3", "l,-10,5,20,0,"));
  ASSERT_TRUE(ini::writeString(file(SkinFile::Macro), "MACRODISPLAY", "0", "ignored,1,1,1,1,"));
  app_.functionNames[0] = "stale";

  ASSERT_TRUE(load());
  EXPECT_TRUE(messages_.texts.empty());
  EXPECT_EQ(layouts_.main[27].label, "Eight");
  EXPECT_EQ(layouts_.main[27].height, 4);
  EXPECT_EQ(app_.functionNames[47], "Last name");
  EXPECT_EQ(app_.functionNames[0], "");
  EXPECT_EQ(layouts_.advanced[137].label, "Step");
  EXPECT_EQ(layouts_.lighting[102].label, "Deco");
  EXPECT_EQ(layouts_.warning[2].label, "Sure?");
  EXPECT_EQ(layouts_.macroControlRect(MacroControl::LoopCountEdit), (SkinRect{100, 200, 130, 240}));
  EXPECT_EQ(layouts_.macroControlRect(MacroControl::LedList), (SkinRect{-10, 5, 10, 5}));
  for (std::size_t p = 0; p < static_cast<std::size_t>(kProfileCount); ++p) {
    EXPECT_EQ(layouts_.profileNames[p], app_.functionNames[18 + p]);
  }
}

TEST_F(LoadLayouts, SwitchingTheLanguageRenamesTheProfilesAndOverwritesEverything) {
  app_.language = kEnglish;
  ASSERT_TRUE(load());
  const std::array<std::string, 4> english = layouts_.profileNames;
  const std::string englishApply = layouts_.main[3].label;
  app_.language = kChinese;
  ASSERT_TRUE(load());
  EXPECT_NE(layouts_.profileNames, english);
  EXPECT_EQ(layouts_.profileNames[0], app_.functionNames[18]);
  EXPECT_EQ(layouts_.profileNames[3], app_.functionNames[21]);
  EXPECT_NE(layouts_.main[3].label, englishApply);
  // A key that the other language's file lacks reads as an empty region, not as the old one.
  ASSERT_TRUE(ini::deleteKey(file(SkinFile::Main), "BUTTONPOS", "3"));
  ASSERT_TRUE(load());
  EXPECT_EQ(layouts_.main[3].width, 0);
  EXPECT_EQ(layouts_.main[3].label, "");
}

TEST_F(LoadLayouts, AMissingFileIsReportedOnceTheRestStillLoadsAndTheWindowCloses) {
  app_.language = kEnglish;
  std::filesystem::remove(file(SkinFile::Macro));
  std::filesystem::remove(file(SkinFile::Warning));
  EXPECT_FALSE(load());
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"找不到配置文件"});
  EXPECT_EQ(closeRequests_, 1);
  EXPECT_GT(layouts_.main[3].width, 0);
  EXPECT_GT(layouts_.advanced[1].width, 0);
  EXPECT_EQ(layouts_.macro[5].width, 0);
  EXPECT_EQ(layouts_.macroControlRect(MacroControl::StepList), SkinRect{});
  EXPECT_EQ(layouts_.warning[0].width, 0);

  // The next load reports again: each load has its own report.
  EXPECT_FALSE(load());
  EXPECT_EQ(messages_.texts.size(), 2u);
  EXPECT_EQ(closeRequests_, 2);
}

TEST_F(LoadLayouts, TheWarningLayoutLoadsOnItsOwn) {
  app_.language = kChinese;
  SkinReadReport report(messages_);
  ASSERT_TRUE(loadPageLayouts(app_, layouts_, report));
  EXPECT_EQ(layouts_.warning[0].width, 0);
  ASSERT_TRUE(loadWarningLayout(app_, layouts_, report));
  EXPECT_GT(layouts_.warning[0].width, 0);
}

}  // namespace
}  // namespace quillet
