// The settings file: what a load takes from it, what a save writes, the reset, import and export.
#include "core/settings/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "support/temp_dir.h"

namespace quillet {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

class SettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.setSkinFolder(test::copyShippedSkins(dir_));
  }
  std::string value(const std::string& section, const std::string& key) {
    return ini::readString(app_.configPath, section, key, "<missing>", 64);
  }

  TempDir dir_;
  AppState app_;
  ProfileSettings settings_;
};

TEST_F(SettingsFile, StartupLoadsTheShippedProfile) {
  loadStartupSettings(app_, settings_);
  EXPECT_EQ(app_.currentProfile, 0);
  EXPECT_EQ(app_.currentProfileNumber, 1);
  EXPECT_EQ(app_.language, kEnglish);
  EXPECT_EQ(app_.sectionName, "Config1");
  EXPECT_EQ(app_.profileText, "1");
  EXPECT_EQ(settings_.buttonFunction[0], (std::array<std::int32_t, 8>{1, 2, 3, 4, 5, 6, 14, 13}));
  for (int l = 0; l < kDpiLevelCount; ++l) {
    EXPECT_LT(settings_.dpiStep[l], kDpiStepCount);
    EXPECT_EQ(settings_.dpiStepRegion[l], settings_.dpiStep[l] + 66 + 12 * l);
    EXPECT_EQ(settings_.dpiColorRef[l], colorLevelToDisplay(settings_.dpiColor[l]));
  }
  EXPECT_EQ(settings_.fireTime, 50);
  EXPECT_EQ(settings_.cycleColorMask, 0x7F);
  EXPECT_EQ(settings_.cycleColorMaskFromFlags(), 0x7F);
}

TEST_F(SettingsFile, CurConfigOutsideOneToFourMeansProfileOne) {
  for (const char* bad : {"0", "5", "-1", "x", ""}) {
    ASSERT_TRUE(ini::writeString(app_.configPath, "Init", "CurConfig", bad));
    app_.currentProfile = 3;
    loadStartupSettings(app_, settings_);
    EXPECT_EQ(app_.currentProfile, 0) << bad;
    EXPECT_EQ(app_.currentProfileNumber, 1) << bad;
  }
  ASSERT_TRUE(ini::deleteKey(app_.configPath, "Init", "CurConfig"));
  ASSERT_TRUE(ini::writeString(app_.configPath, "Init", "VER_SEL", "256"));
  loadStartupSettings(app_, settings_);
  EXPECT_EQ(app_.currentProfile, 0);
  EXPECT_EQ(app_.language, kChinese) << "VER_SEL & 0xFF";
}

TEST_F(SettingsFile, LoadConvertsLikeTheCLibraryWithinTheBuffers) {
  const auto& path = app_.configPath;
  ASSERT_TRUE(ini::WriteBatch(path)
      .set("Config2", "K3", "42abc")
      .set("Config2", "K4", "abc")
      .set("Config2", "K5", "123456")
      .set("Config2", "FIRE_TIME", "12345")
      .set("Config2", "DPI_SET0", "1234567890")  // ten-character buffer: 123456789 & 0xFF
      .set("Config2", "DPI_SET1", "300")         // a uint8 field keeps the low byte
      .set("Config2", "DPI_SPEED", "-1")
      .removeKey("Config2", "DPI_SET_EN2")
      .removeKey("Config2", "WHEEL_SPEED")
      .commit());
  loadSettings(path, 2, false, settings_, app_);
  EXPECT_EQ(settings_.buttonFunction[1][3], 42);
  EXPECT_EQ(settings_.buttonFunction[1][4], 0);
  EXPECT_EQ(settings_.buttonFunction[1][5], 1234);
  EXPECT_EQ(settings_.fireTime, 1234);
  EXPECT_EQ(settings_.dpiStep[0], 123456789 & 0xFF);
  EXPECT_EQ(settings_.dpiStep[1], 300 & 0xFF);
  EXPECT_EQ(settings_.dpiStepRegion[1], (300 & 0xFF) + 66 + 12);
  EXPECT_EQ(settings_.pointerSpeed, 255);
  EXPECT_EQ(settings_.dpiLevelEnabled[2], 0);
  EXPECT_EQ(settings_.wheelSpeed, 0);

  ASSERT_TRUE(ini::deleteKey(path, "Config2", "FIRE_TIME"));
  loadSettings(path, 2, false, settings_, app_);
  EXPECT_EQ(settings_.fireTime, 0);
}

