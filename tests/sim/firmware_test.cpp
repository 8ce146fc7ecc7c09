#include "firmware.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/io/hid_report_descriptor.h"
#include "sim_descriptors.h"

namespace quillet::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes writeByte(std::uint8_t i, std::uint16_t a, std::uint8_t d, std::uint8_t m) {
  return {0x07, 0x18, 0x03, i, static_cast<std::uint8_t>(a & 0xFF), static_cast<std::uint8_t>(a >> 8), d, m};
}
Bytes commit(std::uint16_t a, std::uint8_t m) {
  return {0x07, 0x18, 0x09, 0x00, static_cast<std::uint8_t>(a & 0xFF), static_cast<std::uint8_t>(a >> 8), 0x00, m};
}
Bytes endBlock(std::uint16_t a) {
  return {0x07, 0x18, 0x00, 0x00, static_cast<std::uint8_t>(a & 0xFF), static_cast<std::uint8_t>(a >> 8), 0x00, 0x00};
}

class FirmwareTest : public ::testing::Test {
 protected:
  void block(std::uint16_t address, const Bytes& data) {
    const auto m = static_cast<std::uint8_t>(data.size() - 1);
    for (std::size_t i = 0; i < data.size(); ++i) {
      fw.receive(writeByte(static_cast<std::uint8_t>(i), address, data[i], m));
    }
    fw.receive(commit(address, m));
    fw.receive(endBlock(address));
  }
  Bytes memory(std::size_t from, std::size_t n) const {
    return {fw.memory().begin() + static_cast<std::ptrdiff_t>(from),
            fw.memory().begin() + static_cast<std::ptrdiff_t>(from + n)};
  }
  Firmware fw;
};

TEST_F(FirmwareTest, CompleteBlocksReachTheMemoryOnCommit) {
  block(0x0001, {0x22});
  block(0x0240, {1, 2, 3, 4, 5, 6, 7, 8});
  block(0x3FF8, {9, 9, 9, 9, 9, 9, 9, 9});  // the last eight bytes
  EXPECT_EQ(memory(0, 3), (Bytes{0, 0x22, 0}));
  EXPECT_EQ(memory(0x0240, 8), (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(memory(0x3FF8, 8), Bytes(8, 9));
  EXPECT_EQ(fw.counters().blocksCommitted, 3);
  EXPECT_EQ(fw.counters().blocksRejected, 0);
}

TEST_F(FirmwareTest, BlocksWithoutAllTheirBytesChangeNothing) {
  // Byte 5 of 8 never arrives.
  for (std::uint8_t i = 0; i < 8; ++i) {
    if (i != 5) {
      fw.receive(writeByte(i, 0x0010, 0xAA, 7));
    }
  }
  fw.receive(commit(0x0010, 7));
  // A commit of another address or length than the bytes staged.
  fw.receive(writeByte(0, 0x0020, 0xBB, 0));
  fw.receive(commit(0x0021, 0));
  fw.receive(writeByte(0, 0x0030, 0xCC, 0));
  fw.receive(commit(0x0030, 1));
  // A block broken off by the bytes of another: the first one's commit finds nothing staged.
  fw.receive(writeByte(0, 0x0040, 0xDD, 1));
  fw.receive(writeByte(0, 0x0048, 0xEE, 1));
  fw.receive(writeByte(1, 0x0040, 0xDD, 1));
  fw.receive(commit(0x0040, 1));
  // An end before the commit drops the staging.
  fw.receive(writeByte(0, 0x0050, 0x11, 0));
  fw.receive(endBlock(0x0050));
  fw.receive(commit(0x0050, 0));
  // A block that would run past the memory.
  for (std::uint8_t i = 0; i < 8; ++i) {
    fw.receive(writeByte(i, 0x3FFC, 0x77, 7));
  }
  fw.receive(commit(0x3FFC, 7));

  EXPECT_EQ(fw.counters().blocksCommitted, 0);
  EXPECT_EQ(fw.counters().blocksRejected, 6);
  for (std::uint8_t b : fw.memory()) {
    ASSERT_EQ(b, 0);
  }
}

TEST_F(FirmwareTest, DownloadEndAndHostCommandsAreRecorded) {
  fw.receive(Bytes{0x07, 0x18, 0x10, 0, 0, 0, 0, 0});
  fw.receive(endBlock(0));
  fw.receive(endBlock(0));  // a second end closes no download
  fw.receive(Bytes{0x07, 0x11, 0x02, 0, 0, 0, 0, 0});
  EXPECT_TRUE(fw.keyHeld());
  fw.receive(Bytes{0x07, 0x11, 0x00, 0, 0, 0, 0, 0});
  EXPECT_FALSE(fw.keyHeld());
  fw.receive(Bytes{0x07, 0x17, 0x00, 0xE2, 0xAA, 0xBB, 0xCC, 0xDD});
  fw.receive(Bytes{0x07, 0x20, 0x00, 0x00, 0, 0, 0, 0});
  fw.receive(Bytes{0x07, 0x18, 0x03});  // too short to be a command
  fw.receive(Bytes{0x05, 0x18, 0x10, 0, 0, 0, 0, 0});
  EXPECT_EQ(fw.counters().finishes, 1);
  EXPECT_EQ(fw.counters().downloadsClosed, 1);
  EXPECT_EQ(fw.lastConsumerUsage(), 0x00E2);
  EXPECT_TRUE(fw.hostExited());
  EXPECT_EQ(fw.counters().unknownReports, 2);
  EXPECT_NE(fw.describe().find("consumer-key 00E2\n"), std::string::npos);
}

TEST(FirmwareReports, StatusAndEvents) {
  Firmware fw(0x1C);  // only bits 0-3 are the device value
  EXPECT_EQ(fw.status(), (StatusReport{0x07, 0, 0, 0, 0, 0, 0x00, 0x0C}));
  EXPECT_EQ(fw.switchProfile(2), (EventReport{0x06, 0x03, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(fw.status()[6], 0x08);
  EXPECT_EQ(fw.keyEvent(7, true), (EventReport{0x06, 0xF9, 0x80, 0, 0, 0, 0, 0}));
  EXPECT_EQ(fw.keyEvent(0, false), (EventReport{0x06, 0xF1, 0x00, 0, 0, 0, 0, 0}));
  EXPECT_EQ(Firmware::adjustEvent(false)[1], 0x02);
}

TEST(SimDescriptors, EachNodeIsOneCollectionWithTheMouseReportLengths) {
  struct Expected {
    NodeRole role;
    hid::CollectionCaps caps;
  };
  for (const Expected& e : {Expected{NodeRole::kMouse, {0x0001, 0x0002, 4, 0, 0, false}},
                            Expected{NodeRole::kEvents, {0xFF00, 0x0001, 8, 0, 0, true}},
                            Expected{NodeRole::kCommands, {0xFF01, 0x0001, 0, 0, 8, true}}}) {
    const hid::DescriptorInfo info = hid::parseReportDescriptor(descriptorOf(e.role));
    ASSERT_TRUE(info.ok()) << info.error;
    ASSERT_EQ(info.collections.size(), 1u);
    EXPECT_EQ(info.collections[0], e.caps);
  }
}

}  // namespace
}  // namespace quillet::sim
