#pragma once
// Everything the main window asks of the mouse, behind one small interface: find it, read its
// device value, tell it the utility has gone, download the settings into it, and hear when it
// is unplugged or plugged in again.
//
// The window owns one session for its whole life and calls it on the user-interface thread only;
// the arrival and removal callbacks are invoked on that thread too (from serviceHotplug).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/device/block_writer.h"
#include "core/device/device_lock.h"
#include "core/device/device_service.h"
#include "core/device/device_threads.h"
#include "core/device/download.h"
#include "core/device/download_state.h"
#include "core/io/desktop_mouse.h"
#include "core/io/hid_transport.h"
#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"

namespace quillet {

class MacroLibrary;
class MessageService;

class DeviceSession {
 public:
  virtual ~DeviceSession() = default;

  // Starts the device threads (the input-report listener, then the trigger loop). They run
  // before the mouse is opened and must cope with a closed device. Stopped and joined by
  // stopThreads, which shutdown calls.
  virtual void startThreads() {}
  virtual void stopThreads() {}

  // Searches for the mouse and opens it. Returns whether it was found and can be written
  // (devicePresent): a mouse whose command collection cannot be opened does not count.
  virtual bool open() = 0;
  // Why a mouse that is plugged in cannot be written ("PATH: reason"), after open() or an
  // arrival; empty when it can be or when there is none.
  virtual std::string accessProblem() const { return {}; }
  // Whether the command collection is open (HostExit is only sent then).
  virtual bool isOpen() const = 0;
  // The status read's byte 7 & 0x0F; nullopt when the mouse did not answer.
  virtual std::optional<std::uint8_t> readDeviceValue() = 0;
  // Tells the mouse that the utility has gone.
  virtual void hostExit() = 0;

  // The settings were loaded or changed (start-up, a profile switch, a change followed from the
  // mouse): the key slots and button flags are derived from them without a download, so that
  // the device threads serve the buttons the mouse already holds, and the threads are given the
  // model as it is now.
  virtual void settingsLoaded(const ProfileSettings& settings, const AppState& app, const MacroLibrary& library) {
    (void)settings;
    (void)app;
    (void)library;
  }

  // The settings download: the device bytes of all four profiles and the macros their buttons
  // play written into the mouse, the desktop's pointer speed and wheel lines, and, as the last
  // step, the save of the whole model into the settings file.
  virtual DownloadResult apply(ProfileSettings& settings, AppState& app, MacroLibrary& library) = 0;

  // How far a started download is: blocks written of blocks to write.
  struct ApplyProgress {
    std::size_t sent = 0;
    std::size_t total = 0;
  };
  using ApplyDone = std::function<void(const DownloadResult&)>;
  // The same download, for a window that must stay responsive while it runs: the work on the
  // model and the files happens here, the block writes (with their pauses) on a thread of the
  // session's own, which reports `progress`; the save follows on this thread, and then `done`.
  // Progress and the end arrive through `post`. The model, the app state and the library must
  // not change until `done` has run. This default runs apply at once and calls `done` before it
  // returns.
  virtual void startApply(ProfileSettings& settings, AppState& app, MacroLibrary& library,
                          std::function<void(ApplyProgress)> progress, ApplyDone done) {
    (void)progress;
    const DownloadResult result = apply(settings, app, library);
    if (done) {
      done(result);
    }
  }
  // Whether a started download has not ended yet.
  virtual bool applying() const { return false; }
  // Ends a running download here: waits for its block writes, then saves and calls its `done`
  // before returning (shutdown and removal of the mouse; nothing is lost).
  virtual void finishApplyNow() {}

  // A descriptor that becomes readable when the mouse may have come or gone (-1: no watch), for
  // the window's event loop; serviceHotplug then takes the waiting events and calls onRemoved or
  // onArrived. While a session that watches has no descriptor (its watch could not start, or
  // failed), the window calls serviceHotplug every DeviceService::kWatchRetry: it tries again.
  virtual int hotplugDescriptor() const { return -1; }
  virtual bool watchesHotplug() const { return false; }
  virtual void serviceHotplug() {}

