#pragma once
// The composition of the main window: the shown page's idle picture with the hovered region,
// the page's live state, the common frame and the labels drawn over it, off-screen (the window's
// backing store, or an image), shown with one copy.
#include <QFont>
#include <QImage>
#include <QPainter>
#include <cstdint>
#include <optional>

#include "core/settings/app_state.h"
#include "core/skin/skin_layout.h"
#include "core/skin/window_rules.h"
#include "gui/widgets/skin_pictures.h"
#include "gui/widgets/window_painter.h"

namespace quillet {

// How far a running download is: blocks written of blocks to write.
struct ApplyProgressView {
  std::size_t sent = 0;
  std::size_t total = 0;
};

// Everything a composition reads besides the page's own state; all of it belongs to the window
// thread.
struct RenderInput {
  const AppState& app;
  const SkinLayouts& layouts;
  const PageLayer& page;                    // the page shown: draws its state and labels
  HoverIndexes hover;
  QFont font;                               // the UI font of the current language
  std::optional<ApplyProgressView> applyProgress;  // while a download runs
  qreal ratio = 1.0;                               // the device pixel ratio to compose at
};

// Paints the current page with `painter`, whose device (the window, or an image of the window's
// size) has the input's device pixel ratio: the shown page's idle picture for that ratio, the
// page's layer (its hovered region and live state), the common frame, the frame's labels and the
// page's. Layout coordinates stay logical throughout; only the pixels get denser. The window
// paints straight into its backing store, which Qt then shows with one copy; drawing is limited
// to the painter's clip.
void paintWindow(QPainter& painter, const SkinPictures& pictures, const RenderInput& input);

// The same into `target`, which is made the size of the pictures (the mask's size) in logical
// pixels at the input's ratio when it is not.
void composeWindow(QImage& target, const SkinPictures& pictures, const RenderInput& input);

}  // namespace quillet
