#include "core/settings/settings_file.h"

#include <algorithm>
#include <string_view>

#include "core/io/file_io.h"
#include "core/io/ini.h"
#include "core/io/messages.h"

namespace quillet {
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kShortBuffer = 5;  // at most 4 digits
constexpr std::size_t kLongBuffer = 10;  // at most 9 digits
constexpr const char* kInit = "Init";
constexpr std::array<std::int32_t, kButtonCount> kFactoryProfile1Buttons = {1, 2, 3, 4, 5, 6, 14, 13};

std::string sectionOf(bool fromReset, int profileNumber) {
  return (fromReset ? "CfgReset" : "Config") + std::to_string(profileNumber);
}

std::string indexed(std::string_view stem, int n, std::string_view suffix = {}) {
  std::string key(stem);
  key += std::to_string(n);
  key += suffix;
  return key;
}

// Reads the keys of one section as numbers, the way the private-profile calls and the C
// library conversion do.
class SectionReader {
 public:
  SectionReader(const fs::path& path, std::string section) : path_(path), section_(std::move(section)) {}
  std::int32_t get(const std::string& key, std::size_t buffer = kShortBuffer) const {
    return ini::toInt(ini::readString(path_, section_, key, "", buffer));
  }
  // uint8 fields keep the low byte.
  std::uint8_t byte(const std::string& key, std::size_t buffer = kShortBuffer) const {
    return static_cast<std::uint8_t>(get(key, buffer) & 0xFF);
  }

 private:
  const fs::path& path_;
  std::string section_;
};

ColorLevels readColor(const SectionReader& s, const std::string& stem) {
  return ColorLevels{s.get(stem + "_R", kLongBuffer), s.get(stem + "_G", kLongBuffer),
                     s.get(stem + "_B", kLongBuffer)};
}

void readReactions(const SectionReader& s, ProfileSettings& settings, int profile) {
  for (int j = 0; j < kButtonCount; ++j) {
    settings.ledReactEnabled[profile][j] = s.get(indexed("LED_REACT_EN", j));
    settings.ledReactType[profile][j] = s.get(indexed("LED_REACT_TYPE", j));
  }
}

}  // namespace

IniEntries profileSectionEntries(const ProfileSettings& s, int profile) {
  IniEntries e;
  e.reserve(100);
  auto put = [&e](std::string key, long long value) { e.emplace_back(std::move(key), std::to_string(value)); };
  for (int b = 0; b < kButtonCount; ++b) {
    put(indexed("K", b), s.buttonFunction[profile][b]);
  }
  put("DPI_LEVEL", s.currentDpiLevel);
  put("WHEEL_STATUS", s.wheelStatus);
  put("MACRO_MODE2", s.macroMode2);
  put("LED_USER_COLER_EN", s.ledUserColorEnabled);
  put("CYC_7COL_EN", s.cycleColorMask);
  for (int l = 0; l < kDpiLevelCount; ++l) {
    put(indexed("DPI_SET", l), s.dpiStep[l]);
    put(indexed("DPI_SET_EN", l), s.dpiLevelEnabled[l] != 0 ? 1 : 0);
    put(indexed("DPI", l, "_R"), s.dpiColor[l].r);
    put(indexed("DPI", l, "_G"), s.dpiColor[l].g);
    put(indexed("DPI", l, "_B"), s.dpiColor[l].b);
  }
  for (int k = 0; k < kUserColorCount; ++k) {
    put(indexed("LED_USER", k, "_R"), s.ledUserColor[k].r);
    put(indexed("LED_USER", k, "_G"), s.ledUserColor[k].g);
    put(indexed("LED_USER", k, "_B"), s.ledUserColor[k].b);
  }
  put("LED_TYPE", s.ledMode);
  for (int m = 0; m < kLedModeCount; ++m) {
    put(indexed("LED_TYPE_SW_EN", m), s.ledModeSwitch[m]);
  }
  put("LED_CYC_TIME", s.ledPeriod);  // written for compatibility; only LED_CYCTIME is read back
  put("LED_FEATURE_SCOLOR", 0);
  put("LED_FEATURE_SYMMETRY", s.ledSymmetry);
  put("LED_FEATURE_DIREC", s.ledDirection);
  put("LED_BRIGHT", s.ledBrightness);
  put("LED_CYCTIME", s.ledPeriod);
  for (int j = 0; j < kButtonCount; ++j) {
    put(indexed("LED_REACT_EN", j), s.ledReactEnabled[profile][j]);
    put(indexed("LED_REACT_TYPE", j), s.ledReactType[profile][j]);
  }
  put("DPI_SPEED", s.pointerSpeed);
  put("WHEEL_SPEED", s.wheelSpeed);
  put("USB_SPEED", s.usbSpeed);
  put("FIRE_TIME", s.fireTime);
  return e;
}

