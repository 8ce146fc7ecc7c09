#include "gui/widgets/skin_pictures.h"

#include <QImageReader>
#include <cmath>
#include <string_view>

namespace quillet {

namespace {

// By Picture; the popups' names are the popup rules' own.
constexpr std::array<const char*, kPictureCount> kFiles{
    "main_mask.jpg",
    "main_normal.jpg",
    "main_over.jpg",
    "main_down.jpg",
    "advanced_normal.jpg",
    "advanced_over.jpg",
    "advanced_down.jpg",
    "mac_normal.jpg",
    "mac_over.jpg",
    "mac_down.jpg",
    "led_normal.jpg",
    "led_over.jpg",
    "led_down.jpg",
    "led_null.jpg",
    "moveRect.png",
    kMenuPictures.mask,
    kMenuPictures.normal,
    kMenuPictures.over,
    kMenuPictures.down,
    kFunctionMenuPictures.mask,
    kFunctionMenuPictures.normal,
    kFunctionMenuPictures.over,
    kFunctionMenuPictures.down,
    kLibraryMenuPictures.mask,
    kLibraryMenuPictures.normal,
    "warning_mask.jpg",
    "warning_normal.jpg",
    "warning_over.jpg",
};
// The three-item menu's hovered and pressed rows are the menu set's pictures (popupPictureIds).
static_assert(std::string_view(kLibraryMenuPictures.over) == kMenuPictures.over &&
              std::string_view(kLibraryMenuPictures.down) == kMenuPictures.down);

// The knob is cut from its file: this area, in 1× pixels.
constexpr QRect kKnobArea(3, 2, 14, 14);

std::size_t indexOf(Picture id) { return static_cast<std::size_t>(id); }

// Whether `id` is drawn from its 2× file at `ratio`. Masks never are: a window's shape is in the
// layout's pixels.
bool drawnScaled(Picture id, qreal ratio) {
  switch (id) {
    case Picture::MainMask:
    case Picture::MenuMask:
    case Picture::FunctionMenuMask:
    case Picture::LibraryMenuMask:
    case Picture::WarningMask:
      return false;
    default:
      return ratio > 1.0;
  }
}

// "main_normal.jpg" -> "main_normal@2x.jpg".
std::filesystem::path doubleFile(const std::filesystem::path& file) {
  std::filesystem::path twice = file;
  twice.replace_filename(file.stem().string() + "@2x" + file.extension().string());
  return twice;
}

QString qpath(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

// Into the format the composition is drawn in, so that every copy is a plain blit; the knob
// keeps its transparency.
QImage prepared(QImage image, Picture id) {
  if (image.isNull()) {
    return image;
  }
  return image.convertToFormat(id == Picture::Knob ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
}

}  // namespace

QSize devicePixels(QSize logical, qreal ratio) {
  return QSize(static_cast<int>(std::lround(logical.width() * ratio)),
               static_cast<int>(std::lround(logical.height() * ratio)));
}

const char* pictureFile(Picture id) { return kFiles[indexOf(id)]; }

Picture pagePicture(std::uint8_t page, PageState state) {
  static constexpr std::array<std::array<Picture, 3>, 4> kPages{{
      {Picture::MainNormal, Picture::MainOver, Picture::MainDown},
      {Picture::AdvancedNormal, Picture::AdvancedOver, Picture::AdvancedDown},
      {Picture::MacroNormal, Picture::MacroOver, Picture::MacroDown},
      {Picture::LightingNormal, Picture::LightingOver, Picture::LightingDown},
  }};
  return kPages[page < kPages.size() ? page : 0][static_cast<std::size_t>(state)];
}

PopupPictureIds popupPictureIds(PopupPictureSet set) {
  switch (set) {
    case PopupPictureSet::FunctionMenu:
      return {Picture::FunctionMenuMask, Picture::FunctionMenuNormal, Picture::FunctionMenuOver,
              Picture::FunctionMenuDown};
    case PopupPictureSet::LibraryMenu:
      return {Picture::LibraryMenuMask, Picture::LibraryMenuNormal, Picture::MenuOver, Picture::MenuDown};
    case PopupPictureSet::Menu:
      break;
  }
  return {Picture::MenuMask, Picture::MenuNormal, Picture::MenuOver, Picture::MenuDown};
}

std::array<const char*, 3> SkinPictures::pageFiles(std::uint8_t page) {
  return {pictureFile(pagePicture(page, PageState::Normal)), pictureFile(pagePicture(page, PageState::Over)),
          pictureFile(pagePicture(page, PageState::Down))};
}

bool SkinPictures::load(const std::filesystem::path& skinFolder) {
  ++loads_;
  folder_ = skinFolder;
  entries_ = {};
  decodes_ = 0;
  maskSize_ = mask().size();
  return !mask().isNull();
}

const QImage& SkinPictures::base(Picture id) const {
  Entry& e = entries_[indexOf(id)];
  if (!e.baseTried) {
    e.baseTried = true;
    ++decodes_;
    QImage image(qpath(folder_ / pictureFile(id)));
    if (id == Picture::Knob && !image.isNull()) {
      image = image.copy(kKnobArea);
    }
    e.base = prepared(std::move(image), id);
  }
  return e.base;
}

QImage SkinPictures::decodeScaled(Picture id, qreal ratio) const {
  const std::filesystem::path file = folder_ / pictureFile(id);
  const std::filesystem::path twice = doubleFile(file);
  std::error_code ec;
  if (!std::filesystem::exists(twice, ec)) {
    return {};
  }
  // A 2× file serves only when it is exactly twice the 1× picture (read from the headers): any
  // other size would shift every region copied from it.
  const QSize logical = QImageReader(qpath(file)).size();
  if (!logical.isValid() || QImageReader(qpath(twice)).size() != logical * 2) {
    return {};
  }
  ++decodes_;
  QImage image(qpath(twice));
  if (image.isNull()) {
    return image;
  }
  QSize shown = logical;
  if (id == Picture::Knob) {
    image = image.copy(QRect(kKnobArea.topLeft() * 2, kKnobArea.size() * 2));
    shown = kKnobArea.size();
  }
  image = prepared(std::move(image), id);
  if (ratio != 2.0) {
    // Fractional scales are resampled from the 2× picture once, so that drawing stays a blit.
    image = image.scaled(devicePixels(shown, ratio), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }
  image.setDevicePixelRatio(ratio);
  return image;
}

const QImage& SkinPictures::picture(Picture id, qreal ratio) const {
  if (!drawnScaled(id, ratio)) {
    return base(id);
  }
  Entry& e = entries_[indexOf(id)];
  if (!e.scaledTried || e.scaledRatio != ratio) {
    e.scaledTried = true;
    e.scaledRatio = ratio;
    e.scaled = decodeScaled(id, ratio);
  }
  return e.scaled.isNull() ? base(id) : e.scaled;
}

bool SkinPictures::ready(Picture id, qreal ratio) const {
  const Entry& e = entries_[indexOf(id)];
  if (!drawnScaled(id, ratio)) {
    return e.baseTried;
  }
  // A ratio whose 2× file is missing falls back on the 1× picture, which must be there too.
  return e.scaledTried && e.scaledRatio == ratio && (!e.scaled.isNull() || e.baseTried);
}

bool SkinPictures::decoded(Picture id) const {
  const Entry& e = entries_[indexOf(id)];
  return !e.base.isNull() || !e.scaled.isNull();
}

void SkinPictures::release(Picture id) { entries_[indexOf(id)] = Entry{}; }

PagePictures SkinPictures::page(std::uint8_t page) const {
  return {picture(pagePicture(page, PageState::Normal)), picture(pagePicture(page, PageState::Over)),
          picture(pagePicture(page, PageState::Down))};
}

PopupPictures SkinPictures::popup(PopupPictureSet set) const {
  const PopupPictureIds ids = popupPictureIds(set);
  return {picture(ids.mask), picture(ids.normal), picture(ids.over), picture(ids.down)};
}

WarningPictures SkinPictures::warning() const {
  return {picture(Picture::WarningMask), picture(Picture::WarningNormal), picture(Picture::WarningOver)};
}

QSize SkinPictures::size() const {
  if (!maskSize_.isEmpty()) {
    return maskSize_;
  }
  const QImage& main = picture(Picture::MainNormal);
  return main.isNull() ? kFallbackSize : main.size();
}

}  // namespace quillet
