#pragma once
// The layout files as the picture generator sees them: every region with its kind (field 0 of
// the value, "kind" or "kind:param"), its rectangle and its label, read with the same reader the
// utility uses.
#include <QRect>
#include <QSize>
#include <QString>

#include <filesystem>
#include <map>
#include <vector>

#include "core/settings/app_state.h"

namespace skingen {

struct Region {
  int index = 0;
  QString kind;   // "button", "tab", "select", … ("none" or empty for an unused region)
  QString param;  // the text after ':' in field 0, if any
  QRect rect;
  QString label;

  bool present() const { return !rect.isEmpty(); }
  bool is(const char* k) const { return kind == QLatin1String(k); }
};

struct Layout {
  std::vector<Region> regions;                          // by region number
  std::map<int, Region> edits;                          // macro page EDIT keys
  std::map<int, Region> lists;                          // macro page MACRODISPLAY keys
  std::map<int, QString> functionNames;                 // main page FUN_STRING
  std::map<QString, Region> pictures;                   // [PICTURE] sizes; label = corner radius

  QSize pictureSize(const char* key) const { return pictures.at(QString::fromLatin1(key)).rect.size(); }
  int cornerRadius(const char* key) const { return pictures.at(QString::fromLatin1(key)).label.toInt(); }

  const Region& at(int i) const { return regions.at(static_cast<std::size_t>(i)); }
  // The bounding rectangle of the given regions that are present.
  QRect bounds(std::initializer_list<int> indexes) const;
  QRect boundsOfRange(int first, int last) const;
};

struct Skin {
  Layout main, advanced, macro, lighting, warning, login;
};

// Reads the six layout files of `language` below `skinFolder`. Returns false (after printing what
// is missing) when a file is missing or a value is malformed.
bool loadSkin(const std::filesystem::path& skinFolder, quillet::Language language, Skin& skin);

}  // namespace skingen
