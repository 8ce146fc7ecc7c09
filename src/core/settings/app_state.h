#pragma once
// The process-wide state of the utility, in the parts its readers need: where the data lies
// (DataPaths), what the user chose (Selection: the profile shown and the language), the names
// shown in that language (NameTables) and the window's own state (WindowState). A reader takes
// the part it reads; AppState, which the window owns, is all four.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace quillet {

// 1 English, 0 Chinese; the settings file's VER_SEL & 0xFF, where any non-zero value is English.
using Language = std::int32_t;
constexpr Language kChinese = 0;
constexpr Language kEnglish = 1;

constexpr int kFunctionNameCount = 48;  // names 1..47 of the skin; entry 0 unused
constexpr int kLightingModeNameCount = 10;
constexpr int kReactionNameCount = 4;

struct DataPaths {
  // The shipped data: constMacro.dat and skins/. The executable's folder in a build; the
  // install prefix's share/quillet for an installed copy.
  std::filesystem::path appFolder;
  // The skin: layouts, pictures and the factory macro sets. appFolder / "skins" unless chosen
  // otherwise; read only.
  std::filesystem::path skinFolder;
  // The user's writable data: config/ (the settings file, the survey record) and the macro
  // folders. The skin folder itself in a build or with --skins; $XDG_CONFIG_HOME/quillet for an
  // installed copy, seeded from the skin folder on first start.
  std::filesystem::path dataFolder;
  std::filesystem::path configPath;        // dataFolder / "config" / "config.ini"
  std::filesystem::path surveyRecordPath;  // dataFolder / "config" / "ConfigFile.ini"
  std::filesystem::path countryListPath;   // skinFolder / "config" / "country.ini": shipped, read only

  // The skin folder holds the writable data too (a build, --skins).
  void setSkinFolder(const std::filesystem::path& folder) { setFolders(folder, folder); }
  // The skin from `skin`, the settings, survey record and macro folders from `data`.
  void setFolders(const std::filesystem::path& skin, const std::filesystem::path& data) {
    skinFolder = skin;
    dataFolder = data;
    configPath = configFolder() / "config.ini";
    surveyRecordPath = configFolder() / "ConfigFile.ini";
    countryListPath = skin / "config" / "country.ini";
  }
  // The writable config folder: the settings file and the survey record.
  std::filesystem::path configFolder() const { return dataFolder / "config"; }
};

struct Selection {
  std::int32_t currentProfile = 0;        // 0..3: the profile shown and edited
  std::int32_t currentProfileNumber = 0;  // 1..4: the profile last loaded from the file
  std::string sectionName;                // settings-file section last selected
  std::string profileText;                // its profile number as text
  Language language = kChinese;

  bool isEnglish() const { return language != kChinese; }
};

struct NameTables {
  std::array<std::string, kFunctionNameCount> functionNames{};
  // The lighting-effect and key-reaction names in the interface language (name_tables.h).
  std::array<std::string, kLightingModeNameCount> lightingModeNames{};
  std::array<std::string, kReactionNameCount> reactionNames{};
};

struct WindowState {
  std::uint8_t currentPage = 0;  // 0 main, 1 advanced, 2 macro, 3 lighting
  std::uint8_t popupOpen = 0;
  std::uint8_t devicePresent = 0;
  std::uint8_t deviceValue = 0;  // low four bits of status byte 7
  std::int32_t startMinimized = 0;
};

struct AppState : DataPaths, Selection, NameTables, WindowState {};

}  // namespace quillet
