// The picture store and the window drawn from it: 2× pictures where the skin has them and the
// screen is dense, the 1× ones otherwise, hit tests and shapes in the layout's pixels whatever
// the ratio, and pictures decoded only once something draws from them.
#include <QImageReader>

#include "window_fixture.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using test::WindowTest;

// Removes every "@2x" file of a skin folder: a user's or an older skin.
void removeDoubles(const fs::path& skins) {
  for (const fs::directory_entry& e : fs::directory_iterator(skins)) {
    if (e.path().filename().string().find("@2x") != std::string::npos) {
      fs::remove(e.path());
    }
  }
}

class SkinPicturesTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::copy(fs::path(QUILLET_BIN_DIR) / "skins", skins_, fs::copy_options::recursive); }
  QSize logicalSize(Picture id) const {
    return QImageReader(QString::fromStdString((skins_ / pictureFile(id)).string())).size();
  }

  test::TempDir dir_;
  fs::path skins_ = dir_ / "skins";
};

struct RatioCase {
  Picture id;
  qreal ratio;
  bool doubles;  // the skin has its 2× files
  qreal held;    // the scale of the picture handed out
};

TEST_F(SkinPicturesTest, HandsOutThePictureForTheRatio) {
  const RatioCase cases[] = {
      {Picture::MainNormal, 1.0, true, 1.0},
      {Picture::MainNormal, 2.0, true, 2.0},
      {Picture::MainNormal, 1.5, true, 1.5},
      {Picture::AdvancedDown, 2.0, true, 2.0},
      {Picture::MenuOver, 2.0, true, 2.0},
      {Picture::WarningNormal, 1.25, true, 1.25},
      {Picture::Knob, 2.0, true, 2.0},
      {Picture::MainNormal, 2.0, false, 1.0},
      {Picture::MenuOver, 1.5, false, 1.0},
      {Picture::Knob, 2.0, false, 1.0},
      // Masks shape windows in the layout's pixels, whatever the ratio.
      {Picture::MainMask, 2.0, true, 1.0},
      {Picture::FunctionMenuMask, 2.0, true, 1.0},
  };
  SkinPictures with, without;
  ASSERT_TRUE(with.load(skins_));
  test::TempDir plainDir;
  fs::copy(skins_, plainDir / "skins", fs::copy_options::recursive);
  removeDoubles(plainDir / "skins");
  ASSERT_TRUE(without.load(plainDir / "skins"));
  for (const RatioCase& c : cases) {
    SCOPED_TRACE(std::string(pictureFile(c.id)) + " at " + std::to_string(c.ratio) + (c.doubles ? "" : ", 1× only"));
    const QImage& image = (c.doubles ? with : without).picture(c.id, c.ratio);
    ASSERT_FALSE(image.isNull());
    const QSize logical = c.id == Picture::Knob ? QSize(14, 14) : logicalSize(c.id);
    EXPECT_EQ(image.devicePixelRatio(), c.held);
    EXPECT_EQ(image.size(), devicePixels(logical, c.held));
    EXPECT_EQ(image.deviceIndependentSize().toSize(), logical);
  }
  EXPECT_EQ(with.size(), logicalSize(Picture::MainMask));
}

// A 2× file that is not twice the 1× picture would shift every region copied from it: the
// 1× picture serves instead.
TEST_F(SkinPicturesTest, ADoubleOfTheWrongSizeIsPassedOver) {
  fs::copy_file(skins_ / "main_over.jpg", skins_ / "main_over@2x.jpg", fs::copy_options::overwrite_existing);
  SkinPictures pictures;
  ASSERT_TRUE(pictures.load(skins_));
  EXPECT_EQ(pictures.picture(Picture::MainOver, 2.0).devicePixelRatio(), 1.0);
  EXPECT_EQ(pictures.picture(Picture::MainDown, 2.0).devicePixelRatio(), 2.0);
}

class SkinPicturesWindowTest : public WindowTest {
 protected:
  static QPoint doubled(QPoint p) { return p * 2; }
};

