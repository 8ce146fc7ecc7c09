// The advanced page in the window: its value boxes (typed values, the fire time's focus rules,
// leaving the page while a box has the focus), the presses on the DPI levels' check boxes and
// radio buttons, and its drawing against the model, damaged values included.
#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "core/io/ini.h"
#include "core/skin/window_rules.h"
#include "gui/app/quillet_dlg.h"
#include "gui/window_fixture.h"

namespace quillet {
namespace {

using test::WindowTest;
namespace ar = advanced_region;

class AdvancedPageTest : public WindowTest {
 protected:
  void open(const std::function<void(const std::filesystem::path&)>& prepare = {}) {
    start(false, prepare);
    clickMain(7);
    ASSERT_EQ(dlg_->app().currentPage, 1);
  }
  void clickAdvanced(int region) { click(centre(dlg_->layouts().advanced[static_cast<std::size_t>(region)])); }
  // Replaces a box's text by typing `keys` into it.
  static void type(QLineEdit* box, const char* keys) {
    box->selectAll();
    QTest::keyClicks(box, keys);
  }
  // The composition with the pointer over no region.
  QImage composed() {
    moveTo(QPoint(2, 2));
    EXPECT_EQ(dlg_->hover().advanced, kNoRegion);
    return dlg_->compose().copy();
  }
  const SkinButton& region(int i) const { return dlg_->layouts().advanced[static_cast<std::size_t>(i)]; }
};

TEST_F(AdvancedPageTest, ValueBoxesTakeTypedNumbersWithinTheirLimits) {
  open();
  QLineEdit* pointer = dlg_->valueBox(0);
  QLineEdit* wheel = dlg_->valueBox(1);
  ASSERT_NE(pointer, nullptr);
  ASSERT_NE(wheel, nullptr);
  EXPECT_EQ(pointer->text(), "5");
  type(pointer, "45");
  EXPECT_EQ(pointer->text(), "10");
  EXPECT_EQ(dlg_->settings().pointerSpeed, 10);
  QTest::keyClicks(pointer, "x");
  EXPECT_EQ(pointer->text(), "10") << "a letter is refused";
  QTest::keyClick(pointer, Qt::Key_Backspace);
  EXPECT_EQ(dlg_->settings().pointerSpeed, 1);
  type(wheel, "7");
  EXPECT_EQ(dlg_->settings().wheelSpeed, 7);
  EXPECT_EQ(dlg_->settings().pointerSpeed, 1);
}

TEST_F(AdvancedPageTest, TheFireTimeBoxShowsMillisecondsExceptWhileItHasTheFocus) {
  open();
  dlg_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg_.get()));
  QLineEdit* fire = dlg_->valueBox(2);
  ASSERT_NE(fire, nullptr);
  EXPECT_EQ(fire->text(), "50ms");

  fire->setFocus();
  ASSERT_TRUE(fire->hasFocus());
  EXPECT_EQ(fire->text(), "50") << "the bare number while it is edited";
  type(fire, "45");
  EXPECT_EQ(dlg_->settings().fireTime, 45);
  QTest::keyClicks(fire, "0");
  EXPECT_EQ(dlg_->settings().fireTime, 300);
  EXPECT_EQ(fire->text(), "300");
  // A slider press while the box is being edited shows the new value bare.
  const SkinButton& slider = region(ar::kFireTime);
  click(QPoint(slider.x + 110, slider.y + slider.height / 2));
  EXPECT_EQ(dlg_->settings().fireTime, (110 + 4) * 300 / slider.width);

  dlg_->valueBox(0)->setFocus();
  EXPECT_EQ(fire->text(), QString::number((110 + 4) * 300 / slider.width) + "ms") << "the focus left";

  // Leaving the page while the fire-time box has the focus: the box goes without a trace.
  fire->setFocus();
  ASSERT_TRUE(fire->hasFocus());
  type(fire, "120");
  clickMain(6);
  QApplication::processEvents();
  EXPECT_EQ(dlg_->valueBox(2), nullptr);
  EXPECT_EQ(dlg_->settings().fireTime, 120);
  clickMain(7);
  EXPECT_EQ(dlg_->valueBox(2)->text(), "120ms");
}

TEST_F(AdvancedPageTest, DpiLevelChecksToggleAndRadiosSelectTheirOwnLevel) {
  open();
  // The shipped levels: all six enabled, level 2 (index 1) in use. Each row: the region pressed,
  // then the enables and the level in use it leaves.
  struct Row {
    int region;
    std::array<std::uint8_t, 6> enabled;
    int current;
  };
  const Row rows[] = {
      {ar::kFirstDpiSelect + 0, {1, 1, 1, 1, 1, 1}, 0},
      {ar::kFirstDpiSelect + 4, {1, 1, 1, 1, 1, 1}, 4},
      {ar::kFirstDpiSelect + 5, {1, 1, 1, 1, 1, 1}, 5},
      {ar::kFirstDpiEnable + 3, {1, 1, 1, 0, 1, 1}, 5},
      {ar::kFirstDpiSelect + 3, {1, 1, 1, 0, 1, 1}, 5},  // a disabled level cannot be chosen
      {ar::kFirstDpiEnable + 5, {1, 1, 1, 0, 1, 0}, 0},  // the level in use: the next enabled one
      {ar::kFirstDpiEnable + 1, {1, 0, 1, 0, 1, 0}, 0},
      {ar::kFirstDpiEnable + 2, {1, 0, 0, 0, 1, 0}, 0},
      {ar::kFirstDpiEnable + 0, {0, 0, 0, 0, 1, 0}, 4},
      {ar::kFirstDpiEnable + 4, {0, 0, 0, 0, 1, 0}, 4},  // the last enabled level stays
      {ar::kFirstDpiEnable + 3, {0, 0, 0, 1, 1, 0}, 4},
      {ar::kFirstDpiSelect + 3, {0, 0, 0, 1, 1, 0}, 3},
      {ar::kFirstDpiSelect + 2, {0, 0, 0, 1, 1, 0}, 3},
  };
  for (const Row& row : rows) {
    clickAdvanced(row.region);
    EXPECT_EQ(dlg_->settings().dpiLevelEnabled, row.enabled) << "after region " << row.region;
    EXPECT_EQ(dlg_->settings().currentDpiLevel, row.current) << "after region " << row.region;
  }
}

