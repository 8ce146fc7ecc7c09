#pragma once
// The wire between the host and quillet-sim over a Unix stream socket. Every message is one
// frame: a 32-bit little-endian payload length, a type byte, the payload. Each request gets one
// reply on the same connection, in order; a connection that watches hotplug gets only
// kHotplug frames after its request.
//
//   host → simulator                         simulator → host
//   kEnumerate  (empty)                      kNodes    u8 n, n × {u16 vid, u16 pid,
//                                                       u16 len, path, u16 len, descriptor}
//   kOpen       u8 access, path              kResult   u8 0 ok / 1 failed, then data if any
//   kSetFeature report bytes                 kResult
//   kGetFeature u16 length, u8 report ID     kResult   (the reply report)
//   kRead       u32 time-out ms, u16 length  kInput    u8 ReadStatus, report bytes
//   kWatchHotplug (empty)                    kResult, then kHotplug u8 kind, path (pushed)
//   kControl    command text                 kControlReply u8 exit code, text
//
// All numbers little-endian. A frame of an unknown type or longer than kMaxFrameBytes ends the
// connection.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/io/hid_transport.h"

namespace quillet::simwire {

constexpr std::size_t kHeaderBytes = 5;
constexpr std::uint32_t kMaxFrameBytes = 256 * 1024;
// Longest report either side asks for: far beyond the mouse's 8 bytes, small enough that a
// peer's numbers cannot make the other side allocate much.
constexpr std::uint16_t kMaxReportBytes = 4096;

enum class FrameType : std::uint8_t {
  kEnumerate = 0x01,
  kOpen = 0x02,
  kSetFeature = 0x03,
  kGetFeature = 0x04,
  kRead = 0x05,
  kWatchHotplug = 0x06,
  kControl = 0x07,
  kNodes = 0x81,
  kResult = 0x82,
  kInput = 0x83,
  kHotplug = 0x84,
  kControlReply = 0x85,
};

bool isKnownType(std::uint8_t type);

struct Frame {
  FrameType type = FrameType::kEnumerate;
  std::vector<std::uint8_t> payload;
};

std::vector<std::uint8_t> encodeFrame(FrameType type, std::span<const std::uint8_t> payload);

// Cuts a byte stream into frames. Once it has met a bad header it stays failed.
class FrameReader {
 public:
  void feed(std::span<const std::uint8_t> bytes);
  // The next complete frame, if one is buffered.
  std::optional<Frame> next();
  bool failed() const { return failed_; }

 private:
  std::vector<std::uint8_t> buffer_;
  std::size_t start_ = 0;
  bool failed_ = false;
};

// Payloads. Each decoder accepts exactly what its encoder writes and nothing else.
std::vector<std::uint8_t> encodeNodes(const std::vector<HidNodeDescription>& nodes);
std::optional<std::vector<HidNodeDescription>> decodeNodes(std::span<const std::uint8_t> payload);

struct OpenRequest {
  HidAccess access = HidAccess::kRead;
  std::string path;
};
std::vector<std::uint8_t> encodeOpen(const OpenRequest& request);
std::optional<OpenRequest> decodeOpen(std::span<const std::uint8_t> payload);

struct GetFeatureRequest {
  std::uint16_t length = 0;
  std::uint8_t reportId = 0;
};
std::vector<std::uint8_t> encodeGetFeature(const GetFeatureRequest& request);
std::optional<GetFeatureRequest> decodeGetFeature(std::span<const std::uint8_t> payload);

struct ReadRequest {
  std::uint32_t timeoutMs = 0;
  std::uint16_t length = 0;
};
std::vector<std::uint8_t> encodeRead(const ReadRequest& request);
std::optional<ReadRequest> decodeRead(std::span<const std::uint8_t> payload);

struct Result {
  bool ok = false;
  std::vector<std::uint8_t> data;
};
std::vector<std::uint8_t> encodeResult(const Result& result);
std::optional<Result> decodeResult(std::span<const std::uint8_t> payload);

struct InputReply {
  ReadStatus status = ReadStatus::kError;
  std::vector<std::uint8_t> report;
};
std::vector<std::uint8_t> encodeInput(const InputReply& reply);
std::optional<InputReply> decodeInput(std::span<const std::uint8_t> payload);

std::vector<std::uint8_t> encodeHotplug(const HotplugEvent& event);
std::optional<HotplugEvent> decodeHotplug(std::span<const std::uint8_t> payload);

struct ControlReply {
  std::uint8_t exitCode = 0;
  std::string text;
};
std::vector<std::uint8_t> encodeControlReply(const ControlReply& reply);
std::optional<ControlReply> decodeControlReply(std::span<const std::uint8_t> payload);

std::vector<std::uint8_t> bytesOf(std::string_view text);
std::string textOf(std::span<const std::uint8_t> bytes);

}  // namespace quillet::simwire
