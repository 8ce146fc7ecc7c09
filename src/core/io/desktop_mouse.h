#pragma once
// The desktop's own mouse settings that a download sets from the settings model: the pointer
// speed and the lines one wheel notch scrolls. Speeds are on the Windows scale 1..20, the scale
// the settings model's speed levels are defined on. A getter that returns nullopt means that
// this desktop has no such setting; the caller then leaves it alone.
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace quillet {

class DesktopMouseSettings {
 public:
  virtual ~DesktopMouseSettings() = default;
  // Which desktop's settings these are: "GNOME", "KDE" or "none".
  virtual std::string name() const = 0;
  virtual std::optional<int> pointerSpeed() = 0;
  [[nodiscard]] virtual bool setPointerSpeed(int speed) = 0;
  virtual std::optional<int> wheelScrollLines() = 0;
  [[nodiscard]] virtual bool setWheelScrollLines(int lines) = 0;
};

// Windows speed 1..20 mapped linearly onto the −1..1 of the desktops' acceleration settings,
// and back (rounded, clamped to 1..20).
double windowsSpeedToUnit(int speed);
int unitToWindowsSpeed(double unit);

// A desktop without either setting.
std::unique_ptr<DesktopMouseSettings> makeUnavailableMouseSettings();

}  // namespace quillet