// Whether `image` shows the rectangle of `r` exactly as `picture` does.
bool showsRegionOf(const QImage& image, const QImage& picture, const SkinButton& r) {
  const QRect rect(r.x, r.y, r.width, r.height);
  return image.copy(rect) == picture.copy(rect).convertToFormat(image.format());
}

QColor displayColour(ColorRef ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }

TEST_F(AdvancedPageTest, DrawsTheLevelsBarsAndSlidersOfTheModel) {
  open();
  ProfileSettings& s = dlg_->settings();
  s.dpiLevelEnabled = {1, 0, 1, 1, 0, 1};
  s.currentDpiLevel = 2;
  for (int l = 0; l < kDpiLevelCount; ++l) {
    s.setDpiStep(l, static_cast<std::uint8_t>(2 * l));  // steps 0, 2, 4, ... 10
    s.setDpiColor(l, makeColorRef(40 * l, 255 - 40 * l, 16 * l));
  }
  s.pointerSpeed = 4;
  s.wheelSpeed = 10;
  s.fireTime = 0;
  const QImage image = composed();
  const QImage& normal = dlg_->pictures().page(1).normal;
  const QImage& down = dlg_->pictures().page(1).down;

  for (int l = 0; l < kDpiLevelCount; ++l) {
    EXPECT_EQ(showsRegionOf(image, down, region(ar::kFirstDpiSelect + l)), l == 2) << "radio of level " << l;
    EXPECT_EQ(showsRegionOf(image, down, region(ar::kFirstDpiEnable + l)), s.dpiLevelEnabled[l] == 1)
        << "check box of level " << l;
    const QColor colour = displayColour(s.dpiColorRef[l]);
    const SkinButton& swatch = region(ar::kFirstDpiColor + l);
    EXPECT_EQ(image.pixelColor(swatch.x + swatch.width / 2, swatch.y + swatch.height / 2), colour) << l;
    for (int step = 0; step < kDpiStepCount; ++step) {
      const SkinButton& b = region(ar::kFirstDpiStep + kDpiStepCount * l + step);
      const QPoint inside(b.x + b.width / 2, b.y + b.height / 2);
      if (step <= 2 * l) {
        EXPECT_EQ(image.pixelColor(inside), colour) << "level " << l << " step " << step << " is lit";
      } else {
        EXPECT_EQ(image.pixel(inside), normal.pixel(inside)) << "level " << l << " step " << step << " is dark";
      }
    }
  }
  // Sliders: the pressed picture over value × width / limit, the rest idle (the knob sits at the
  // boundary, 8 pixels left of it to 6 right).
  const auto filled = [&](const SkinButton& r, int x) { return image.pixel(x, r.y + r.height / 2) == down.pixel(x, r.y + r.height / 2); };
  const auto idle = [&](const SkinButton& r, int x) { return image.pixel(x, r.y + r.height / 2) == normal.pixel(x, r.y + r.height / 2); };
  const SkinButton& pointer = region(ar::kPointerSpeed);
  const int boundary = pointer.x + 4 * pointer.width / 10;
  EXPECT_TRUE(filled(pointer, pointer.x + 2));
  EXPECT_TRUE(filled(pointer, boundary - 10));
  EXPECT_TRUE(idle(pointer, boundary + 8));
  EXPECT_TRUE(idle(pointer, pointer.x + pointer.width - 2));
  const SkinButton& wheel = region(ar::kWheelSpeed);
  EXPECT_TRUE(filled(wheel, wheel.x + wheel.width - 10));
  const SkinButton& fire = region(ar::kFireTime);
  EXPECT_TRUE(idle(fire, fire.x + 8));
}

TEST_F(AdvancedPageTest, DamagedValuesAreDrawnAsTheirLimitsInsideTheirRegions) {
  // A settings file with values beyond every range.
  open([](const std::filesystem::path& skins) {
    ASSERT_TRUE(ini::WriteBatch(skins / "config" / "config.ini")
        .set("Config1", "DPI_SPEED", "-1")  // 255 in a byte
        .set("Config1", "WHEEL_SPEED", "99")
        .set("Config1", "FIRE_TIME", "9999")
        .set("Config1", "DPI_SET0", "44")
        .set("Config1", "DPI_LEVEL", "9")
        .commit());
  });
  ASSERT_EQ(dlg_->settings().pointerSpeed, 255);
  ASSERT_EQ(dlg_->settings().dpiStep[0], 44);
  const QImage damaged = composed();
  const QImage& normal = dlg_->pictures().page(1).normal;
  for (int l = 0; l < kDpiLevelCount; ++l) {
    EXPECT_TRUE(showsRegionOf(damaged, normal, region(ar::kFirstDpiSelect + l))) << "no level 9 to show: " << l;
  }
  // The same picture as the values at their limits: level 1's bar ends at its own last step and
  // leaves the other levels' bars alone; the knobs end where the sliders end.
  ProfileSettings& s = dlg_->settings();
  s.pointerSpeed = 10;
  s.wheelSpeed = 10;
  s.fireTime = 300;
  s.setDpiStep(0, 11);
  EXPECT_TRUE(composed() == damaged);
}

}  // namespace
}  // namespace quillet
