// The lighting page's rules without a display: the areas each effect blanks, settings out of
// range drawn safely, and the labels of every effect in both languages.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings/name_tables.h"
#include "core/skin/lighting_rules.h"

namespace quillet {
namespace {

TEST(LightingBlanking, TheAreasEachEffectCovers) {
  const std::vector<std::vector<std::int32_t>> blanked{{50, 71, 72, 74, 75}, {50, 71, 72, 74}, {50, 71, 73, 74, 75},
                                                       {71},                 {50, 71},         {50, 71},
                                                       {71, 72, 74, 75},     {49, 50, 71, 72, 75}, {50},
                                                       {50, 71, 72, 73, 74, 75}, {}};
  for (std::uint8_t mode = 0; mode < blanked.size(); ++mode) {
    const auto areas = blankedRegions(mode);
    EXPECT_EQ(std::vector<std::int32_t>(areas.begin(), areas.end()), blanked[mode]) << int(mode);
  }
}

TEST(LightingPaints, SettingsOutOfRangeDrawAsTheNearestValueOrNotAtAll) {
  LightingLayout layout{};
  for (std::size_t i = 0; i < layout.size(); ++i) {
    layout[i] = {static_cast<std::int32_t>(10 * i), 5, 8, 6, ""};
  }
  layout[lighting_region::kBrightness] = {100, 200, 60, 10, ""};
  layout[lighting_region::kPeriod] = {100, 300, 50, 10, ""};
  ProfileSettings s;  // as a hand-edited settings file may leave them
  s.ledBrightness = 9;
  s.ledPeriod = 200;
  s.ledDirection = 60;
  s.ledMode = 10;
  const auto paints = lightingPaints(layout, s, 7);
  ASSERT_GE(paints.size(), 4U);
  EXPECT_EQ(paints[0].area, (SkinRect{100, 200, 100, 210})) << "an empty brightness bar";
  EXPECT_EQ(paints[1].area.left, 92) << "its knob at the bar's start";
  EXPECT_EQ(paints[2].area, (SkinRect{100, 300, 150, 310})) << "a full period bar";
  EXPECT_EQ(paints.size(), 4U) << "no direction selected, nothing blanked";
}

TEST(LightingLabels, EveryEffectInBothLanguages) {
  struct Case {
    std::uint8_t mode;
    const char* en;
    const char* cn;
    std::vector<int> emptied;
  };
  const Case cases[] = {
      {0, "DPI breath", "DPI色呼吸", {15, 30, 31, 32, 33, 34, 38}},
      {1, "Cycle breath", "循环呼吸", {30, 31, 32, 33, 34, 38}},
      {2, "Constantly", "常亮", {15, 30, 31, 32, 33, 34, 39}},
      {3, "Flow water", "行云流水", {}},
      {4, "Single water", "单灯流水", {34}},
      {5, "Comet tail", "彗星扫尾", {34}},
      {6, "Neon", "霓虹", {15, 30, 31, 32, 33, 34, 38}},
      {7, "Ambilight", "流光溢彩", {15, 33, 34, 38}},
      {8, "Button response", "按键响应", {34}},
      {9, "Mute", "静音", {15, 30, 31, 32, 33, 34, 38, 39}},
      {12, "label 35", "label 35", {}},  // no such effect: the region's own label
  };
  LightingLayout layout{};
  for (std::size_t i = 0; i < layout.size(); ++i) {
    layout[i].label = "label " + std::to_string(i);
  }
  ProfileSettings s;
  AppState app;
  for (const Case& c : cases) {
    s.ledMode = c.mode;
    for (const Language language : {kEnglish, kChinese}) {
      app.language = language;
      buildLightingNameTables(app.language, app);
      const auto labels = lightingLabels(layout, s, app, app);
      EXPECT_EQ(labels[35], (LightingLabel{language == kEnglish ? c.en : c.cn, 23}));
      EXPECT_EQ(labels[98].text.empty(), c.mode != 3) << "the note goes with Flow water only";
      EXPECT_EQ(labels[40].trim, 30);
      for (const int r : {15, 30, 31, 32, 33, 34, 38, 39}) {
        const bool empty = std::find(c.emptied.begin(), c.emptied.end(), r) != c.emptied.end();
        EXPECT_EQ(labels[static_cast<std::size_t>(r)].text.empty(), empty) << int(c.mode) << " region " << r;
      }
    }
  }
}

TEST(LightingLabels, ResponseEffectsInThePagesOwnSpellingForTheProfileShown) {
  LightingLayout layout{};
  for (std::size_t i = 0; i < layout.size(); ++i) {
    layout[i].label = "label " + std::to_string(i);
  }
  ProfileSettings s;
  s.ledReactType[1] = {0, 1, 2, 3, 4, -1, 1, 2};
  s.ledMode = 8;
  AppState app;
  app.currentProfile = 1;
  const std::array<const char*, 8> en{"Cycle breath", "Flowing water", "Comet tail", "Single water",
                                      "label 65",     "label 66",      "Flowing water", "Comet tail"};
  const std::array<const char*, 8> cn{"循环呼吸", "行云流水", "彗星拖尾", "单灯流水", "label 65", "label 66",
                                      "行云流水", "彗星拖尾"};
  for (const Language language : {kEnglish, kChinese}) {
    app.language = language;
    const auto labels = lightingLabels(layout, s, app, app);
    for (std::size_t b = 0; b < 8; ++b) {
      EXPECT_EQ(labels[61 + b].text, (language == kEnglish ? en : cn)[b]) << b;
    }
  }
  s.ledMode = 7;
  EXPECT_EQ(lightingLabels(layout, s, app, app)[61].text, "label 61") << "only with Button response";
}

}  // namespace
}  // namespace quillet