void loadSettings(const fs::path& path, int profileNumber, bool fromReset, ProfileSettings& settings,
                  Selection& selection) {
  selection.profileText = std::to_string(profileNumber);
  selection.sectionName = sectionOf(fromReset, profileNumber);

  for (int p = 1; p <= kProfileCount; ++p) {
    const SectionReader s(path, sectionOf(fromReset, p));
    if (fromReset && p == 1) {
      settings.buttonFunction[0] = kFactoryProfile1Buttons;
    } else {
      for (int b = 0; b < kButtonCount; ++b) {
        settings.buttonFunction[p - 1][b] = s.get(indexed("K", b));
      }
    }
    if (!fromReset) {
      readReactions(s, settings, p - 1);
    }
  }

  const SectionReader s(path, selection.sectionName);
  settings.wheelStatus = s.get("WHEEL_STATUS");
  settings.macroMode2 = s.get("MACRO_MODE2");
  settings.currentDpiLevel = s.get("DPI_LEVEL");

  for (int l = 0; l < kDpiLevelCount; ++l) {
    settings.setDpiStep(l, s.byte(indexed("DPI_SET", l), kLongBuffer));
    settings.dpiLevelEnabled[l] = s.get(indexed("DPI_SET_EN", l), kLongBuffer) != 0 ? 1 : 0;
    settings.dpiColor[l] = readColor(s, indexed("DPI", l));
    settings.dpiColorRef[l] = colorLevelToDisplay(settings.dpiColor[l]);
  }

  settings.ledMode = s.byte("LED_TYPE");
  for (int m = 0; m < kLedModeCount; ++m) {
    settings.ledModeSwitch[m] = s.get(indexed("LED_TYPE_SW_EN", m));
  }
  settings.ledPeriod = s.byte("LED_CYCTIME");
  settings.ledUserColorEnabled = s.get("LED_USER_COLER_EN");
  (void)s.get("LED_FEATURE_SCOLOR");  // read and discarded: the single colour is always 0
  settings.ledDirection = s.get("LED_FEATURE_DIREC");
  settings.ledSymmetry = s.get("LED_FEATURE_SYMMETRY");
  settings.ledBrightness = s.get("LED_BRIGHT");
  if (fromReset) {
    // The factory key reactions go to the profile being shown; the others keep theirs.
    readReactions(s, settings, selection.currentProfile);
  }

  for (int k = 0; k < kUserColorCount; ++k) {
    settings.ledUserColor[k] = readColor(s, indexed("LED_USER", k));
    settings.ledUserColorRef[k] = colorLevelToDisplay(settings.ledUserColor[k]);
  }

  settings.setCycleColorMask(s.byte("CYC_7COL_EN"));

  settings.pointerSpeed = s.byte("DPI_SPEED");
  settings.wheelSpeed = s.byte("WHEEL_SPEED");
  settings.usbSpeed = s.byte("USB_SPEED");
  settings.fireTime = s.get("FIRE_TIME");
}

bool saveSettings(const fs::path& path, int profileNumber, const ProfileSettings& settings, Selection& selection) {
  selection.profileText = std::to_string(profileNumber);
  selection.sectionName = sectionOf(false, profileNumber);
  ini::WriteBatch batch(path);
  for (int p = 0; p < kProfileCount; ++p) {
    const std::string section = sectionOf(false, p + 1);
    for (const auto& [key, value] : profileSectionEntries(settings, p)) {
      batch.set(section, key, value);
    }
  }
  return batch.commit();
}

