#include "firmware.h"

#include "config_map.h"
#include "core/device/configuration.h"
#include "core/device/device_event.h"
#include "core/device/device_protocol.h"
#include "core/device/macro_image.h"
#include "core/io/hex_text.h"
#include "core/settings/key_slots.h"
#include "image_walk.h"

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
        adoptConfiguration(address, length);
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

void Firmware::adoptConfiguration(std::size_t from, std::size_t length) {
  auto covers = [&](std::size_t a) { return a >= from && a < from + length; };
  if (covers(config_address::kProfile)) {
    const int profile = (memory_[config_address::kProfile] >> 5) & 0x03;
    if (profile != activeProfile_) {
      switchProfile(profile);
    }
  }
  if (covers(config_address::kDpiLevel)) {
    // 0x50 + level; anything else is no level the host could have meant.
    const std::uint8_t b = memory_[config_address::kDpiLevel];
    if ((b & 0xF8) == 0x50 && (b & 0x07) < kDpiLevels) {
      dpiLevel_ = b & 0x07;
    }
  }
}

std::uint8_t Firmware::deviceFunctionOf(int button) const {
  const auto at = keyByteAddress(activeProfile_, kButtonKeySlot[static_cast<std::size_t>(button)]);
  return at ? static_cast<std::uint8_t>(memory_[*at] & firmware_function::kMask) : 0;
}

void Firmware::stepDpi(std::uint8_t function) {
  int enabled = memory_[config_address::kDpiEnables] & 0x3F;
  if (enabled == 0) {
    enabled = 0x3F;  // nothing configured yet: every level
  }
  auto on = [&](int level) { return ((enabled >> level) & 1) != 0; };
  if (function == device_function::kDpiUp) {
    for (int l = dpiLevel_ + 1; l < kDpiLevels; ++l) {
      if (on(l)) {
        dpiLevel_ = l;
        return;
      }
    }
  } else if (function == device_function::kDpiDown) {
    for (int l = dpiLevel_ - 1; l >= 0; --l) {
      if (on(l)) {
        dpiLevel_ = l;
        return;
      }
    }
  } else {
    for (int i = 1; i <= kDpiLevels; ++i) {
      const int l = (dpiLevel_ + i) % kDpiLevels;
      if (on(l)) {
        dpiLevel_ = l;
        return;
      }
    }
  }
}

std::vector<EventReport> Firmware::press(int button) {
  button &= 0x07;
  const std::uint8_t f = deviceFunctionOf(button);
  if (device_function::changesDpi(f)) {
    stepDpi(f);
  }
  std::vector<EventReport> out{keyEvent(button, true)};
  if (f == device_function::kMacro || f == device_function::kMacroWhileHeld) {
    playMacro(button, f);
  } else if (f >= firmware_function::kProfileCycle && f <= firmware_function::kProfile4) {
    const int next =
        f == firmware_function::kProfileCycle ? (activeProfile_ + 1) % kProfiles : f - firmware_function::kProfile1;
    out.push_back(switchProfile(next));
  }
  return out;
}

std::vector<EventReport> Firmware::release(int button) {
  button &= 0x07;
  auto& running = running_[static_cast<std::size_t>(button)];
  if (running && heldPlay_[static_cast<std::size_t>(button)]) {
    running = false;
    play("stop button " + std::to_string(button));
  }
  return {keyEvent(button, false)};
}

std::vector<std::string> Firmware::takePlayLog() {
  std::vector<std::string> out;
  out.swap(playLog_);
  return out;
}

void Firmware::playMacro(int button, std::uint8_t function) {
  const auto b = static_cast<std::size_t>(button);
  const int slot = kButtonKeySlot[b];
  const std::optional<DescriptorBits> bits = readDescriptor(memory_, activeProfile_, slot);
  if (!bits) {
    play("error button " + std::to_string(button) + " has no descriptor at " +
         hexDigits(static_cast<unsigned>(descriptorAddress(activeProfile_, slot)), 4));
    return;
  }
  const MacroButtonDescriptor& d = bits->fields;
  const PlayKind kind = playKindOf(*bits, function);
  if (kind == PlayKind::kToggle && running_[b]) {
    running_[b] = false;
    play("stop button " + std::to_string(button));
    return;
  }
  const ImageWalk walk = walkImage(memory_, d.imageAddress, d.eventCount);
  const int rounds = walk.loops == 0 ? 1 : walk.loops;
  play("start button " + std::to_string(button) + " profile " + std::to_string(activeProfile_ + 1) + " image " +
       hexDigits(d.imageAddress, 4) + " mode " + playKindName(kind) + " rounds " + std::to_string(rounds));
  int played = 0;
  for (int r = 0; r < rounds; ++r) {
    for (const ImageStep& step : walk.steps) {
      if (played == maxStepsPerPress_) {
        play("cut after " + std::to_string(played) + " steps");
        return;
      }
      ++played;
      if (step.kind == ImageStep::Kind::kCpiSet) {
        macroCpi_ = step.code;
      } else if (step.kind == ImageStep::Kind::kCpiReset) {
        macroCpi_ = 0;
      }
      for (const std::string& line : stepLines(step)) {
        play(line);
      }
    }
    if (walk.error) {
      play("error " + *walk.error);
      return;  // a damaged image is not played again
    }
  }
  if (kind == PlayKind::kCount) {
    play("end button " + std::to_string(button));
  } else {
    running_[b] = true;
    heldPlay_[b] = kind == PlayKind::kWhileHeld;
  }
}

EventReport Firmware::switchProfile(int index) {
  for (int b = 0; b < kButtons; ++b) {
    if (running_[static_cast<std::size_t>(b)] && (index & 0x03) != activeProfile_) {
      running_[static_cast<std::size_t>(b)] = false;
      play("stop button " + std::to_string(b));
    }
  }
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
  const std::string consumer = hexDigits(lastConsumerUsage_, 4);
  std::string out;
  auto line = [&](const char* key, const std::string& value) { out += std::string(key) + " " + value + "\n"; };
  line("profile", std::to_string(activeProfile_ + 1));
  line("device-value", std::to_string(deviceValue_));
  line("dpi-level", std::to_string(dpiLevel_));
  line("macro-cpi", macroCpi_ == 0 ? "none" : std::to_string(macroCpi_));
  std::string running;
  for (int b = 0; b < kButtons; ++b) {
    if (running_[static_cast<std::size_t>(b)]) {
      running += (running.empty() ? "" : " ") + std::to_string(b);
    }
  }
  line("macros-running", running.empty() ? "none" : running);
  line("key-hold", keyHeld_ ? "pressed" : "released");
  line("consumer-key", counters_.consumerKeys == 0 ? "none" : consumer);
  line("consumer-keys", std::to_string(counters_.consumerKeys));
  line("host-exit", hostExited_ ? "yes" : "no");
  line("blocks-committed", std::to_string(counters_.blocksCommitted));
  line("blocks-rejected", std::to_string(counters_.blocksRejected));
  line("finishes", std::to_string(counters_.finishes));
  line("downloads-closed", std::to_string(counters_.downloadsClosed));
  line("unknown-reports", std::to_string(counters_.unknownReports));
  return out + describeConfiguration(memory_);
}

}  // namespace quillet::sim
