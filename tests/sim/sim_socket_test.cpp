// The simulated mouse served on a real Unix socket, driven through the host's socket transport,
// device link and protocol.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "core/device/device_event.h"
#include "core/device/device_link.h"
#include "core/device/device_protocol.h"
#include "linux/sim_socket_transport.h"
#include "linux/unix_socket.h"
#include "sim_server.h"
#include "sim_transport.h"

namespace quillet::sim {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

class SimSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-sim-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir = pattern;
    socketPath = (dir / "mouse.sock").string();
    start({});
  }

  void start(SimOptions options) {
    options.log = [this](const std::string& line) {
      std::lock_guard lock(logMutex);
      log.push_back(line);
    };
    mouse = SimMouse::create(std::move(options));
    server = std::make_unique<SimServer>(mouse);
    std::string error;
    ASSERT_TRUE(server->listen(socketPath, error)) << error;
    serverThread = std::thread([this] { server->run(); });
    transport = makeSimSocketTransport(socketPath);
  }

  void TearDown() override {
    if (server) {
      server->stop();
      serverThread.join();
      EXPECT_FALSE(std::filesystem::exists(socketPath));  // the server removes its socket
    }
    std::filesystem::remove_all(dir);
  }

  std::vector<std::string> logLines() {
    std::lock_guard lock(logMutex);
    return log;
  }

  // The log lines of one direction, without their time stamps.
  std::vector<std::string> logged(const std::string& direction) {
    std::vector<std::string> out;
    for (const std::string& line : logLines()) {
      const auto space = line.find(' ');
      if (line.compare(space + 1, direction.size() + 1, direction + " ") == 0) {
        out.push_back(line.substr(space + 2 + direction.size()));
      }
    }
    return out;
  }

  std::filesystem::path dir;
  std::string socketPath;
  std::shared_ptr<SimMouse> mouse;
  std::unique_ptr<SimServer> server;
  std::thread serverThread;
  std::unique_ptr<HidTransport> transport;
  std::mutex logMutex;
  std::vector<std::string> log;
};

TEST_F(SimSocketTest, EnumerationShowsThreeCollectionsWithLengthsFromTheirDescriptors) {
  const auto interfaces = transport->enumerate();
  ASSERT_EQ(interfaces.size(), 3u);
  EXPECT_EQ(interfaces[0], (HidInterfaceInfo{"sim://18f8:0cc0/0", 0x18F8, 0x0CC0, 0x0001, 0x0002, 4, 0, 0}));
  EXPECT_EQ(interfaces[1], (HidInterfaceInfo{"sim://18f8:0cc0/1", 0x18F8, 0x0CC0, 0xFF00, 0x0001, 8, 0, 0}));
  EXPECT_EQ(interfaces[2], (HidInterfaceInfo{"sim://18f8:0cc0/2", 0x18F8, 0x0CC0, 0xFF01, 0x0001, 0, 0, 8}));
  EXPECT_TRUE(transport->enumerateProblem().empty());
}

TEST_F(SimSocketTest, StatusFollowsTheMouseAndEventsArriveInOrder) {
  DeviceLink link(*transport);
  RecordingClock clock;
  DeviceProtocol protocol(link, clock);
  ASSERT_TRUE(link.open());
  EXPECT_EQ(protocol.readStatus(), (DeviceStatus{0, 0}));

  std::string error;
  ASSERT_TRUE(mouse->switchProfile(3, error));
  ASSERT_TRUE(mouse->click(7, error));
  ASSERT_TRUE(mouse->adjust(true, error));
  EXPECT_FALSE(mouse->press(8, error));

  std::vector<DeviceEvent> events;
  InputReport report;
  while (link.readEvent(report, std::chrono::milliseconds(0)) == ReadStatus::kReport) {
    EXPECT_EQ(report.length, 8u);
    events.push_back(decodeEvent(std::span(report.bytes.data(), report.length)));
  }
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].kind, DeviceEvent::Kind::kProfileChanged);
  EXPECT_EQ(events[1].button, 7);
  EXPECT_TRUE(events[1].pressed);
  EXPECT_FALSE(events[2].pressed);
  EXPECT_EQ(events[3].kind, DeviceEvent::Kind::kAdjustUp);
  EXPECT_EQ(protocol.readStatus(), (DeviceStatus{2, 0}));
  EXPECT_THAT(logged("GET"), ElementsAre("07 00 00 00 00 00 00 00", "07 00 00 00 00 00 08 00"));
}

