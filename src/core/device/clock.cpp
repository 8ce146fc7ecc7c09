#include "core/device/clock.h"

#include <thread>

namespace quillet {

void SteadyClock::sleepFor(std::chrono::microseconds pause) {
  // sleep_until on the steady clock: a signal or a spurious wake-up never shortens the pause.
  const auto until = std::chrono::steady_clock::now() + pause;
  while (std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_until(until);
  }
}

}  // namespace quillet
