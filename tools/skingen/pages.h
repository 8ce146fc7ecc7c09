#pragma once
// The skin's pictures, each drawn from the layout files' rectangles.
#include <QImage>

#include "skin_source.h"
#include "style.h"

namespace skingen {

enum class Page { Main, Advanced, Macro, Lighting };

// A window shape: black inside the rounded rectangle, white outside, hard-edged so that the
// utility's mask rule finds the same edge in the decoded JPEG.
QImage renderMask(QSize size, int cornerRadius);

// A page of the main window with the common frame, every control in state `s`. Every picture
// but the masks is drawn in the layout's coordinates at `scale` device pixels per pixel: 1 for
// the skin's files, 2 for their "@2x" twins.
QImage renderPage(const Skin& skin, Page page, State s, int scale = 1);
// The lighting page with every mode-dependent block blanked out.
QImage renderLightingBlanked(const Skin& skin, int scale = 1);

// Popup pictures: the menu set (profile, group, lighting and sub-menus), the button-function
// menu and the three-item menu. Their masks are plain black pictures of the same size.
QImage renderMenu(const Skin& skin, State s, int scale = 1);
QImage renderFunctionMenu(const Skin& skin, State s, int scale = 1);
QImage renderMoreMenu(const Skin& skin, int scale = 1);

QImage renderWarning(const Skin& skin, State s, int scale = 1);
QImage renderSurvey(const Skin& skin, State s, int scale = 1);

}  // namespace skingen
