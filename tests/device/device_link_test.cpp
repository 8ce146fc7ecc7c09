#include "core/device/device_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "device/fake_transport.h"

namespace quillet {
namespace {

using ::testing::ElementsAre;
using testing::commandInterface;
using testing::eventInterface;
using testing::FakeDevice;
using testing::FakeTransport;
using testing::mouseInterface;

HidInterfaceInfo foreign(int n) { return {"/dev/other" + std::to_string(n), 0x046D, 0xC077, 0x0001, 0x0002, 4, 0, 0}; }

class DiscoveryTest : public ::testing::Test {
 protected:
  DiscoveryTest() : transport(device), link(transport) {}
  FakeDevice device;
  FakeTransport transport;
  DeviceLink link;
};

TEST_F(DiscoveryTest, EveryAcceptedIdIsTheMouseAndNoOtherIs) {
  for (const VidPid& id : kAcceptedIds) {
    transport.interfaces = {foreign(0), commandInterface("/dev/c", id.vendorId, id.productId)};
    EXPECT_TRUE(link.open()) << std::hex << id.vendorId << ":" << id.productId;
  }
  transport.interfaces = {commandInterface("/dev/c", 0x18F8, 0x0CC1), eventInterface("/dev/e", 0x18FA, 0x0040)};
  EXPECT_FALSE(link.open());
  EXPECT_EQ(link.commandChannel().handle, nullptr);
}

TEST_F(DiscoveryTest, CommandCollectionFirstOpensBothAndStopsAfterTheSecond) {
  transport.interfaces = {foreign(0), commandInterface("/dev/hidraw3"), mouseInterface("/dev/hidraw4"),
                          eventInterface("/dev/hidraw5"), mouseInterface("/dev/hidraw6")};
  ASSERT_TRUE(link.open());
  EXPECT_THAT(device.entries(), ElementsAre("open /dev/hidraw3 w", "open /dev/hidraw5 r"));
  // The walk ended at the event collection: the later interface is not the device path.
  EXPECT_EQ(link.devicePath(), "/dev/hidraw5");
  EXPECT_EQ(link.eventState(), DeviceLink::HandleState::kOpen);
  EXPECT_EQ(link.commandCaps().featureReportLength, 8);
  EXPECT_EQ(link.eventCaps().inputReportLength, 8);
}

TEST_F(DiscoveryTest, OnlyTheFirstFiftyInterfacesAreLookedAt) {
  std::vector<HidInterfaceInfo> list;
  for (int i = 0; i < 50; ++i) {
    list.push_back(foreign(i));
  }
  list.push_back(eventInterface("/dev/e"));
  transport.interfaces = list;
  EXPECT_FALSE(link.open());

  list.erase(list.begin());  // now the mouse is the fiftieth
  transport.interfaces = list;
  EXPECT_TRUE(link.open());
  EXPECT_EQ(link.devicePath(), "/dev/e");
}

TEST_F(DiscoveryTest, AnInterfaceOfAnotherUsageOnlyMarksThePresence) {
  transport.interfaces = {mouseInterface("/dev/m")};
  EXPECT_TRUE(link.open());
  EXPECT_EQ(link.devicePath(), "/dev/m");
  EXPECT_TRUE(device.entries().empty());
  EXPECT_EQ(link.eventState(), DeviceLink::HandleState::kNeverOpened);
  EXPECT_EQ(link.commandChannel().handle, nullptr);
}

TEST_F(DiscoveryTest, FailedOpensCountAsOpenedAndAreExplained) {
  transport.interfaces = {eventInterface("/dev/e"), commandInterface("/dev/c"), commandInterface("/dev/c2")};
  transport.failingPaths = {"/dev/c"};
  EXPECT_TRUE(link.open());
  EXPECT_EQ(link.commandState(), DeviceLink::HandleState::kFailed);
  EXPECT_EQ(link.commandChannel().handle, nullptr);
  EXPECT_EQ(link.openError(), "/dev/c: permission denied");
  EXPECT_THAT(device.entries(), ElementsAre("open /dev/e r", "open /dev/c w"));
}

TEST_F(DiscoveryTest, RediscoveryClosesTheOldHandlesFirst) {
  transport.interfaces = {eventInterface("/dev/e"), commandInterface("/dev/c")};
  ASSERT_TRUE(link.open());
  ASSERT_TRUE(link.open());
  const auto entries = device.entries();
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_THAT(std::vector<std::string>(entries.begin() + 2, entries.begin() + 4),
              ::testing::UnorderedElementsAre("close /dev/e", "close /dev/c"));
  EXPECT_EQ(entries[4], "open /dev/e r");
}

TEST_F(DiscoveryTest, RemovalMatchesThePathWhateverItsCase) {
  transport.interfaces = {eventInterface("/DEV/Hidraw5"), commandInterface("/DEV/Hidraw5")};
  ASSERT_TRUE(link.open());
  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kRemoval, "/dev/hidraw9"}), DeviceLink::Change::kNone);
  EXPECT_TRUE(link.devicePresent());
  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kArrival, "/dev/hidraw5"}), DeviceLink::Change::kNone);  // present

  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kRemoval, "/dev/hidraw5"}), DeviceLink::Change::kRemoved);
  EXPECT_FALSE(link.devicePresent());
  EXPECT_EQ(link.commandChannel().handle, nullptr);
  EXPECT_EQ(link.devicePath(), "/DEV/Hidraw5");

  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kArrival, "/dev/other"}), DeviceLink::Change::kNone);
  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kArrival, "/dev/HIDRAW5"}), DeviceLink::Change::kRediscovered);
  EXPECT_TRUE(link.devicePresent());
  EXPECT_NE(link.commandChannel().handle, nullptr);
}