  // Set by the window: the mouse was unplugged / plugged in again.
  std::function<void()> onRemoved;
  std::function<void()> onArrived;
  // Set by the window before startThreads: `post` runs work on the window's thread later;
  // `onFollowed` is called there with each change the device threads followed from the mouse
  // (a DPI level, a profile, an adjusted macro). The window applies it to its model and then
  // calls settingsLoaded, so that the threads see the model as it is now.
  std::function<void(std::function<void()>)> post;
  std::function<void(const FollowedChange&)> onFollowed;
};

// The session of a build without any mouse: never finds one, and its download writes nothing
// to any device. The download still runs in full against a recorder, so the blocks the mouse
// would have received are known (lastBlocks), and the settings file is saved.
class NullDeviceSession : public DeviceSession {
 public:
  using Block = PlannedBlock;

  explicit NullDeviceSession(MessageService& messages) : messages_(messages) {}
  bool open() override { return false; }
  bool isOpen() const override { return false; }
  std::optional<std::uint8_t> readDeviceValue() override { return std::nullopt; }
  void hostExit() override {}
  void settingsLoaded(const ProfileSettings& settings, const AppState& app, const MacroLibrary& library) override;
  DownloadResult apply(ProfileSettings& settings, AppState& app, MacroLibrary& library) override;

  const std::vector<Block>& lastBlocks() const { return recorder_.blocks; }
  const DownloadState& downloadState() const { return state_; }

 private:
  MessageService& messages_;
  DownloadState state_;
  BlockRecorder recorder_;
};

// The session on a HID transport: the real mouse through hidraw, the simulated mouse in this
// process, or the simulator at a socket, through the device service. All commands go through its
// one DeviceProtocol, so the window's download and the device threads never interleave their
// reports.
class HidDeviceSession : public DeviceSession {
 public:
  // `keepAlive` holds whatever the transport needs to outlive it (the in-process mouse). The
  // hotplug watch starts here; hotplugProblem says why when it cannot.
  HidDeviceSession(std::unique_ptr<HidTransport> transport, std::shared_ptr<void> keepAlive, MessageService& messages,
                   std::unique_ptr<DesktopMouseSettings> desktop);
  ~HidDeviceSession() override;

  void startThreads() override;
  void stopThreads() override;
  bool open() override;
  bool isOpen() const override;
  std::string accessProblem() const override;
  std::optional<std::uint8_t> readDeviceValue() override;
  void hostExit() override;
  void settingsLoaded(const ProfileSettings& settings, const AppState& app, const MacroLibrary& library) override;
  DownloadResult apply(ProfileSettings& settings, AppState& app, MacroLibrary& library) override;
  void startApply(ProfileSettings& settings, AppState& app, MacroLibrary& library,
                  std::function<void(ApplyProgress)> progress, ApplyDone done) override;
  bool applying() const override { return running_ != nullptr; }
  void finishApplyNow() override;
  int hotplugDescriptor() const override { return service_.hotplugDescriptor(); }
  bool watchesHotplug() const override { return true; }
  void serviceHotplug() override;

  // Why the hotplug watch could not start (empty when it runs).
  const std::string& hotplugProblem() const { return service_.hotplugProblem(); }
  const DownloadState& downloadState() const { return state_; }

 private:
  // Gives the device threads the model as it is now.
  void publish(const ProfileSettings& settings, const AppState& app, const MacroLibrary& library);
  DownloadContext downloadContext(ProfileSettings& settings, AppState& app, MacroLibrary& library);
  bool endDownload() { return service_.protocol().endDownload(); }
  // The end of a started download, on the owner's thread: joins its writer, saves, reports.
  void completeApply();
  // The download lock of the mouse, waited for: one download into one mouse at a time, across
  // programs. Not held when the mouse is unknown or no lock file can be made (said on stderr).
  DeviceLock lockDownload();

  // A download whose blocks are being written. Owned by the window's thread; the writer
  // thread reads `plan` and writes `tookAll`, and is joined before anyone else reads them.
  struct RunningApply {
    ProfileSettings& settings;
    AppState& app;
    MacroLibrary& library;
    DownloadPlan plan;
    bool tookAll = true;
    std::function<void(ApplyProgress)> progress;
    ApplyDone done;
    std::thread writer;
  };

  DeviceService service_;
  MessageService& messages_;
  std::unique_ptr<DesktopMouseSettings> desktop_;
  DownloadState state_;
  std::optional<MacroLayout> lastDownload_;  // where this run's last download put the images
  std::uint64_t downloads_ = 0;              // downloads of this run that laid the images out
  std::unique_ptr<RunningApply> running_;
  bool usable_ = false;  // the mouse was found and can be written; only its removal ends the window
};

}  // namespace quillet
