#include "core/io/desktop_mouse.h"

#include <algorithm>
#include <cmath>

namespace quillet {
namespace {

constexpr int kMinSpeed = 1;
constexpr int kMaxSpeed = 20;

class Unavailable final : public DesktopMouseSettings {
 public:
  std::string name() const override { return "none"; }
  std::optional<int> pointerSpeed() override { return std::nullopt; }
  bool setPointerSpeed(int) override { return false; }
  std::optional<int> wheelScrollLines() override { return std::nullopt; }
  bool setWheelScrollLines(int) override { return false; }
};

}  // namespace

double windowsSpeedToUnit(int speed) {
  const int s = std::clamp(speed, kMinSpeed, kMaxSpeed);
  return -1.0 + 2.0 * (s - kMinSpeed) / (kMaxSpeed - kMinSpeed);
}

int unitToWindowsSpeed(double unit) {
  if (!std::isfinite(unit)) {
    unit = 0.0;
  }
  const double s = kMinSpeed + (std::clamp(unit, -1.0, 1.0) + 1.0) * (kMaxSpeed - kMinSpeed) / 2.0;
  return std::clamp(static_cast<int>(std::lround(s)), kMinSpeed, kMaxSpeed);
}

std::unique_ptr<DesktopMouseSettings> makeUnavailableMouseSettings() { return std::make_unique<Unavailable>(); }

}  // namespace quillet
