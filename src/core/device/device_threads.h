#pragma once
// The two device threads that serve the mouse while the utility runs:
//
//   EventListener  reads the mouse's input reports (a read with a time-out: it sleeps in the
//                  read, and without a mouse it waits for a discovery) and queues every event
//                  that asks for work; it never sends anything itself, so it is always back in
//                  its read at once.
//   TriggerLoop    waits on that queue and serves each event in arrival order: the hold
//                  function of a press and of its release, then for a press the button's DPI
//                  level, the profile follow-up and the consumer key; the profile follow-up of
//                  event 3; the live macro adjustment. No event is lost or merged with another.
//
// Ownership: the settings model (AppState, ProfileSettings, the macro library) belongs to its
// owner thread (the window's, or quilletctl listen's main thread). The threads read only a
// DeviceSnapshot that the owner publishes after each load or download, and hand every change
// they follow from the mouse back to the owner as a FollowedChange posted to its thread, where
// applyFollowedChange writes the model and the files. The mouse is reached only through
// DeviceProtocol, whose transactions no other command can interrupt.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "core/device/device_event.h"
#include "core/device/download_state.h"
#include "core/device/macro_adjustment.h"
#include "core/settings/app_state.h"
#include "core/settings/button_function.h"
#include "core/settings/profile_settings.h"

namespace quillet {

class DeviceLink;
class DeviceProtocol;

// Where a download put the image of button 0 of one profile, and the function it held then.
struct ButtonZeroImage {
  ButtonFunction function = 0;
  AdjustTarget target;  // size 0: no library macro image
};
using ButtonZeroImages = std::array<ButtonZeroImage, kProfileCount>;

// The images of button 0 of the four profiles in a download's layout.
ButtonZeroImages buttonZeroImages(const MacroLayout& layout);

// What the device threads know of the settings model: a copy, made on the owner thread.
struct DeviceSnapshot {
  int currentProfile = 0;        // 0..3
  int currentProfileNumber = 1;  // 1..4
  ProfileSettings::ButtonTable buttonFunction{};
  // The button flags of the downloads of this run (set, never cleared).
  DownloadState::ButtonFlags isHoldButton{};
  DownloadState::ButtonFlags isProfileButton{};
  DownloadState::ButtonFlags isDpiButton{};
  // Downloads of this run so far: each one wrote the macros into the mouse anew.
  std::uint64_t downloads = 0;
  // The last download's images of button 0. The live adjustment rewrites the image only where
  // button 0 of the profile in force still holds the function it held then; otherwise it only
  // changes the macro's file, and the next download takes it to the mouse.
  ButtonZeroImages buttonZeroImages{};
  std::filesystem::path macroFolder;
};

// `lastDownload`: the layout of the last download of this run; null when there was none.
DeviceSnapshot makeDeviceSnapshot(const Selection& selection, const ProfileSettings& settings, const DownloadState& state,
                                  const MacroLayout* lastDownload, const std::filesystem::path& macroFolder);

// A change the mouse made that the owner applies to its model.
struct FollowedChange {
  enum class Kind : std::uint8_t {
    kDpiLevel,       // a DPI button: `dpiLevel` is the mouse's level now
    kProfile,        // the mouse's active profile is `profileNumber` (1..4) now
    kAdjustedMacro,  // the live adjustment changed `adjusted.macro`; the owner stores it
  };
  Kind kind = Kind::kProfile;
  int dpiLevel = 0;
  int profileNumber = 1;
  AdjustResult adjusted;
};

// On the owner thread: applies `change` to the model and the files. A DPI level becomes
// currentDpiLevel and is saved as DPI_LEVEL of the current profile number; a profile becomes
// the current profile, is written as [Init] CurConfig and loaded; an adjusted macro is stored
// into its group file and, when `edited` is that group (null: no editor), into the editor's
// copy (storeAdjustment: neither overwrites the other). Returns false when a file could not be
// written (the model is changed all the same), or when the level or profile number is out of
// range (nothing is changed). The caller then publishes a new snapshot and repaints.
[[nodiscard]] bool applyFollowedChange(const FollowedChange& change, AppState& app, ProfileSettings& settings,
                         EditedGroup* edited = nullptr);

struct DeviceThreadHooks {
  // Runs `work` on the owner thread, later; it must not wait for the device threads. The
  // window queues it onto its event loop; quilletctl listen onto its main loop.
  std::function<void(std::function<void()>)> post;
  // Called on the owner thread (through `post`) with each change the threads followed.
  std::function<void(const FollowedChange&)> followed;
  // One line per command the threads sent ("hold pressed button 3", "consumer 00E2 button 7",
  // "adjust up") or could not carry out; on a device thread. May be empty.
  std::function<void(std::string_view)> action;
  // Asked on the serving thread before each event is served: false while another program
  // serves this mouse's buttons (ServeClaim), and the event is left to it. Empty: always served.
  std::function<bool()> mayServe;
};

// One event as the listener queued it.
struct QueuedEvent {
  DeviceEvent event;
  bool adjustUp = false;  // the adjustment direction in force when the event arrived
};

class TriggerLoop {
 public:
  TriggerLoop(DeviceProtocol& protocol, DeviceThreadHooks hooks);
  ~TriggerLoop();
  TriggerLoop(const TriggerLoop&) = delete;
  TriggerLoop& operator=(const TriggerLoop&) = delete;

