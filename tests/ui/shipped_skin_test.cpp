// The shipped skin as a whole: the layout files of both languages agree with each other, with
// the pictures the build draws, and with the geometry the windows rely on.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <string>
#include <vector>

#include "core/io/ini.h"
#include "core/io/messages.h"
#include "core/macro/macro_record.h"
#include "core/skin/skin_layout.h"
#include "core/skin/window_rules.h"
#include "core/skin/window_shape.h"
#include "support/temp_dir.h"
#include "core/macro/macro_record.h"
#include "core/skin/popup_rules.h"
#include "core/skin/skin_layout.h"
#include "core/skin/window_rules.h"
#include "core/skin/window_shape.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr std::string_view kAbsent = "<absent>";

struct LayoutFileInfo {
  SkinFile file;
  std::size_t regions;
};
const LayoutFileInfo kFiles[] = {
    {SkinFile::Main, kMainRegionCount},         {SkinFile::Advanced, kAdvancedRegionCount},
    {SkinFile::Macro, kMacroRegionCount},       {SkinFile::Lighting, kLightingRegionCount},
    {SkinFile::Warning, kWarningRegionCount},   {SkinFile::Survey, kSurveyRegionCount},
};

// Kinds of region that are pressed for a command and carry their text in the layout file.
bool carriesText(const std::string& kind) {
  for (const char* k : {"button", "tab", "lang", "option", "gender", "record", "link"}) {
    if (kind == k || kind.starts_with(std::string(k) + ":")) {
      return true;
    }
  }
  return false;
}

bool intersects(const SkinRect& a, const SkinRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

std::string show(const SkinRect& r) {
  return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
         std::to_string(r.bottom) + ")";
}

QImage picture(const std::string& name) {
  return QImage(QString::fromStdString((fs::path(QUILLET_BIN_DIR) / "skins" / name).string()));
}

WindowShape shapeOf(const QImage& mask) {
  const QImage rgb = mask.convertToFormat(QImage::Format_RGB32);
  return WindowShape::fromMask(rgb.width(), rgb.height(), [&](std::int32_t x, std::int32_t y) {
    const QRgb p = rgb.pixel(x, y);
    return MaskPixel{static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                     static_cast<std::uint8_t>(qBlue(p))};
  });
}

class ShippedSkin : public ::testing::Test {
 protected:
  void SetUp() override { skins_ = test::copyShippedSkins(dir_); }

  fs::path file(Language language, SkinFile f) const { return skinLayoutPath(skins_, language, f); }
  SkinValue value(Language language, SkinFile f, std::string_view section, int key) {
    return readSkinValue(file(language, f), section, key, report_);
  }
  SkinButton region(SkinFile f, int key) {
    return skinButtonFrom(value(kEnglish, f, "BUTTONPOS", key));
  }
  std::vector<SkinButton> regions(SkinFile f, std::size_t count) {
    std::vector<SkinButton> out(count);
    readSkinLayout(file(kEnglish, f), out, report_);
    return out;
  }

  TempDir dir_;
  fs::path skins_;
  RecordedMessages messages_;
  SkinReadReport report_{messages_};
};

TEST_F(ShippedSkin, EveryKeyIsPresentInBothLanguagesWithWellFormedValues) {
  for (const Language language : {kEnglish, kChinese}) {
    for (const LayoutFileInfo& info : kFiles) {
      const fs::path path = file(language, info.file);
      for (std::size_t i = 0; i < info.regions; ++i) {
        EXPECT_NE(ini::readString(path, "BUTTONPOS", std::to_string(i), kAbsent, kSkinValueBufferChars), kAbsent)
            << path << " BUTTONPOS " << i;
      }
    }
    for (int code = 1; code < kFunctionNameCount; ++code) {
      EXPECT_NE(value(language, SkinFile::Main, "FUN_STRING", code).fields[0], "") << "FUN_STRING " << code;
    }
    const fs::path macro = file(language, SkinFile::Macro);
    for (int i = 0; i <= 2; ++i) {
      EXPECT_GT(skinButtonFrom(value(language, SkinFile::Macro, "EDIT", i)).width, 0) << macro << " EDIT " << i;
    }
    for (int i = 1; i <= 3; ++i) {
      EXPECT_GT(skinButtonFrom(value(language, SkinFile::Macro, "MACRODISPLAY", i)).width, 0)
          << macro << " MACRODISPLAY " << i;
    }
  }
  EXPECT_TRUE(messages_.texts.empty()) << messages_.texts.front();
}

TEST_F(ShippedSkin, BothLanguagesShareEveryRectangleAndKind) {
  // The pictures are shared, so only labels and names may differ between the languages.
  const auto same = [&](SkinFile f, std::string_view section, int key) {
    const SkinValue en = value(kEnglish, f, section, key);
    const SkinValue cn = value(kChinese, f, section, key);
    for (int field = 0; field <= 4; ++field) {
      EXPECT_EQ(en.fields[field], cn.fields[field])
          << file(kEnglish, f).filename() << " [" << section << "] " << key << " field " << field;
    }
  };
  for (const LayoutFileInfo& info : kFiles) {
    for (std::size_t i = 0; i < info.regions; ++i) {
      same(info.file, "BUTTONPOS", static_cast<int>(i));
    }
  }
  for (int i = 0; i <= 2; ++i) {
    same(SkinFile::Macro, "EDIT", i);
  }
  for (int i = 1; i <= 3; ++i) {
    same(SkinFile::Macro, "MACRODISPLAY", i);
  }
}

TEST_F(ShippedSkin, ButtonsCarryALabelInBothLanguages) {
  for (const Language language : {kEnglish, kChinese}) {
    for (const LayoutFileInfo& info : kFiles) {
      for (std::size_t i = 0; i < info.regions; ++i) {
        const SkinValue v = value(language, info.file, "BUTTONPOS", static_cast<int>(i));
        if (carriesText(v.fields[0])) {
          EXPECT_NE(skinButtonFrom(v).label, "") << file(language, info.file) << " region " << i;
        }
      }
    }
  }
  // Profile names and the labels of the sub-menu rows come from FUN_STRING: distinct per code
  // where the menus list them side by side.
  for (const Language language : {kEnglish, kChinese}) {
    std::vector<std::string> names;
    for (int code = 1; code <= 40; ++code) {
      names.push_back(value(language, SkinFile::Main, "FUN_STRING", code).fields[0]);
    }
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end()) << "duplicate function name";
  }
}

