#pragma once
// Macro recording: the keys the user presses and releases become the steps of the macro being
// recorded, with the pauses played between them. The recorder works on the window thread with
// keyboard messages in the Windows form (key down / up, system key down / up, a virtual-key
// code) and times of day in milliseconds, whatever captured them; it writes the steps straight
// into the macro it records.
//
// The rules, in the order they apply to each message:
// - a key without a keyboard usage (media and browser keys) is not recorded;
// - a message equal to the one handled last is a key repeating while held: no step;
// - a recording holds at most 110 steps, and at most 55 of them presses;
// - a press of a key already held, or of a tenth key while nine are held, is not recorded (a
//   press whose release the macro could not hold would leave a key down when it plays);
// - a release of a key whose press was not recorded is not recorded;
// - each step's pause: the time since the step before (a day is added across midnight, cut to
//   65,535 ms) becomes the delay of the step before, and the new step's delay is 20 ms, so the
//   last step lets go 20 ms after it.
//
// Nothing reaches the group file here: the page's saves write the macro as they always do.
#include <array>
#include <chrono>
#include <cstdint>
#include <span>

#include "core/macro/macro_record.h"
#include "core/macro/virtual_keys.h"

namespace quillet {

// The keyboard messages a recording takes, by their Windows numbers.
namespace key_message {
constexpr unsigned kKeyDown = 0x100;
constexpr unsigned kKeyUp = 0x101;
constexpr unsigned kSysKeyDown = 0x104;
constexpr unsigned kSysKeyUp = 0x105;
constexpr bool isKeyMessage(unsigned m) { return m == kKeyDown || m == kKeyUp || m == kSysKeyDown || m == kSysKeyUp; }
constexpr bool isDown(unsigned m) { return m == kKeyDown || m == kSysKeyDown; }
}  // namespace key_message

// The message a key event is, as Windows would report it: the system forms for F10, for the
// Alt keys themselves and for any key while an Alt key is held without a Control key.
unsigned keyMessageOf(bool down, std::uint8_t vkCode, bool altHeld, bool controlHeld);

constexpr int kRecordMaxSteps = 110;
constexpr int kRecordMaxPresses = 55;
constexpr int kRecordMaxHeldKeys = 9;
constexpr std::uint16_t kRecordLastDelay = 20;
constexpr std::uint32_t kDayMs = 86'400'000;

// Milliseconds since midnight, UTC. Tests script it.
class TimeOfDay {
 public:
  virtual ~TimeOfDay() = default;
  virtual std::uint32_t nowMs() const = 0;
};

// The system clock's time of day.
class SystemTimeOfDay final : public TimeOfDay {
 public:
  std::uint32_t nowMs() const override;
};

// The time of day of key events from their timestamps: the milliseconds of a running counter
// that the window system stamps each event with (X11's server time, Wayland's event time; it
// wraps after 49 days). The first event after restart() is placed at the clock's time of day;
// every later one at that time plus its distance in the counter, so the pauses are the ones the
// keyboard played, not the ones the window thread happened to see. An event without a
// timestamp (0) takes the clock's time.
class KeyTimeline {
 public:
  explicit KeyTimeline(const TimeOfDay& clock) : clock_(clock) {}
  void restart() { anchored_ = false; }
  std::uint32_t timeOfDay(std::uint32_t eventStamp);

 private:
  const TimeOfDay& clock_;
  bool anchored_ = false;
  std::uint32_t anchorStamp_ = 0;
  std::uint32_t anchorTime_ = 0;
};

class MacroRecorder {
 public:
  // What became of one message.
  enum class Outcome : std::uint8_t {
    Recorded,  // a step was added
    Repeat,    // the same message again (a held key): dropped
    Passed,    // not recorded (a limit, a key not held): passed on to the window
  };

  bool recording() const { return macro_ != nullptr; }

  // Starts recording into `macro`: it becomes the blank record with its own name, played once
  // in mode 0. The held keys are forgotten: keys held now are not the recording's.
  void start(Macro& macro);
  // Ends the recording; the macro keeps the steps recorded.
  void stop();

  // One keyboard message (key_message) of key `vkCode` at `timeOfDayMs`. Only while recording.
  Outcome key(unsigned message, std::uint8_t vkCode, std::uint32_t timeOfDayMs);

  int recordedCount() const { return recorded_; }
  int pressCount() const { return presses_; }
  std::span<const std::uint8_t> heldKeys() const { return {held_.data(), static_cast<std::size_t>(heldCount_)}; }

 private:
  bool isHeld(std::uint8_t vkCode) const;
  void release(std::uint8_t vkCode);

  Macro* macro_ = nullptr;
  int recorded_ = 0;
  int presses_ = 0;
  std::array<std::uint8_t, kRecordMaxHeldKeys> held_{};
  int heldCount_ = 0;
  bool haveLast_ = false;
  unsigned lastMessage_ = 0;
  std::uint8_t lastKey_ = 0;
  std::uint32_t lastStepTime_ = 0;
};

}  // namespace quillet
