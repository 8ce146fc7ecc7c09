#pragma once
// The mouse's firmware as the host sees it: a 16 KiB memory written by the block write, the
// status report, the input reports it sends, and what it makes of the host's other commands.
// Single-threaded: SimMouse serialises every call.
//
// The block write: WriteByte reports are staged for their block (address and length); a
// Commit of that block applies them only when every byte of the block has arrived and the block
// lies inside the memory; EndBlock drops the staging. A WriteByte of another block starts a new
// staging, so a block broken off half-way never reaches the memory. A committed block that holds
// the host's current profile (0x0001) or DPI level (0x0018) makes them the firmware's own.
//
// Buttons: a press looks up the button's key byte in the active profile. DPI up, down and cycle
// move the DPI level among the enabled levels (up and down stop at the ends, the cycle wraps; a
// configuration that enables none counts as all six enabled) before the key event reports it.
// The profile functions switch the active profile and send event 3 after the key event. The
// macro functions follow the slot's descriptor to its image and play it (playback below).
//
// Playback is deterministic and never sleeps: every step is logged, its pause included, as
// "PLAY ..." lines that the mouse's log carries (takePlayLog). A count-mode macro plays its loop
// word of rounds per press (a loop word of 0 plays one round). A toggle macro plays its rounds at
// the press that starts it and is stopped by the next press. A while-held macro plays its rounds
// at the press and is stopped by the release. No press plays more than kMaxStepsPerPress steps.
// A damaged image (an address past the memory, a step that runs past it, an LED block that
// claims more than 16 entries) ends the playback with a "PLAY error ..." line.
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "sim_descriptors.h"

namespace quillet::sim {

constexpr std::size_t kMemoryBytes = 0x4000;
constexpr int kProfiles = 4;
constexpr int kButtons = 8;
constexpr int kMaxStepsPerPress = 10000;

using EventReport = std::array<std::uint8_t, kEventReportBytes>;
using StatusReport = std::array<std::uint8_t, kFeatureReportBytes>;

class Firmware {
 public:
  // `maxStepsPerPress` bounds each press's playback (a fuzzer gives a small one, so that it
  // reaches the bound often and cheaply).
  explicit Firmware(std::uint8_t deviceValue = 0, int maxStepsPerPress = kMaxStepsPerPress)
      : deviceValue_(static_cast<std::uint8_t>(deviceValue & 0x0F)), maxStepsPerPress_(maxStepsPerPress) {}

  // One feature report from the host, report ID first.
  void receive(std::span<const std::uint8_t> report);
  StatusReport status() const;

  // The user presses or releases a button (0..7): the input reports it causes, in order. The
  // playback it causes is logged (takePlayLog).
  std::vector<EventReport> press(int button);
  std::vector<EventReport> release(int button);
  // The playback lines logged since the last call, without "PLAY ".
  std::vector<std::string> takePlayLog();

  // Input reports of the mouse's own actions.
  EventReport keyEvent(int button, bool pressed) const;
  // Switches the active profile (0..3) and gives the event that announces it.
  EventReport switchProfile(int index);
  static EventReport adjustEvent(bool up);

  const std::array<std::uint8_t, kMemoryBytes>& memory() const { return memory_; }
  // Puts `bytes` into the memory from address 0 (the rest stays), as if downloaded: for tests
  // and fuzzing, which need a memory without the reports that write it.
  void loadMemory(std::span<const std::uint8_t> bytes) {
    std::copy_n(bytes.begin(), std::min(bytes.size(), memory_.size()), memory_.begin());
  }
  int activeProfile() const { return activeProfile_; }
  std::uint8_t deviceValue() const { return deviceValue_; }
  int dpiLevel() const { return dpiLevel_; }
  // The CPI index a macro's CPI step set, 0 when none is in force.
  std::uint8_t macroCpi() const { return macroCpi_; }
  bool macroRunning(int button) const { return running_[static_cast<std::size_t>(button & 7)]; }

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
  void adoptConfiguration(std::size_t from, std::size_t length);
  std::uint8_t deviceFunctionOf(int button) const;
  void stepDpi(std::uint8_t function);
  void playMacro(int button, std::uint8_t function);
  void play(const std::string& line) { playLog_.push_back(line); }

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
  int maxStepsPerPress_ = kMaxStepsPerPress;
  int dpiLevel_ = 0;
  std::uint8_t macroCpi_ = 0;
  std::array<bool, kButtons> running_{};   // a toggle or while-held macro started on the button
  std::array<bool, kButtons> heldPlay_{};  // ... and it is a while-held one
  std::vector<std::string> playLog_;
  bool keyHeld_ = false;
  std::uint16_t lastConsumerUsage_ = 0;
  bool hostExited_ = false;
  Counters counters_;
};

}  // namespace quillet::sim