TEST_F(DiscoveryTest, AMousePluggedInAfterAFailedDiscoveryIsFound) {
  EXPECT_FALSE(link.open());
  // Another device comes first: discovery runs and still finds no mouse.
  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kArrival, "/dev/keyboard"}), DeviceLink::Change::kNone);
  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kRemoval, "/dev/keyboard"}), DeviceLink::Change::kNone);
  transport.interfaces = {eventInterface("/dev/e"), commandInterface("/dev/e")};
  EXPECT_EQ(link.onDeviceChange({HotplugEvent::Kind::kArrival, "/dev/e"}), DeviceLink::Change::kRediscovered);
  EXPECT_TRUE(link.devicePresent());
  EXPECT_NE(link.commandChannel().handle, nullptr);
}

TEST_F(DiscoveryTest, EventReadsAndTheirFailures) {
  InputReport report;
  // No event collection: the read waits (here 1 ms) and fails without touching a device.
  EXPECT_EQ(link.readEvent(report, std::chrono::milliseconds(1)), ReadStatus::kError);

  transport.interfaces = {eventInterface("/dev/e"), commandInterface("/dev/c")};
  ASSERT_TRUE(link.open());
  device.inputs.push_back({0x06, 0xF9, 0x83, 0, 0, 0, 0, 0, 0xAA});  // longer than the collection's 8
  EXPECT_EQ(link.readEvent(report, std::chrono::milliseconds(0)), ReadStatus::kReport);
  EXPECT_EQ(report.length, 8u);
  EXPECT_EQ(report.bytes[1], 0xF9);
  EXPECT_EQ(report.bytes[8], 0x00);
  EXPECT_EQ(link.readEvent(report, std::chrono::milliseconds(0)), ReadStatus::kTimeout);

  // A read error drops the handle: the next reads wait instead of failing in a loop.
  device.readError = true;
  EXPECT_EQ(link.readEvent(report, std::chrono::milliseconds(0)), ReadStatus::kError);
  EXPECT_EQ(link.eventState(), DeviceLink::HandleState::kFailed);
  const int reads = device.reads;
  EXPECT_EQ(link.readEvent(report, std::chrono::milliseconds(1)), ReadStatus::kError);
  EXPECT_EQ(device.reads, reads);

  link.stopReaders();
  EXPECT_EQ(link.readEvent(report, std::chrono::hours(1)), ReadStatus::kError);  // returns at once
}

// Reads until one gives a report or `deadline` passes; how many reads were asked for.
int readUntilReport(DeviceLink& link, InputReport& report, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  int calls = 0;
  while (std::chrono::steady_clock::now() < end) {
    ++calls;
    if (link.readEvent(report, std::chrono::milliseconds(50)) == ReadStatus::kReport) {
      return calls;
    }
  }
  return -calls;
}

int opensOf(FakeDevice& device, const std::string& path) {
  int n = 0;
  for (const std::string& e : device.entries()) {
    n += e == "open " + path + " r" ? 1 : 0;
  }
  return n;
}

TEST_F(DiscoveryTest, AReadErrorThatIsNoRemovalOpensTheCollectionAgain) {
  transport.interfaces = {eventInterface("/dev/e"), commandInterface("/dev/c")};
  ASSERT_TRUE(link.open());
  InputReport report;
  device.readError = true;  // a suspend, a transient error: the node stays
  ASSERT_EQ(link.readEvent(report, std::chrono::milliseconds(0)), ReadStatus::kError);

  // While the node cannot be opened either, the reopen is tried again after each pause, not in
  // a loop.
  transport.failingPaths.insert("/dev/e");
  EXPECT_LT(readUntilReport(link, report, 3 * DeviceLink::kReopenPause), 0);
  EXPECT_GE(opensOf(device, "/dev/e"), 2);
  EXPECT_LE(opensOf(device, "/dev/e"), 4);

  // Once it opens, the events come again.
  transport.failingPaths.clear();
  device.readError = false;
  device.inputs.push_back({0x06, 0xF1, 0x80, 0, 0, 0, 0, 0});
  EXPECT_GT(readUntilReport(link, report, std::chrono::seconds(10)), 0);
  EXPECT_EQ(report.bytes[1], 0xF1);
  EXPECT_EQ(link.eventState(), DeviceLink::HandleState::kOpen);
}

TEST_F(DiscoveryTest, AfterARemovalNothingIsOpenedAgain) {
  transport.interfaces = {eventInterface("/dev/e"), commandInterface("/dev/c")};
  ASSERT_TRUE(link.open());
  InputReport report;
  device.readError = true;
  ASSERT_EQ(link.readEvent(report, std::chrono::milliseconds(0)), ReadStatus::kError);
  ASSERT_EQ(link.onDeviceChange({HotplugEvent::Kind::kRemoval, link.devicePath()}), DeviceLink::Change::kRemoved);
  device.readError = false;
  device.inputs.push_back({0x06, 0xF1, 0x80, 0, 0, 0, 0, 0});
  EXPECT_LT(readUntilReport(link, report, 2 * DeviceLink::kReopenPause), 0);
  EXPECT_EQ(opensOf(device, "/dev/e"), 1) << "only the discovery opened it";
}

}  // namespace
}  // namespace quillet
