#include "gui/widgets/skin_pictures.h"

namespace quillet {

namespace {

// Decoded into the format the composition is drawn in, so that every copy is a plain blit.
QImage decode(const std::filesystem::path& file) {
  QImage image(QString::fromStdString(file.string()));
  if (image.isNull()) {
    return image;
  }
  return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

QSize SkinPictures::size() const {
  if (!mask_.isNull()) {
    return mask_.size();
  }
  return pages_[0].normal.isNull() ? kFallbackSize : pages_[0].normal.size();
}

std::array<const char*, 3> SkinPictures::pageFiles(std::uint8_t page) {
  switch (page) {
    case 1:
      return {"advanced_normal.jpg", "advanced_over.jpg", "advanced_down.jpg"};
    case 2:
      return {"mac_normal.jpg", "mac_over.jpg", "mac_down.jpg"};
    case 3:
      return {"led_normal.jpg", "led_over.jpg", "led_down.jpg"};
    default:
      return {"main_normal.jpg", "main_over.jpg", "main_down.jpg"};
  }
}

bool SkinPictures::load(const std::filesystem::path& skinFolder) {
  ++loads_;
  for (std::uint8_t p = 0; p < pages_.size(); ++p) {
    const auto files = pageFiles(p);
    pages_[p] = {decode(skinFolder / files[0]), decode(skinFolder / files[1]), decode(skinFolder / files[2])};
  }
  mask_ = decode(skinFolder / "main_mask.jpg");
  const QImage knob(QString::fromStdString((skinFolder / "moveRect.png").string()));
  knob_ = knob.isNull() ? QImage() : knob.copy(3, 2, 14, 14).convertToFormat(QImage::Format_ARGB32_Premultiplied);
  ledNull_ = decode(skinFolder / "led_null.jpg");
  for (std::size_t i = 0; i < popups_.size(); ++i) {
    const PopupPictureFiles& files = popupPictureFiles(static_cast<PopupPictureSet>(i));
    popups_[i] = {decode(skinFolder / files.mask), decode(skinFolder / files.normal), decode(skinFolder / files.over),
                  decode(skinFolder / files.down)};
  }
  warning_ = {decode(skinFolder / "warning_mask.jpg"), decode(skinFolder / "warning_normal.jpg"),
              decode(skinFolder / "warning_over.jpg")};
  return !mask_.isNull();
}

}  // namespace quillet
