#include "core/io/hid_transport.h"

#include "core/io/hid_report_descriptor.h"

namespace quillet {

std::vector<HidInterfaceInfo> interfacesOf(const HidNodeDescription& node) {
  std::vector<HidInterfaceInfo> out;
  const hid::DescriptorInfo info = hid::parseReportDescriptor(node.reportDescriptor);
  for (const hid::CollectionCaps& c : info.collections) {
    HidInterfaceInfo i;
    i.path = node.path;
    i.vendorId = node.vendorId;
    i.productId = node.productId;
    i.usagePage = c.usagePage;
    i.usage = c.usage;
    i.inputReportLength = c.inputReportLength;
    i.outputReportLength = c.outputReportLength;
    i.featureReportLength = c.featureReportLength;
    out.push_back(std::move(i));
  }
  return out;
}

bool samePath(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace quillet