TEST_F(SettingsFile, LoadTakesButtonsPerProfileAndCommonKeysFromOneSection) {
  ASSERT_TRUE(ini::WriteBatch(app_.configPath)
      .set("Config3", "K0", "22")
      .set("Config3", "LED_REACT_EN5", "1")
      .set("Config4", "LED_BRIGHT", "6")
      .set("Config2", "LED_BRIGHT", "1")
      .set("Config2", "LED_FEATURE_SCOLOR", "9")
      .commit());
  loadSettings(app_.configPath, 4, false, settings_, app_);
  EXPECT_EQ(settings_.buttonFunction[2][0], 22);
  EXPECT_EQ(settings_.ledReactEnabled[2][5], 1);
  EXPECT_EQ(settings_.ledBrightness, 6);
  loadSettings(app_.configPath, 2, false, settings_, app_);
  EXPECT_EQ(settings_.ledBrightness, 1);
  EXPECT_EQ(settings_.ledSingleColor, 0) << "never taken from the file";
}

// A profile section of the full save, written out by hand: the buttons and reactions given, the
// shipped common values in between and after them, the period changed to 4.
std::string savedSection(int profile, const std::array<int, 8>& buttons, const std::array<int, 16>& reactions) {
  std::string text = "[Config" + std::to_string(profile) + "]\n";
  for (int b = 0; b < 8; ++b) {
    text += "K" + std::to_string(b) + "=" + std::to_string(buttons[b]) + "\n";
  }
  text += "DPI_LEVEL=1\nWHEEL_STATUS=0\nMACRO_MODE2=0\nLED_USER_COLER_EN=0\nCYC_7COL_EN=127\n"
          "DPI_SET0=1\nDPI_SET_EN0=1\nDPI0_R=0\nDPI0_G=15\nDPI0_B=15\n"
          "DPI_SET1=3\nDPI_SET_EN1=1\nDPI1_R=15\nDPI1_G=0\nDPI1_B=15\n"
          "DPI_SET2=5\nDPI_SET_EN2=1\nDPI2_R=15\nDPI2_G=15\nDPI2_B=0\n"
          "DPI_SET3=6\nDPI_SET_EN3=1\nDPI3_R=0\nDPI3_G=0\nDPI3_B=15\n"
          "DPI_SET4=8\nDPI_SET_EN4=1\nDPI4_R=15\nDPI4_G=0\nDPI4_B=0\n"
          "DPI_SET5=9\nDPI_SET_EN5=1\nDPI5_R=0\nDPI5_G=15\nDPI5_B=0\n"
          "LED_USER0_R=0\nLED_USER0_G=15\nLED_USER0_B=15\nLED_USER1_R=0\nLED_USER1_G=7\nLED_USER1_B=15\n"
          "LED_USER2_R=0\nLED_USER2_G=0\nLED_USER2_B=15\nLED_USER3_R=15\nLED_USER3_G=0\nLED_USER3_B=15\n"
          "LED_USER4_R=15\nLED_USER4_G=0\nLED_USER4_B=0\nLED_USER5_R=15\nLED_USER5_G=15\nLED_USER5_B=0\n"
          "LED_USER6_R=7\nLED_USER6_G=15\nLED_USER6_B=0\n"
          "LED_TYPE=7\nLED_TYPE_SW_EN0=1\nLED_TYPE_SW_EN1=1\nLED_TYPE_SW_EN2=1\nLED_TYPE_SW_EN3=1\n"
          "LED_TYPE_SW_EN4=1\nLED_TYPE_SW_EN5=1\nLED_TYPE_SW_EN6=1\nLED_TYPE_SW_EN7=1\nLED_TYPE_SW_EN8=1\n"
          "LED_TYPE_SW_EN9=1\nLED_CYC_TIME=4\nLED_FEATURE_SCOLOR=0\nLED_FEATURE_SYMMETRY=0\n"
          "LED_FEATURE_DIREC=1\nLED_BRIGHT=4\nLED_CYCTIME=4\n";
  for (int j = 0; j < 8; ++j) {
    text += "LED_REACT_EN" + std::to_string(j) + "=" + std::to_string(reactions[2 * j]) + "\n";
    text += "LED_REACT_TYPE" + std::to_string(j) + "=" + std::to_string(reactions[2 * j + 1]) + "\n";
  }
  return text + "DPI_SPEED=5\nWHEEL_SPEED=2\nUSB_SPEED=2\nFIRE_TIME=50\n";
}

