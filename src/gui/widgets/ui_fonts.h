#pragma once
// The two faces of the skinned windows, requested by family: "Arial" resolves to its
// metric-compatible substitute, and "微软雅黑" falls back to the CJK faces the set-up installs.
#include <QFont>

#include "core/settings/app_state.h"

namespace quillet {

QFont latinUiFont(double points);
QFont chineseUiFont(double points);
// The face of `language`: Latin for English, Chinese for Chinese.
QFont uiFontFor(Language language, double points);

}  // namespace quillet
