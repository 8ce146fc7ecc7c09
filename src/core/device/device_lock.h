#pragma once
// Locks shared by the processes that reach one mouse (the window, quilletctl listen and apply):
// one lock file per mouse and purpose under $XDG_RUNTIME_DIR (the temporary folder without it),
// held with flock. They are keyed by the mouse's identity (DeviceLink::deviceIdentity: its
// hidraw node, or a simulator's socket with its node), so that two processes on one mouse take
// turns and two mice never wait for each other. A lock goes with the process that holds it,
// however it ends.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace quillet {

// What a lock is for.
inline constexpr std::string_view kDownloadLock = "download";  // one download into the mouse at a time
inline constexpr std::string_view kServeLock = "buttons";      // one program serves the mouse's buttons

// The lock file of the mouse `devicePath` (its identity) for `purpose`: the identity is kept
// whole in the file's name (characters other than letters, digits, '-' and '.' escaped), so no
// two mice share one.
std::filesystem::path deviceLockPath(std::string_view devicePath, std::string_view purpose);

enum class LockOutcome : std::uint8_t {
  Held,    // the lock is this program's now
  Busy,    // another program holds it (only without waiting)
  Failed,  // the lock file cannot be made or locked: the caller goes on without it
};

class DeviceLock {
 public:
  DeviceLock() = default;
  ~DeviceLock() { release(); }
  DeviceLock(const DeviceLock&) = delete;
  DeviceLock& operator=(const DeviceLock&) = delete;
  DeviceLock(DeviceLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)), device_(std::move(other.device_)) {}
  DeviceLock& operator=(DeviceLock&& other) noexcept {
    if (this != &other) {
      release();
      fd_ = std::exchange(other.fd_, -1);
      device_ = std::move(other.device_);
    }
    return *this;
  }

  // Takes the lock of `devicePath` for `purpose`, releasing one held before. With `wait` it
  // waits for a holder to let go; without, it answers Busy at once while another holds it.
  // Failed when the lock file cannot be made or locked, with `problem` saying why.
  LockOutcome acquire(std::string_view devicePath, std::string_view purpose, bool wait,
                      std::string* problem = nullptr);
  void release();
  bool held() const { return fd_ >= 0; }
  // The mouse the lock is held for.
  const std::string& device() const { return device_; }

 private:
  int fd_ = -1;
  std::string device_;
};

// The serve lock of the device threads: asked before each event is served. The first program
// to ask serves the mouse's buttons until it ends; another says once that it does not (through
// `say`), drops the events meanwhile, and takes over at the first event after the first ended.
// Not thread-safe: the serving thread asks.
class ServeClaim {
 public:
  ServeClaim(std::function<std::string()> devicePath, std::function<void(std::string_view)> say)
      : devicePath_(std::move(devicePath)), say_(std::move(say)) {}
  bool mayServe();

 private:
  std::function<std::string()> devicePath_;
  std::function<void(std::string_view)> say_;
  DeviceLock lock_;
  bool refusedSaid_ = false;
};

inline constexpr const char* kMsgAnotherServes =
    "Another Quillet program serves this mouse's buttons; this one leaves them to it until it ends.";
inline constexpr const char* kMsgServesNow = "This program serves the mouse's buttons now.";

}  // namespace quillet
