#pragma once
// The skin's pictures for the main window, its popups and the warning dialog, decoded when they
// are first drawn rather than all at once: the start-up decodes the mask (the window's size and
// shape) and, with the first paint, what the main page shows. The window asks for the rest on
// idle moments ahead of need, and may let go of what a page it left no longer shows.
//
// Every picture exists at two sizes: the skin's file (1×, in the layout's logical pixels) and,
// beside it, an optional file of twice the size named with "@2x" before the extension
// ("main_normal@2x.jpg"). Drawing at a device pixel ratio above 1 uses the 2× file, resampled
// once to the ratio when it is not 2; a skin without 2× files, or with one of the wrong size, is
// drawn from its 1× pictures at every ratio. Sizes, shapes, hit tests and layouts are always
// taken from the 1× pictures.
//
// Everything here belongs to the window thread: drawing reads through a const store, which
// decodes on first use.
#include <QImage>
#include <QSize>
#include <array>
#include <cstdint>
#include <filesystem>

#include "core/skin/popup_rules.h"

namespace quillet {

// Every picture the store holds, one per file.
enum class Picture : std::uint8_t {
  MainMask,
  MainNormal,
  MainOver,
  MainDown,
  AdvancedNormal,
  AdvancedOver,
  AdvancedDown,
  MacroNormal,
  MacroOver,
  MacroDown,
  LightingNormal,
  LightingOver,
  LightingDown,
  LightingBlank,  // led_null.jpg
  Knob,           // the 14 × 14 area at (3, 2) of moveRect.png
  MenuMask,
  MenuNormal,
  MenuOver,
  MenuDown,
  FunctionMenuMask,
  FunctionMenuNormal,
  FunctionMenuOver,
  FunctionMenuDown,
  LibraryMenuMask,
  LibraryMenuNormal,
  WarningMask,
  WarningNormal,
  WarningOver,
};
inline constexpr std::size_t kPictureCount = static_cast<std::size_t>(Picture::WarningOver) + 1;

// The file a picture is decoded from, relative to the skin folder (its 1× name).
const char* pictureFile(Picture id);

enum class PageState : std::uint8_t { Normal, Over, Down };
// Page 0 main, 1 advanced, 2 macro, 3 lighting (others: the main page).
Picture pagePicture(std::uint8_t page, PageState state);

// A popup's four pictures; the three-item menu shares its hovered and pressed rows with the menu set.
struct PopupPictureIds {
  Picture mask;
  Picture normal;
  Picture over;
  Picture down;
};
PopupPictureIds popupPictureIds(PopupPictureSet set);

// Decoded 1× pictures, as tests and tools read them.
struct PagePictures {
  QImage normal;
  QImage over;
  QImage down;
};
struct PopupPictures {
  QImage mask;
  QImage normal;
  QImage over;
  QImage down;
};
struct WarningPictures {
  QImage mask;
  QImage normal;
  QImage over;
};

// The whole device pixels that `logical` pixels cover at device pixel ratio `ratio`.
QSize devicePixels(QSize logical, qreal ratio);

class SkinPictures {
 public:
  // Takes the pictures of `skinFolder`, forgetting every picture decoded before, and decodes the
  // mask, whose size stays known after the mask is released. A missing or unreadable picture
  // stays null and nothing is drawn from it. Returns false when the mask is missing (the window
  // then has neither size nor shape from the skin).
  bool load(const std::filesystem::path& skinFolder);

  // The picture to draw at device pixel ratio `ratio`, decoded now if it is not yet. Its
  // devicePixelRatio() says the scale it holds: 1 for the 1× picture, `ratio` for one from the
  // 2× file, so that QPainter draws either at the picture's logical size; a source rectangle
  // is that scale times the logical one. The reference stays valid until the picture is
  // released, decoded for another ratio, or the skin loads again.
  const QImage& picture(Picture id, qreal ratio = 1.0) const;
  // True when `id` is held decoded for `ratio` (or known to be missing).
  bool ready(Picture id, qreal ratio = 1.0) const;
  // True when any size of `id` is held decoded.
  bool decoded(Picture id) const;
  // Lets go of every decoded size of `id`; the next use decodes it again.
  void release(Picture id);
  // How many picture files were decoded since the skin loaded.
  int decodes() const { return decodes_; }

  // The 1× pictures, decoded on the call.
  PagePictures page(std::uint8_t page) const;
  const QImage& mask() const { return picture(Picture::MainMask); }
  const QImage& knob() const { return picture(Picture::Knob); }
  const QImage& lightingBlank() const { return picture(Picture::LightingBlank); }
  PopupPictures popup(PopupPictureSet set) const;
  WarningPictures warning() const;

  // The window's drawing size in logical pixels: the mask's size; without a mask the idle main
  // picture's, and without that too kFallbackSize. The window's shape and its composition both
  // take it.
  QSize size() const;
  static constexpr QSize kFallbackSize{1000, 640};
  // How often load() ran.
  int loads() const { return loads_; }

  // The file names of page `page`'s three pictures, for callers that decode on their own.
  static std::array<const char*, 3> pageFiles(std::uint8_t page);

 private:
  struct Entry {
    QImage base;    // the 1× picture
    QImage scaled;  // the picture for scaledRatio, from the 2× file
    qreal scaledRatio = 0;
    bool baseTried = false;
    bool scaledTried = false;
  };
  const QImage& base(Picture id) const;
  QImage decodeScaled(Picture id, qreal ratio) const;

  std::filesystem::path folder_;
  QSize maskSize_;
  mutable std::array<Entry, kPictureCount> entries_;
  mutable int decodes_ = 0;
  int loads_ = 0;
};

}  // namespace quillet
