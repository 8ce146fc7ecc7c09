#pragma once
// A skinned window's shape as Qt takes it: the mask picture read by the mask rule
// (ui/window_shape.h), and the shape as a QRegion for setMask and repaints.
#include <QImage>
#include <QRegion>

#include "core/skin/window_shape.h"

namespace quillet {

// The shape of `mask`, which is read in Format_RGB32 (other formats are converted first).
WindowShape shapeOf(const QImage& mask);

QRegion regionOf(const WindowShape& shape);

}  // namespace quillet
