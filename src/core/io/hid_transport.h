#pragma once
// Our one view of HID: the interfaces (top-level collections) the system offers, opened handles
// that send and get feature reports and read input reports, and a watch on arrival and removal.
// Backends: hidapi's hidraw backend for real mice (hidraw_transport.h), the simulated mouse
// in-process and the simulated mouse over its Unix socket (sim_socket_transport.h).
//
// Every call reports failure through its result and never throws; a handle whose device is gone
// fails every call at once. Handles may be used from one thread at a time each; different
// handles from different threads at once.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillet {

// One top-level collection of a HID device, with the report lengths a host buffer needs for it:
// the longest report of each kind in the collection, plus one byte for the report ID when the
// collection numbers its reports (0 when the collection has no report of that kind).
struct HidInterfaceInfo {
  std::string path;  // opens the device node that carries the collection
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
  std::uint16_t inputReportLength = 0;
  std::uint16_t outputReportLength = 0;
  std::uint16_t featureReportLength = 0;
  bool operator==(const HidInterfaceInfo&) const = default;
};

// A device node as a backend sees it: its path and IDs and its report descriptor. The node's
// interfaces follow from the descriptor (interfacesOf).
struct HidNodeDescription {
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::vector<std::uint8_t> reportDescriptor;
};

// One entry per top-level collection of the node's descriptor, in descriptor order; none when
// the descriptor does not parse.
std::vector<HidInterfaceInfo> interfacesOf(const HidNodeDescription& node);

enum class HidAccess : std::uint8_t { kRead, kWrite };

enum class ReadStatus : std::uint8_t {
  kReport,   // `length` bytes of one input report, report ID first when the device numbers them
  kTimeout,  // nothing arrived within the time-out
  kError,    // the handle failed (device gone, IO error); later reads fail too
};

struct ReadResult {
  ReadStatus status = ReadStatus::kError;
  std::size_t length = 0;
};

class HidHandle {
 public:
  virtual ~HidHandle() = default;
  // Sends report[0] as the report ID and the rest as its data. True when the device took it.
  [[nodiscard]] virtual bool sendFeatureReport(std::span<const std::uint8_t> report) = 0;
  // Asks for feature report buffer[0]; the reply (report ID first) is written into `buffer`.
  // The number of bytes received, or nullopt on failure (the buffer may then be partly written).
  virtual std::optional<std::size_t> getFeatureReport(std::span<std::uint8_t> buffer) = 0;
  // Waits at most `timeout` for one input report. A report longer than `buffer` is cut.
  virtual ReadResult readInputReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) = 0;
};

struct HotplugEvent {
  enum class Kind : std::uint8_t { kArrival, kRemoval };
  Kind kind = Kind::kArrival;
  std::string path;
  bool operator==(const HotplugEvent&) const = default;
};

class HotplugMonitor {
 public:
  virtual ~HotplugMonitor() = default;
  // A descriptor that becomes readable when an event may be waiting, for an event loop to
  // watch; next() with a zero time-out then takes it.
  virtual int descriptor() const = 0;
  // The next event, waiting at most `timeout`; nullopt when none came or the watch has failed.
  virtual std::optional<HotplugEvent> next(std::chrono::milliseconds timeout) = 0;
};

struct OpenResult {
  std::unique_ptr<HidHandle> handle;  // null on failure
  std::string error;                  // why it failed, for the user
};

class HidTransport {
 public:
  virtual ~HidTransport() = default;
  // Every HID interface present, in the system's enumeration order.
  virtual std::vector<HidInterfaceInfo> enumerate() = 0;
  // Why the last enumerate() could not look at all (the simulator's socket is missing, …);
  // empty when it could.
  virtual std::string enumerateProblem() const = 0;
  virtual OpenResult open(const std::string& path, HidAccess access) = 0;
  // A watch on arrivals and removals; null (with `error` set) when the system offers none.
  virtual std::unique_ptr<HotplugMonitor> watchHotplug(std::string& error) = 0;
  // What tells this mouse from every other one on the machine, for the locks programs share on
  // it: the device path, unless the transport reaches mice whose paths repeat (simulators).
  virtual std::string deviceIdentity(const std::string& devicePath) const { return devicePath; }
};

// Device paths compared as the system's device-change notifications need: ASCII letters
// without regard to case.
bool samePath(std::string_view a, std::string_view b);

}  // namespace quillet