TEST_F(SettingsFile, FullSaveWritesEveryKeyInOrderAndTheCommonKeysEverywhere) {
  loadStartupSettings(app_, settings_);
  settings_.ledSingleColor = 5;  // never saved as anything but 0
  settings_.ledPeriod = 4;       // saved twice
  settings_.buttonFunction[3][7] = 256 * 2 + 11;
  settings_.ledReactType[1][0] = 3;
  const std::filesystem::path fresh = dir_ / "fresh.ini";
  ASSERT_TRUE(saveSettings(fresh, 3, settings_, app_));
  EXPECT_EQ(app_.sectionName, "Config3");

  // The shipped buttons and reactions of the four profiles, with the two edits.
  EXPECT_EQ(readBytes(fresh),
            savedSection(1, {1, 2, 3, 4, 5, 6, 14, 13}, {}) +
                savedSection(2, {1, 2, 3, 4, 5, 15, 16, 11}, {1, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}) +
                savedSection(3, {1, 2, 3, 4, 5, 12, 17, 40}, {}) +
                savedSection(4, {1, 2, 3, 25, 26, 30, 28, 523}, {1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2, 1, 2}));
}

TEST_F(SettingsFile, SaveThenLoadGivesTheSameModel) {
  loadStartupSettings(app_, settings_);
  settings_.setDpiColor(3, makeColorRef(10, 200, 90));
  settings_.setUserColor(2, makeColorRef(250, 128, 0));
  settings_.setDpiStep(5, 11);
  settings_.dpiLevelEnabled[4] = 0;
  settings_.ledModeSwitch[9] = -7;
  settings_.macroMode2 = -123;
  settings_.setCycleColorMask(0x15);
  settings_.fireTime = 300;
  settings_.usbSpeed = 200;
  settings_.buttonFunction[2][6] = 40;
  const ProfileSettings saved = settings_;
  ASSERT_TRUE(saveSettings(app_.configPath, 1, settings_, app_));
  ProfileSettings loaded;
  loadSettings(app_.configPath, 1, false, loaded, app_);
  EXPECT_EQ(profileSectionEntries(loaded, 0), profileSectionEntries(saved, 0));
  for (int p = 0; p < 4; ++p) {
    EXPECT_EQ(loaded.buttonFunction[p], saved.buttonFunction[p]);
    EXPECT_EQ(loaded.ledReactEnabled[p], saved.ledReactEnabled[p]);
    EXPECT_EQ(loaded.ledReactType[p], saved.ledReactType[p]);
  }
  EXPECT_EQ(loaded.dpiColorRef, saved.dpiColorRef);
  EXPECT_EQ(loaded.ledUserColorRef, saved.ledUserColorRef);
  EXPECT_EQ(loaded.cycleColorEnabled, saved.cycleColorEnabled);
  EXPECT_EQ(loaded.dpiStepRegion, saved.dpiStepRegion);
}

