// quillet-macrogen ROOT: writes the shipped macro data below ROOT (the repository root):
//   skins/INI_EN/macro/, skins/INI_EN/macroReset/   the English factory groups and macroGrp.ini
//   skins/INI_CN/macro/, skins/INI_CN/macroReset/   the same set with Chinese names
//   data/constMacro.dat                              the built-in macros
// Every file goes through the same writers the utility uses, so the data and the code that
// reads it cannot disagree. The files are committed; a test checks they match this output.
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library.h"
#include "factory_macros.h"

namespace {

namespace fs = std::filesystem;
using namespace quillet;

// The writers merge into an existing file; start from none so the output is exactly the set.
bool writeFresh(const fs::path& file, const OpenGroup& group) {
  std::error_code ec;
  fs::remove(file, ec);
  return writeAllMacros(file, group);
}

OpenGroup groupOf(const std::vector<Macro>& macros, int limit) {
  if (static_cast<int>(macros.size()) > limit) {
    throw std::length_error("too many macros in one file");
  }
  OpenGroup group;
  for (const Macro& m : macros) {
    group.slots[group.count++] = m;
  }
  return group;
}

bool writeLibrary(const fs::path& folder, const std::vector<macrogen::FactoryGroup>& groups) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  MacroGroupList list;
  bool ok = true;
  for (const macrogen::FactoryGroup& g : groups) {
    const std::optional<fs::path> file = groupFilePath(folder, g.name);
    if (!file || list.groupCount >= kMaxGroups) {
      std::fprintf(stderr, "quillet-macrogen: cannot ship group '%s'\n", g.name.c_str());
      return false;
    }
    ok = writeFresh(*file, groupOf(g.macros, kGroupMaxMacros)) && ok;
    list.names[list.groupCount++] = g.name;
  }
  fs::remove(groupListPath(folder), ec);
  return writeGroupList(folder, list) && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: quillet-macrogen ROOT\n", stderr);
    return 2;
  }
  const fs::path root = argv[1];
  try {
    bool ok = true;
    for (Language language : {kEnglish, kChinese}) {
      const MacroFolders folders = MacroFolders::of(root / "skins", language);
      const auto groups = macrogen::factoryGroups(language);
      ok = writeLibrary(folders.macroFolder, groups) && ok;
      ok = writeLibrary(folders.resetFolder, groups) && ok;
    }
    std::error_code ec;
    fs::create_directories(root / "data", ec);
    const std::vector<Macro> builtins = macrogen::builtinMacros();
    for (const Macro& m : builtins) {
      // constMacro.dat is read through a short buffer: 56 steps and no lighting data survive it.
      if (m.eventCount > kBuiltinMacroMaxSteps || m.ledCount != 0) {
        throw std::length_error("built-in macro '" + macroName(m) + "' does not survive the read");
      }
    }
    ok = writeFresh(root / "data" / kBuiltinMacroFileName, groupOf(builtins, kGroupMaxMacros)) && ok;
    if (!ok) {
      std::fputs("quillet-macrogen: a file could not be written\n", stderr);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillet-macrogen: %s\n", e.what());
    return 1;
  }
  return 0;
}
