#pragma once
// A scripted HID system for tests of the device link: a fixed enumeration, handles that record
// every report into one timeline (with the pauses of a TimelineClock between them) and answer
// from a script. Nothing here touches a real device.
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/device/clock.h"
#include "core/io/hex_text.h"
#include "core/io/hid_transport.h"

namespace quillet::testing {

using Bytes = std::vector<std::uint8_t>;

struct FakeDevice {
  std::mutex mutex;
  std::vector<std::string> timeline;  // "open PATH r|w", "close PATH", "SET …", "GET …", "pause N us"
  Bytes statusReply;                  // what a feature read answers; empty: the read fails
  int sendsBeforeFailure = -1;        // after this many sends every send fails (-1: never)
  std::deque<Bytes> inputs;           // input reports waiting to be read
  bool readError = false;             // reads fail instead of timing out when nothing waits
  int reads = 0;

  void note(std::string entry) {
    std::lock_guard lock(mutex);
    timeline.push_back(std::move(entry));
  }
  std::vector<std::string> entries() {
    std::lock_guard lock(mutex);
    return timeline;
  }
  // The timeline without opens and closes.
  std::vector<std::string> traffic() {
    std::vector<std::string> out;
    for (const auto& e : entries()) {
      if (!e.starts_with("open") && !e.starts_with("close")) {
        out.push_back(e);
      }
    }
    return out;
  }
};

class FakeHandle final : public HidHandle {
 public:
  FakeHandle(FakeDevice& device, std::string path) : device_(device), path_(std::move(path)) {}
  ~FakeHandle() override { device_.note("close " + path_); }

  bool sendFeatureReport(std::span<const std::uint8_t> report) override {
    std::lock_guard lock(device_.mutex);
    device_.timeline.push_back("SET " + hexBytes(report));
    if (device_.sendsBeforeFailure == 0) {
      return false;
    }
    if (device_.sendsBeforeFailure > 0) {
      --device_.sendsBeforeFailure;
    }
    return true;
  }

  std::optional<std::size_t> getFeatureReport(std::span<std::uint8_t> buffer) override {
    std::lock_guard lock(device_.mutex);
    device_.timeline.push_back("GET " + hexBytes(buffer.first(1)));
    if (device_.statusReply.empty()) {
      buffer[1] = 0xEE;  // a failing read may scribble; the host must not keep it
      return std::nullopt;
    }
    const std::size_t n = std::min(buffer.size(), device_.statusReply.size());
    std::copy_n(device_.statusReply.begin(), n, buffer.begin());
    return n;
  }

  ReadResult readInputReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds) override {
    std::lock_guard lock(device_.mutex);
    ++device_.reads;
    if (device_.inputs.empty()) {
      return {device_.readError ? ReadStatus::kError : ReadStatus::kTimeout, 0};
    }
    const Bytes report = device_.inputs.front();
    device_.inputs.pop_front();
    const std::size_t n = std::min(buffer.size(), report.size());
    std::copy_n(report.begin(), n, buffer.begin());
    return {ReadStatus::kReport, n};
  }

 private:
  FakeDevice& device_;
  std::string path_;
};

class FakeTransport final : public HidTransport {
 public:
  explicit FakeTransport(FakeDevice& device) : device_(device) {}

  std::vector<HidInterfaceInfo> interfaces;
  std::set<std::string> failingPaths;  // opens of these fail

  std::vector<HidInterfaceInfo> enumerate() override { return interfaces; }
  std::string enumerateProblem() const override { return {}; }
  OpenResult open(const std::string& path, HidAccess access) override {
    device_.note("open " + path + (access == HidAccess::kRead ? " r" : " w"));
    OpenResult r;
    if (failingPaths.count(path) != 0) {
      r.error = "permission denied";
      return r;
    }
    r.handle = std::make_unique<FakeHandle>(device_, path);
    return r;
  }
  std::unique_ptr<HotplugMonitor> watchHotplug(std::string& error) override {
    error = "no hotplug in the fake";
    return nullptr;
  }

 private:
  FakeDevice& device_;
};

// Puts every pause into the device's timeline, in order with the reports, and never sleeps.
class TimelineClock final : public Clock {
 public:
  explicit TimelineClock(FakeDevice& device) : device_(device) {}
  void sleepFor(std::chrono::microseconds pause) override {
    device_.note("pause " + std::to_string(pause.count()) + " us");
  }

 private:
  FakeDevice& device_;
};

// The mouse's interfaces as discovery sees them, with the report lengths of the real mouse.
inline HidInterfaceInfo eventInterface(std::string path, std::uint16_t vid = 0x18F8, std::uint16_t pid = 0x0CC0) {
  return {std::move(path), vid, pid, 0xFF00, 0x0001, 8, 0, 0};
}
inline HidInterfaceInfo commandInterface(std::string path, std::uint16_t vid = 0x18F8, std::uint16_t pid = 0x0CC0) {
  return {std::move(path), vid, pid, 0xFF01, 0x0001, 0, 0, 8};
}
inline HidInterfaceInfo mouseInterface(std::string path, std::uint16_t vid = 0x18F8, std::uint16_t pid = 0x0CC0) {
  return {std::move(path), vid, pid, 0x0001, 0x0002, 4, 0, 0};
}

}  // namespace quillet::testing
