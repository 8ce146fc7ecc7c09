// Any bytes as a report descriptor: the parser returns collections or an error, never more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/io/hid_report_descriptor.h"
#include "core/io/hid_transport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto info = quillet::hid::parseReportDescriptor({data, size});
  if (!info.ok() && !info.collections.empty()) {
    std::abort();  // a rejected descriptor describes no interface
  }
  quillet::HidNodeDescription node{"/dev/hidraw0", 0x18F8, 0x0CC0, {data, data + size}};
  if (quillet::interfacesOf(node).size() != info.collections.size()) {
    std::abort();
  }
  return 0;
}
