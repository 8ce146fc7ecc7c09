#pragma once
// The mouse's firmware as the host sees it: a 16 KiB memory written by the block write, the
// status report, the input reports it sends, and what it makes of the host's other commands.
// Single-threaded: SimMouse serialises every call.
//
// The block write: WriteByte reports are staged for their block (address and length); a
// Commit of that block applies them only when every byte of the block has arrived and the block
// lies inside the memory; EndBlock drops the staging. A WriteByte of another block starts a new
// staging, so a block broken off half-way never reaches the memory.
#include <array>
#include <bitset>
#include <cstdint>
#include <span>
#include <string>

#include "sim_descriptors.h"

namespace quillet::sim {

constexpr std::size_t kMemoryBytes = 0x4000;
constexpr int kProfiles = 4;
constexpr int kButtons = 8;

using EventReport = std::array<std::uint8_t, kEventReportBytes>;
using StatusReport = std::array<std::uint8_t, kFeatureReportBytes>;

class Firmware {
 public:
  explicit Firmware(std::uint8_t deviceValue = 0) : deviceValue_(static_cast<std::uint8_t>(deviceValue & 0x0F)) {}

  // One feature report from the host, report ID first.
  void receive(std::span<const std::uint8_t> report);
  StatusReport status() const;

  // Input reports of the mouse's own actions.
  EventReport keyEvent(int button, bool pressed) const;
  // Switches the active profile (0..3) and gives the event that announces it.
  EventReport switchProfile(int index);
  static EventReport adjustEvent(bool up);

  const std::array<std::uint8_t, kMemoryBytes>& memory() const { return memory_; }
  int activeProfile() const { return activeProfile_; }
  std::uint8_t deviceValue() const { return deviceValue_; }
  int dpiLevel() const { return dpiLevel_; }

  // "key value" lines: what the firmware holds and has been told.
  std::string describe() const;

  struct Counters {
    int blocksCommitted = 0;
    int blocksRejected = 0;  // commits without every byte, of another block, or outside the memory
    int finishes = 0;
    int downloadsClosed = 0;  // EndBlock at address 0 after a Finish
    int consumerKeys = 0;
    int unknownReports = 0;
  };
  const Counters& counters() const { return counters_; }
  bool keyHeld() const { return keyHeld_; }
  std::uint16_t lastConsumerUsage() const { return lastConsumerUsage_; }
  bool hostExited() const { return hostExited_; }

 private:
  void memoryWrite(std::span<const std::uint8_t, 8> r);

  struct Staging {
    bool active = false;
    std::uint16_t address = 0;
    std::uint8_t lastIndex = 0;
    std::array<std::uint8_t, 256> bytes{};
    std::bitset<256> received;
  };

  std::array<std::uint8_t, kMemoryBytes> memory_{};
  Staging staging_;
  bool finishPending_ = false;
  int activeProfile_ = 0;
  std::uint8_t deviceValue_ = 0;
  int dpiLevel_ = 0;
  bool keyHeld_ = false;
  std::uint16_t lastConsumerUsage_ = 0;
  bool hostExited_ = false;
  Counters counters_;
};

}  // namespace quillet::sim
