#pragma once
// DeviceLink: finds the mouse among the HID interfaces, opens its two vendor collections and
// keeps their handles and report lengths, and follows the mouse's arrival and removal.
//
// Discovery, device changes and the handles' replacement run on the window thread; the device
// threads take the handles through commandChannel() and readEvent(), which hand out shared
// ownership, so a handle closed by a rediscovery stays valid until its last user is done.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/device/reports.h"
#include "core/io/hid_transport.h"

namespace quillet {

struct VidPid {
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  bool operator==(const VidPid&) const = default;
};

// The mice this program drives, in the order discovery knows them.
constexpr std::array<VidPid, 5> kAcceptedIds = {{
    {0x18F8, 0x0CC0},
    {0x18F8, 0x725A},
    {0x18F9, 0x0040},
    {0x18F9, 0x0041},
    {0x30FA, 0x1030},
}};

constexpr bool isAcceptedId(std::uint16_t vendorId, std::uint16_t productId) {
  for (const VidPid& id : kAcceptedIds) {
    if (id.vendorId == vendorId && id.productId == productId) {
      return true;
    }
  }
  return false;
}

// Discovery looks at the first this many interfaces of the enumeration and no further.
constexpr std::size_t kDiscoveryAttempts = 50;

// The udev rule that gives the logged-in user the hidraw nodes of the accepted mice, and where
// the package installs it.
inline constexpr const char* kUdevRuleName = "70-quillet.rules";
inline constexpr const char* kUdevRuleFolder = "/usr/lib/udev/rules.d";

class DeviceLink {
 public:
  // What a device change did.
  enum class Change : std::uint8_t {
    kNone,          // not the mouse's path, or nothing to do
    kRediscovered,  // the mouse's path arrived while it was absent: discovery ran again
    kRemoved,       // the mouse's path went away: devicePresent is now false
  };

  // What a collection's handle is: a failed open is remembered as such, and counts as an open
  // for the end of the enumeration.
  enum class HandleState : std::uint8_t { kNeverOpened, kFailed, kOpen };

  // The command collection as one snapshot: a transaction runs on one handle from start to end.
  struct CommandChannel {
    std::shared_ptr<HidHandle> handle;  // null when the collection is not open
    std::uint16_t featureLength = 0;
  };

  explicit DeviceLink(HidTransport& transport) : transport_(transport) {}
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Discovery: closes the handles of an earlier discovery, then walks the first
  // kDiscoveryAttempts interfaces of the enumeration. An interface with an accepted ID marks the
  // mouse present and becomes devicePath; the event collection (0xFF00/1) is opened for reading,
  // the command collection (0xFF01/1) for writing; the walk stops once both were opened (or
  // failed to). Returns and keeps devicePresent.
  bool open();

  // A device arrival or removal: an arrival of devicePath (letter case aside) while the mouse is
  // absent, or any arrival while no mouse has been found yet, runs discovery again; a removal of
  // devicePath marks it absent and closes the handles.
  Change onDeviceChange(const HotplugEvent& event);

  bool devicePresent() const;
  std::string devicePath() const;
  // The mouse's identity for locks shared with other programs (HidTransport::deviceIdentity);
  // empty while no mouse has been found.
  std::string deviceIdentity() const;
  HidInterfaceInfo eventCaps() const;
  HidInterfaceInfo commandCaps() const;
  HandleState eventState() const;
  HandleState commandState() const;
  // Why the last collection that failed to open did, for a user who waits; empty when none did.
  std::string openError() const;
  // The mouse is there and its command collection is open: it can be written.
  bool usable() const;
  // Why a mouse that is there cannot be written ("PATH: reason"); empty when it can be, or when
  // no mouse is there.
  std::string accessProblem() const;

  CommandChannel commandChannel() const;

  // Reads one input report into `report`, waiting at most `timeout`. Without an open event
  // collection (before discovery, after removal) it waits for a discovery for at most `timeout`
  // and then fails, so that a reading thread never spins. A read error drops the event handle;
  // while the mouse is not reported removed (a transient error, a suspend), later reads open the
  // collection again, kReopenPause after the error and after each open that fails.
  ReadStatus readEvent(InputReport& report, std::chrono::milliseconds timeout);

  static constexpr std::chrono::milliseconds kReopenPause{250};

  // Ends every wait in readEvent at once; readEvent fails at once from now on. For shutdown.
  void stopReaders();

 private:
  void closeHandlesLocked();

  HidTransport& transport_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::mutex readMutex_;  // one reader of the event collection at a time
  std::uint64_t generation_ = 0;
  bool stopped_ = false;

  bool devicePresent_ = false;
  std::string devicePath_;
  HidInterfaceInfo eventCaps_;
  HidInterfaceInfo commandCaps_;
  std::shared_ptr<HidHandle> eventHandle_;
  std::shared_ptr<HidHandle> commandHandle_;
  HandleState eventState_ = HandleState::kNeverOpened;
  HandleState commandState_ = HandleState::kNeverOpened;
  std::string openError_;
  // Set by a read error while the mouse is present: the event collection is opened again at
  // reopenAt_ (only readers touch these two, under readMutex_ and mutex_).
  bool reopen_ = false;
  std::chrono::steady_clock::time_point reopenAt_;
};

}  // namespace quillet
