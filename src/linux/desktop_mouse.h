#pragma once
// The desktops' own mouse settings: GNOME's GSettings and KDE Plasma's configuration files.
#include <filesystem>
#include <memory>

#include "core/io/desktop_mouse.h"

namespace quillet {

// GSettings org.gnome.desktop.peripherals.mouse "speed". GNOME has no wheel-lines setting.
// The values live where the session keeps its settings (normally dconf), or, with `keyfile`,
// in that key file alone: a store of its own that nothing else reads (tests). nullptr when the
// schema is not installed.
std::unique_ptr<DesktopMouseSettings> makeGnomeMouseSettings(const std::filesystem::path& keyfile = {});

// KDE Plasma's configuration files under `configHome` (normally ~/.config): kcminputrc
// [Mouse] XLbInptPointerAcceleration and kdeglobals [KDE] WheelScrollLines.
std::unique_ptr<DesktopMouseSettings> makeKdeMouseSettings(const std::filesystem::path& configHome);

// The settings of the desktop this session runs (XDG_CURRENT_DESKTOP), or the unavailable ones.
std::unique_ptr<DesktopMouseSettings> makeDesktopMouseSettings();

}  // namespace quillet
