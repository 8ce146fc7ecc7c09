#pragma once
// The simulated mouse as a device: its three nodes under one vendor/product pair, the firmware
// behind them, the handles the host opens, hotplug watchers, and the report log. Every member
// may be called from any thread.
//
// Log: one line per report, "<ms> <DIR> <bytes>": milliseconds since the mouse was made, with
// three decimals; SET a feature report received, GET the answer to a status read, IN an input
// report sent; the whole report in upper-case hex, report ID first. PLAY lines carry the
// firmware's macro playback, "<ms> PLAY <step>" (firmware.h).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/device/device_link.h"
#include "core/io/hid_transport.h"
#include "firmware.h"

namespace quillet::sim {

struct SimOptions {
  VidPid id = kAcceptedIds[0];
  std::uint8_t deviceValue = 0;                 // bits 0-3 of status byte 7
  std::function<void(const std::string&)> log;  // one log line at a time, no line break; may be empty
};

// Input reports wait per open handle, as the kernel keeps them per open hidraw file; beyond this
// many the newest are dropped, as the kernel does.
constexpr std::size_t kInputQueueLimit = 64;
constexpr std::size_t kHotplugQueueLimit = 1024;

// Arrivals and removals for one watcher. Its descriptor is readable while events wait.
class HotplugQueue {
 public:
  HotplugQueue();
  ~HotplugQueue();
  HotplugQueue(const HotplugQueue&) = delete;
  HotplugQueue& operator=(const HotplugQueue&) = delete;
  int descriptor() const { return pipe_[0]; }
  void push(HotplugEvent event);
  std::optional<HotplugEvent> next(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::deque<HotplugEvent> events_;
  int pipe_[2] = {-1, -1};
};

class SimMouse : public std::enable_shared_from_this<SimMouse> {
 public:
  static std::shared_ptr<SimMouse> create(SimOptions options);

  // The host's side.
  std::vector<HidNodeDescription> nodes() const;  // none while unplugged
  // A handle on the node at `path` (letter case aside); `error` says why there is none.
  std::unique_ptr<HidHandle> open(const std::string& path, std::string& error);
  std::shared_ptr<HotplugQueue> watchHotplug();

  // The user's side. False, with `error` set, while unplugged or for a bad number.
  bool press(int button, std::string& error);
  bool release(int button, std::string& error);
  bool click(int button, std::string& error);
  bool switchProfile(int number, std::string& error);  // 1..4
  bool adjust(bool up, std::string& error);
  // Sends any input report on the event node (benchmarks, odd reports in tests).
  bool sendInput(std::span<const std::uint8_t> report);
  void unplug();
  void plug();
  bool plugged() const;

  // The failures a real mouse brings, on demand:
  // - denyOpens(true): the vendor nodes are there but opens of them fail with "Permission
  //   denied", as hidraw nodes do for a user the udev rule does not cover;
  // - unplugAfterFinish(): the mouse goes away right after the next Finish report it receives,
  //   before the end of that download;
  // - glitchReads(): the next read of every open handle on the event node fails, as a transient
  //   error or a suspend does, while the node stays.
  void denyOpens(bool deny);
  void unplugAfterFinish();
  // The mouse goes away right after the `reports`-th feature report from now (1 or more): a
  // download cut at any report boundary.
  void unplugAfterReports(int reports);
  // False when a front presents the mouse to another host (the kernel), whose reads this
  // cannot make fail.
  bool glitchReads();

  // A front that presents this mouse to another host (the kernel's uhid): every input report
  // the mouse sends also goes to `input`, and `access` hears deny (false) and allow (true), so
  // that the front can refuse the host's opens its own way. Both are called under the mouse's
  // lock and must not call back into it. Set once, before the mouse is used.
  struct FrontHooks {
    std::function<void(std::span<const std::uint8_t>)> input;
    std::function<void(bool allowed)> access;
  };
  void setFrontHooks(FrontHooks hooks);
  // A handle for the front itself: opens refused to the host (deny) do not apply to it.
  std::unique_ptr<HidHandle> openForFront(NodeRole role);

  // Memory 0x0000-0x3FFF, sixteen bytes a line: "AAAA: HH HH …".
  std::string dump() const;
  // "key value" lines: the device and what the firmware holds.
  std::string state() const;
  // Runs `f` on the firmware under the mouse's lock (tests).
  void inspect(const std::function<void(const Firmware&)>& f) const;

  // Fails every waiting and later read at once (the server is stopping).
  void shutdown();

  std::string nodePath(NodeRole role) const;

 private:
  struct Reader;
  class Handle;
  explicit SimMouse(SimOptions options);

  // A handle on the node of `role` (the events node gets a reader of its own).
  std::unique_ptr<HidHandle> handleLocked(NodeRole role);
  void logLocked(const char* direction, std::span<const std::uint8_t> bytes);
  void logTextLocked(const char* kind, const std::string& text);
  bool buttonLocked(int button, bool pressed, std::string& error);
  void drainPlayLogLocked();
  bool emitLocked(std::span<const std::uint8_t> report, std::string& error);
  void notifyHotplugLocked(HotplugEvent::Kind kind);
  void unplugLocked();

  const SimOptions options_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
  mutable std::mutex mutex_;
  std::condition_variable inputArrived_;
  Firmware firmware_;
  bool plugged_ = true;
  bool shutdown_ = false;
  bool denyOpens_ = false;
  bool unplugAfterFinish_ = false;
  int unplugAfterReports_ = 0;  // feature reports left before the mouse goes; 0: none planned
  FrontHooks front_;
  std::uint64_t generation_ = 0;  // bumped on unplug: handles of an earlier generation are dead
  std::vector<std::weak_ptr<Reader>> readers_;
  std::vector<std::weak_ptr<HotplugQueue>> watchers_;
};

}  // namespace quillet::sim
