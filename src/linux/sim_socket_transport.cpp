#include "linux/sim_socket_transport.h"

#include <algorithm>
#include <mutex>

#include "linux/unix_socket.h"

namespace quillet {
namespace {

using simwire::FrameType;

// How long a request waits for the simulator's answer before the connection is given up.
constexpr std::chrono::milliseconds kReplyTimeout{2000};

class SocketHandle final : public HidHandle {
 public:
  explicit SocketHandle(UnixSocket socket) : socket_(std::move(socket)) {}

  bool sendFeatureReport(std::span<const std::uint8_t> report) override {
    std::lock_guard lock(mutex_);
    const auto reply = socket_.request(FrameType::kSetFeature, report, FrameType::kResult, kReplyTimeout);
    if (!reply) {
      return false;
    }
    const auto result = simwire::decodeResult(reply->payload);
    return result && result->ok;
  }

  std::optional<std::size_t> getFeatureReport(std::span<std::uint8_t> buffer) override {
    if (buffer.empty() || buffer.size() > simwire::kMaxReportBytes) {
      return std::nullopt;
    }
    std::lock_guard lock(mutex_);
    const auto request = simwire::encodeGetFeature({static_cast<std::uint16_t>(buffer.size()), buffer[0]});
    const auto reply = socket_.request(FrameType::kGetFeature, request, FrameType::kResult, kReplyTimeout);
    if (!reply) {
      return std::nullopt;
    }
    const auto result = simwire::decodeResult(reply->payload);
    if (!result || !result->ok || result->data.size() > buffer.size()) {
      return std::nullopt;
    }
    std::copy(result->data.begin(), result->data.end(), buffer.begin());
    return result->data.size();
  }

  ReadResult readInputReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
    if (buffer.empty()) {
      return {ReadStatus::kError, 0};
    }
    std::lock_guard lock(mutex_);
    // The simulator answers within the time-out; kReplyTimeout more covers a busy machine.
    const auto ms = std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, 60'000);
    const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(buffer.size(), simwire::kMaxReportBytes));
    const auto request = simwire::encodeRead({static_cast<std::uint32_t>(ms), length});
    const auto reply =
        socket_.request(FrameType::kRead, request, FrameType::kInput, std::chrono::milliseconds(ms) + kReplyTimeout);
    if (!reply) {
      return {ReadStatus::kError, 0};
    }
    const auto input = simwire::decodeInput(reply->payload);
    if (!input) {
      socket_.close();
      return {ReadStatus::kError, 0};
    }
    if (input->status != ReadStatus::kReport) {
      return {input->status, 0};
    }
    const std::size_t n = std::min(input->report.size(), buffer.size());
    std::copy_n(input->report.begin(), n, buffer.begin());
    return {ReadStatus::kReport, n};
  }

 private:
  std::mutex mutex_;
  UnixSocket socket_;
};

class SocketHotplugMonitor final : public HotplugMonitor {
 public:
  explicit SocketHotplugMonitor(UnixSocket socket) : socket_(std::move(socket)) {}

  int descriptor() const override { return socket_.fd(); }

  std::optional<HotplugEvent> next(std::chrono::milliseconds timeout) override {
    simwire::Frame frame;
    const ReceiveStatus status = socket_.receiveFrame(frame, timeout);
    if (status == ReceiveStatus::kTimeout) {
      return std::nullopt;
    }
    if (status != ReceiveStatus::kFrame || frame.type != FrameType::kHotplug) {
      socket_.close();
      return std::nullopt;
    }
    auto event = simwire::decodeHotplug(frame.payload);
    if (!event) {
      socket_.close();
    }
    return event;
  }

 private:
  UnixSocket socket_;
};

class SimSocketTransport final : public HidTransport {
 public:
  explicit SimSocketTransport(std::string path) : path_(std::move(path)) {}

  std::vector<HidInterfaceInfo> enumerate() override {
    problem_.clear();
    UnixSocket socket = UnixSocket::connectTo(path_, problem_);
    if (!socket.valid()) {
      return {};
    }
    const auto reply = socket.request(FrameType::kEnumerate, {}, FrameType::kNodes, kReplyTimeout);
    const auto nodes = reply ? simwire::decodeNodes(reply->payload) : std::nullopt;
    if (!nodes) {
      problem_ = "the simulated mouse at " + path_ + " gave no device list";
      return {};
    }
    std::vector<HidInterfaceInfo> out;
    for (const HidNodeDescription& node : *nodes) {
      for (HidInterfaceInfo& i : interfacesOf(node)) {
        out.push_back(std::move(i));
      }
    }
    return out;
  }

  std::string enumerateProblem() const override { return problem_; }

  // Every simulator names its interfaces alike: its socket tells one simulated mouse from another.
  std::string deviceIdentity(const std::string& devicePath) const override { return path_ + "#" + devicePath; }

  OpenResult open(const std::string& path, HidAccess access) override {
    OpenResult result;
    UnixSocket socket = UnixSocket::connectTo(path_, result.error);
    if (!socket.valid()) {
      return result;
    }
    const auto reply = socket.request(FrameType::kOpen, simwire::encodeOpen({access, path}), FrameType::kResult, kReplyTimeout);
    const auto status = reply ? simwire::decodeResult(reply->payload) : std::nullopt;
    if (!status || !status->ok) {
      result.error = status && !status->data.empty() ? std::string(status->data.begin(), status->data.end())
                                                     : "the simulated mouse has no device " + path;
      return result;
    }
    result.handle = std::make_unique<SocketHandle>(std::move(socket));
    return result;
  }

  std::unique_ptr<HotplugMonitor> watchHotplug(std::string& error) override {
    UnixSocket socket = UnixSocket::connectTo(path_, error);
    if (!socket.valid()) {
      return nullptr;
    }
    // The simulator answers once the watch is in place: no event after this call is missed.
    const auto reply = socket.request(FrameType::kWatchHotplug, {}, FrameType::kResult, kReplyTimeout);
    if (!reply) {
      error = "cannot watch the simulated mouse at " + path_;
      return nullptr;
    }
    return std::make_unique<SocketHotplugMonitor>(std::move(socket));
  }

 private:
  std::string path_;
  std::string problem_;
};

}  // namespace

std::unique_ptr<HidTransport> makeSimSocketTransport(std::string socketPath) {
  return std::make_unique<SimSocketTransport>(std::move(socketPath));
}

}  // namespace quillet
