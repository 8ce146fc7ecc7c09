#pragma once
// The application's icon (window, notification area, minimised window), drawn in the skin's
// colours so that it needs no file of its own.
#include <QIcon>
#include <QImage>

namespace quillet {

QImage appIconImage(int size);
QIcon appIcon();

}  // namespace quillet