TEST_F(SimSocketTest, OneByteBlockIsThreeReportsAtLeastFiveMillisecondsApart) {
  DeviceLink link(*transport);
  SteadyClock clock;
  DeviceProtocol protocol(link, clock);
  ASSERT_TRUE(link.open());
  ASSERT_TRUE(protocol.writeBlock(0x0001, Bytes{0x5A}));

  EXPECT_THAT(logged("SET"), ElementsAre("07 18 03 00 01 00 5A 00", "07 18 09 00 01 00 00 00", "07 18 00 00 01 00 00 00"));
  std::vector<double> stamps;
  for (const std::string& line : logLines()) {
    stamps.push_back(std::strtod(line.c_str(), nullptr));
  }
  ASSERT_EQ(stamps.size(), 3u);
  EXPECT_GE(stamps[1] - stamps[0], 5.0);
  EXPECT_GE(stamps[2] - stamps[1], 5.0);
  mouse->inspect([](const Firmware& fw) { EXPECT_EQ(fw.memory()[1], 0x5A); });
}

TEST_F(SimSocketTest, UnplugAndPlugAreFollowedThroughTheHotplugWatch) {
  DeviceLink link(*transport);
  RecordingClock clock;
  DeviceProtocol protocol(link, clock);
  ASSERT_TRUE(link.open());
  std::string error;
  auto watch = transport->watchHotplug(error);
  ASSERT_NE(watch, nullptr) << error;

  mouse->unplug();
  std::vector<DeviceLink::Change> changes;
  for (int i = 0; i < 3; ++i) {
    const auto event = watch->next(std::chrono::seconds(5));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, HotplugEvent::Kind::kRemoval);
    changes.push_back(link.onDeviceChange(*event));
  }
  // Only the removal of the device path (the command node, met last) counts.
  EXPECT_THAT(changes, ElementsAre(DeviceLink::Change::kNone, DeviceLink::Change::kNone, DeviceLink::Change::kRemoved));
  EXPECT_FALSE(link.devicePresent());
  EXPECT_FALSE(protocol.readStatus());

  // The arrival of the kept device path runs discovery again, with new handles.
  mouse->plug();
  std::vector<DeviceLink::Change> arrivals;
  for (int i = 0; i < 3; ++i) {
    const auto event = watch->next(std::chrono::seconds(5));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, HotplugEvent::Kind::kArrival);
    arrivals.push_back(link.onDeviceChange(*event));
  }
  EXPECT_THAT(arrivals,
              ElementsAre(DeviceLink::Change::kNone, DeviceLink::Change::kNone, DeviceLink::Change::kRediscovered));
  EXPECT_TRUE(link.devicePresent());
  EXPECT_TRUE(protocol.readStatus());
  EXPECT_FALSE(watch->next(std::chrono::milliseconds(0)));
}

TEST_F(SimSocketTest, UnplugDuringABlockWriteStopsItAndLeavesTheMemory) {
  DeviceLink link(*transport);
  struct UnplugClock final : Clock {
    SimMouse* mouse = nullptr;
    int pauses = 0;
    void sleepFor(std::chrono::microseconds) override {
      ++pauses;
      mouse->unplug();
    }
  } clock;
  clock.mouse = mouse.get();
  DeviceProtocol protocol(link, clock);
  ASSERT_TRUE(link.open());
  EXPECT_FALSE(protocol.writeBlock(0x0008, Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(clock.pauses, 1);
  EXPECT_EQ(logged("SET").size(), 8u);
  mouse->inspect([](const Firmware& fw) { EXPECT_EQ(fw.counters().blocksCommitted, 0); });

  // A reader waiting on the event collection learns of the removal too, and no read spins.
  InputReport report;
  EXPECT_EQ(link.readEvent(report, std::chrono::seconds(5)), ReadStatus::kError);
  EXPECT_EQ(link.eventState(), DeviceLink::HandleState::kFailed);
}

TEST_F(SimSocketTest, PeersThatSendGarbageLoseOnlyTheirOwnConnection) {
  auto rawSend = [&](const Bytes& bytes, std::chrono::milliseconds wait) {
    std::string error;
    UnixSocket s = UnixSocket::connectTo(socketPath, error);
    EXPECT_TRUE(s.valid()) << error;
    EXPECT_EQ(::send(s.fd(), bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    simwire::Frame frame;
    return s.receiveFrame(frame, wait);
  };
  const auto forever = std::chrono::seconds(5);
  // Garbage: the server closes the connection.
  EXPECT_EQ(rawSend({0xFF, 0xFF, 0xFF, 0xFF, 0x01}, forever), ReceiveStatus::kClosed);  // longer than any frame
  EXPECT_EQ(rawSend({0x00, 0x00, 0x00, 0x00, 0x42}, forever), ReceiveStatus::kClosed);  // unknown type
  EXPECT_EQ(rawSend({0x00, 0x00, 0x00, 0x00, 0x82}, forever), ReceiveStatus::kClosed);  // a reply as a request
  // A header cut short: the server waits for the rest until the peer goes.
  EXPECT_EQ(rawSend({0x03, 0x00}, std::chrono::milliseconds(20)), ReceiveStatus::kTimeout);
  // Requests before an open: answered, as failures.
  EXPECT_EQ(rawSend({0x03, 0x00, 0x00, 0x00, 0x04, 0x08, 0x00, 0x07}, forever), ReceiveStatus::kFrame);
  EXPECT_EQ(rawSend({0x06, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x08, 0x00}, forever), ReceiveStatus::kFrame);

  // Requests on a handle that are malformed get failures, not a crash.
  {
    std::string error;
    UnixSocket s = UnixSocket::connectTo(socketPath, error);
    ASSERT_TRUE(s.request(simwire::FrameType::kOpen, simwire::encodeOpen({HidAccess::kWrite, "sim://18f8:0cc0/2"}),
                          simwire::FrameType::kResult, std::chrono::seconds(5)));
    const auto reply = s.request(simwire::FrameType::kGetFeature, Bytes{0xFF, 0xFF, 0x07}, simwire::FrameType::kResult,
                                 std::chrono::seconds(5));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(simwire::decodeResult(reply->payload)->ok);
    const auto set = s.request(simwire::FrameType::kSetFeature, {}, simwire::FrameType::kResult, std::chrono::seconds(5));
    ASSERT_TRUE(set);
    EXPECT_FALSE(simwire::decodeResult(set->payload)->ok);
  }

  DeviceLink link(*transport);
  RecordingClock clock;
  DeviceProtocol protocol(link, clock);
  ASSERT_TRUE(link.open());
  EXPECT_TRUE(protocol.readStatus());
}

// A client that waits for the socket file and connects at once must never be refused: the file
// appears only once the socket listens, renamed into place, never created by the bind itself.
TEST(SimSocketReadiness, TheSocketFileAppearsOnlyWhenItListens) {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillet-ready-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::filesystem::path dir = pattern;
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_TO), 0);

  auto server = std::make_unique<SimServer>(SimMouse::create({}));
  std::string error;
  ASSERT_TRUE(server->listen((dir / "mouse.sock").string(), error)) << error;

  std::vector<std::string> created;
  std::vector<std::string> movedIn;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      const std::string name = event->len > 0 ? event->name : "";
      ((event->mask & IN_MOVED_TO) != 0 ? movedIn : created).push_back(name);
      p += sizeof(inotify_event) + event->len;
    }
  }
  ::close(watch);
  EXPECT_THAT(movedIn, ElementsAre("mouse.sock"));
  EXPECT_THAT(created, ::testing::Not(::testing::Contains("mouse.sock")));
  std::string connectError;
  EXPECT_TRUE(UnixSocket::connectTo((dir / "mouse.sock").string(), connectError).valid()) << connectError;
  server.reset();
  std::filesystem::remove_all(dir);
}

