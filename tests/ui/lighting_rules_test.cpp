// The lighting page's rules without a display: slider values at and beyond their edges, what the
// page draws for its settings (swatches, knobs, blanking last), and its labels per effect in both
// languages.
#include <gtest/gtest.h>

#include <algorithm>

#include "settings/name_tables.h"
#include "ui/lighting_rules.h"
#include "ui/window_rules.h"

namespace quillet {
namespace {

using Source = LightingPaint::Source;

TEST(LightingSliders, ValuesAtAndBeyondTheEdges) {
  struct Case {
    std::int32_t d, width;
    int period, brightness;
  };
  // A 280-pixel slider has five period steps of 56 pixels and six brightness steps of 46⅔.
  const Case cases[] = {
      {0, 280, 0, 6},     {-40, 280, 0, 6},  {55, 280, 0, 5},  {56, 280, 1, 5},   {46, 280, 0, 6},
      {47, 280, 0, 5},    {279, 280, 4, 1},  {280, 280, 5, 0}, {5000, 280, 5, 0}, {266, 280, 4, 1},
      {0, 0, 0, 6},       {10, -5, 0, 6},    {1 << 30, 7, 5, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(periodSliderValue(c.d, c.width), c.period) << c.d << " of " << c.width;
    EXPECT_EQ(brightnessSliderValue(c.d, c.width), c.brightness) << c.d << " of " << c.width;
  }
  // A press measures from 14 pixels in: the right end of the bar is one step short of the top.
  EXPECT_EQ(periodSliderValue(sliderOffset(180 + 279, 180, -kLightingPressInset), 280), 4);
  EXPECT_EQ(brightnessSliderValue(sliderOffset(180 + 13, 180, -kLightingPressInset), 280), 6);
}

class LightingPaintsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (std::size_t i = 0; i < layout_.size(); ++i) {
      const auto n = static_cast<std::int32_t>(i);
      layout_[i] = {10 * n, 5 * n, 8, 6, "label " + std::to_string(n)};
    }
    layout_[lighting_region::kBrightness] = {100, 200, 60, 10, ""};
    layout_[lighting_region::kPeriod] = {100, 300, 50, 10, ""};
    s_.setCycleColorMask(0x7F);
    for (int k = 0; k < kUserColorCount; ++k) {
      s_.ledUserColor[static_cast<std::size_t>(k)] = {k, 15 - k, 2 * k};
    }
    s_.recomputeUserColorRefs();
  }
  std::vector<LightingPaint> paints(std::int32_t profile = 0) const { return lightingPaints(layout_, s_, profile); }
  static bool has(const std::vector<LightingPaint>& ps, Source source, const SkinButton& r) {
    return std::any_of(ps.begin(), ps.end(), [&](const LightingPaint& p) { return p.source == source && p.area == rectOf(r); });
  }
  const SkinButton& region(std::int32_t i) const { return layout_[static_cast<std::size_t>(i)]; }