  // The owner's snapshot; events served from now on use it. Any thread.
  void publish(DeviceSnapshot snapshot);
  // Queues one event. Any thread; never blocks on the device.
  void push(const QueuedEvent& event);

  void start();
  // Ends the wait on the queue and joins; events still queued are dropped.
  void stop();

  // Serves one event on the calling thread as the loop's thread does; only while that thread
  // does not run (tests).
  void serve(const QueuedEvent& event);

 private:
  void run();
  void followProfile();
  void adjust(bool up);
  void say(const std::string& line);
  void hand(FollowedChange change);

  DeviceProtocol& protocol_;
  const DeviceThreadHooks hooks_;

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<QueuedEvent> queue_;
  bool stopping_ = false;
  std::shared_ptr<const DeviceSnapshot> published_;

  // The loop's own view: the last snapshot, with the profile it followed from the mouse since.
  // Touched only by the serving thread.
  std::shared_ptr<const DeviceSnapshot> seen_;
  DeviceSnapshot view_;
  // The macro on button 0 as the last adjustment wrote it into the mouse, for the download,
  // function and library it was made under. The next adjustment starts from it: the owner
  // stores each adjustment into the file on its own thread, so the file may not have the last
  // ones yet. Serving thread only.
  struct MouseCopy {
    bool valid = false;
    std::uint64_t downloads = 0;
    ButtonFunction function = 0;
    std::filesystem::path macroFolder;
    Macro macro;
  };
  MouseCopy mouseCopy_;

  std::thread thread_;
};

class EventListener {
 public:
  static constexpr std::chrono::milliseconds kDefaultReadTimeout{200};

  // `readTimeout` bounds how long stop() may wait for a read that is under way.
  EventListener(DeviceLink& link, TriggerLoop& loop, std::chrono::milliseconds readTimeout = kDefaultReadTimeout);
  ~EventListener();
  EventListener(const EventListener&) = delete;
  EventListener& operator=(const EventListener&) = delete;

  void start();
  // Ends the listener's waits (DeviceLink::stopReaders: the link serves no more reads) and joins.
  void stop();

  // 1 after event 1, 0 after event 2, 0 at start.
  bool liveAdjustUp() const { return liveAdjustUp_.load(); }

 private:
  void run();
  void handle(std::span<const std::uint8_t> report);

  DeviceLink& link_;
  TriggerLoop& loop_;
  const std::chrono::milliseconds readTimeout_;
  std::atomic<bool> liveAdjustUp_{false};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// Both threads, as the window and quilletctl listen use them.
class DeviceThreads {
 public:
  DeviceThreads(DeviceLink& link, DeviceProtocol& protocol, DeviceThreadHooks hooks,
                std::chrono::milliseconds readTimeout = EventListener::kDefaultReadTimeout)
      : loop_(protocol, std::move(hooks)), listener_(link, loop_, readTimeout) {}
  ~DeviceThreads() { stop(); }
  DeviceThreads(const DeviceThreads&) = delete;
  DeviceThreads& operator=(const DeviceThreads&) = delete;

  // The listener first, then the loop; events read before the loop runs wait in its queue.
  void start() {
    listener_.start();
    loop_.start();
  }
  // Ends both waits and joins both threads. Safe to call twice.
  void stop() {
    listener_.stop();
    loop_.stop();
  }
  void publish(DeviceSnapshot snapshot) { loop_.publish(std::move(snapshot)); }
  bool liveAdjustUp() const { return listener_.liveAdjustUp(); }

 private:
  TriggerLoop loop_;
  EventListener listener_;
};

}  // namespace quillet
