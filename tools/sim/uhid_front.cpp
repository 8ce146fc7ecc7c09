#include "uhid_front.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/device/reports.h"

namespace quillet::sim {
namespace {

constexpr std::uint16_t kBusUsb = 0x03;
// What the mouse's product string would say; the kernel shows it as the device's name.
constexpr const char* kDeviceName = "Quillet simulated mouse";

std::vector<std::uint8_t> descriptorFor(std::initializer_list<NodeRole> roles) {
  std::vector<std::uint8_t> out;
  for (NodeRole role : roles) {
    const auto d = descriptorOf(role);
    out.insert(out.end(), d.begin(), d.end());
  }
  return out;
}

void copyText(std::uint8_t* field, std::size_t size, const std::string& text) {
  std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

bool writeEvent(int fd, const uhid_event& event) {
  while (true) {
    const ssize_t n = ::write(fd, &event, sizeof event);
    if (n == static_cast<ssize_t>(sizeof event)) {
      return true;
    }
    if (n < 0 && errno == EINTR) {
      continue;
    }
    return false;
  }
}

}  // namespace

std::optional<UhidLayout> parseUhidLayout(std::string_view text) {
  if (text == "split") {
    return UhidLayout::kSplit;
  }
  if (text == "shared") {
    return UhidLayout::kShared;
  }
  return std::nullopt;
}

bool UhidDeviceSpec::carries(NodeRole role) const { return std::find(roles.begin(), roles.end(), role) != roles.end(); }

std::vector<UhidDeviceSpec> uhidDevices(UhidLayout layout) {
  std::vector<UhidDeviceSpec> out;
  if (layout == UhidLayout::kSplit) {
    for (NodeRole role : {NodeRole::kCommands, NodeRole::kEvents, NodeRole::kMouse}) {
      out.push_back({{role}, descriptorFor({role})});
    }
  } else {
    out.push_back({{NodeRole::kEvents, NodeRole::kCommands}, descriptorFor({NodeRole::kEvents, NodeRole::kCommands})});
    out.push_back({{NodeRole::kMouse}, descriptorFor({NodeRole::kMouse})});
  }
  return out;
}

uhid_event create2Event(const UhidDeviceSpec& spec, VidPid id, const std::string& name, const std::string& phys) {
  uhid_event event{};
  event.type = UHID_CREATE2;
  auto& c = event.u.create2;
  copyText(c.name, sizeof c.name, name);
  copyText(c.phys, sizeof c.phys, phys);
  c.rd_size = static_cast<std::uint16_t>(std::min<std::size_t>(spec.descriptor.size(), sizeof c.rd_data));
  std::memcpy(c.rd_data, spec.descriptor.data(), c.rd_size);
  c.bus = kBusUsb;
  c.vendor = id.vendorId;
  c.product = id.productId;
  return event;
}

std::optional<uhid_event> answerRequest(HidHandle* commands, const uhid_event& request) {
  uhid_event reply{};
  if (request.type == UHID_SET_REPORT) {
    const auto& r = request.u.set_report;
    reply.type = UHID_SET_REPORT_REPLY;
    reply.u.set_report_reply.id = r.id;
    const std::size_t size = std::min<std::size_t>(r.size, sizeof r.data);
    const bool ok = commands != nullptr && r.rtype == UHID_FEATURE_REPORT && r.rnum == kFeatureReportId &&
                    size > 0 && r.data[0] == r.rnum &&
                    commands->sendFeatureReport(std::span<const std::uint8_t>(r.data, size));
    reply.u.set_report_reply.err = ok ? 0 : EIO;
    return reply;
  }
  if (request.type == UHID_GET_REPORT) {
    const auto& r = request.u.get_report;
    reply.type = UHID_GET_REPORT_REPLY;
    auto& out = reply.u.get_report_reply;
    out.id = r.id;
    out.err = EIO;
    if (commands != nullptr && r.rtype == UHID_FEATURE_REPORT && r.rnum == kFeatureReportId) {
      std::uint8_t buffer[kFeatureReportBytes] = {kFeatureReportId};
      if (const auto n = commands->getFeatureReport(buffer)) {
        // The kernel hands these bytes to the host as they stand: report ID first.
        std::memcpy(out.data, buffer, *n);
        out.size = static_cast<std::uint16_t>(*n);
        out.err = 0;
      }
    }
    return reply;
  }
  return std::nullopt;
}

// UhidFront ---------------------------------------------------------------------------------

UhidFront::UhidFront(std::shared_ptr<SimMouse> mouse, UhidLayout layout, VidPid id, std::string uhidPath)
    : mouse_(std::move(mouse)), id_(id), uhidPath_(std::move(uhidPath)) {
  for (UhidDeviceSpec& spec : uhidDevices(layout)) {
    devices_.push_back({std::move(spec), -1, false});
  }
  if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    stopPipe_[0] = stopPipe_[1] = -1;
  }
}

UhidFront::~UhidFront() {
  mouse_->setFrontHooks({});
  {
    std::lock_guard lock(mutex_);
    for (Device& d : devices_) {
      destroyLocked(d);
      if (d.fd >= 0) {
        ::close(d.fd);
      }
    }
  }
  for (int fd : stopPipe_) {
    if (fd >= 0) {
      ::close(fd);
    }
  }
}

std::string UhidFront::physOf(std::size_t index) const {
  return "quillet-sim/" + std::to_string(::getpid()) + "/" + std::to_string(index);
}

bool UhidFront::start(std::string& error) {
  if (stopPipe_[0] < 0) {
    error = "cannot make a pipe";
    return false;
  }
  // Lock order: the mouse's lock, then this front's (the hooks run under the mouse's lock).
  mouse_->setFrontHooks({[this](std::span<const std::uint8_t> report) { forwardInput(report); },
                         [this](bool allowed) { setAccess(allowed); }});
  const bool plugged = mouse_->plugged();
  commands_ = plugged ? mouse_->openForFront(NodeRole::kCommands) : nullptr;
  std::lock_guard lock(mutex_);
  for (Device& d : devices_) {
    d.fd = ::open(uhidPath_.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (d.fd < 0) {
      error = "cannot open " + uhidPath_ + ": " + std::strerror(errno);
      return false;
    }
  }
  if (plugged) {
    for (Device& d : devices_) {
      if (!createLocked(d, error)) {
        return false;
      }
    }
  }
  return true;
}

bool UhidFront::createLocked(Device& device, std::string& error) {
  if (device.created) {
    return true;
  }
  const std::size_t index = static_cast<std::size_t>(&device - devices_.data());
  if (!writeEvent(device.fd, create2Event(device.spec, id_, kDeviceName, physOf(index)))) {
    error = "the kernel refused the device (UHID_CREATE2): " + std::string(std::strerror(errno));
    return false;
  }
  device.created = true;
  return true;
}

void UhidFront::destroyLocked(Device& device) {
  if (!device.created || device.fd < 0) {
    return;
  }
  uhid_event event{};
  event.type = UHID_DESTROY;
  writeEvent(device.fd, event);
  device.created = false;
}

void UhidFront::forwardInput(std::span<const std::uint8_t> report) {
  std::lock_guard lock(mutex_);
  for (Device& d : devices_) {
    if (d.created && d.spec.carries(NodeRole::kEvents)) {
      uhid_event event{};
      event.type = UHID_INPUT2;
      const std::size_t n = std::min(report.size(), sizeof event.u.input2.data);
      event.u.input2.size = static_cast<std::uint16_t>(n);
      std::memcpy(event.u.input2.data, report.data(), n);
      writeEvent(d.fd, event);
    }
  }
}

void UhidFront::setAccess(bool allowed) {
  // The kernel's nodes refuse a user by their mode, as without the udev rule: the vendor
  // collections' nodes become root's alone, or everyone's again.
  namespace fs = std::filesystem;
  std::lock_guard lock(mutex_);
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator("/sys/class/hidraw", ec)) {
    std::ifstream uevent(entry.path() / "device" / "uevent");
    std::string line;
    while (std::getline(uevent, line)) {
      if (line.rfind("HID_PHYS=", 0) != 0) {
        continue;
      }
      const std::string phys = line.substr(9);
      for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (phys == physOf(i) && !devices_[i].spec.carries(NodeRole::kMouse)) {
          const fs::path node = fs::path("/dev") / entry.path().filename();
          ::chmod(node.c_str(), allowed ? 0666 : 0600);
        }
      }
    }
  }
}