  LightingLayout layout_{};
  ProfileSettings s_;
};

TEST_F(LightingPaintsTest, SlidersFillToTheirValueWithTheKnobOnTheEnd) {
  s_.ledBrightness = 2;  // four sixths of the bar
  s_.ledPeriod = 3;      // three fifths
  const auto ps = paints();
  ASSERT_GE(ps.size(), 4U);
  EXPECT_EQ(ps[0], (LightingPaint{Source::Pressed, {100, 200, 140, 210}, 0}));
  EXPECT_EQ(ps[1].source, Source::Knob);
  EXPECT_EQ(ps[1].area.left, 132);
  EXPECT_EQ(ps[1].area.top, 196);
  EXPECT_EQ(ps[2], (LightingPaint{Source::Pressed, {100, 300, 130, 310}, 0}));
  EXPECT_EQ(ps[3].area.left, 122);

  // Values out of range (a hand-edited settings file) draw as the nearest end of the bar.
  s_.ledBrightness = 9;
  s_.ledPeriod = 200;
  const auto out = paints();
  EXPECT_EQ(out[0].area, (SkinRect{100, 200, 100, 210}));
  EXPECT_EQ(out[2].area, (SkinRect{100, 300, 150, 310}));
  s_.ledBrightness = -4;
  EXPECT_EQ(paints()[0].area, (SkinRect{100, 200, 160, 210}));
}

TEST_F(LightingPaintsTest, SwatchesShowTheUserColoursOnlyWhenOnAndTakingPart) {
  s_.cycleColorEnabled[4] = 0;
  s_.ledUserColorEnabled = 1;
  auto ps = paints();
  EXPECT_TRUE(has(ps, Source::Pressed, region(lighting_region::kUserColours)));
  for (std::int32_t k = 0; k < kUserColorCount; ++k) {
    const SkinButton& swatch = region(k);
    const bool takesPart = k != 4;
    EXPECT_EQ(has(ps, Source::Pressed, region(lighting_region::kFirstCycleCheck + k)), takesPart) << k;
    const auto fill = std::find_if(ps.begin(), ps.end(), [&](const LightingPaint& p) {
      return p.source == Source::Colour && p.area == rectOf(swatch);
    });
    EXPECT_EQ(fill != ps.end(), takesPart) << k;
    if (fill != ps.end()) {
      EXPECT_EQ(fill->colour, colorLevelToDisplay(k, 15 - k, 2 * k)) << k;
    }
    EXPECT_FALSE(has(ps, Source::Pressed, swatch)) << k;
  }

  // Off: the skin's own colours of the swatches taking part, no fill at all.
  s_.ledUserColorEnabled = 0;
  ps = paints();
  EXPECT_FALSE(has(ps, Source::Pressed, region(lighting_region::kUserColours)));
  EXPECT_TRUE(std::none_of(ps.begin(), ps.end(), [](const LightingPaint& p) { return p.source == Source::Colour; }));
  for (std::int32_t k = 0; k < kUserColorCount; ++k) {
    EXPECT_EQ(has(ps, Source::Pressed, region(k)), k != 4) << k;
  }
  // Any value but 1 is off.
  s_.ledUserColorEnabled = 2;
  EXPECT_FALSE(has(paints(), Source::Pressed, region(lighting_region::kUserColours)));
}

TEST_F(LightingPaintsTest, TheShownProfilesButtonsAndTheBlankingLast) {
  s_.ledReactEnabled[2] = {0, 1, 0, 0, 0, 0, 0, 1};
  s_.ledReactEnabled[0] = {1, 0, 0, 0, 0, 0, 0, 0};
  s_.ledDirection = 3;  // chosen in "Flow water", kept in "Comet tail"
  s_.ledSymmetry = 1;
  s_.ledMode = 5;
  const auto ps = paints(2);
  for (std::int32_t b = 0; b < kButtonCount; ++b) {
    EXPECT_EQ(has(ps, Source::Pressed, region(lighting_region::kFirstReactEnable + b)), b == 1 || b == 7) << b;
  }
  EXPECT_TRUE(has(ps, Source::Pressed, region(lighting_region::kSymmetry)));
  // The fourth direction is drawn selected and then covered, with the rest of what the effect
  // blanks, after everything else.
  const auto selected = std::find_if(ps.begin(), ps.end(), [&](const LightingPaint& p) {
    return p.source == Source::Pressed && p.area == rectOf(region(50));
  });
  ASSERT_NE(selected, ps.end());
  ASSERT_GE(ps.size(), 2U);
  EXPECT_EQ(ps[ps.size() - 2], (LightingPaint{Source::Blank, rectOf(region(50)), 0}));
  EXPECT_EQ(ps.back(), (LightingPaint{Source::Blank, rectOf(region(71)), 0}));

  // A direction or an effect out of range selects and blanks nothing.
  s_.ledDirection = 4;
  s_.ledMode = 10;
  const auto odd = paints(2);
  EXPECT_TRUE(std::none_of(odd.begin(), odd.end(), [](const LightingPaint& p) { return p.source == Source::Blank; }));
  for (std::int32_t d = 0; d < kDirectionCount; ++d) {
    EXPECT_FALSE(has(odd, Source::Pressed, region(lighting_region::kFirstDirection + d)));
  }
}

// The blanked regions and the emptied labels per effect.
TEST(LightingBlanking, PerEffect) {
  struct Case {
    std::uint8_t mode;
    std::vector<std::int32_t> blanked, emptied;
  };
  const Case cases[] = {
      {0, {50, 71, 72, 74, 75}, {15, 30, 31, 32, 33, 34, 38}},
      {1, {50, 71, 72, 74}, {30, 31, 32, 33, 34, 38}},
      {2, {50, 71, 73, 74, 75}, {15, 30, 31, 32, 33, 34, 39}},
      {3, {71}, {}},
      {4, {50, 71}, {34}},
      {5, {50, 71}, {34}},
      {6, {71, 72, 74, 75}, {15, 30, 31, 32, 33, 34, 38}},
      {7, {49, 50, 71, 72, 75}, {15, 33, 34, 38}},
      {8, {50}, {34}},
      {9, {50, 71, 72, 73, 74, 75}, {15, 30, 31, 32, 33, 34, 38, 39}},
      {10, {}, {}},
      {255, {}, {}},
  };
  for (const Case& c : cases) {
    const auto blanked = blankedRegions(c.mode);
    const auto emptied = emptiedLabels(c.mode);
    EXPECT_EQ(std::vector<std::int32_t>(blanked.begin(), blanked.end()), c.blanked) << int(c.mode);
    EXPECT_EQ(std::vector<std::int32_t>(emptied.begin(), emptied.end()), c.emptied) << int(c.mode);
  }
}

class LightingLabelsTest : public LightingPaintsTest {
 protected:
  std::array<LightingLabel, kLightingRegionCount> labels(Language language) {
    app_.language = language;
    buildLightingNameTables(app_);
    return lightingLabels(layout_, s_, app_);
  }
  AppState app_;
};

TEST_F(LightingLabelsTest, TheEffectsNameInBothLanguages) {
  const std::pair<std::uint8_t, const char*> en[] = {{0, "DPI breath"}, {3, "Flow water"}, {8, "Button response"}, {9, "Mute"}};
  for (const auto& [mode, name] : en) {
    s_.ledMode = mode;
    EXPECT_EQ(labels(kEnglish)[35], (LightingLabel{name, 23}));
  }
  const std::pair<std::uint8_t, const char*> cn[] = {{0, "DPI色呼吸"}, {5, "彗星扫尾"}, {7, "流光溢彩"}, {9, "静音"}};
  for (const auto& [mode, name] : cn) {
    s_.ledMode = mode;
    EXPECT_EQ(labels(kChinese)[35].text, name);
  }
  s_.ledMode = 12;  // no such effect: the region keeps its own label
  EXPECT_EQ(labels(kEnglish)[35].text, "label 35");
  const auto l = labels(kEnglish);
  EXPECT_EQ(l[40].trim, 30);
  EXPECT_EQ(l[41].trim, 30);
  EXPECT_EQ(l[36], (LightingLabel{"label 36", 0}));
}

TEST_F(LightingLabelsTest, ResponseEffectsInThePagesOwnSpellingWithButtonResponseOnly) {
  app_.currentProfile = 1;
  s_.ledReactType[1] = {0, 1, 2, 3, 4, -1, 1, 2};
  s_.ledReactType[0] = {3, 3, 3, 3, 3, 3, 3, 3};
  s_.ledMode = 8;
  const std::array<const char*, 8> en{"Cycle breath", "Flowing water", "Comet tail", "Single water",
                                      "label 65",     "label 66",      "Flowing water", "Comet tail"};
  const std::array<const char*, 8> cn{"循环呼吸", "行云流水", "彗星拖尾", "单灯流水",
                                      "label 65", "label 66", "行云流水", "彗星拖尾"};
  const auto l = labels(kEnglish);
  const auto c = labels(kChinese);
  for (std::size_t b = 0; b < 8; ++b) {
    EXPECT_EQ(l[61 + b].text, en[b]) << b;
    EXPECT_EQ(c[61 + b].text, cn[b]) << b;
  }
  // The list spells two of them differently.
  EXPECT_EQ(app_.reactionNames[1], "行云流水");
  EXPECT_EQ(app_.reactionNames[2], "彗星扫尾");
  s_.ledMode = 7;
  EXPECT_EQ(labels(kEnglish)[61].text, "label 61");
}

TEST_F(LightingLabelsTest, TheNoteWithFlowWaterAndTheEmptiedLabels) {
  for (std::uint8_t mode = 0; mode < kLedModeCount; ++mode) {
    s_.ledMode = mode;
    const auto l = labels(kEnglish);
    EXPECT_EQ(l[98].text.empty(), mode != 3) << int(mode);
    const auto emptied = emptiedLabels(mode);
    for (const std::int32_t r : {15, 30, 31, 32, 33, 34, 38, 39}) {
      const bool empty = std::find(emptied.begin(), emptied.end(), r) != emptied.end();
      EXPECT_EQ(l[static_cast<std::size_t>(r)].text.empty(), empty) << int(mode) << " region " << r;
    }
  }
}

}  // namespace
}  // namespace quillet
