#include "skin_source.h"

#include <cstdio>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/skin/skin_layout.h"
#include "core/skin/skin_value.h"

namespace skingen {

namespace {

Region regionFrom(int index, const quillet::SkinValue& value) {
  const quillet::SkinButton b = quillet::skinButtonFrom(value);
  Region r;
  r.index = index;
  const QString field0 = QString::fromStdString(value.fields[0]);
  const qsizetype colon = field0.indexOf(':');
  r.kind = colon < 0 ? field0 : field0.left(colon);
  r.param = colon < 0 ? QString() : field0.mid(colon + 1);
  r.rect = QRect(b.x, b.y, b.width, b.height);
  r.label = QString::fromStdString(b.label);
  return r;
}

void readRegions(const std::filesystem::path& file, std::size_t count, Layout& layout,
                 quillet::SkinReadReport& report) {
  layout.regions.clear();
  for (std::size_t i = 0; i < count; ++i) {
    const int index = static_cast<int>(i);
    layout.regions.push_back(regionFrom(index, quillet::readSkinValue(file, "BUTTONPOS", index, report)));
  }
}

// Reads the [PICTURE] keys; returns false when one is missing.
bool readPictures(const std::filesystem::path& file, std::initializer_list<const char*> keys, Layout& layout) {
  bool ok = true;
  for (const char* key : keys) {
    const std::string value = quillet::ini::readString(file, "PICTURE", key, "", quillet::kSkinValueBufferChars);
    Region r = regionFrom(0, quillet::splitSkinValue(value));
    if (r.rect.isEmpty()) {
      std::fprintf(stderr, "skingen: %s has no [PICTURE] %s\n", file.c_str(), key);
      ok = false;
    }
    layout.pictures[QString::fromLatin1(key)] = r;
  }
  return ok;
}

}  // namespace

QRect Layout::bounds(std::initializer_list<int> indexes) const {
  QRect out;
  for (int i : indexes) {
    if (at(i).present()) {
      out = out.united(at(i).rect);
    }
  }
  return out;
}

QRect Layout::boundsOfRange(int first, int last) const {
  QRect out;
  for (int i = first; i <= last; ++i) {
    if (at(i).present()) {
      out = out.united(at(i).rect);
    }
  }
  return out;
}

bool loadSkin(const std::filesystem::path& skinFolder, quillet::Language language, Skin& skin) {
  using quillet::SkinFile;
  quillet::StderrMessages messages;
  quillet::SkinReadReport report(messages);
  const auto path = [&](SkinFile f) { return quillet::skinLayoutPath(skinFolder, language, f); };

  readRegions(path(SkinFile::Main), quillet::kMainRegionCount, skin.main, report);
  for (int code = 1; code < quillet::kFunctionNameCount; ++code) {
    skin.main.functionNames[code] =
        QString::fromStdString(quillet::readSkinValue(path(SkinFile::Main), "FUN_STRING", code, report).fields[0]);
  }
  readRegions(path(SkinFile::Advanced), quillet::kAdvancedRegionCount, skin.advanced, report);
  readRegions(path(SkinFile::Macro), quillet::kMacroRegionCount, skin.macro, report);
  for (int i = 0; i <= 2; ++i) {
    skin.macro.edits[i] = regionFrom(i, quillet::readSkinValue(path(SkinFile::Macro), "EDIT", i, report));
  }
  for (int i = 1; i <= 3; ++i) {
    skin.macro.lists[i] = regionFrom(i, quillet::readSkinValue(path(SkinFile::Macro), "MACRODISPLAY", i, report));
  }
  readRegions(path(SkinFile::Lighting), quillet::kLightingRegionCount, skin.lighting, report);
  readRegions(path(SkinFile::Warning), quillet::kWarningRegionCount, skin.warning, report);
  readRegions(path(SkinFile::Survey), quillet::kSurveyRegionCount, skin.login, report);
  bool ok = readPictures(path(SkinFile::Main), {"WINDOW", "MENU", "MENU1", "MORE"}, skin.main);
  ok = readPictures(path(SkinFile::Warning), {"WINDOW"}, skin.warning) && ok;
  ok = readPictures(path(SkinFile::Survey), {"WINDOW"}, skin.login) && ok;
  return ok && !report.missingFile && report.malformedValues == 0;
}

}  // namespace skingen