TEST_F(SettingsFile, ResetTakesFactoryValuesAndTheFixedOnes) {
  const auto& path = app_.configPath;
  loadStartupSettings(app_, settings_);
  ASSERT_TRUE(ini::WriteBatch(path)
      .set("CfgReset2", "K0", "7")
      .set("CfgReset3", "K1", "33")
      .set("CfgReset2", "CYC_7COL_EN", "3")
      .set("CfgReset2", "LED_REACT_EN2", "1")
      .set("CfgReset2", "LED_BRIGHT", "3")
      .set("CfgReset2", "FIRE_TIME", "99")
      .set("Config1", "K0", "9")
      .commit());
  const auto factory = [&] {
    std::string all;
    for (const char* s : {"CfgReset2", "CfgReset3", "CfgReset4"})
      for (const auto& [key, unused] : profileSectionEntries(settings_, 0)) all += value(s, key) + ",";
    return all;
  };
  const std::string factoryBefore = factory();
  settings_.ledReactEnabled[3][2] = 0;
  app_.currentProfile = 3;
  settings_.ledReactEnabled[0][2] = 0;

  ASSERT_TRUE(resetSettings(app_, settings_));
  EXPECT_EQ(factory(), factoryBefore) << "factory sections untouched";
  EXPECT_EQ(settings_.buttonFunction[0], (std::array<std::int32_t, 8>{1, 2, 3, 4, 5, 6, 14, 13}));
  EXPECT_EQ(settings_.buttonFunction[1][0], 7);
  EXPECT_EQ(settings_.buttonFunction[2][1], 33);
  EXPECT_EQ(settings_.ledReactEnabled[3][2], 1) << "factory reactions go to the current profile";
  EXPECT_EQ(settings_.ledReactEnabled[0][2], 0) << "other profiles keep theirs";
  EXPECT_EQ(settings_.ledBrightness, 3);
  EXPECT_EQ(settings_.fireTime, 50);
  EXPECT_EQ(settings_.currentDpiLevel, 1);
  EXPECT_EQ(settings_.ledMode, 7);
  EXPECT_EQ(settings_.ledPeriod, 2);
  EXPECT_EQ(settings_.ledDirection, 1);
  EXPECT_EQ(settings_.pointerSpeed, 5);
  EXPECT_EQ(settings_.wheelSpeed, 2);
  EXPECT_EQ(settings_.usbSpeed, 2);
  EXPECT_EQ(settings_.cycleColorMask, 0x7F);
  EXPECT_EQ(settings_.cycleColorMaskFromFlags(), 3) << "flags keep the factory values";
  EXPECT_EQ(value("Config1", "K0"), "1");
  EXPECT_EQ(value("Config1", "CYC_7COL_EN"), "127");
  EXPECT_EQ(value("Config3", "FIRE_TIME"), "50");
  EXPECT_EQ(app_.sectionName, "Config2");
}

TEST_F(SettingsFile, DpiLevelAndProfileAndLanguageSaveAlone) {
  const std::string before = readBytes(app_.configPath);
  settings_.currentDpiLevel = 4;
  ASSERT_TRUE(saveDpiLevel(app_.configPath, 3, settings_));
  const std::string after = readBytes(app_.configPath);
  // Exactly one line changed: Config3's DPI_LEVEL.
  ASSERT_TRUE(ini::writeString(app_.configPath, "Config3", "DPI_LEVEL", value("Config1", "DPI_LEVEL")));
  EXPECT_EQ(readBytes(app_.configPath), before);
  EXPECT_NE(after, before);

  app_.currentProfile = 2;
  ASSERT_TRUE(saveCurrentProfile(app_));
  EXPECT_EQ(value("Init", "CurConfig"), "3");
  ASSERT_TRUE(writeLanguage(app_.configPath, kChinese));
  EXPECT_EQ(readLanguage(app_.configPath), kChinese);
}

