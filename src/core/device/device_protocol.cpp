#include "core/device/device_protocol.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/io/hex_text.h"
#include "core/settings/consumer_usage.h"

namespace quillet {

std::optional<DeviceStatus> decodeStatus(std::span<const std::uint8_t> reply) {
  if (reply.size() <= kStatusDeviceValueByte) {
    return std::nullopt;
  }
  DeviceStatus s;
  s.profileIndex = (reply[kStatusProfileByte] >> 2) & 0x03;
  s.deviceValue = static_cast<std::uint8_t>(reply[kStatusDeviceValueByte] & 0x0F);
  return s;
}

bool DeviceProtocol::sendCommand(const CommandBytes& bytes) {
  std::lock_guard lock(transaction_);
  const auto channel = link_.commandChannel();
  std::copy(bytes.begin(), bytes.end(), report_.bytes.begin());
  return sendLocked(channel);
}

bool DeviceProtocol::sendShort(const command::ShortCommand& bytes) {
  std::lock_guard lock(transaction_);
  const auto channel = link_.commandChannel();
  std::copy(bytes.begin(), bytes.end(), report_.bytes.begin());
  return sendLocked(channel);
}

bool DeviceProtocol::writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) {
  std::lock_guard lock(transaction_);
  if (data.empty() || data.size() > kMaxBlockLength || address + data.size() - 1 > 0xFFFF) {
    if (trace_) {
      trace_("SET not sent: a block of " + std::to_string(data.size()) + " bytes at " + std::to_string(address));
    }
    return false;
  }
  const auto lastIndex = static_cast<std::uint8_t>(data.size() - 1);
  const auto channel = link_.commandChannel();
  auto send = [&](const CommandBytes& bytes) {
    std::copy(bytes.begin(), bytes.end(), report_.bytes.begin());
    return sendLocked(channel);
  };
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (!send(command::writeByte(static_cast<std::uint8_t>(i), address, data[i], lastIndex))) {
      return false;
    }
  }
  clock_.sleepFor(kBlockPause);
  if (!send(command::commit(address, lastIndex))) {
    return false;
  }
  clock_.sleepFor(kBlockPause);
  return send(command::endBlock(address));
}

bool DeviceProtocol::endDownload() {
  std::lock_guard lock(transaction_);
  const auto channel = link_.commandChannel();
  std::copy(command::kFinishCommand.begin(), command::kFinishCommand.end(), report_.bytes.begin());
  if (!sendLocked(channel)) {
    return false;
  }
  clock_.sleepFor(kDownloadEndPause);
  const CommandBytes end = command::endBlock(0);
  std::copy(end.begin(), end.end(), report_.bytes.begin());
  return sendLocked(channel);
}

std::optional<DeviceStatus> DeviceProtocol::readStatus() {
  std::lock_guard lock(transaction_);
  const auto channel = link_.commandChannel();
  report_.bytes[0] = kFeatureReportId;
  std::size_t received = 0;
  if (!getLocked(channel, received)) {
    return std::nullopt;
  }
  return decodeStatus(std::span(report_.bytes.data(), received));
}

bool DeviceProtocol::keyHold(bool pressed) {
  return sendCommand(pressed ? command::kHoldPressedCommand : command::kHoldReleasedCommand);
}

bool DeviceProtocol::consumerKey(ButtonFunction code) { return sendShort(command::consumerKey(consumerUsageOf(code))); }

bool DeviceProtocol::hostExit() { return sendShort(command::kHostExitCommand); }

void DeviceProtocol::setTrace(std::function<void(std::string_view)> trace) {
  std::lock_guard lock(transaction_);
  trace_ = std::move(trace);
}

FeatureReport DeviceProtocol::buffer() const {
  std::lock_guard lock(transaction_);
  return report_;
}

bool DeviceProtocol::usable(const DeviceLink::CommandChannel& channel, std::string_view direction) {
  if (!channel.handle) {
    if (trace_) {
      trace_(std::string(direction) + " not sent: the command collection is not open");
    }
    return false;
  }
  if (channel.featureLength < kCommandBytes || channel.featureLength > kReportBufferBytes) {
    if (trace_) {
      trace_(std::string(direction) + " not sent: feature report length " + std::to_string(channel.featureLength) +
             " is not 8..256");
    }
    return false;
  }
  return true;
}

bool DeviceProtocol::sendLocked(const DeviceLink::CommandChannel& channel) {
  if (!usable(channel, "SET")) {
    return false;
  }
  report_.bytes[0] = kFeatureReportId;
  const std::span<const std::uint8_t> out(report_.bytes.data(), channel.featureLength);
  const bool ok = channel.handle->sendFeatureReport(out);
  trace("SET", out, ok);
  return ok;
}

bool DeviceProtocol::getLocked(const DeviceLink::CommandChannel& channel, std::size_t& received) {
  if (!usable(channel, "GET")) {
    return false;
  }
  // Into a copy: a failed or short answer must leave the buffer as it was.
  FeatureReport reply = report_;
  const auto got = channel.handle->getFeatureReport(std::span(reply.bytes.data(), channel.featureLength));
  const bool ok = got && *got > kStatusDeviceValueByte && *got <= channel.featureLength && reply.bytes[0] == kFeatureReportId;
  trace("GET", std::span<const std::uint8_t>(reply.bytes.data(), got ? std::min<std::size_t>(*got, channel.featureLength) : 0), ok);
  if (!ok) {
    return false;
  }
  std::copy_n(reply.bytes.begin(), *got, report_.bytes.begin());
  received = *got;
  return true;
}

void DeviceProtocol::trace(std::string_view direction, std::span<const std::uint8_t> bytes, bool ok) {
  if (!trace_) {
    return;
  }
  std::string line(direction);
  if (!bytes.empty()) {
    line += ' ';
    line += hexBytes(bytes);
  }
  if (!ok) {
    line += " (failed)";
  }
  trace_(line);
}

bool traceReportsIfAsked(DeviceProtocol& protocol, std::function<void(std::string_view)> sink) {
  const char* trace = std::getenv(kHidLogVariable);
  if (trace == nullptr || *trace == '\0') {
    return false;
  }
  protocol.setTrace(std::move(sink));
  return true;
}

}  // namespace quillet