TEST_F(ShippedSkin, ThePlayModeRegionsSayWhatTheirModesPlay) {
  // Mode 1 toggles, mode 2 repeats while held (macro_record.h): the labels of the regions that
  // set them must say so in both languages.
  struct Label {
    std::uint8_t mode;
    Language language;
    const char* text;
  };
  const Label labels[] = {
      {play_mode::kLoopCount, kEnglish, "Repeat count"},
      {play_mode::kToggle, kEnglish, "Press to start · press again to stop"},
      {play_mode::kWhileHeld, kEnglish, "Repeat while held"},
      {play_mode::kLoopCount, kChinese, "循环次数"},
      {play_mode::kToggle, kChinese, "按一下开始，再按一下停止"},
      {play_mode::kWhileHeld, kChinese, "按住时循环"},
  };
  for (const Label& l : labels) {
    EXPECT_EQ(skinButtonFrom(value(l.language, SkinFile::Macro, "BUTTONPOS", playModeRegion(l.mode))).label, l.text)
        << "mode " << int(l.mode) << (l.language == kEnglish ? " English" : " Chinese");
  }
}

TEST_F(ShippedSkin, EveryPictureExistsWithItsWindowsSize) {
  const QImage mainMask = picture("main_mask.jpg");
  ASSERT_FALSE(mainMask.isNull()) << "build/bin/skins/main_mask.jpg";
  const char* pagePictures[] = {"main_normal.jpg", "main_over.jpg",  "main_down.jpg", "advanced_normal.jpg",
                                "advanced_over.jpg", "advanced_down.jpg", "mac_normal.jpg", "mac_over.jpg",
                                "mac_down.jpg", "led_normal.jpg", "led_over.jpg", "led_down.jpg", "led_null.jpg"};
  for (const char* name : pagePictures) {
    const QImage img = picture(name);
    ASSERT_FALSE(img.isNull()) << name;
    EXPECT_EQ(img.size(), mainMask.size()) << name;
  }
  const std::vector<std::pair<std::string, std::vector<std::string>>> sets{
      {"menu_mask.jpg", {"menu_normal.jpg", "menu_over.jpg", "menu_down.jpg"}},
      {"menu1_mask.jpg", {"menu1_normal.jpg", "menu1_over.jpg", "menu1_down.jpg"}},
      {"more_mask.jpg", {"more_normal.jpg"}},
      {"warning_mask.jpg", {"warning_normal.jpg", "warning_over.jpg"}},
      {"Login_mask.jpg", {"Login_normal.jpg", "Login_over.jpg", "Login_down.jpg"}},
  };
  for (const auto& [mask, members] : sets) {
    const QImage m = picture(mask);
    ASSERT_FALSE(m.isNull()) << mask;
    for (const std::string& name : members) {
      const QImage img = picture(name);
      ASSERT_FALSE(img.isNull()) << name;
      EXPECT_EQ(img.size(), m.size()) << name;
    }
  }
  // Beside every picture but the masks, its twin for dense screens at exactly twice the size.
  for (const char* name :
       {"main_normal.jpg",   "main_over.jpg",      "main_down.jpg",    "advanced_normal.jpg", "advanced_over.jpg",
        "advanced_down.jpg", "mac_normal.jpg",     "mac_over.jpg",     "mac_down.jpg",        "led_normal.jpg",
        "led_over.jpg",      "led_down.jpg",       "led_null.jpg",     "moveRect.png",        "menu_normal.jpg",
        "menu_over.jpg",     "menu_down.jpg",      "menu1_normal.jpg", "menu1_over.jpg",      "menu1_down.jpg",
        "more_normal.jpg",   "warning_normal.jpg", "warning_over.jpg", "Login_normal.jpg",    "Login_over.jpg",
        "Login_down.jpg"}) {
    const std::string file(name);
    const std::string twice = file.substr(0, file.rfind('.')) + "@2x" + file.substr(file.rfind('.'));
    const QImage img = picture(twice);
    ASSERT_FALSE(img.isNull()) << twice;
    EXPECT_EQ(img.size(), picture(file).size() * 2) << twice;
  }
  // The knob is the 14 × 14 area at (3, 2): opaque in its middle, clear around it.
  const QImage knob = picture("moveRect.png");
  ASSERT_FALSE(knob.isNull());
  ASSERT_GE(knob.width(), 17);
  ASSERT_GE(knob.height(), 16);
  EXPECT_EQ(qAlpha(knob.pixel(10, 9)), 255);
  EXPECT_EQ(qAlpha(knob.pixel(0, 0)), 0);
}

