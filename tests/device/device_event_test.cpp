#include "core/device/device_event.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = DeviceEvent::Kind;

TEST(DeviceEvents, KeyEventsNameTheirButtonStateAndDpiLevel) {
  const DeviceEvent e = decodeEvent(Bytes{0x06, 0xF9, 0x83, 0, 0, 0, 0, 0});
  EXPECT_EQ(e.kind, Kind::kKey);
  EXPECT_EQ(e.button, 7);
  EXPECT_TRUE(e.pressed);
  EXPECT_EQ(e.dpiLevel, 3);

  for (int b = 0; b < kButtonCount; ++b) {
    const DeviceEvent k = decodeEvent(Bytes{0x06, kKeyEventCodes[static_cast<std::size_t>(b)], 0x45});
    EXPECT_EQ(k.button, b);
    EXPECT_FALSE(k.pressed);
    EXPECT_EQ(k.dpiLevel, 5);
  }
  for (std::uint8_t code : {0xF8, 0xFA, 0xFF}) {
    const DeviceEvent k = decodeEvent(Bytes{0x06, code, 0x80});
    EXPECT_EQ(k.kind, Kind::kKey);
    EXPECT_FALSE(k.button.has_value());
    EXPECT_TRUE(k.pressed);
  }
}

TEST(DeviceEvents, OtherCodes) {
  EXPECT_EQ(decodeEvent(Bytes{0x06, 0xF0, 0x80}).kind, Kind::kNone);
  EXPECT_EQ(decodeEvent(Bytes{0x06, 0x03}).kind, Kind::kProfileChanged);
  EXPECT_EQ(decodeEvent(Bytes{0x06, 0x01}).kind, Kind::kAdjustUp);
  EXPECT_EQ(decodeEvent(Bytes{0x06, 0x02}).kind, Kind::kAdjustDown);
  for (std::uint8_t code : {0x00, 0x04, 0x7F, 0xEF}) {
    EXPECT_EQ(decodeEvent(Bytes{0x06, code}).kind, Kind::kAdjust);
  }
}

TEST(DeviceEvents, ReportsThatAreNotEventsAreIgnored) {
  EXPECT_EQ(decodeEvent(Bytes{0x07, 0xF9, 0x83}).kind, Kind::kNotAnEvent);
  EXPECT_EQ(decodeEvent(Bytes{0x00, 0x03}).kind, Kind::kNotAnEvent);
  EXPECT_EQ(decodeEvent(Bytes{0x06}).kind, Kind::kNotAnEvent);
  EXPECT_EQ(decodeEvent(Bytes{}).kind, Kind::kNotAnEvent);
  // A report that ends after the code has no data byte: a release at level 0.
  const DeviceEvent e = decodeEvent(Bytes{0x06, 0xF1});
  EXPECT_EQ(e.button, 0);
  EXPECT_FALSE(e.pressed);
}

}  // namespace
}  // namespace quillet
