#pragma once
// The lighting page's refresh thread: while the lighting page is shown it asks the window for a
// repaint, then waits (5 - period) × 200 ms (a second at period 0, no pause at period 5), so
// that the page's animated preview and its dragged sliders are redrawn.
//
// Owned by the window thread: enter() when the lighting page is shown, leave() when another page
// is, and the destructor at shutdown. At most one thread runs; leave() wakes it at once and the
// thread ends; it is joined by the next enter() or by the destructor.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace quillet {

class LightingRefresh {
 public:
  // `requestRepaint` is called on the refresh thread; it must only post a request to the window.
  explicit LightingRefresh(std::function<void()> requestRepaint);
  ~LightingRefresh();
  LightingRefresh(const LightingRefresh&) = delete;
  LightingRefresh& operator=(const LightingRefresh&) = delete;

  // Starts the thread unless it is running.
  void enter();
  // Ends the thread's loop; returns without waiting for it.
  void leave();
  // The lighting period 0..5, published by the window thread whenever it changes.
  void setPeriod(std::uint8_t period) { period_.store(period > 5 ? 5 : period); }
  bool running() const { return running_.load(); }

 private:
  void run();

  std::function<void()> requestRepaint_;
  std::atomic<std::uint8_t> period_{0};
  std::atomic<bool> running_{false};  // the running mark: set by enter(), cleared by the thread
  std::mutex mutex_;
  std::condition_variable wake_;
  bool shown_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace quillet
