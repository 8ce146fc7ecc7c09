// The mask rule and the shapes and repaint regions built from a mask.
#include "core/skin/window_shape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

// A synthetic mask from rows of text: '#' a dark pixel (inside), '.' a light one (outside).
struct TextMask {
  std::vector<std::string> rows;
  MaskPixel operator()(std::int32_t x, std::int32_t y) const {
    return rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '#' ? MaskPixel{0, 0, 0}
                                                                                 : MaskPixel{255, 255, 255};
  }
  WindowShape shape() const {
    return WindowShape::fromMask(static_cast<std::int32_t>(rows[0].size()), static_cast<std::int32_t>(rows.size()),
                                 *this);
  }
};

// Every pixel of the shape, by the bands it hands out; fails the test when bands overlap.
std::vector<std::string> paint(const WindowShape& shape) {
  std::vector<std::string> out(static_cast<std::size_t>(shape.height()),
                               std::string(static_cast<std::size_t>(shape.width()), '.'));
  for (const SkinRect& r : shape.bands()) {
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      for (std::int32_t x = r.left; x < r.right; ++x) {
        char& c = out[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
        EXPECT_EQ(c, '.') << "bands overlap at " << x << "," << y;
        c = '#';
      }
    }
  }
  return out;
}

TEST(MaskRule, OnlyPixelsWithAllThreeComponentsAbove100AreOutside) {
  EXPECT_TRUE(isOutsideWindow({101, 101, 101}));
  EXPECT_FALSE(isOutsideWindow({100, 255, 255}));
  EXPECT_FALSE(isOutsideWindow({255, 100, 255}));
  EXPECT_FALSE(isOutsideWindow({255, 255, 100}));
  EXPECT_FALSE(isOutsideWindow({0, 0, 0}));
  EXPECT_TRUE(isOutsideWindow({255, 255, 255}));
}

TEST(WindowShape, BandsCoverExactlyTheDarkPixelsInBandedOrder) {
  const TextMask mask{{
      "..####..",
      ".######.",
      "########",
      "###..###",
      "###..###",
      "########",
      ".######.",
  }};
  const WindowShape shape = mask.shape();
  EXPECT_EQ(paint(shape), mask.rows);
  EXPECT_TRUE(shape.contains(0, 2));
  EXPECT_FALSE(shape.contains(3, 3));
  EXPECT_FALSE(shape.contains(8, 2));
  EXPECT_FALSE(shape.contains(2, -1));

  // y-x banded: bands top to bottom, spans left to right, equal rows merged.
  const std::vector<SkinRect> bands = shape.bands();
  for (std::size_t i = 1; i < bands.size(); ++i) {
    const SkinRect& a = bands[i - 1];
    const SkinRect& b = bands[i];
    EXPECT_TRUE(a.top < b.top || (a.top == b.top && a.bottom == b.bottom && a.right <= b.left));
    EXPECT_TRUE(a.top == b.top || a.bottom <= b.top);
  }
  EXPECT_EQ(bands.size(), 7u);  // rows 3 and 4 are one band of two spans
}

TEST(WindowShape, NoisyMaskPixelsAroundTheThresholdKeepTheEdge) {
  // JPEG noise: light pixels down to 180 and dark ones up to 60 must not move the edge.
  const auto noisy = [](std::int32_t x, std::int32_t) {
    return x < 3 ? MaskPixel{60, 40, 55} : MaskPixel{180, 230, 101};
  };
  const WindowShape shape = WindowShape::fromMask(6, 2, noisy);
  EXPECT_EQ(shape.bands(), (std::vector<SkinRect>{{0, 0, 3, 2}}));
}

TEST(WindowShape, SubtractingRectanglesCutsHolesAndClipsToTheShape) {
  WindowShape shape = TextMask{{"######", "######", "######", "######"}}.shape();
  shape.subtract({2, 1, 4, 3});
  shape.subtract({-10, -10, 1, 1});
  shape.subtract({5, 3, 50, 50});
  shape.subtract({3, 0, 3, 4});  // empty
  EXPECT_EQ(paint(shape), (std::vector<std::string>{".#####", "##..##", "##..##", "#####."}));
  EXPECT_TRUE(shape.containsRect({0, 1, 2, 3}));
  EXPECT_FALSE(shape.containsRect({1, 1, 3, 2}));
  EXPECT_FALSE(shape.containsRect({0, 3, 2, 5}));
  EXPECT_TRUE(shape.containsRect({4, 4, 4, 9}));  // empty rectangles are contained
}

TEST(MainWindowShapes, RepaintRegionsLeaveOutTheChildControls) {
  const auto dark = [](std::int32_t, std::int32_t) { return MaskPixel{}; };
  const WindowShape mask = WindowShape::fromMask(700, 640, dark);
  const std::array<SkinRect, 6> controls{{{10, 10, 50, 30}, {60, 10, 90, 30}, {0, 0, 0, 0},
                                          {100, 100, 200, 300}, {210, 100, 400, 500}, {410, 100, 500, 200}}};
  const MainWindowShapes shapes = mainWindowShapes(mask, controls);
  EXPECT_TRUE(shapes.window.containsRect({0, 0, 700, 640}));

  EXPECT_FALSE(shapes.macroPage.contains(10, 10));
  EXPECT_FALSE(shapes.macroPage.contains(499, 199));
  EXPECT_TRUE(shapes.macroPage.contains(500, 199));
  EXPECT_TRUE(shapes.macroPage.contains(476, 353));  // value boxes belong to the advanced page only

  for (const SkinRect& box : kAdvancedValueBoxes) {
    EXPECT_FALSE(shapes.advancedPage.contains(box.left, box.top));
    EXPECT_FALSE(shapes.advancedPage.contains(box.right - 1, box.bottom - 1));
    EXPECT_TRUE(shapes.advancedPage.contains(box.right, box.top));
    EXPECT_TRUE(shapes.advancedPage.contains(box.left, box.bottom));
  }
  EXPECT_TRUE(shapes.advancedPage.contains(10, 10));
}

}  // namespace
}  // namespace quillet
