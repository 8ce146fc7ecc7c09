#pragma once
// DeviceService: the one place where a program builds its device stack. It owns the transport
// (with whatever must outlive it), the link, the clock, the protocol, the hotplug watch and, once
// started, the device threads with the claim on serving the mouse's buttons. The window, quilletctl
// listen and the one-shot commands all talk to the mouse through one of these, so they find it,
// trace it, follow its arrivals and removals and serve its buttons alike.
//
// Ownership and threads: the service is made, driven and destroyed on one owner thread (the
// window's, or listen's main thread); every member function is called there. The device threads
// it starts call `post` (from any thread) to run work on the owner thread later, and `log` from
// any thread. Destruction stops and joins the threads before the stack they use goes away.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/device/clock.h"
#include "core/device/device_link.h"
#include "core/device/device_lock.h"
#include "core/device/device_protocol.h"
#include "core/device/device_threads.h"
#include "core/device/transport_choice.h"
#include "core/io/hid_transport.h"

namespace quillet {

class DeviceService {
 public:
  // One line for the user's log (stderr), without the program's prefix: the report trace, the
  // threads' actions while tracing, the claim on the buttons. Any thread.
  using Log = std::function<void(std::string_view)>;

  // What an arrival or removal did, as serviceHotplug tells the owner. Discovery has run for
  // kFound and kBack; the link says how it went (devicePresent, usable, accessProblem).
  enum class LinkChange : std::uint8_t {
    kFound,    // the mouse was found: the first of this run, at an arrival, or when the hotplug
               // watch came back while the mouse was not open
    kBack,     // the mouse's node arrived again after its removal (found or not), or another
               // arrival let a mouse that could not be written be opened
    kRemoved,  // the mouse's node went away (whether or not it could be written)
  };

  // Without a hotplug watch (it could not start, or it failed since), serviceHotplug tries it
  // again; the owner calls it this often while hotplugDescriptor() is -1.
  static constexpr std::chrono::milliseconds kWatchRetry{1000};

  // `choice` must hold a transport. With QUILLET_HID_LOG set, every report goes to `log`.
  DeviceService(TransportChoice choice, Log log);
  ~DeviceService();
  DeviceService(const DeviceService&) = delete;
  DeviceService& operator=(const DeviceService&) = delete;

  HidTransport& transport() { return *transport_; }
  DeviceLink& link() { return link_; }
  const DeviceLink& link() const { return link_; }
  DeviceProtocol& protocol() { return protocol_; }
  // Whether the report trace is on.
  bool tracing() const { return tracing_; }

  // Discovery: looks for the mouse and opens it. Returns whether it was found and can be written
  // (a mouse whose command collection cannot be opened does not count), which usable() keeps.
  bool open();
  bool usable() const { return usable_; }

  // Starts the hotplug watch; false when it cannot, and hotplugProblem() says why.
  bool startHotplugWatch();
  // A descriptor that becomes readable when the mouse may have come or gone; -1 without a watch.
  int hotplugDescriptor() const;
  // Why the last start of the watch failed; empty while it runs.
  const std::string& hotplugProblem() const { return hotplugProblem_; }
  // Takes the waiting arrivals and removals and tells `onChange` what each did to the mouse;
  // when `onChange` returns false (its owner ends), the events after it are left waiting.
  // Without a watch it tries to start one again; when it comes back while the mouse is not open,
  // the mouse is looked for at once (it may have come meanwhile).
  void serviceHotplug(const std::function<bool(LinkChange)>& onChange);

  // Starts the device threads (the input-report listener, then the trigger loop); they cope with
  // a mouse that is not open yet. The service adds the claim on the buttons, and, while tracing
  // and without an `action` hook, traces the threads' actions to the log. `first`, when given,
  // is the model the threads serve from their start. Started once.
  void startThreads(DeviceThreadHooks hooks, std::optional<DeviceSnapshot> first = std::nullopt);
  // Gives the threads the owner's model as it is now (ignored before startThreads).
  void publish(DeviceSnapshot snapshot);
  // Whether startThreads has run: before it, an owner need not build a snapshot at all.
  bool threadsStarted() const { return threads_ != nullptr; }
  // Ends the threads' waits and joins them. Safe to call twice.
  void stopThreads();

 private:
  TransportChoice choice_;
  HidTransport* transport_;
  Log log_;
  SteadyClock clock_;
  DeviceLink link_;
  DeviceProtocol protocol_;
  bool tracing_ = false;
  bool usable_ = false;
  std::unique_ptr<HotplugMonitor> hotplug_;
  std::string hotplugProblem_;
  std::shared_ptr<ServeClaim> serveClaim_;  // the serving thread asks it before each event
  std::unique_ptr<DeviceThreads> threads_;
};

}  // namespace quillet
