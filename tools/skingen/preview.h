#pragma once
// Previews for checking a skin by eye: the generated pictures composed as the utility composes a
// page (hovered and pressed regions, sample live state, the knob) with the labels of both
// languages drawn in. Written beside the build, never shipped.
#include <QString>

#include "skin_source.h"

namespace skingen {

// Reads the pictures from `pictures` and writes preview_*.png into `out`. Returns false when a
// picture cannot be read or a preview cannot be written.
bool writePreviews(const Skin& english, const Skin& chinese, const QString& pictures, const QString& out);

}  // namespace skingen
