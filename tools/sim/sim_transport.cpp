#include "sim_transport.h"

#include <unistd.h>

#include <cstdint>
#include <string>

namespace quillet::sim {
namespace {

class QueueMonitor final : public HotplugMonitor {
 public:
  explicit QueueMonitor(std::shared_ptr<HotplugQueue> queue) : queue_(std::move(queue)) {}
  int descriptor() const override { return queue_->descriptor(); }
  std::optional<HotplugEvent> next(std::chrono::milliseconds timeout) override { return queue_->next(timeout); }

 private:
  std::shared_ptr<HotplugQueue> queue_;
};

class InProcessTransport final : public HidTransport {
 public:
  explicit InProcessTransport(std::shared_ptr<SimMouse> mouse) : mouse_(std::move(mouse)) {}

  std::vector<HidInterfaceInfo> enumerate() override {
    std::vector<HidInterfaceInfo> out;
    for (const HidNodeDescription& node : mouse_->nodes()) {
      for (HidInterfaceInfo& i : interfacesOf(node)) {
        out.push_back(std::move(i));
      }
    }
    return out;
  }
  std::string enumerateProblem() const override { return {}; }
  OpenResult open(const std::string& path, HidAccess /*access*/) override {
    OpenResult r;
    r.handle = mouse_->open(path, r.error);
    return r;
  }
  std::unique_ptr<HotplugMonitor> watchHotplug(std::string& /*error*/) override {
    return std::make_unique<QueueMonitor>(mouse_->watchHotplug());
  }
  // Every simulated mouse names its nodes alike: this process and this mouse tell it apart.
  std::string deviceIdentity(const std::string& devicePath) const override {
    return "inprocess-" + std::to_string(::getpid()) + "-" + std::to_string(reinterpret_cast<std::uintptr_t>(mouse_.get())) +
           "#" + devicePath;
  }

 private:
  std::shared_ptr<SimMouse> mouse_;
};

}  // namespace

std::unique_ptr<HidTransport> makeInProcessTransport(std::shared_ptr<SimMouse> mouse) {
  return std::make_unique<InProcessTransport>(std::move(mouse));
}

void addInProcessMouse(TransportBackends& backends) {
  backends.inProcess = [] {
    std::shared_ptr<SimMouse> mouse = SimMouse::create({});
    TransportChoice choice;
    choice.transport = makeInProcessTransport(mouse);
    choice.keepAlive = std::move(mouse);
    return choice;
  };
}

}  // namespace quillet::sim
