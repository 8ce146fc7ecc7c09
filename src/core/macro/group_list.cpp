#include "core/macro/group_list.h"

#include <algorithm>
#include <system_error>

#include "core/io/ini.h"
#include "core/io/text_codec.h"
#include "core/macro/macro_file.h"

namespace quillet {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kRefusedCharacters = "<>:\"/\\|?*";
constexpr std::array<std::string_view, 4> kDeviceNames = {"CON", "PRN", "AUX", "NUL"};
constexpr std::array<std::string_view, 2> kNumberedDeviceNames = {"COM", "LPT"};

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto up = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
           return up(x) == up(y);
         });
}

// Windows reserves these names with any extension, so "con.txt" is refused as well as "CON".
bool isDeviceName(std::string_view name) {
  const std::string_view stem = name.substr(0, name.find('.'));
  for (std::string_view device : kDeviceNames) {
    if (equalsIgnoringCase(stem, device)) {
      return true;
    }
  }
  for (std::string_view device : kNumberedDeviceNames) {
    if (stem.size() == 4 && equalsIgnoringCase(stem.substr(0, 3), device) && stem[3] >= '1' && stem[3] <= '9') {
      return true;
    }
  }
  return false;
}

bool hasControlCharacter(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c < 0x20 || c == 0x7F) {
      return true;
    }
    // U+0080..U+009F, the C1 controls, are C2 80 .. C2 9F.
    if (c == 0xC2 && i + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      if (next >= 0x80 && next <= 0x9F) {
        return true;
      }
    }
  }
  return false;
}

bool isFile(const fs::path& file) {
  std::error_code ec;
  return fs::is_regular_file(file, ec);
}

}  // namespace

MacroFolders MacroFolders::of(const fs::path& dataFolder, const fs::path& skinFolder, Language language) {
  const char* languageFolder = language != kChinese ? "INI_EN" : "INI_CN";
  return MacroFolders{dataFolder / languageFolder / "macro", skinFolder / languageFolder / "macroReset"};
}

int MacroGroupList::find(std::string_view name) const {
  for (int i = 0; i < groupCount && i < kMaxGroups; ++i) {
    if (names[i] == name) {
      return i;
    }
  }
  return -1;
}

GroupNameCheck checkGroupName(std::string_view name) {
  if (name.empty()) {
    return GroupNameCheck::Empty;
  }
  if (!text::isValidUtf8(name)) {
    return GroupNameCheck::Unsafe;
  }
  if (text::utf16Length(name) > kGroupNameMaxUnits) {
    return GroupNameCheck::TooLong;
  }
  const bool quoted = name.size() >= 2 && name.front() == '\'' && name.back() == '\'';
  if (hasControlCharacter(name) || name.find_first_of(kRefusedCharacters) != std::string_view::npos ||
      name.find("..") != std::string_view::npos || name.front() == ' ' || name.back() == ' ' ||
      name.back() == '.' || quoted || isDeviceName(name)) {
    return GroupNameCheck::Unsafe;
  }
  return GroupNameCheck::Ok;
}

std::optional<fs::path> groupFilePath(const fs::path& macroFolder, std::string_view name) {
  if (checkGroupName(name) != GroupNameCheck::Ok) {
    return std::nullopt;
  }
  return macroFolder / (std::string(name) + kGroupFileExtension);
}

fs::path groupListPath(const fs::path& macroFolder) { return macroFolder / kGroupListFileName; }

MacroGroupList readGroupList(const fs::path& macroFolder) {
  const fs::path file = groupListPath(macroFolder);
  MacroGroupList list;
  const int count = ini::toInt(ini::readString(file, kGroupNumSection, kGroupNumKey, "", kGroupNumBuffer));
  list.groupCount = static_cast<std::uint8_t>(std::clamp(count, 0, kMaxGroups));
  for (int i = 0; i < list.groupCount; ++i) {
    list.names[i] = ini::readString(file, kGroupNameSection, std::to_string(i), "", kGroupNameBuffer);
  }
  return list;
}

bool writeGroupList(const fs::path& macroFolder, const MacroGroupList& list) {
  ini::WriteBatch batch(groupListPath(macroFolder));
  batch.set(kGroupNumSection, kGroupNumKey, std::to_string(list.groupCount));
  for (int i = 0; i < kGroupListKeys; ++i) {
    batch.set(kGroupNameSection, std::to_string(i), i < list.groupCount && i < kMaxGroups ? list.names[i] : "");
  }
  return batch.commit();
}

std::optional<MacroLocation> locateMacro(const fs::path& macroFolder, int group, int index) {
  // Only the count and the one name are read: the download locates a macro per key slot.
  const fs::path listFile = groupListPath(macroFolder);
  const int count = ini::toInt(ini::readString(listFile, kGroupNumSection, kGroupNumKey, "", kGroupNumBuffer));
  if (group < 0 || group >= std::min(count, kMaxGroups) || index < 0) {
    return std::nullopt;
  }
  const std::optional<fs::path> file = groupFilePath(
      macroFolder, ini::readString(listFile, kGroupNameSection, std::to_string(group), "", kGroupNameBuffer));
  if (!file || !isFile(*file)) {
    return std::nullopt;
  }
  if (index >= std::min(readMacroNum(*file), kGroupMaxMacros)) {
    return std::nullopt;
  }
  return MacroLocation{*file, group, index};
}

Macro readMacro(const fs::path& macroFolder, int group, int index) {
  const std::optional<MacroLocation> at = locateMacro(macroFolder, group, index);
  if (!at) {
    return Macro{};
  }
  return parseMacroValue(ini::readString(at->file, kMacrosSection, std::to_string(index), "", kGroupValueBuffer));
}

Macro readLibraryMacro(const fs::path& macroFolder, ButtonFunction code) {
  if (!function_code::isLibraryMacro(code)) {
    return Macro{};
  }
  return readMacro(macroFolder, function_code::macroGroup(code) - 1, function_code::macroIndex(code));
}

MacroNameTable readMacroNames(const fs::path& macroFolder, const MacroGroupList& list) {
  MacroNameTable table;
  for (int g = 0; g < list.groupCount && g < kMaxGroups; ++g) {
    const std::optional<fs::path> file = groupFilePath(macroFolder, list.names[g]);
    if (!file || !isFile(*file)) {
      continue;
    }
    MacroNameTable::Group& entry = table.groups[g];
    entry.count = std::clamp(readMacroNum(*file), 0, kGroupMaxMacros);
    for (int k = 0; k < entry.count; ++k) {
      // Values 0-19, the name, are the first 60 characters.
      const std::string head =
          ini::readString(*file, kMacrosSection, std::to_string(k), "", kMacroNameValueChars + 1);
      entry.names[k] = macroName(parseMacroValue(head));
    }
  }
  return table;
}

bool libraryMacroExists(const MacroGroupList& list, const MacroNameTable& names, ButtonFunction code) {
  if (!function_code::isLibraryMacro(code)) {
    return false;
  }
  const int group = function_code::macroGroup(code) - 1;
  const int index = function_code::macroIndex(code);
  return group < list.groupCount && group < kMaxGroups && index < names.groups[group].count;
}

}  // namespace quillet