bool saveDpiLevel(const fs::path& path, int profileNumber, const ProfileSettings& settings) {
  return ini::writeString(path, sectionOf(false, profileNumber), "DPI_LEVEL",
                          std::to_string(settings.currentDpiLevel));
}

bool saveCurrentProfile(const AppState& app) {
  return ini::writeString(app.configPath, kInit, "CurConfig", std::to_string(app.currentProfile + 1));
}

Language readLanguage(const fs::path& path) {
  return ini::toInt(ini::readString(path, kInit, "VER_SEL", "", kShortBuffer)) & 0xFF;
}

bool writeLanguage(const fs::path& path, Language value) {
  return ini::writeString(path, kInit, "VER_SEL", std::to_string(value));
}

void loadStartupSettings(AppState& app, ProfileSettings& settings) {
  int profileNumber = ini::toInt(ini::readString(app.configPath, kInit, "CurConfig", "", kShortBuffer));
  if (profileNumber < 1 || profileNumber > kProfileCount) {
    profileNumber = 1;  // the per-profile tables are never indexed outside 1..4
  }
  app.currentProfile = profileNumber - 1;
  app.currentProfileNumber = profileNumber;
  app.language = readLanguage(app.configPath);
  loadSettings(app.configPath, profileNumber, false, settings, app);
}

bool resetSettings(AppState& app, ProfileSettings& settings) {
  loadSettings(app.configPath, 2, true, settings, app);
  settings.wheelStatus = 0;
  settings.currentDpiLevel = 1;
  settings.ledDirection = 1;
  settings.ledMode = 7;
  settings.ledPeriod = 2;
  // The seven cycle-colour flags keep their factory values; the next download rebuilds the
  // mask from them.
  settings.cycleColorMask = 0x7F;
  settings.fireTime = 50;
  settings.usbSpeed = 2;
  settings.pointerSpeed = 5;
  settings.wheelSpeed = 2;
  settings.recomputeDpiColorRefs();
  return saveSettings(app.configPath, 2, settings, app);
}

bool exportSettings(const DataPaths& paths, const fs::path& target, MessageService& messages) {
  const std::optional<std::string> bytes = fileio::readFile(paths.configPath);
  if (!bytes || !fileio::writeFileAtomic(target, *bytes) || !fileio::readFile(target)) {
    messages.show(kSettingsCopyError);
    return false;
  }
  return true;
}

bool importSettings(AppState& app, ProfileSettings& settings, const fs::path& source, MessageService& messages) {
  // A file without the four profile sections is not a settings file of this utility (every
  // save writes all four): copying it would empty the profiles it lacks for nothing.
  const std::optional<std::string> bytes = fileio::readFile(source);
  if (!bytes) {
    messages.show(kSettingsCopyError);
    return false;
  }
  for (int p = 1; p <= kProfileCount; ++p) {
    if (!ini::hasSection(source, sectionOf(false, p))) {
      messages.show(kSettingsImportNotSettings);
      return false;
    }
  }
  // The file as it would be loaded: profile 1 must keep a left click, or the next apply would
  // leave the mouse without one.
  ProfileSettings candidate;
  Selection candidateSelection = app;
  loadSettings(source, app.currentProfileNumber, false, candidate, candidateSelection);
  if (std::find(candidate.buttonFunction[0].begin(), candidate.buttonFunction[0].end(), function_code::kLeftClick) ==
      candidate.buttonFunction[0].end()) {
    messages.show(kSettingsImportNoLeftClick);
    return false;
  }
  if (!fileio::writeFileAtomic(app.configPath, *bytes)) {
    messages.show(kSettingsCopyError);
    return false;
  }
  loadSettings(app.configPath, app.currentProfileNumber, false, settings, app);
  return true;
}

}  // namespace quillet