void UhidFront::stop() {
  stopping_.store(true);
  if (stopPipe_[1] >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &byte, 1);
  }
}

void UhidFront::serveDevice(Device& device) {
  uhid_event event{};
  while (true) {
    const ssize_t n = ::read(device.fd, &event, sizeof event);
    if (n <= 0) {
      return;  // nothing more for now (the file is non-blocking)
    }
    const auto reply = answerRequest(device.spec.carries(NodeRole::kCommands) ? commands_.get() : nullptr, event);
    if (reply) {
      writeEvent(device.fd, *reply);
    }
  }
}

void UhidFront::run() {
  const std::shared_ptr<HotplugQueue> hotplug = mouse_->watchHotplug();
  // When the devices go, due after the last answer (see kRemovalGrace).
  bool destroyDue = false;
  auto destroyAt = std::chrono::steady_clock::time_point::max();
  const auto destroyAll = [&] {
    std::lock_guard lock(mutex_);
    for (Device& d : devices_) {
      destroyLocked(d);
    }
    destroyDue = false;
  };
  while (!stopping_.load()) {
    std::vector<pollfd> fds;
    for (const Device& d : devices_) {
      fds.push_back({d.fd, POLLIN, 0});
    }
    fds.push_back({hotplug->descriptor(), POLLIN, 0});
    fds.push_back({stopPipe_[0], POLLIN, 0});
    int timeout = 1000;
    if (destroyDue) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(destroyAt - std::chrono::steady_clock::now());
      timeout = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, 1000));
    }
    const int r = ::poll(fds.data(), fds.size(), timeout);
    if (r < 0 && errno != EINTR) {
      break;
    }
    for (std::size_t i = 0; i < devices_.size(); ++i) {
      if ((fds[i].revents & POLLIN) != 0) {
        serveDevice(devices_[i]);
      }
    }
    // The mouse's own unplug and plug (a control command, or the end of a planned download):
    // the kernel sees the devices go and come as a USB mouse's would.
    while (auto event = hotplug->next(std::chrono::milliseconds(0))) {
      if (event->kind == HotplugEvent::Kind::kRemoval) {
        // From now on every request fails. The devices go a moment later: a request answered
        // just before is still waited for by a host thread in the kernel, which would take a
        // device destroyed at once for a request that failed, although the mouse took it.
        commands_.reset();
        if (!destroyDue) {
          destroyDue = true;
          destroyAt = std::chrono::steady_clock::now() + kRemovalGrace;
        }
      } else if (mouse_->plugged()) {
        // Several events come per plug (one per node): the first creates, the rest find it done.
        if (destroyDue) {
          destroyAll();  // a plug right after an unplug is a new device all the same
        }
        if (!commands_) {
          commands_ = mouse_->openForFront(NodeRole::kCommands);
        }
        std::lock_guard lock(mutex_);
        std::string error;
        for (Device& d : devices_) {
          createLocked(d, error);
        }
      }
    }
    if (destroyDue && std::chrono::steady_clock::now() >= destroyAt) {
      destroyAll();
    }
  }
  commands_.reset();
  destroyAll();
}

}  // namespace quillet::sim
