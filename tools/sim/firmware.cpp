#include "firmware.h"

#include <cstdio>

#include "device/device_event.h"
#include "device/device_protocol.h"

namespace quillet::sim {

void Firmware::receive(std::span<const std::uint8_t> report) {
  // Commands are eight bytes; a longer report carries nothing more for the firmware.
  if (report.size() < kCommandBytes || report[0] != kFeatureReportId) {
    ++counters_.unknownReports;
    return;
  }
  const auto r = report.first<8>();
  switch (r[1]) {
    case command::kMemoryWrite:
      memoryWrite(r);
      break;
    case command::kKeyHold:
      keyHeld_ = r[2] == command::kHoldPressed;
      break;
    case command::kConsumerKey:
      lastConsumerUsage_ = static_cast<std::uint16_t>((r[2] << 8) | r[3]);
      ++counters_.consumerKeys;
      break;
    case command::kHostExit:
      hostExited_ = true;
      break;
    default:
      ++counters_.unknownReports;
      break;
  }
}

void Firmware::memoryWrite(std::span<const std::uint8_t, 8> r) {
  const auto address = static_cast<std::uint16_t>(r[4] | (r[5] << 8));
  switch (r[2]) {
    case command::kWriteByte: {
      const std::uint8_t index = r[3];
      const std::uint8_t lastIndex = r[7];
      if (!staging_.active || staging_.address != address || staging_.lastIndex != lastIndex) {
        staging_ = Staging{};
        staging_.active = true;
        staging_.address = address;
        staging_.lastIndex = lastIndex;
      }
      if (index <= lastIndex) {
        staging_.bytes[index] = r[6];
        staging_.received.set(index);
      }
      break;
    }
    case command::kCommit: {
      const std::uint8_t lastIndex = r[7];
      const std::size_t length = static_cast<std::size_t>(lastIndex) + 1;
      bool complete = staging_.active && staging_.address == address && staging_.lastIndex == lastIndex &&
                      address + length <= kMemoryBytes;
      for (std::size_t i = 0; complete && i < length; ++i) {
        complete = staging_.received.test(i);
      }
      if (complete) {
        for (std::size_t i = 0; i < length; ++i) {
          memory_[address + i] = staging_.bytes[i];
        }
        ++counters_.blocksCommitted;
      } else {
        ++counters_.blocksRejected;
      }
      staging_.active = false;
      break;
    }
    case command::kEndBlock:
      staging_.active = false;
      if (address == 0 && finishPending_) {
        finishPending_ = false;
        ++counters_.downloadsClosed;
      }
      break;
    case command::kFinish:
      finishPending_ = true;
      ++counters_.finishes;
      break;
    default:
      ++counters_.unknownReports;
      break;
  }
}

StatusReport Firmware::status() const {
  StatusReport s{};
  s[0] = kFeatureReportId;
  s[kStatusProfileByte] = static_cast<std::uint8_t>((activeProfile_ & 0x03) << 2);
  s[kStatusDeviceValueByte] = static_cast<std::uint8_t>(deviceValue_ & 0x0F);
  return s;
}

EventReport Firmware::keyEvent(int button, bool pressed) const {
  EventReport e{};
  e[0] = kInputReportId;
  e[1] = kKeyEventCodes[static_cast<std::size_t>(button & 0x07)];
  e[2] = static_cast<std::uint8_t>((pressed ? kKeyPressedBit : 0) | (dpiLevel_ & kDpiLevelMask));
  return e;
}

EventReport Firmware::switchProfile(int index) {
  activeProfile_ = index & 0x03;
  EventReport e{};
  e[0] = kInputReportId;
  e[1] = event_code::kProfileChanged;
  return e;
}

EventReport Firmware::adjustEvent(bool up) {
  EventReport e{};
  e[0] = kInputReportId;
  e[1] = up ? event_code::kAdjustUp : event_code::kAdjustDown;
  return e;
}

std::string Firmware::describe() const {
  char consumer[8];
  std::snprintf(consumer, sizeof consumer, "%04X", lastConsumerUsage_);
  std::string out;
  auto line = [&](const char* key, const std::string& value) { out += std::string(key) + " " + value + "\n"; };
  line("profile", std::to_string(activeProfile_ + 1));
  line("device-value", std::to_string(deviceValue_));
  line("dpi-level", std::to_string(dpiLevel_));
  line("key-hold", keyHeld_ ? "pressed" : "released");
  line("consumer-key", counters_.consumerKeys == 0 ? "none" : consumer);
  line("consumer-keys", std::to_string(counters_.consumerKeys));
  line("host-exit", hostExited_ ? "yes" : "no");
  line("blocks-committed", std::to_string(counters_.blocksCommitted));
  line("blocks-rejected", std::to_string(counters_.blocksRejected));
  line("finishes", std::to_string(counters_.finishes));
  line("downloads-closed", std::to_string(counters_.downloadsClosed));
  line("unknown-reports", std::to_string(counters_.unknownReports));
  return out;
}

}  // namespace quillet::sim
