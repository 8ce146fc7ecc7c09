// The lighting page under the offscreen platform: every control in every effect as the page's
// availability table gives it (one run per effect) with the blanking it draws, the sliders' press
// and drag at their edges, the user colours' dialog and display colour, the effect and response
// lists in both languages for the profile shown, and a page that paints only when something
// changes. (Apply into the mouse: tests/e2e/lighting_test.sh.)
#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <set>

#include "core/skin/lighting_rules.h"
#include "gui/window_fixture.h"

namespace quillet {
namespace {

namespace lr = lighting_region;

// The effects in which a click on each effect-dependent control acts; every other control acts
// in all ten.
const std::set<int> kSwatchEffects{1, 3, 4, 5, 8};
const std::set<int> kBrightnessEffects{2, 3, 4, 5, 8};
const std::set<int> kPeriodEffects{0, 1, 3, 4, 5, 6, 7, 8};
const std::set<int> kFourthDirectionEffects{3};
const std::set<int> kResponseEffects{8};

QStringList texts(const SkinPopup& popup) {
  QStringList out;
  for (const PopupRow& row : popup.rows()) {
    out << row.text;
  }
  return out;
}

class LightingPageTest : public test::WindowTest {
 protected:
  // The window on the lighting page with a known lighting set-up, the pointer over no region.
  void open(std::uint8_t effect) {
    start();
    clickMain(frame_region::kFirstTab + pageNumber(Page::Lighting));
    ProfileSettings& s = dlg_->settings();
    s.ledMode = effect;
    s.ledUserColorEnabled = 1;
    s.setCycleColorMask(0x7F);
    s.ledBrightness = 3;
    s.ledPeriod = 2;
    s.ledDirection = 1;
    s.ledSymmetry = 0;
    s.ledUserColor[0] = {5, 5, 5};
    s.recomputeUserColorRefs();
    pointerAway();
  }
  const SkinButton& region(std::int32_t i) const { return dlg_->layouts().lighting[static_cast<std::size_t>(i)]; }
  void clickLighting(std::int32_t i) { click(centre(region(i))); }
  // A press at `p`, the pointer dragged to each of `path` with the button held, the release.
  void pressDragRelease(QPoint p, std::initializer_list<QPoint> path = {}) {
    moveTo(p);
    send(QEvent::MouseButtonPress, p, Qt::LeftButton);
    QPoint last = p;
    for (const QPoint q : path) {
      moveTo(q, Qt::LeftButton);
      last = q;
    }
    send(QEvent::MouseButtonRelease, last);
  }
  // A spot of the window over no region of any layer, so that nothing draws hovered.
  void pointerAway() {
    for (int y = dlg_->height() - 2; y > 0; --y) {
      for (int x = 2; x < dlg_->width(); x += 7) {
        if (hoverAt(dlg_->layouts(), dlg_->app().currentPage, x, y) == HoverIndexes{}) {
          moveTo(QPoint(x, y));
          return;
        }
      }
    }
    FAIL() << "no empty spot in the window";
  }
};

class EffectTest : public LightingPageTest, public ::testing::WithParamInterface<int> {};

TEST_P(EffectTest, EveryControlActsWhereTheEffectOffersIt) {
  const int effect = GetParam();
  open(static_cast<std::uint8_t>(effect));
  ProfileSettings& s = dlg_->settings();

  // User colour 0: the dialog is asked, and its colour taken, only where swatches act.
  dialogs_->colours.push_back(makeColorRef(255, 0, 0));
  clickLighting(lr::kFirstSwatch);
  const bool swatches = kSwatchEffects.count(effect) != 0;
  EXPECT_EQ(dialogs_->colours.empty(), swatches);
  EXPECT_EQ(s.ledUserColor[0], swatches ? (ColorLevels{0, 15, 15}) : (ColorLevels{5, 5, 5}));

  // The sliders' left edges: brightness 6 (an empty bar), period 0.
  pressDragRelease(QPoint(region(lr::kBrightness).x, centre(region(lr::kBrightness)).y()));
  EXPECT_EQ(s.ledBrightness, kBrightnessEffects.count(effect) != 0 ? 6 : 3);
  pressDragRelease(QPoint(region(lr::kPeriod).x, centre(region(lr::kPeriod)).y()));
  EXPECT_EQ(s.ledPeriod, kPeriodEffects.count(effect) != 0 ? 0 : 2);

  clickLighting(lr::kFirstDirection + 3);
  EXPECT_EQ(s.ledDirection, kFourthDirectionEffects.count(effect) != 0 ? 3 : 1);
  clickLighting(lr::kFirstDirection + 2);
  EXPECT_EQ(s.ledDirection, 2);

  clickLighting(lr::kFirstReactType + 4);
  CMenuDlg* list = dlg_->popups().menu();
  if (kResponseEffects.count(effect) != 0) {
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->kind(), MenuKind::ReactionEffect);
  } else {
    EXPECT_EQ(list, nullptr);
  }

