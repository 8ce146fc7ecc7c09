// The hidraw backend's view of the system: hidapi's entries, as a scripted enumeration, matched
// with the collections of their nodes' report descriptors in a sysfs tree of the test's own.
#include "linux/hidraw_transport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace quillet {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Vendor collection 0xFF00:1 with input report 6 of 7 bytes, then 0xFF01:1 with feature
// report 7 of 63 bytes: the mouse's command and event collections in one node.
const Bytes kVendorNode = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // Usage Page 0xFF00, Usage 1, Collection
    0x75, 0x08, 0x85, 0x06, 0x95, 0x07, 0x81, 0x02, 0xC0,  // 8 bits, ID 6, 7 of them, Input
    0x06, 0x01, 0xFF, 0x09, 0x01, 0xA1, 0x01,              // Usage Page 0xFF01, Usage 1, Collection
    0x85, 0x07, 0x95, 0x3F, 0xB1, 0x02, 0xC0,              // ID 7, 63 of them, Feature
};

// Two collections of the same usage, 0xFF00:1, without report IDs: 4 input bytes, then 2.
const Bytes kTwinNode = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0xC0,
    0x09, 0x01, 0xA1, 0x01, 0x95, 0x02, 0x81, 0x02, 0xC0,
};

// A plain mouse: Generic Desktop, Mouse, three input bytes.
const Bytes kMouseNode = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x03, 0x81, 0x02, 0xC0};

// A mouse as real ones describe themselves: the Mouse collection holds a Pointer collection,
// whose usage hidapi lists as an entry of its own.
const Bytes kNestedMouseNode = {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x75,
                                0x08, 0x95, 0x04, 0x81, 0x06, 0xC0, 0xC0};

TEST(HidrawInterfaces, EntriesTakeTheirNodesCollectionsInTurn) {
  test::TempDir sysfs;
  const auto descriptor = [&](const char* node, const Bytes& bytes) {
    test::writeBytes(sysfs / node / "device" / "report_descriptor", std::string(bytes.begin(), bytes.end()));
  };
  descriptor("hidraw3", kVendorNode);
  descriptor("hidraw4", kTwinNode);
  descriptor("hidraw5", kMouseNode);
  descriptor("hidraw8", kNestedMouseNode);
  // A vendor collection that never ends: a descriptor that does not parse counts for nothing.
  descriptor("hidraw7", Bytes{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02});

  const std::vector<HidapiEntry> entries = {
      {"/dev/hidraw3", 0x18F8, 0x0CC0, 0xFF01, 0x0001},  // hidapi lists the command collection first
      {"/dev/hidraw3", 0x18F8, 0x0CC0, 0xFF00, 0x0001},
      {"/dev/hidraw4", 0x1234, 0x0001, 0xFF00, 0x0001},
      {"/dev/hidraw4", 0x1234, 0x0001, 0xFF00, 0x0001},
      {"/dev/hidraw4", 0x1234, 0x0001, 0xFF00, 0x0001},  // a third: the node has two, left out
      {"/dev/hidraw5", 0x046D, 0xC077, 0x0001, 0x0002},
      {"/dev/hidraw5", 0x046D, 0xC077, 0xFF00, 0x0001},  // a usage the node does not have: left out
      {"/dev/hidraw6", 0x18F8, 0x0CC0, 0xFF00, 0x0001},  // no sysfs entry at all
      {"/dev/hidraw7", 0x18F8, 0x0CC0, 0xFF00, 0x0001},
      {"/dev/hidraw8", 0x18F8, 0x0CC0, 0x0001, 0x0002},
      {"/dev/hidraw8", 0x18F8, 0x0CC0, 0x0001, 0x0001},  // the nested Pointer: left out
  };
  const std::vector<HidInterfaceInfo> expected = {
      {"/dev/hidraw3", 0x18F8, 0x0CC0, 0xFF01, 0x0001, 0, 0, 64},
      {"/dev/hidraw3", 0x18F8, 0x0CC0, 0xFF00, 0x0001, 8, 0, 0},
      {"/dev/hidraw4", 0x1234, 0x0001, 0xFF00, 0x0001, 4, 0, 0},
      {"/dev/hidraw4", 0x1234, 0x0001, 0xFF00, 0x0001, 2, 0, 0},
      {"/dev/hidraw5", 0x046D, 0xC077, 0x0001, 0x0002, 3, 0, 0},
      {"/dev/hidraw6", 0x18F8, 0x0CC0, 0xFF00, 0x0001, 0, 0, 0},
      {"/dev/hidraw7", 0x18F8, 0x0CC0, 0xFF00, 0x0001, 0, 0, 0},
      {"/dev/hidraw8", 0x18F8, 0x0CC0, 0x0001, 0x0002, 4, 0, 0},
  };
  EXPECT_EQ(hidrawInterfaces(entries, sysfs.path()), expected);
}

}  // namespace
}  // namespace quillet
