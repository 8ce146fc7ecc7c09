#pragma once
// The simulated mouse presented to the Linux kernel through /dev/uhid: the kernel makes real
// HID devices of it, with hidraw nodes, sysfs report descriptors and udev events, and passes
// every feature report the host sends or asks for through its HID core to the firmware here.
//
// Layouts, both found on real mice:
//   split   each collection its own HID device: command collection, event collection, plain
//           mouse (three hidraw nodes, created in that order);
//   shared  the two vendor collections in one HID device (one hidraw node carrying report IDs 6
//           and 7), beside the plain mouse.
// An unplug of the mouse destroys its HID devices (UHID_DESTROY); a plug creates them again
// (UHID_CREATE2 on the same descriptors).
#include <linux/uhid.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim_descriptors.h"
#include "sim_mouse.h"

namespace quillet::sim {

enum class UhidLayout : std::uint8_t { kSplit, kShared };

// How long after the mouse's unplug its devices stay, answering every request with an error,
// before they are destroyed (see UhidFront::run).
constexpr std::chrono::milliseconds kRemovalGrace{300};

std::optional<UhidLayout> parseUhidLayout(std::string_view text);

// One HID device of a layout: the collections it carries and its report descriptor (theirs, in
// that order).
struct UhidDeviceSpec {
  std::vector<NodeRole> roles;
  std::vector<std::uint8_t> descriptor;
  bool carries(NodeRole role) const;
};

std::vector<UhidDeviceSpec> uhidDevices(UhidLayout layout);

// UHID_CREATE2 for one device: a USB device with the mouse's IDs, named `name`, with `phys` as
// its physical path (the front finds its own hidraw nodes by it).
uhid_event create2Event(const UhidDeviceSpec& spec, VidPid id, const std::string& name, const std::string& phys);

// The reply to a request of the kernel's HID core on a device carrying the command collection:
// UHID_SET_REPORT and UHID_GET_REPORT of feature report 7 go to the firmware through `commands`
// (null while the mouse is unplugged); any other report, type or request fails with EIO, as a
// mouse stalls a request it does not know. Nullopt for events that take no reply.
std::optional<uhid_event> answerRequest(HidHandle* commands, const uhid_event& request);

class UhidFront {
 public:
  UhidFront(std::shared_ptr<SimMouse> mouse, UhidLayout layout, VidPid id, std::string uhidPath = "/dev/uhid");
  ~UhidFront();
  UhidFront(const UhidFront&) = delete;
  UhidFront& operator=(const UhidFront&) = delete;

  // Opens one uhid file per HID device of the layout and creates the devices.
  bool start(std::string& error);
  // Answers the kernel and follows the mouse's unplug and plug until stop(); then destroys the
  // devices.
  void run();
  // Safe from any thread and from a signal handler.
  void stop();

 private:
  struct Device {
    UhidDeviceSpec spec;
    int fd = -1;
    bool created = false;
  };
  bool createLocked(Device& device, std::string& error);
  void destroyLocked(Device& device);
  void forwardInput(std::span<const std::uint8_t> report);
  void setAccess(bool allowed);
  void serveDevice(Device& device);
  std::string physOf(std::size_t index) const;

  std::shared_ptr<SimMouse> mouse_;
  const VidPid id_;
  const std::string uhidPath_;
  std::mutex mutex_;  // the devices' state; taken under the mouse's lock by forwardInput
  std::vector<Device> devices_;
  std::unique_ptr<HidHandle> commands_;
  int stopPipe_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
};

}  // namespace quillet::sim
