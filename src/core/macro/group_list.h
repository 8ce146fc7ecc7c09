#pragma once
// The macro folders of a language, the index file macroGrp.ini that lists its groups in
// order, the rules that turn a group's name into its file, and the readers that find one
// macro of the library by group and macro index.
//
//   [MACRO_GROUP_NUM]   macGrpNum = number of groups (read as two digits at most)
//   [MACRO_GROUP_NAME]  0..11 = group names; keys from the count on are empty
//
// A group's file is macroFolder / (name + ".dat"). A name is used as a file name only after
// checkGroupName has accepted it, so that no name, typed or found in a file, can reach a file
// outside the macro folder.
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/macro/macro_record.h"
#include "core/settings/app_state.h"
#include "core/settings/button_function.h"

namespace quillet {

constexpr int kMaxGroups = 10;
constexpr int kGroupListKeys = 12;  // keys 0..11 of MACRO_GROUP_NAME are always written
// macroGrp.ini gives a name back through a 20-character buffer, so a group name holds at most
// 19 UTF-16 code units; the group-name box stops there too, so every name that is saved is
// found again at the next start.
constexpr std::size_t kGroupNameBuffer = 20;
constexpr std::size_t kGroupNameMaxUnits = kGroupNameBuffer - 1;
constexpr std::size_t kGroupNumBuffer = 3;

inline constexpr const char* kGroupListFileName = "macroGrp.ini";
inline constexpr const char* kGroupNumSection = "MACRO_GROUP_NUM";
inline constexpr const char* kGroupNumKey = "macGrpNum";
inline constexpr const char* kGroupNameSection = "MACRO_GROUP_NAME";
inline constexpr const char* kGroupFileExtension = ".dat";

// The folders of one language's library.
struct MacroFolders {
  std::filesystem::path macroFolder;  // skins/INI_EN/macro or skins/INI_CN/macro
  std::filesystem::path resetFolder;  // the factory copies: skins/INI_EN/macroReset, ...

  // The user's library from `dataFolder`, the factory set from `skinFolder`.
  static MacroFolders of(const std::filesystem::path& dataFolder, const std::filesystem::path& skinFolder,
                         Language language);
  // Both from one folder (a build's skin folder, --skins).
  static MacroFolders of(const std::filesystem::path& folder, Language language) { return of(folder, folder, language); }
};

// The group list in memory. Owned by the user-interface thread.
struct MacroGroupList {
  std::array<std::string, kMaxGroups> names{};  // from groupCount on empty
  std::uint8_t groupCount = 0;
  std::uint8_t currentGroup = 0;

  // Index of the group of that exact (case-sensitive) name, or -1.
  int find(std::string_view name) const;
};

// One group of the library: its name and its file.
struct MacroGroup {
  std::string name;
  std::filesystem::path file;
};

enum class GroupNameCheck : std::uint8_t {
  Ok,
  Empty,
  TooLong,  // more than 19 UTF-16 code units
  Unsafe,   // would not name one plain file inside the macro folder, or not come back as typed
};

// Whether `name` may be a group name. Refused as unsafe: invalid UTF-8; control characters;
// path separators and the other characters a Windows or macOS file system refuses
// (< > : " / \ | ? *); ".." anywhere; leading or trailing blanks and a trailing dot (an INI
// read trims the blanks, Windows drops the dot, so the name would name another file); a name
// in single quotes (an INI read drops them); the Windows device names (CON, NUL, COM1, ...).
GroupNameCheck checkGroupName(std::string_view name);

// The group's file, or nullopt when checkGroupName refuses the name.
std::optional<std::filesystem::path> groupFilePath(const std::filesystem::path& macroFolder, std::string_view name);

std::filesystem::path groupListPath(const std::filesystem::path& macroFolder);

// macroGrp.ini as it stands: the count (cut to 0..10) and that many names, each as the
// 20-character read gives it back. Nothing is checked or dropped; currentGroup is 0.
MacroGroupList readGroupList(const std::filesystem::path& macroFolder);
// Writes macGrpNum and keys 0..11 of the names, as one atomic write.
[[nodiscard]] bool writeGroupList(const std::filesystem::path& macroFolder, const MacroGroupList& list);

// Where one macro of the library is stored.
struct MacroLocation {
  std::filesystem::path file;
  int group = 0;  // 0-based group index
  int index = 0;  // the macro's key in the file
};
// The file and key of macro `index` of group `group`, when macroGrp.ini lists the group, its
// file exists, and its macroNum (cut to 12) covers the index.
std::optional<MacroLocation> locateMacro(const std::filesystem::path& macroFolder, int group, int index);

// A copy of one macro straight from its file, or an empty Macro (which plays nothing) when
// locateMacro does not find it. Touches nothing but the files; safe on any thread.
Macro readMacro(const std::filesystem::path& macroFolder, int group, int index);
// The same for the macro a library function code names (group code / 256 - 1, index code % 256).
Macro readLibraryMacro(const std::filesystem::path& macroFolder, ButtonFunction code);

// Per listed group the number of macros of its file and their names, for the macro menus.
struct MacroNameTable {
  struct Group {
    std::int32_t count = 0;  // 0..12: a macroNum above 12 lists the first 12
    std::array<std::string, kGroupMaxMacros> names{};
  };
  std::array<Group, kMaxGroups> groups{};
};
MacroNameTable readMacroNames(const std::filesystem::path& macroFolder, const MacroGroupList& list);

// True when a library function code still names a macro: its group is listed and holds a
// macro of that index. The download gives every button whose code fails this function 0.
bool libraryMacroExists(const MacroGroupList& list, const MacroNameTable& names, ButtonFunction code);

}  // namespace quillet