TEST_F(SettingsFile, ExportAndImportCopyTheWholeFile) {
  RecordedMessages messages;
  loadStartupSettings(app_, settings_);
  const std::filesystem::path exported = dir_ / "saved" / "mine.ini";
  std::filesystem::create_directories(exported.parent_path());
  writeBytes(exported, "old content");
  ASSERT_TRUE(exportSettings(app_, exported, messages));
  EXPECT_EQ(readBytes(exported), readBytes(app_.configPath));

  ASSERT_TRUE(ini::writeString(exported, "Config1", "K2", "25"));
  ASSERT_TRUE(importSettings(app_, settings_, exported, messages));
  EXPECT_EQ(settings_.buttonFunction[0][2], 25);
  EXPECT_EQ(readBytes(app_.configPath), readBytes(exported));
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(SettingsFile, FailedImportOrExportSaysErrorAndLosesNothing) {
  RecordedMessages messages;
  loadStartupSettings(app_, settings_);
  const std::string before = readBytes(app_.configPath);

  EXPECT_FALSE(importSettings(app_, settings_, dir_ / "missing.ini", messages));
  writeBytes(dir_ / "notes.ini", "[Something]\nelse=1\n");
  EXPECT_FALSE(importSettings(app_, settings_, dir_ / "notes.ini", messages));
  EXPECT_FALSE(importSettings(app_, settings_, dir_.path(), messages));
  EXPECT_EQ(readBytes(app_.configPath), before);

  EXPECT_FALSE(exportSettings(app_, dir_ / "no" / "such" / "folder.ini", messages));
  std::filesystem::create_directory(dir_ / "taken.ini");
  EXPECT_FALSE(exportSettings(app_, dir_ / "taken.ini", messages));
  EXPECT_EQ(messages.texts, (std::vector<std::string>{"Error!", kSettingsImportNotSettings, "Error!", "Error!", "Error!"}));
}

TEST_F(SettingsFile, AnImportThatWouldLoseProfilesOrTheLeftClickIsRefused) {
  // Each file is imported over the shipped settings: the refused ones leave the file and the
  // model as they were and say why; the accepted ones replace both.
  loadStartupSettings(app_, settings_);
  const std::string shipped = readBytes(app_.configPath);
  std::string noLeftClick = shipped;
  ASSERT_NE(noLeftClick.find("K0=1"), std::string::npos);
  noLeftClick.replace(noLeftClick.find("K0=1"), 4, "K0=5");  // profile 1's only left click
  std::string leftClickMoved = noLeftClick;
  leftClickMoved.replace(leftClickMoved.find("K2=3"), 4, "K2=1");
  struct Case {
    const char* name;
    std::string content;
    const char* message;  // null: imported
  };
  const std::vector<Case> cases = {
      {"one profile section", "[Config1]\nK0=5\n", kSettingsImportNotSettings},
      {"one profile with a left click", "[Config1]\nK0=1\n", kSettingsImportNotSettings},
      {"three profiles", "[Config1]\nK0=1\n[Config2]\n[Config3]\n", kSettingsImportNotSettings},
      {"empty", "", kSettingsImportNotSettings},
      {"profile 1 without a left click", noLeftClick, kSettingsImportNoLeftClick},
      {"the left click on another button", leftClickMoved, nullptr},
      {"the shipped file", shipped, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeBytes(app_.configPath, shipped);
    loadStartupSettings(app_, settings_);
    const ProfileSettings::ButtonTable before = settings_.buttonFunction;
    writeBytes(dir_ / "chosen.ini", c.content);
    RecordedMessages messages;
    const bool imported = importSettings(app_, settings_, dir_ / "chosen.ini", messages);
    EXPECT_EQ(imported, c.message == nullptr);
    if (c.message != nullptr) {
      EXPECT_EQ(messages.texts, std::vector<std::string>{c.message});
      EXPECT_EQ(readBytes(app_.configPath), shipped);
      EXPECT_EQ(settings_.buttonFunction, before);
    } else {
      EXPECT_TRUE(messages.texts.empty());
      EXPECT_EQ(readBytes(app_.configPath), c.content);
      EXPECT_NE(std::find(settings_.buttonFunction[0].begin(), settings_.buttonFunction[0].end(), 1),
                settings_.buttonFunction[0].end());
    }
  }
}

}  // namespace
}  // namespace quillet