// A socket peer that is not the simulator: the host gets no mouse and a reason, and never hangs.
TEST(SimSocketPeers, GarbageAndSilenceFromThePeerAreNoMouse) {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillet-peer-test-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const std::string path = pattern + "/peer.sock";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  ASSERT_LT(path.size(), sizeof address.sun_path) << "TMPDIR is too long for a socket path";
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  std::thread peer([listener] {
    // First connection: a reply of the right type whose payload does not decode.
    int fd = ::accept(listener, nullptr, nullptr);
    const Bytes bad = {0x03, 0x00, 0x00, 0x00, 0x81, 0x05, 0x01, 0x02};
    char sink[64];
    [[maybe_unused]] ssize_t n = ::recv(fd, sink, sizeof sink, 0);
    n = ::send(fd, bad.data(), bad.size(), MSG_NOSIGNAL);
    ::close(fd);
    // Second: hangs up without a word.
    fd = ::accept(listener, nullptr, nullptr);
    ::close(fd);
  });
  auto transport = makeSimSocketTransport(path);
  EXPECT_TRUE(transport->enumerate().empty());
  EXPECT_NE(transport->enumerateProblem(), "");
  EXPECT_TRUE(transport->enumerate().empty());
  EXPECT_NE(transport->enumerateProblem(), "");
  peer.join();
  ::close(listener);
  std::filesystem::remove_all(pattern);
}

TEST(InProcessMouse, TheSameFirmwareWithoutASocket) {
  auto mouse = SimMouse::create({{0x30FA, 0x1030}, 0x09, {}});
  auto transport = makeInProcessTransport(mouse);
  DeviceLink link(*transport);
  RecordingClock clock;
  DeviceProtocol protocol(link, clock);
  ASSERT_TRUE(link.open());
  EXPECT_EQ(link.devicePath(), "sim://30fa:1030/2");
  EXPECT_EQ(protocol.readStatus(), (DeviceStatus{0, 9}));
  ASSERT_TRUE(protocol.writeBlock(0x0240, Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  ASSERT_TRUE(protocol.endDownload());
  EXPECT_THAT(clock.pauses(), ElementsAre(std::chrono::milliseconds(5), std::chrono::milliseconds(5),
                                          std::chrono::milliseconds(10)));
  const std::string dump = mouse->dump();
  EXPECT_NE(dump.find("0240: 01 02 03 04 05 06 07 08 00 00 00 00 00 00 00 00\n"), std::string::npos);
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 1024);
  EXPECT_NE(mouse->state().find("downloads-closed 1\n"), std::string::npos);
}

}  // namespace
}  // namespace quillet::sim
