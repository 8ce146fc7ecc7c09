#include "core/device/device_event.h"

#include "core/device/reports.h"

namespace quillet {

DeviceEvent decodeEvent(std::span<const std::uint8_t> report) {
  DeviceEvent e;
  if (report.size() < 2 || report[0] != kInputReportId) {
    return e;
  }
  e.code = report[1];
  const std::uint8_t data = report.size() > 2 ? report[2] : 0;
  if (e.code > event_code::kNoKey) {
    e.kind = DeviceEvent::Kind::kKey;
    e.button = buttonOfKeyCode(e.code);
    e.pressed = (data & kKeyPressedBit) != 0;
    e.dpiLevel = static_cast<std::uint8_t>(data & kDpiLevelMask);
  } else if (e.code == event_code::kNoKey) {
    e.kind = DeviceEvent::Kind::kNone;
  } else if (e.code == event_code::kProfileChanged) {
    e.kind = DeviceEvent::Kind::kProfileChanged;
  } else if (e.code == event_code::kAdjustUp) {
    e.kind = DeviceEvent::Kind::kAdjustUp;
  } else if (e.code == event_code::kAdjustDown) {
    e.kind = DeviceEvent::Kind::kAdjustDown;
  } else {
    e.kind = DeviceEvent::Kind::kAdjust;
  }
  return e;
}

}  // namespace quillet
