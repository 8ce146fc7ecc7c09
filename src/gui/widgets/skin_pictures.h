#pragma once
// The main window's pictures, decoded once per skin load and kept for the life of the skin:
// per page the idle, hovered and pressed pictures, the shape mask, the slider knob and the
// lighting page's blanked picture. Painting only reads them.
#include <QImage>
#include <QSize>

#include <array>
#include <filesystem>

#include "core/skin/popup_rules.h"

namespace quillet {

struct PagePictures {
  QImage normal;
  QImage over;
  QImage down;
};

// A popup's pictures: the mask gives its size, the others its rows idle, hovered and pressed.
struct PopupPictures {
  QImage mask;
  QImage normal;
  QImage over;
  QImage down;
};

// The warning dialog's pictures: its shape, its idle look and its hovered buttons.
struct WarningPictures {
  QImage mask;
  QImage normal;
  QImage over;
};

class SkinPictures {
 public:
  // Decodes every picture from `skinFolder`. A missing or unreadable picture stays null and
  // nothing is drawn from it. Returns false when the mask is missing (the window then has
  // neither size nor shape from the skin).
  bool load(const std::filesystem::path& skinFolder);

  // Page 0 main, 1 advanced, 2 macro, 3 lighting.
  const PagePictures& page(std::uint8_t page) const { return pages_[page < pages_.size() ? page : 0]; }
  const QImage& mask() const { return mask_; }
  // The 14 × 14 knob, cut from (3, 2) of moveRect.png.
  const QImage& knob() const { return knob_; }
  const QImage& lightingBlank() const { return ledNull_; }
  const PopupPictures& popup(PopupPictureSet set) const { return popups_[static_cast<std::size_t>(set)]; }
  const WarningPictures& warning() const { return warning_; }
  // The window's drawing size: the mask's size; without a mask the idle main picture's, and
  // without that too kFallbackSize. The window's shape and its composition both take it.
  QSize size() const;
  static constexpr QSize kFallbackSize{1000, 640};
  // How often load() ran; painting never decodes.
  int loads() const { return loads_; }

  // The file names of page `page`'s three pictures, for callers that decode on their own.
  static std::array<const char*, 3> pageFiles(std::uint8_t page);

 private:
  std::array<PagePictures, 4> pages_;
  QImage mask_;
  QImage knob_;
  QImage ledNull_;
  std::array<PopupPictures, kPopupPictureSetCount> popups_;
  WarningPictures warning_;
  int loads_ = 0;
};

}  // namespace quillet