// At ratio 2 the composition has twice the pixels; a region is copied from the same logical
// place of the 2× picture, and what the pointer is over is still found in logical pixels.
TEST_F(SkinPicturesWindowTest, ComposesAtRatioTwoFromTheDoublePictures) {
  start();
  const SkinLayouts& l = dlg_->layouts();
  const QSize logical = dlg_->pictures().size();
  EXPECT_EQ(dlg_->size(), logical);
  EXPECT_EQ(dlg_->mask().boundingRect().size(), logical) << "the shape is in the layout's pixels";

  const SkinButton& apply = l.main[frame_region::kApply];
  moveTo(centre(apply));
  ASSERT_EQ(dlg_->hover().main, frame_region::kApply);
  const QImage composed = dlg_->compose(2.0);
  EXPECT_EQ(composed.size(), logical * 2);
  EXPECT_EQ(composed.devicePixelRatio(), 2.0);
  const QImage& over = dlg_->pictures().picture(Picture::MainOver, 2.0);
  const QImage& normal = dlg_->pictures().picture(Picture::MainNormal, 2.0);
  ASSERT_EQ(over.devicePixelRatio(), 2.0);
  // The Apply button's corner (clear of its label) from the hovered picture, the window's bottom
  // edge from the idle one, both at their doubled places.
  const QPoint corner = doubled(QPoint(apply.x + 2, apply.y + 2));
  EXPECT_EQ(composed.pixel(corner), over.pixel(corner));
  const QPoint edge = doubled(QPoint(logical.width() / 2, logical.height() - 3));
  EXPECT_EQ(composed.pixel(edge), normal.pixel(edge));
}

// A skin without 2× pictures still draws at ratio 2: every picture from its 1× file, scaled up.
TEST_F(SkinPicturesWindowTest, ASkinWithoutDoublesDrawsAtRatioTwo) {
  start(false, removeDoubles);
  const SkinLayouts& l = dlg_->layouts();
  const SkinButton& tab = l.main[frame_region::kFirstTab + pageNumber(Page::Advanced)];
  clickMain(frame_region::kFirstTab + pageNumber(Page::Advanced));
  const QImage composed = dlg_->compose(2.0);
  ASSERT_EQ(composed.size(), dlg_->pictures().size() * 2);
  const QImage& down = dlg_->pictures().picture(pagePicture(pageNumber(Page::Advanced), PageState::Down), 2.0);
  const QImage& normal = dlg_->pictures().picture(pagePicture(pageNumber(Page::Advanced), PageState::Normal), 2.0);
  ASSERT_EQ(down.devicePixelRatio(), 1.0);
  // The page's own tab shows pressed, the bottom edge idle: each device pixel from the 1×
  // pixel it covers.
  const QPoint inTab(tab.x + 2, tab.y + 2);
  EXPECT_EQ(composed.pixel(doubled(inTab) + QPoint(1, 1)), down.pixel(inTab));
  const QPoint edge(dlg_->width() / 2, dlg_->height() - 3);
  EXPECT_EQ(composed.pixel(doubled(edge)), normal.pixel(edge));
  EXPECT_EQ(dlg_->compose(1.0).pixel(inTab), down.pixel(inTab)) << "ratio 1 draws as before";
}

TEST_F(SkinPicturesWindowTest, DecodesOnlyWhatIsShownAndLetsGoOfPagesLeft) {
  start();
  const SkinPictures& pictures = dlg_->pictures();
  EXPECT_TRUE(pictures.decoded(Picture::MainNormal));
  EXPECT_TRUE(pictures.decoded(Picture::MainDown)) << "the frame's tab and language button";
  EXPECT_FALSE(pictures.decoded(Picture::MainMask)) << "let go once the shape was taken";
  for (const Picture id : {Picture::AdvancedNormal, Picture::AdvancedDown, Picture::MacroNormal,
                           Picture::LightingNormal, Picture::LightingBlank, Picture::Knob, Picture::MenuNormal,
                           Picture::FunctionMenuNormal, Picture::LibraryMenuNormal, Picture::WarningNormal}) {
    EXPECT_FALSE(pictures.decoded(id)) << pictureFile(id);
  }
  EXPECT_LE(pictures.decodes(), 4) << "mask, idle, pressed, hovered";

  // Hovering the macro tab decodes that page ahead of the click.
  moveTo(centre(dlg_->layouts().main[frame_region::kFirstTab + pageNumber(Page::Macro)]));
  for (int turn = 0; turn < 20 && !pictures.decoded(Picture::MacroDown); ++turn) {
    QApplication::processEvents();
  }
  EXPECT_TRUE(pictures.decoded(Picture::MacroNormal));
  EXPECT_TRUE(pictures.decoded(Picture::MacroDown));

  clickMain(frame_region::kFirstTab + pageNumber(Page::Macro));
  dlg_->repaint();
  EXPECT_FALSE(pictures.decoded(Picture::MainNormal)) << "the main page is no longer shown";
  EXPECT_FALSE(pictures.decoded(Picture::MainOver));
  // Back on the main page it is drawn as before.
  clickMain(frame_region::kFirstTab + pageNumber(Page::Main));
  const QPoint edge(dlg_->width() / 2, dlg_->height() - 3);
  EXPECT_EQ(dlg_->compose().pixel(edge), pictures.page(pageNumber(Page::Main)).normal.pixel(edge));
}

}  // namespace
}  // namespace quillet
