#pragma once
// The two report buffers of the host and the fixed layout of the mouse's reports.
//
// Feature report 7 (command collection, usage page 0xFF01): byte 0 the report ID, byte 1 the
// command, bytes 2-7 its operands. Every command and the status read use this one buffer, so
// bytes a command does not set keep what the previous report or status read left there.
//
// Input report 6 (event collection, usage page 0xFF00): byte 0 the report ID, byte 1 the event
// code, byte 2 the event data.
#include <array>
#include <cstddef>
#include <cstdint>

namespace quillet {

constexpr std::uint8_t kFeatureReportId = 7;
constexpr std::uint8_t kInputReportId = 6;

// Both buffers hold 256 bytes; a collection whose reports are longer is not the mouse.
constexpr std::size_t kReportBufferBytes = 256;
// Commands use bytes 0-7 only, and the status read's answer lies in them too.
constexpr std::size_t kCommandBytes = 8;

constexpr std::uint16_t kEventUsagePage = 0xFF00;
constexpr std::uint16_t kCommandUsagePage = 0xFF01;
constexpr std::uint16_t kVendorUsage = 1;

struct FeatureReport {
  std::array<std::uint8_t, kReportBufferBytes> bytes{};
};

struct InputReport {
  std::array<std::uint8_t, kReportBufferBytes> bytes{};
  std::size_t length = 0;  // bytes of the last report read
};

static_assert(sizeof(FeatureReport::bytes) == kReportBufferBytes);
static_assert(sizeof(InputReport::bytes) == kReportBufferBytes);
static_assert(kCommandBytes <= kReportBufferBytes);

using CommandBytes = std::array<std::uint8_t, kCommandBytes>;

}  // namespace quillet
