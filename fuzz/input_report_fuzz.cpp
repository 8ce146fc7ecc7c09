// Any bytes as an input report and as a status reply, as the host decodes them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/device/device_event.h"
#include "core/device/device_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const quillet::DeviceEvent e = quillet::decodeEvent({data, size});
  if (e.kind != quillet::DeviceEvent::Kind::kNotAnEvent && (size < 2 || data[0] != quillet::kInputReportId)) {
    std::abort();
  }
  if (e.button && (*e.button < 0 || *e.button >= quillet::kButtonCount)) {
    std::abort();
  }
  if (e.dpiLevel > quillet::kDpiLevelMask) {
    std::abort();
  }
  if (const auto s = quillet::decodeStatus({data, size})) {
    if (s->profileIndex < 0 || s->profileIndex > 3 || s->deviceValue > 15) {
      std::abort();
    }
  }
  return 0;
}
