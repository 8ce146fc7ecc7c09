#pragma once
// The application's identity on the desktop: the name of its desktop entry, its icon, its
// AppStream component and its Wayland app id.
#include <array>

namespace quillet {

inline constexpr const char* kAppId = "org.quillet.Quillet";
// The sizes of the icon in the hicolor theme.
inline constexpr std::array<int, 8> kAppIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

}  // namespace quillet
