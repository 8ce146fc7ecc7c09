#pragma once
// Everything the main window asks of the mouse, behind one small interface: find it, read its
// device value, tell it the utility has gone, download the settings into it, and hear when it
// is unplugged or plugged in again.
//
// The window owns one session for its whole life and calls it on the user-interface thread only;
// the arrival and removal callbacks are invoked on that thread too.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/profile_settings.h"
#include "device/configuration.h"
#include "device/download_state.h"

namespace quillet {

// How the utility reaches a mouse: the real one, the in-process simulated one (--simulate) or
// an external simulator at a Unix socket (QUILLET_SIM=<socket path>).
struct DeviceSessionOptions {
  bool simulate = false;
  std::string simulatorSocket;
};

class DeviceSession {
 public:
  virtual ~DeviceSession() = default;

  // Starts the device threads (the input-report listener, then the trigger loop). They run
  // before the mouse is opened and must cope with a closed device. Stopped and joined by
  // stopThreads, which shutdown calls.
  virtual void startThreads() {}
  virtual void stopThreads() {}

  // Searches for the mouse and opens it. Returns whether it was found (devicePresent).
  virtual bool open() = 0;
  // Whether the command collection is open (HostExit is only sent then).
  virtual bool isOpen() const = 0;
  // The status read's byte 7 & 0x0F; nullopt when the mouse did not answer.
  virtual std::optional<std::uint8_t> readDeviceValue() = 0;
  // Tells the mouse that the utility has gone.
  virtual void hostExit() = 0;
  // The settings download: derives the device bytes of all four profiles, writes them into the
  // mouse and, as its last step, saves the whole model into the settings file. Returns false
  // when the save failed.
  virtual bool apply(const ProfileSettings& settings, AppState& app, const MacroPlayModeLookup& playModeOf) = 0;

  // Set by the window: the mouse was unplugged / plugged in (compare paths case-insensitively).
  std::function<void()> onRemoved;
  std::function<void()> onArrived;
};

// The session used while no device link is built into the utility: no mouse is ever found.
//
// Its download derives the configuration blocks exactly as the mouse would receive them and
// keeps them (lastBlocks), writes nothing to any device, and then saves the settings file, so
// that apply keeps the user's settings between runs.
class NullDeviceSession : public DeviceSession {
 public:
  bool open() override { return false; }
  bool isOpen() const override { return false; }
  std::optional<std::uint8_t> readDeviceValue() override { return std::nullopt; }
  void hostExit() override {}
  bool apply(const ProfileSettings& settings, AppState& app, const MacroPlayModeLookup& playModeOf) override;

  const std::vector<ConfigurationBlock>& lastBlocks() const { return lastBlocks_; }
  const DownloadState& downloadState() const { return state_; }

 private:
  DownloadState state_;
  std::vector<ConfigurationBlock> lastBlocks_;
};

// The session for `options`. Until the device link is part of the build this is always a
// NullDeviceSession; `note` then says why the requested mouse is not reachable (empty when
// nothing in particular was requested).
std::unique_ptr<DeviceSession> makeDeviceSession(const DeviceSessionOptions& options, std::string& note);

}  // namespace quillet