TEST_F(ShippedSkin, RegionsAndChildControlsLieInsideTheirWindowsShape) {
  const WindowShape main = shapeOf(picture("main_mask.jpg"));
  ASSERT_FALSE(main.empty());
  EXPECT_FALSE(main.contains(0, 0));
  EXPECT_FALSE(main.contains(main.width() - 1, main.height() - 1));
  EXPECT_TRUE(main.contains(main.width() / 2, main.height() / 2));

  const auto inside = [&](const WindowShape& shape, SkinFile f, std::size_t count) {
    const std::vector<SkinButton> layout = regions(f, count);
    for (std::size_t i = 0; i < layout.size(); ++i) {
      EXPECT_TRUE(shape.containsRect(rectOf(layout[i])))
          << file(kEnglish, f).filename() << " region " << i << " " << show(rectOf(layout[i]));
    }
  };
  inside(main, SkinFile::Main, kMainRegionCount);
  inside(main, SkinFile::Advanced, kAdvancedRegionCount);
  inside(main, SkinFile::Macro, kMacroRegionCount);
  inside(main, SkinFile::Lighting, kLightingRegionCount);
  inside(shapeOf(picture("warning_mask.jpg")), SkinFile::Warning, kWarningRegionCount);
  inside(shapeOf(picture("Login_mask.jpg")), SkinFile::Survey, kSurveyRegionCount);

  AppState app;
  app.setSkinFolder(skins_);
  app.language = kEnglish;
  SkinLayouts layouts;
  ASSERT_TRUE(loadSkinLayouts(app, layouts, report_));
  for (const SkinRect& r : layouts.macroControlRects) {
    EXPECT_TRUE(main.containsRect(r)) << show(r);
  }
  for (const SkinRect& r : kAdvancedValueBoxes) {
    EXPECT_TRUE(main.containsRect(r)) << show(r);
  }
}

