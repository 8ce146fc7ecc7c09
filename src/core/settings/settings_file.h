#pragma once
// The settings file (skins/config/config.ini): the four profiles of the settings model, the
// current profile number and the interface language, read and written key by key.
//
//   [Init]                 CurConfig (1..4), VER_SEL (0 Chinese, 1 English)
//   [Config1]..[Config4]   one section per profile; after every full save the keys common to
//                          all profiles hold the same values in the four sections
//   [CfgReset2]..[CfgReset4]  factory values read by the reset
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"

namespace quillet {

class MessageService;

// The message shown when an import or export fails.
inline constexpr const char* kSettingsCopyError = "Error!";
// The messages of an import refused for what the file holds; the settings stay as they were.
inline constexpr const char* kSettingsImportNotSettings =
    "Error! Not a settings file: it lacks the sections of the four profiles.";
inline constexpr const char* kSettingsImportNoLeftClick =
    "Error! Profile 1 of this file has no button with the left click: it was not imported.";
// The message shown when an apply could not save what it wrote into the mouse.
inline constexpr const char* kSettingsSaveError = "Error!";

using IniEntries = std::vector<std::pair<std::string, std::string>>;

// The keys of profile section "Config" + (profile + 1) with their values, in the order the full
// save writes them.
IniEntries profileSectionEntries(const ProfileSettings& settings, int profile);

// Fills the model from the file: the buttons (and, in a normal load, the key reactions) of all
// four profiles from their own sections, the common keys from the section of `profileNumber`.
// `fromReset` reads the "CfgReset" sections instead of "Config" ones; profile 1's buttons then
// take the fixed factory functions. Sets selection.profileText and selection.sectionName.
void loadSettings(const std::filesystem::path& path, int profileNumber, bool fromReset, ProfileSettings& settings,
                  Selection& selection);

// Writes the whole model into Config1..Config4, as one replacement of the file.
// Returns false when the file could not be written (it is then unchanged).
[[nodiscard]] bool saveSettings(const std::filesystem::path& path, int profileNumber, const ProfileSettings& settings,
                                Selection& selection);

// Writes DPI_LEVEL alone into section "Config" + profileNumber.
[[nodiscard]] bool saveDpiLevel(const std::filesystem::path& path, int profileNumber, const ProfileSettings& settings);

// Writes [Init] CurConfig = currentProfile + 1.
[[nodiscard]] bool saveCurrentProfile(const AppState& app);

// [Init] VER_SEL & 0xFF.
Language readLanguage(const std::filesystem::path& path);
[[nodiscard]] bool writeLanguage(const std::filesystem::path& path, Language value);

// Start-up's reading of the file: the current profile from CurConfig (a missing value or one
// outside 1..4 means profile 1), the language from VER_SEL, then the current profile's settings.
void loadStartupSettings(AppState& app, ProfileSettings& settings);

// The factory reset: the factory sections with the fixed reset values, saved into the four
// profile sections. The mouse is not written; the caller repaints.
[[nodiscard]] bool resetSettings(AppState& app, ProfileSettings& settings);

// Copies the settings file to `target`, replacing it; "Error!" when the copy cannot be made or
// read back (the result is for callers that go on). The file dialog is the caller's.
bool exportSettings(const DataPaths& paths, const std::filesystem::path& target, MessageService& messages);

// Copies `source` over the settings file and loads it for the current profile number. "Error!"
// when the source cannot be read or cannot be copied; kSettingsImportNotSettings when it lacks
// one of the four profile sections, kSettingsImportNoLeftClick when its profile 1 has no left
// click. The settings file and the model are then untouched.
bool importSettings(AppState& app, ProfileSettings& settings, const std::filesystem::path& source,
                    MessageService& messages);

}  // namespace quillet
