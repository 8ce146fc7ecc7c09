#pragma once
// The composition of the main window: the shown page's idle picture with the hovered region,
// the page's live state, the common frame and the labels drawn over it, off-screen (the window's
// backing store, or an image), shown with one copy.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <optional>

#include "core/macro/group_list.h"
#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"
#include "core/skin/skin_layout.h"
#include "core/skin/window_rules.h"
#include "gui/widgets/skin_pictures.h"

namespace quillet {

// How far a running download is: blocks written of blocks to write.
struct ApplyProgressView {
  std::size_t sent = 0;
  std::size_t total = 0;
};

// Everything a composition reads; all of it belongs to the window thread.
struct RenderInput {
  const AppState& app;
  const ProfileSettings& settings;
  const SkinLayouts& layouts;
  const MacroNameTable& macroNames;
  HoverIndexes hover;
  QFont font;                               // the UI font of the current language
  bool recording = false;                   // a macro is being recorded
  std::optional<std::uint8_t> playMode;     // the selected macro's play-mode byte, if one is selected
  std::optional<ApplyProgressView> applyProgress;  // while a download runs
  qreal ratio = 1.0;                               // the device pixel ratio to compose at
};

// Paints the current page with `painter`, whose device (the window, or an image of the window's
// size) has the input's device pixel ratio: the shown page's pictures for that ratio, its live
// state, the common frame and the labels. Layout coordinates stay logical throughout; only the
// pixels get denser. The window paints straight into its backing store, which Qt then shows
// with one copy; drawing is limited to the painter's clip.
void paintWindow(QPainter& painter, const SkinPictures& pictures, const RenderInput& input);

// The same into `target`, which is made the size of the pictures (the mask's size) in logical
// pixels at the input's ratio when it is not.
void composeWindow(QImage& target, const SkinPictures& pictures, const RenderInput& input);

// A label's colour as the skin's colour reference (red in the low byte).
QColor colorOf(ColorRef ref);

}  // namespace quillet