  // The controls of every effect. The press on the first one also closes an open list.
  clickLighting(lr::kFirstCycleCheck + 3);
  EXPECT_FALSE(dlg_->popups().anyOpen());
  EXPECT_EQ(s.cycleColorEnabled[3], 0);
  clickLighting(lr::kSymmetry);
  EXPECT_EQ(s.ledSymmetry, 1);
  clickLighting(lr::kFirstReactEnable + 6);
  EXPECT_EQ(s.ledReactEnabled[0][6], 1);
  clickLighting(lr::kUserColours);
  EXPECT_EQ(s.ledUserColorEnabled, 0);
  clickLighting(lr::kMode);
  ASSERT_NE(dlg_->popups().menu(), nullptr);
  EXPECT_EQ(dlg_->popups().menu()->kind(), MenuKind::LightingMode);
  EXPECT_EQ(s.ledMode, effect) << "opening the list changes nothing";

  // The fourth direction is drawn from the blanked picture (alone, or with the whole direction
  // area) in every effect but the one that offers it.
  const QPoint fourth = centre(region(lr::kFirstDirection + 3));
  pointerAway();
  EXPECT_EQ(dlg_->compose().pixel(fourth) == dlg_->pictures().lightingBlank().pixel(fourth),
            kFourthDirectionEffects.count(effect) == 0);
}

INSTANTIATE_TEST_SUITE_P(AllEffects, EffectTest, ::testing::Range(0, 10));

TEST_F(LightingPageTest, SlidersPressAndDragAtTheirEdges) {
  open(3);
  ProfileSettings& s = dlg_->settings();
  const SkinButton& period = region(lr::kPeriod);
  const SkinButton& brightness = region(lr::kBrightness);
  const int py = centre(period).y();
  const int by = centre(brightness).y();
  const int pRight = period.x + period.width - 1;
  const int bRight = brightness.x + brightness.width - 1;

  // A press measures from 14 pixels in, so the right end gives one step short of the top...
  pressDragRelease(QPoint(pRight, py));
  EXPECT_EQ(s.ledPeriod, 4);
  pressDragRelease(QPoint(bRight, by));
  EXPECT_EQ(s.ledBrightness, 1);
  // ...and a drag measures from the edge itself, beyond the slider on either side.
  pressDragRelease(QPoint(period.x + 5, py), {QPoint(pRight, py), QPoint(pRight + 300, py)});
  EXPECT_EQ(s.ledPeriod, 5);
  pressDragRelease(QPoint(pRight, py), {QPoint(period.x - 100, py)});
  EXPECT_EQ(s.ledPeriod, 0);
  pressDragRelease(QPoint(brightness.x, by), {QPoint(bRight + 1, by), QPoint(dlg_->width() + 50, by)});
  EXPECT_EQ(s.ledBrightness, 0);
  pressDragRelease(QPoint(bRight, by), {QPoint(-30, by)});
  EXPECT_EQ(s.ledBrightness, 6);

  // The release ended the drag: moves, even with the button held, change nothing.
  moveTo(QPoint(pRight, py));
  EXPECT_EQ(s.ledBrightness, 6);
  moveTo(QPoint(period.x + 60, py), Qt::LeftButton);
  EXPECT_EQ(s.ledPeriod, 0);
}

TEST_F(LightingPageTest, AUserColourRoundTripsThroughTheDialogAndShowsItsDisplayColour) {
  open(1);
  ProfileSettings& s = dlg_->settings();
  const SkinButton& swatch = region(lr::kFirstSwatch + 2);
  dialogs_->colours.push_back(makeColorRef(255, 0, 0));
  clickLighting(lr::kFirstSwatch + 2);
  EXPECT_EQ(s.ledUserColor[2], (ColorLevels{0, 15, 15}));
  EXPECT_EQ(s.ledUserColorRef[2], makeColorRef(255, 15, 15));
  pointerAway();
  EXPECT_EQ(QColor(dlg_->compose().pixel(centre(swatch))), QColor(255, 15, 15));

  // Cancelled: unchanged.
  dialogs_->colours.push_back(std::nullopt);
  clickLighting(lr::kFirstSwatch + 2);
  EXPECT_TRUE(dialogs_->colours.empty());
  EXPECT_EQ(s.ledUserColor[2], (ColorLevels{0, 15, 15}));

  // A colour not taking part asks nothing and its swatch stays idle; with user colours off the
  // swatch shows the skin's own colour and asks nothing either.
  const PagePictures& pictures = dlg_->pictures().page(pageNumber(Page::Lighting));
  clickLighting(lr::kFirstCycleCheck + 2);
  dialogs_->colours.push_back(makeColorRef(0, 0, 255));
  clickLighting(lr::kFirstSwatch + 2);
  pointerAway();
  EXPECT_EQ(dlg_->compose().pixel(centre(swatch)), pictures.normal.pixel(centre(swatch)));
  clickLighting(lr::kFirstCycleCheck + 2);
  clickLighting(lr::kUserColours);
  clickLighting(lr::kFirstSwatch + 2);
  EXPECT_EQ(dialogs_->colours.size(), 1U);
  EXPECT_EQ(s.ledUserColor[2], (ColorLevels{0, 15, 15}));
  pointerAway();
  EXPECT_EQ(dlg_->compose().pixel(centre(swatch)), pictures.down.pixel(centre(swatch)));
}

TEST_F(LightingPageTest, TheListsPickForTheProfileShownInEitherLanguage) {
  open(3);
  dlg_->app().currentProfile = 2;
  ProfileSettings& s = dlg_->settings();
  s.ledReactType[2] = {0, 0, 0, 0, 0, 0, 0, 0};
  s.ledReactType[0] = {1, 1, 1, 1, 1, 1, 1, 1};
  const int rowHeight = dlg_->pictures().popup(PopupPictureSet::Menu).mask.height() / 15;
  const SkinButton& box = region(lr::kMode);
  clickLighting(lr::kMode);
  CMenuDlg* menu = dlg_->popups().menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->geometry(), QRect(dlg_->mapToGlobal(QPoint(box.x, box.y + box.height)), QSize(box.width, 10 * rowHeight)));
  EXPECT_EQ(texts(*menu), (QStringList{"DPI breath", "Cycle breath", "Constantly", "Flow water", "Single water",
                                       "Comet tail", "Neon", "Ambilight", "Button response", "Mute"}));
  pointerAway();
  const QRect nameArea(box.x, box.y, box.width, box.height);
  const QImage flowWater = dlg_->compose().copy(nameArea);
  clickRow(menu, menu->rowHeight(), 9);
  QApplication::processEvents();
  EXPECT_EQ(s.ledMode, 8);
  EXPECT_FALSE(dlg_->popups().anyOpen());
  EXPECT_NE(dlg_->compose().copy(nameArea), flowWater) << "the box names the new effect";

