#include "core/device/device_protocol.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "device/fake_transport.h"

namespace quillet {
namespace {

using ::testing::ElementsAre;
using testing::Bytes;
using testing::FakeDevice;
using testing::FakeTransport;
using testing::TimelineClock;

class ProtocolTest : public ::testing::Test {
 protected:
  ProtocolTest() : transport(device), clock(device), link(transport), protocol(link, clock) {
    transport.interfaces = {testing::eventInterface("/dev/hidraw1"), testing::commandInterface("/dev/hidraw2")};
  }
  void SetUp() override { ASSERT_TRUE(link.open()); }

  FakeDevice device;
  FakeTransport transport;
  TimelineClock clock;
  DeviceLink link;
  DeviceProtocol protocol;
};

TEST_F(ProtocolTest, OneByteBlockIsThreeReportsWithTheirPauses) {
  const Bytes data = {0x22};
  EXPECT_TRUE(protocol.writeBlock(0x0001, data));
  EXPECT_THAT(device.traffic(), ElementsAre("SET 07 18 03 00 01 00 22 00", "pause 5000 us", "SET 07 18 09 00 01 00 00 00",
                                            "pause 5000 us", "SET 07 18 00 00 01 00 00 00"));
}

TEST_F(ProtocolTest, EightByteBlockSendsAddressLowByteFirstAndEveryIndex) {
  const Bytes data = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_TRUE(protocol.writeBlock(0x0240, data));
  EXPECT_THAT(device.traffic(),
              ElementsAre("SET 07 18 03 00 40 02 01 07", "SET 07 18 03 01 40 02 02 07", "SET 07 18 03 02 40 02 03 07",
                          "SET 07 18 03 03 40 02 04 07", "SET 07 18 03 04 40 02 05 07", "SET 07 18 03 05 40 02 06 07",
                          "SET 07 18 03 06 40 02 07 07", "SET 07 18 03 07 40 02 08 07", "pause 5000 us",
                          "SET 07 18 09 00 40 02 00 07", "pause 5000 us", "SET 07 18 00 00 40 02 00 00"));
}

TEST_F(ProtocolTest, DownloadEndAndFixedCommands) {
  EXPECT_TRUE(protocol.endDownload());
  EXPECT_TRUE(protocol.keyHold(true));
  EXPECT_TRUE(protocol.keyHold(false));
  EXPECT_THAT(device.traffic(),
              ElementsAre("SET 07 18 10 00 00 00 00 00", "pause 10000 us", "SET 07 18 00 00 00 00 00 00",
                          "SET 07 11 02 00 00 00 00 00", "SET 07 11 00 00 00 00 00 00"));
}

TEST_F(ProtocolTest, ShortCommandsKeepTheBytesTheStatusReadLeft) {
  device.statusReply = {0x07, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0x08, 0xF5};
  const auto status = protocol.readStatus();
  ASSERT_TRUE(status);
  EXPECT_EQ(status->profileIndex, 2);  // byte 6 bits 2-3
  EXPECT_EQ(status->profileNumber(), 3);
  EXPECT_EQ(status->deviceValue, 5);  // byte 7 bits 0-3
  EXPECT_TRUE(protocol.consumerKey(29));
  EXPECT_TRUE(protocol.hostExit());
  EXPECT_TRUE(protocol.consumerKey(22));  // usage 0x0223: high byte first
  EXPECT_TRUE(protocol.consumerKey(5));   // no multimedia function: usage 0
  EXPECT_THAT(device.traffic(), ElementsAre("GET 07", "SET 07 17 00 E2 A4 A5 08 F5", "SET 07 20 00 00 A4 A5 08 F5",
                                            "SET 07 17 02 23 A4 A5 08 F5", "SET 07 17 00 00 A4 A5 08 F5"));
}

TEST_F(ProtocolTest, StatusAnswerReplacesTheBuffer) {
  ASSERT_TRUE(protocol.sendCommand({0x07, 0x11, 0x02, 0x33, 0x44, 0x55, 0x66, 0x77}));
  device.statusReply = {0x07, 0, 0, 0, 0, 0, 0x0C, 0x00};
  ASSERT_TRUE(protocol.readStatus());
  EXPECT_EQ(protocol.readStatus()->profileIndex, 3);
  EXPECT_EQ(protocol.buffer().bytes[6], 0x0C);
}

TEST_F(ProtocolTest, FailedOrShortStatusReadIsNoStatusAndKeepsTheBuffer) {
  ASSERT_TRUE(protocol.sendCommand({0x07, 0x11, 0x02, 0x33, 0x44, 0x55, 0x66, 0x77}));
  const FeatureReport before = protocol.buffer();
  device.statusReply.clear();  // the read fails
  EXPECT_FALSE(protocol.readStatus());
  device.statusReply = {0x07, 0x01, 0x02, 0x03};  // too short to hold bytes 6 and 7
  EXPECT_FALSE(protocol.readStatus());
  device.statusReply = {0x05, 0, 0, 0, 0, 0, 0x04, 0x01};  // another report's answer
  EXPECT_FALSE(protocol.readStatus());
  EXPECT_EQ(protocol.buffer().bytes, before.bytes);
}

TEST_F(ProtocolTest, BlocksTheMouseCannotTakeAreRefusedWithoutAReport) {
  EXPECT_FALSE(protocol.writeBlock(0x0010, Bytes{}));
  EXPECT_FALSE(protocol.writeBlock(0x0010, Bytes(9, 0xAA)));
  EXPECT_FALSE(protocol.writeBlock(0xFFFC, Bytes(8, 0xAA)));  // would run past 0xFFFF
  EXPECT_TRUE(device.traffic().empty());
  EXPECT_TRUE(protocol.writeBlock(0xFFF8, Bytes(8, 0xAA)));
}

TEST_F(ProtocolTest, MouseUnpluggedDuringABlockStopsAtTheFirstFailedReport) {
  device.sendsBeforeFailure = 2;
  EXPECT_FALSE(protocol.writeBlock(0x0008, Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_THAT(device.traffic(),
              ElementsAre("SET 07 18 03 00 08 00 01 07", "SET 07 18 03 01 08 00 02 07", "SET 07 18 03 02 08 00 03 07"));
  EXPECT_FALSE(protocol.endDownload());
  EXPECT_FALSE(protocol.hostExit());
}

TEST_F(ProtocolTest, TraceShowsEveryReportAndFailure) {
  std::vector<std::string> lines;
  protocol.setTrace([&](std::string_view line) { lines.emplace_back(line); });
  ASSERT_TRUE(protocol.keyHold(true));
  device.statusReply.clear();
  protocol.readStatus();
  EXPECT_THAT(lines, ElementsAre("SET 07 11 02 00 00 00 00 00", "GET (failed)"));
}

TEST(ProtocolWithoutMouse, EverySendFailsQuietlyAndNothingWaits) {
  FakeDevice device;
  FakeTransport transport(device);
  RecordingClock clock;
  DeviceLink link(transport);
  DeviceProtocol protocol(link, clock);
  EXPECT_FALSE(link.open());
  EXPECT_FALSE(protocol.writeBlock(1, Bytes{1}));
  EXPECT_FALSE(protocol.endDownload());
  EXPECT_FALSE(protocol.readStatus());
  EXPECT_FALSE(protocol.hostExit());
  EXPECT_TRUE(clock.pauses().empty());
  EXPECT_TRUE(device.entries().empty());
}

TEST(ProtocolFeatureLength, CollectionLengthDecidesWhatIsSent) {
  FakeDevice device;
  FakeTransport transport(device);
  RecordingClock clock;
  DeviceLink link(transport);
  DeviceProtocol protocol(link, clock);
  auto command = testing::commandInterface("/dev/hidraw2");
  command.featureReportLength = 4;  // too short for any command
  transport.interfaces = {testing::eventInterface("/dev/hidraw1"), command};
  ASSERT_TRUE(link.open());
  EXPECT_FALSE(protocol.keyHold(true));
  EXPECT_TRUE(device.traffic().empty());

  transport.interfaces[1].featureReportLength = 12;  // longer: bytes 8 and up stay zero
  ASSERT_TRUE(link.open());
  EXPECT_TRUE(protocol.keyHold(true));
  EXPECT_THAT(device.traffic(), ElementsAre("SET 07 11 02 00 00 00 00 00 00 00 00 00"));
}

// A status read from another thread waits until the block write in progress has ended.
TEST(ProtocolConcurrency, StatusReadNeverLandsInsideABlockWrite) {
  FakeDevice device;
  device.statusReply = {0x07, 0, 0, 0, 0, 0, 0x04, 0x00};
  FakeTransport transport(device);
  transport.interfaces = {testing::eventInterface("/dev/hidraw1"), testing::commandInterface("/dev/hidraw2")};
  DeviceLink link(transport);

  // At the block's first pause another thread asks for the status and is given time to try.
  struct RacingClock final : Clock {
    DeviceProtocol* protocol = nullptr;
    std::thread reader;
    void sleepFor(std::chrono::microseconds) override {
      if (!reader.joinable()) {
        reader = std::thread([this] { protocol->readStatus(); });
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
  } clock;
  DeviceProtocol protocol(link, clock);
  clock.protocol = &protocol;
  ASSERT_TRUE(link.open());
  EXPECT_TRUE(protocol.writeBlock(0x0001, Bytes{0x22}));
  clock.reader.join();
  EXPECT_THAT(device.traffic(), ElementsAre("SET 07 18 03 00 01 00 22 00", "SET 07 18 09 00 01 00 00 00",
                                            "SET 07 18 00 00 01 00 00 00", "GET 07"));
}

TEST(StatusDecoding, TakesOnlyItsBits) {
  EXPECT_EQ(decodeStatus(Bytes{7, 0, 0, 0, 0, 0, 0xF3, 0xFA}), (DeviceStatus{0, 0x0A}));
  EXPECT_EQ(decodeStatus(Bytes{7, 0, 0, 0, 0, 0, 0x08, 0x00}), (DeviceStatus{2, 0}));
  EXPECT_FALSE(decodeStatus(Bytes{7, 0, 0, 0, 0, 0, 0x08}));
}

}  // namespace
}  // namespace quillet
