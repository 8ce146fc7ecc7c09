#include "ui/lighting_refresh.h"

#include <chrono>

namespace quillet {

LightingRefresh::LightingRefresh(std::function<void()> requestRepaint) : requestRepaint_(std::move(requestRepaint)) {}

LightingRefresh::~LightingRefresh() {
  leave();
  if (thread_.joinable()) {
    thread_.join();
  }
}

void LightingRefresh::enter() {
  {
    // The thread tests shown_ and clears its running mark under the same lock, so a thread that
    // is still running is sure to see the page shown again.
    std::lock_guard lock(mutex_);
    shown_ = true;
    if (running_.load()) {
      return;
    }
  }
  if (thread_.joinable()) {
    thread_.join();  // a thread that has ended its loop
  }
  running_.store(true);
  thread_ = std::thread([this] { run(); });
}

void LightingRefresh::leave() {
  {
    std::lock_guard lock(mutex_);
    shown_ = false;
  }
  wake_.notify_all();
}

void LightingRefresh::run() {
  std::unique_lock lock(mutex_);
  while (shown_) {
    lock.unlock();
    requestRepaint_();
    lock.lock();
    const auto pause = std::chrono::milliseconds(200 * (5 - period_.load()));
    if (pause.count() > 0) {
      wake_.wait_for(lock, pause, [this] { return !shown_; });
    } else {
      // Period 5 repaints without a pause; yield so that a window busy painting keeps up.
      lock.unlock();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      lock.lock();
    }
  }
  running_.store(false);  // still under the lock
}

}  // namespace quillet