  // Button 2's list, 3 pixels left of its box and one wider, in Chinese after the switch.
  clickMain(frame_region::kChinese);
  const SkinButton& response = region(lr::kFirstReactType + 2);
  clickLighting(lr::kFirstReactType + 2);
  menu = dlg_->popups().menu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(menu->geometry(), QRect(dlg_->mapToGlobal(QPoint(response.x - 3, response.y + response.height)),
                                    QSize(response.width + 1, 4 * rowHeight)));
  EXPECT_EQ(texts(*menu), (QStringList{"循环呼吸", "行云流水", "彗星扫尾", "单灯流水"}));
  clickRow(menu, menu->rowHeight(), 3);
  QApplication::processEvents();
  EXPECT_EQ(s.ledReactType[2], (std::array<std::int32_t, 8>{0, 0, 2, 0, 0, 0, 0, 0}));
  EXPECT_EQ(s.ledReactType[0], (std::array<std::int32_t, 8>{1, 1, 1, 1, 1, 1, 1, 1}));
  clickLighting(lr::kMode);
  ASSERT_NE(dlg_->popups().menu(), nullptr);
  EXPECT_EQ(texts(*dlg_->popups().menu()).at(8), "按键响应");

  // The check marks are the shown profile's.
  clickLighting(lr::kFirstReactEnable + 5);
  EXPECT_EQ(s.ledReactEnabled[2][5], 1);
  const QPoint mark = centre(region(lr::kFirstReactEnable + 5));
  pointerAway();
  const QRgb checked = dlg_->compose().pixel(mark);
  s.ledReactEnabled[0][5] = 0;
  dlg_->app().currentProfile = 0;
  EXPECT_NE(dlg_->compose().pixel(mark), checked);
}

TEST_F(LightingPageTest, ThePagePaintsOnlyWhenSomethingChanges) {
  open(3);
  for (const std::uint8_t period : {std::uint8_t{0}, std::uint8_t{5}}) {
    dlg_->settings().ledPeriod = period;
    dlg_->update();
    QApplication::processEvents();
    const int before = dlg_->paints();
    // Events served for a while, as an open window does: nothing asks for a paint.
    for (int i = 0; i < 30; ++i) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
      QTest::qWait(10);
    }
    EXPECT_EQ(dlg_->paints(), before) << "period " << int(period);
  }
  // A drag that does not change the value paints nothing; one that does, paints.
  const SkinButton& slider = region(lr::kPeriod);
  const int y = centre(slider).y();
  moveTo(QPoint(slider.x, y));
  send(QEvent::MouseButtonPress, QPoint(slider.x, y), Qt::LeftButton);
  QApplication::processEvents();
  const int pressed = dlg_->paints();
  moveTo(QPoint(slider.x + 2, y), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_EQ(dlg_->paints(), pressed);
  moveTo(QPoint(slider.x + slider.width - 1, y), Qt::LeftButton);  // still over the slider
  QApplication::processEvents();
  EXPECT_GT(dlg_->paints(), pressed);
  EXPECT_EQ(dlg_->settings().ledPeriod, 4);
  send(QEvent::MouseButtonRelease, QPoint(slider.x + slider.width - 1, y));
}

}  // namespace
}  // namespace quillet