TEST_F(ShippedSkin, EveryClickableRegionCanBeReached) {
  // The pointer finds the lowest region number, so an overlap would hide part of a control; and
  // a page region over the common frame, or under a child control, could never be clicked.
  const std::vector<SkinButton> frame = regions(SkinFile::Main, kFrameRegionCount);
  const auto check = [&](SkinFile f, std::size_t first, std::size_t last, std::size_t count,
                         const std::vector<SkinRect>& controls, bool besideTheFrame) {
    const std::vector<SkinButton> layout = regions(f, count);
    for (std::size_t i = first; i <= last; ++i) {
      const SkinRect a = rectOf(layout[i]);
      if (a.width() <= 0) {
        continue;
      }
      for (std::size_t j = i + 1; j <= last; ++j) {
        EXPECT_FALSE(intersects(a, rectOf(layout[j]))) << file(kEnglish, f).filename() << " " << i << " and " << j;
      }
      if (besideTheFrame) {
        for (std::size_t j = 0; j < frame.size(); ++j) {
          EXPECT_FALSE(intersects(a, rectOf(frame[j]))) << file(kEnglish, f).filename() << " " << i << " and frame " << j;
        }
      }
      for (const SkinRect& c : controls) {
        EXPECT_FALSE(intersects(a, c)) << file(kEnglish, f).filename() << " " << i << " under " << show(c);
      }
    }
  };
  AppState app;
  app.setSkinFolder(skins_);
  app.language = kEnglish;
  SkinLayouts layouts;
  ASSERT_TRUE(loadSkinLayouts(app, layouts, report_));
  const std::vector<SkinRect> macroControls(layouts.macroControlRects.begin(), layouts.macroControlRects.end());
  const std::vector<SkinRect> valueBoxes(kAdvancedValueBoxes.begin(), kAdvancedValueBoxes.end());
  check(SkinFile::Main, 0, kMainRegionCount - 1, kMainRegionCount, {}, false);
  check(SkinFile::Advanced, 0, kAdvancedRegionCount - 1, kAdvancedRegionCount, valueBoxes, true);
  check(SkinFile::Macro, 0, kMacroRegionCount - 1, kMacroRegionCount, macroControls, true);
  check(SkinFile::Lighting, 0, kLightingActiveRegionCount - 1, kLightingRegionCount, {}, true);
  check(SkinFile::Warning, 0, kWarningRegionCount - 1, kWarningRegionCount, {}, false);
  check(SkinFile::Survey, 0, kSurveyRegionCount - 1, kSurveyRegionCount, {}, false);
}

TEST_F(ShippedSkin, PopupsLineUpWithTheRegionsThatOpenThem) {
  const QSize menu = picture("menu_mask.jpg").size();
  const QSize menu1 = picture("menu1_mask.jpg").size();
  const QSize more = picture("more_mask.jpg").size();
  ASSERT_FALSE(menu.isEmpty());
  // Row heights: the profile list cuts the menu pictures in tenths, the other lists in fifteenths,
  // the three-item menu in thirds.
  EXPECT_EQ(menu.height() % 10, 0);
  EXPECT_EQ(menu.height() % 15, 0);
  EXPECT_EQ(menu1.height() % 15, 0);
  EXPECT_EQ(more.height() % 3, 0);

  // Each popup is opened as wide as its region (plus the pixel some openers add) and cut to
  // its picture's width: the two should agree.
  EXPECT_EQ(region(SkinFile::Main, 11).width, menu.width());
  for (int r = 20; r <= 27; ++r) {
    EXPECT_EQ(region(SkinFile::Main, r).width + 1, menu1.width()) << r;
  }
  EXPECT_EQ(region(SkinFile::Macro, 4).width, more.width());
  EXPECT_EQ(skinButtonFrom(value(kEnglish, SkinFile::Macro, "EDIT", 0)).width + 21, menu.width());
  EXPECT_EQ(region(SkinFile::Lighting, 35).width, menu.width());
  for (int r = 61; r <= 68; ++r) {
    EXPECT_EQ(region(SkinFile::Lighting, r).width + 1, menu.width()) << r;
  }
}

// Each sub-menu of the function list opens beside its row, placed in rows of the function list,
// and reaches down past that row's bottom: a pointer moved straight right from the row lands in
// its own sub-menu, never below it nor in a neighbour's.
TEST_F(ShippedSkin, EverySubMenuMeetsTheRowThatOpensIt) {
  const int listRow = picture("menu1_mask.jpg").height() / menuKindSpec(MenuKind::ButtonFunction).rowDivisor;
  const int subRow = picture("menu_mask.jpg").height() / kSubMenuRowDivisor;
  ASSERT_GT(listRow, 0);
  for (int row = kFirstSubMenuRow; row <= kFunctionMenuRows; ++row) {
    const std::optional<FunctionSubMenu> sub = functionSubMenu(row);
    ASSERT_TRUE(sub);
    for (int groups = 1; groups <= (sub->listsMacroGroups ? 9 : 1); ++groups) {
      SCOPED_TRACE(testing::Message() << "row " << row << ", " << groups << " macro groups");
      const int items = sub->listsMacroGroups ? groups : static_cast<int>(sub->items.size());
      const int top = functionSubMenuRowOffset(row, groups) * listRow;
      const int bottom = top + items * subRow;
      EXPECT_LE(top, (row - 1) * listRow);
      EXPECT_GE(bottom, row * listRow) << "the sub-menu ends " << row * listRow - bottom << " pixels above its row's bottom";
    }
  }
}

}  // namespace
}  // namespace quillet
