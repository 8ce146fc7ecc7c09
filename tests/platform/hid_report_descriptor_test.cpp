#include "core/io/hid_report_descriptor.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/io/hid_transport.h"

namespace quillet::hid {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The boot-protocol mouse of the HID class definition: three buttons, padding, X and Y.
const Bytes kBootMouse = {
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00,
    0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30,
    0x09, 0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0,
};

// The boot-protocol keyboard: modifiers, a reserved byte, six key codes; five LEDs and padding out.
const Bytes kBootKeyboard = {
    0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01, 0x75, 0x01,
    0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01,
    0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00, 0x25, 0x65,
    0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0,
};

// Two vendor collections with numbered reports of several lengths, the second built with Push
// and Pop and a four-byte usage that carries its own page.
const Bytes kVendorWithIds = {
    0x06, 0x00, 0xFF,        // Usage Page (0xFF00)
    0x09, 0x01,              // Usage (1)
    0xA1, 0x01,              // Collection (Application)
    0x75, 0x08,              //   Report Size (8)
    0x85, 0x06, 0x95, 0x07,  //   Report ID 6, Report Count (7)
    0x81, 0x02,              //   Input
    0x85, 0x09, 0x95, 0x02,  //   Report ID 9, Report Count (2)
    0x81, 0x02,              //   Input
    0x95, 0x03, 0x81, 0x02,  //   Report ID 9 continues: 3 more bytes (5 in all)
    0xC0,                    // End Collection
    0x0B, 0x01, 0x00, 0x01, 0xFF,  // Usage (0xFF01:0001)
    0xA1, 0x01,                    // Collection (Application)
    0xA4,                          //   Push
    0x85, 0x07, 0x95, 0x3F,        //   Report ID 7, Report Count (63)
    0xB1, 0x02,                    //   Feature
    0xB4,                          //   Pop: Report ID 9 again, Report Count (3)
    0x91, 0x02,                    //   Output
    0xC0,                          // End Collection
};

TEST(ReportDescriptor, BootMouseAndKeyboardWithoutReportIds) {
  DescriptorInfo mouse = parseReportDescriptor(kBootMouse);
  ASSERT_TRUE(mouse.ok()) << mouse.error;
  ASSERT_EQ(mouse.collections.size(), 1u);  // the physical collection inside is no interface
  EXPECT_EQ(mouse.collections[0], (CollectionCaps{0x01, 0x02, 3, 0, 0, false}));

  DescriptorInfo keyboard = parseReportDescriptor(kBootKeyboard);
  ASSERT_TRUE(keyboard.ok()) << keyboard.error;
  ASSERT_EQ(keyboard.collections.size(), 1u);
  EXPECT_EQ(keyboard.collections[0], (CollectionCaps{0x01, 0x06, 8, 1, 0, false}));
}

TEST(ReportDescriptor, LongestNumberedReportPerKindPlusTheIdByte) {
  DescriptorInfo info = parseReportDescriptor(kVendorWithIds);
  ASSERT_TRUE(info.ok()) << info.error;
  ASSERT_EQ(info.collections.size(), 2u);
  // Report 6 has 7 bytes, report 9 has 5: the longest, plus its ID.
  EXPECT_EQ(info.collections[0], (CollectionCaps{0xFF00, 0x0001, 8, 0, 0, true}));
  // Feature 7 has 63 bytes; after Pop, report 9 of 3 bytes is an output report.
  EXPECT_EQ(info.collections[1], (CollectionCaps{0xFF01, 0x0001, 0, 4, 64, true}));
}

TEST(ReportDescriptor, NodeInterfacesCarryPathAndIds) {
  HidNodeDescription node{"/dev/hidraw7", 0x18F8, 0x0CC0, kVendorWithIds};
  const auto interfaces = interfacesOf(node);
  ASSERT_EQ(interfaces.size(), 2u);
  EXPECT_EQ(interfaces[1].path, "/dev/hidraw7");
  EXPECT_EQ(interfaces[1].vendorId, 0x18F8);
  EXPECT_EQ(interfaces[1].usagePage, 0xFF01);
  EXPECT_EQ(interfaces[1].featureReportLength, 64);
  node.reportDescriptor.pop_back();  // unclosed collection: no interfaces at all
  EXPECT_TRUE(interfacesOf(node).empty());
}

TEST(ReportDescriptor, MalformedDescriptorsAreRejected) {
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const std::vector<Case> cases = {
      {"item data cut off", {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x75}},
      {"four-byte item cut off", {0x0B, 0x01, 0x00}},
      {"long item cut off", {0xFE, 0x10, 0x00, 0x01}},
      {"End Collection first", {0xC0}},
      {"collection left open", {0x09, 0x01, 0xA1, 0x01, 0x81, 0x02}},
      {"Pop without Push", {0xB4}},
      {"report ID 0", {0x85, 0x00}},
      {"reserved item type", {0x0C}},
      {"unknown main item", {0xD0}},
      {"report over 65535 bytes", {0xA1, 0x01, 0x77, 0xFF, 0xFF, 0x00, 0x00, 0x97, 0xFF, 0xFF, 0x00, 0x00, 0x81, 0x02, 0xC0}},
  };
  for (const Case& c : cases) {
    const DescriptorInfo info = parseReportDescriptor(c.bytes);
    EXPECT_FALSE(info.ok()) << c.what;
    EXPECT_TRUE(info.collections.empty()) << c.what;
  }
  Bytes deepPush(40, 0xA4);
  EXPECT_FALSE(parseReportDescriptor(deepPush).ok());
}

TEST(ReportDescriptor, EmptyAndSkippedItems) {
  EXPECT_TRUE(parseReportDescriptor({}).ok());
  // A complete long item is skipped; reports outside any collection belong to no interface.
  const Bytes bytes = {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x04, 0x81, 0x02,
                       0x09, 0x05, 0xA1, 0x01, 0xB1, 0x02, 0xC0};
  const DescriptorInfo info = parseReportDescriptor(bytes);
  ASSERT_TRUE(info.ok()) << info.error;
  ASSERT_EQ(info.collections.size(), 1u);
  EXPECT_EQ(info.collections[0].inputReportLength, 0);
  EXPECT_EQ(info.collections[0].featureReportLength, 4);
}

}  // namespace
}  // namespace quillet::hid
