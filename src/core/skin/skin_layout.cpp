#include "core/skin/skin_layout.h"

#include <algorithm>

namespace quillet {

namespace {

constexpr std::string_view kRegionSection = "BUTTONPOS";
constexpr std::string_view kFunctionSection = "FUN_STRING";
constexpr std::string_view kEditSection = "EDIT";
constexpr std::string_view kListSection = "MACRODISPLAY";

SkinRect rectFrom(const SkinValue& value) {
  const SkinButton b = skinButtonFrom(value);
  return rectOf(b);
}

}  // namespace

std::int32_t hitTest(std::span<const SkinButton> layout, std::int32_t px, std::int32_t py, std::size_t last) {
  const std::size_t end = std::min(last + 1, layout.size());
  for (std::size_t i = 0; i < end; ++i) {
    if (layout[i].contains(px, py)) {
      return static_cast<std::int32_t>(i);
    }
  }
  return kNoRegion;
}

std::filesystem::path skinLayoutPath(const std::filesystem::path& skinFolder, Language language, SkinFile file) {
  const bool english = language != kChinese;
  std::string stem;
  switch (file) {
    case SkinFile::Main:
      stem = "skin_main";
      break;
    case SkinFile::Advanced:
      stem = "skin_advance";
      break;
    case SkinFile::Macro:
      stem = "skin_mac";
      break;
    case SkinFile::Lighting:
      stem = "skin_color";
      break;
    case SkinFile::Warning:
      stem = "LBWarning";
      break;
    case SkinFile::Survey:
      stem = "skin_Login";
      break;
  }
  return skinFolder / (english ? "INI_EN" : "INI_CN") / (stem + (english ? "_en.ini" : ".ini"));
}

SkinButton skinButtonFrom(const SkinValue& value) {
  SkinButton b;
  b.x = skinNumber(value.fields[1]);
  b.y = skinNumber(value.fields[2]);
  b.width = skinNumber(value.fields[3]);
  b.height = skinNumber(value.fields[4]);
  b.label = value.fields[5];
  return b;
}

void readSkinLayout(const std::filesystem::path& file, std::span<SkinButton> layout, SkinReadReport& report) {
  for (std::size_t i = 0; i < layout.size(); ++i) {
    layout[i] = skinButtonFrom(readSkinValue(file, kRegionSection, static_cast<int>(i), report));
  }
}

bool loadPageLayouts(AppState& app, SkinLayouts& layouts, SkinReadReport& report) {
  const auto path = [&](SkinFile f) { return skinLayoutPath(app.skinFolder, app.language, f); };

  const std::filesystem::path mainFile = path(SkinFile::Main);
  readSkinLayout(mainFile, layouts.main, report);
  app.functionNames[0].clear();
  for (int code = 1; code < kFunctionNameCount; ++code) {
    app.functionNames[static_cast<std::size_t>(code)] =
        readSkinValue(mainFile, kFunctionSection, code, report).fields[0];
  }
  for (std::size_t p = 0; p < static_cast<std::size_t>(kProfileCount); ++p) {
    layouts.profileNames[p] = app.functionNames[kFirstProfileFunction + p];
  }

  readSkinLayout(path(SkinFile::Lighting), layouts.lighting, report);
  readSkinLayout(path(SkinFile::Advanced), layouts.advanced, report);

  const std::filesystem::path macroFile = path(SkinFile::Macro);
  readSkinLayout(macroFile, layouts.macro, report);
  for (int i = 0; i < 3; ++i) {
    layouts.macroControlRects[static_cast<std::size_t>(i)] = rectFrom(readSkinValue(macroFile, kEditSection, i, report));
  }
  for (int i = 1; i <= 3; ++i) {
    layouts.macroControlRects[static_cast<std::size_t>(2 + i)] =
        rectFrom(readSkinValue(macroFile, kListSection, i, report));
  }
  return !report.missingFile;
}

bool loadWarningLayout(const AppState& app, SkinLayouts& layouts, SkinReadReport& report) {
  readSkinLayout(skinLayoutPath(app.skinFolder, app.language, SkinFile::Warning), layouts.warning, report);
  return !report.missingFile;
}

bool loadSkinLayouts(AppState& app, SkinLayouts& layouts, SkinReadReport& report) {
  loadPageLayouts(app, layouts, report);
  return loadWarningLayout(app, layouts, report);
}

}  // namespace quillet
