#pragma once
// The report descriptors the simulated mouse presents, one device node each: a plain mouse
// (buttons, X, Y, wheel), the event collection (usage page 0xFF00, usage 1, input report 6 of
// 8 bytes) and the command collection (usage page 0xFF01, usage 1, feature report 7 of 8 bytes).
#include <array>
#include <cstdint>
#include <span>

namespace quillet::sim {

enum class NodeRole : std::uint8_t { kMouse = 0, kEvents = 1, kCommands = 2 };
constexpr std::size_t kNodeCount = 3;

// Length of input report 6 and feature report 7 on the wire, report ID included.
constexpr std::size_t kEventReportBytes = 8;
constexpr std::size_t kFeatureReportBytes = 8;

std::span<const std::uint8_t> descriptorOf(NodeRole role);

}  // namespace quillet::sim
