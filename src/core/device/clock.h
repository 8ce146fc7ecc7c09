#pragma once
// The pauses of the device protocol go through a clock, so that tests can record them instead
// of sleeping.
#include <chrono>
#include <mutex>
#include <vector>

namespace quillet {

class Clock {
 public:
  virtual ~Clock() = default;
  // Returns after `pause` at the earliest.
  virtual void sleepFor(std::chrono::microseconds pause) = 0;
};

// Sleeps for real.
class SteadyClock final : public Clock {
 public:
  void sleepFor(std::chrono::microseconds pause) override;
};

// Returns at once and keeps every pause asked for, in order. May be shared by threads.
class RecordingClock final : public Clock {
 public:
  void sleepFor(std::chrono::microseconds pause) override {
    std::lock_guard lock(mutex_);
    pauses_.push_back(pause);
  }
  std::vector<std::chrono::microseconds> pauses() const {
    std::lock_guard lock(mutex_);
    return pauses_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::chrono::microseconds> pauses_;
};

}  // namespace quillet
