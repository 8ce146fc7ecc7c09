#pragma once
// The real mouse: hidapi's hidraw backend for enumeration and IO, the sysfs report descriptor of
// each hidraw node for the report lengths, and a libudev monitor on subsystem "hidraw" for
// arrival and removal.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/io/hid_transport.h"

namespace quillet {

std::unique_ptr<HidTransport> makeHidrawTransport();

// One entry of hidapi's enumeration: a top-level collection of the device node at `path`.
struct HidapiEntry {
  std::string path;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint16_t usagePage = 0;
  std::uint16_t usage = 0;
};

// The interfaces of hidapi's entries, in their order, with the report lengths of their
// collections from each node's report descriptor, <sysfsClass>/<node>/device/report_descriptor
// (sysfsClass is normally /sys/class/hidraw). The entries of one node take its collections in
// turn: each the first collection of its usage page and usage that no earlier entry took. An
// entry left without one is left out when the node's descriptor was read (hidapi lists nested
// collections as well, which are no interfaces), and kept with lengths 0 when it was not.
std::vector<HidInterfaceInfo> hidrawInterfaces(std::span<const HidapiEntry> entries,
                                               const std::filesystem::path& sysfsClass);

}  // namespace quillet
