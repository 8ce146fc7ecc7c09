#pragma once
// The mouse's command protocol: every command is feature report 7 on the command collection,
// byte 1 the command, bytes 2-7 its operands; device memory is written only by the block write;
// the only answer the host reads is the status report.
//
// DeviceProtocol is the one object through which commands reach the mouse. Each operation (a
// command, a block write with its pauses, the download end, a status read) is one transaction
// under one lock, so no other thread's command lands between the reports of another.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "core/device/block_writer.h"
#include "core/device/clock.h"
#include "core/device/device_link.h"
#include "core/device/reports.h"
#include "core/settings/button_function.h"

namespace quillet {

namespace command {

constexpr std::uint8_t kMemoryWrite = 0x18;
constexpr std::uint8_t kKeyHold = 0x11;
constexpr std::uint8_t kConsumerKey = 0x17;
constexpr std::uint8_t kHostExit = 0x20;

// Byte 2 of a memory write.
constexpr std::uint8_t kWriteByte = 0x03;
constexpr std::uint8_t kCommit = 0x09;
constexpr std::uint8_t kEndBlock = 0x00;
constexpr std::uint8_t kFinish = 0x10;

// Byte 2 of KeyHold.
constexpr std::uint8_t kHoldPressed = 0x02;
constexpr std::uint8_t kHoldReleased = 0x00;

// Device addresses go low byte first.
constexpr std::uint8_t lowByte(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }
constexpr std::uint8_t highByte(std::uint16_t v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); }

// 07 18 03 i aL aH d m: data byte i of the block at a, m = block length - 1.
constexpr CommandBytes writeByte(std::uint8_t index, std::uint16_t address, std::uint8_t data, std::uint8_t lastIndex) {
  return {kFeatureReportId, kMemoryWrite, kWriteByte, index, lowByte(address), highByte(address), data, lastIndex};
}
// 07 18 09 00 aL aH 00 m: every byte of the block has been sent.
constexpr CommandBytes commit(std::uint16_t address, std::uint8_t lastIndex) {
  return {kFeatureReportId, kMemoryWrite, kCommit, 0, lowByte(address), highByte(address), 0, lastIndex};
}
// 07 18 00 00 aL aH 00 00: end of the block; with address 0 it closes a download.
constexpr CommandBytes endBlock(std::uint16_t address) {
  return {kFeatureReportId, kMemoryWrite, kEndBlock, 0, lowByte(address), highByte(address), 0, 0};
}
constexpr CommandBytes kFinishCommand = {kFeatureReportId, kMemoryWrite, kFinish, 0, 0, 0, 0, 0};
constexpr CommandBytes kHoldPressedCommand = {kFeatureReportId, kKeyHold, kHoldPressed, 0, 0, 0, 0, 0};
constexpr CommandBytes kHoldReleasedCommand = {kFeatureReportId, kKeyHold, kHoldReleased, 0, 0, 0, 0, 0};

// Commands that set bytes 0-3 only; bytes 4-7 keep what the buffer held.
using ShortCommand = std::array<std::uint8_t, 4>;
// 07 17 uH uL: a consumer usage, high byte first (unlike addresses).
constexpr ShortCommand consumerKey(std::uint16_t usage) {
  return {kFeatureReportId, kConsumerKey, highByte(usage), lowByte(usage)};
}
constexpr ShortCommand kHostExitCommand = {kFeatureReportId, kHostExit, 0, 0};

}  // namespace command

// Status report byte 6 bits 2-3: the profile active in the mouse; byte 7 bits 0-3: a value of
// the firmware's that the host keeps and writes back unchanged.
struct DeviceStatus {
  int profileIndex = 0;  // 0..3
  std::uint8_t deviceValue = 0;
  int profileNumber() const { return profileIndex + 1; }
  bool operator==(const DeviceStatus&) const = default;
};
constexpr std::size_t kStatusProfileByte = 6;
constexpr std::size_t kStatusDeviceValueByte = 7;

// The status in a feature reply (report ID first); nullopt when the reply is too short to hold it.
std::optional<DeviceStatus> decodeStatus(std::span<const std::uint8_t> reply);

class DeviceProtocol final : public BlockWriter {
 public:
  static constexpr std::chrono::milliseconds kBlockPause{5};         // before the commit, before the end
  static constexpr std::chrono::milliseconds kDownloadEndPause{10};  // between Finish and the closing end
  static constexpr std::size_t kMaxBlockLength = 8;

  DeviceProtocol(DeviceLink& link, Clock& clock) : link_(link), clock_(clock) {}

  // Sends bytes 0-7 as one feature report. False when the mouse could not be reached.
  [[nodiscard]] bool sendCommand(const CommandBytes& bytes);

  // The block write: the data bytes one report each with no pause, 5 ms, the commit, 5 ms, the
  // end. Blocks of 1..8 bytes that do not run past address 0xFFFF; anything else is refused
  // without a report. Stops at the first report the mouse does not take (it is gone, and the
  // pauses would only make the caller wait) and returns false.
  [[nodiscard]] bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) override;

  // After the last block of a download: Finish, 10 ms, the end with address 0.
  [[nodiscard]] bool endDownload();

  // The status read: byte 0 set to 7, the other bytes as they are, the feature report read back
  // into the buffer. nullopt when the mouse did not answer with a whole status (the buffer then
  // keeps what it held).
  std::optional<DeviceStatus> readStatus();

  [[nodiscard]] bool keyHold(bool pressed);
  // ConsumerKey of the usage of multimedia function `code`; bytes 4-7 are left as they are.
  [[nodiscard]] bool consumerKey(ButtonFunction code);
  // HostExit: the host program is closing.
  [[nodiscard]] bool hostExit();

  // Every report that passes, as "SET <hex>", "GET <hex>" or a line on why it was not sent, to
  // `trace` (empty: none). Set before the device threads start.
  void setTrace(std::function<void(std::string_view)> trace);

  // The feature buffer as it is now.
  FeatureReport buffer() const;

 private:
  [[nodiscard]] bool sendShort(const command::ShortCommand& bytes);
  // The one way a feature report leaves or enters the host: checks the collection's length and
  // traces the bytes.
  [[nodiscard]] bool sendLocked(const DeviceLink::CommandChannel& channel);
  bool getLocked(const DeviceLink::CommandChannel& channel, std::size_t& received);
  bool usable(const DeviceLink::CommandChannel& channel, std::string_view direction);
  void trace(std::string_view direction, std::span<const std::uint8_t> bytes, bool ok);

  DeviceLink& link_;
  Clock& clock_;
  mutable std::mutex transaction_;
  FeatureReport report_;
  std::function<void(std::string_view)> trace_;
};

// The one trace switch of every program: with QUILLET_HID_LOG set (not empty) every report a
// protocol sends or reads goes to `sink`, as "SET <hex>", "GET <hex>" or why it was not sent.
// Returns whether the trace is on (the device threads then trace their actions too).
constexpr const char* kHidLogVariable = "QUILLET_HID_LOG";
bool traceReportsIfAsked(DeviceProtocol& protocol, std::function<void(std::string_view)> sink);

}  // namespace quillet
