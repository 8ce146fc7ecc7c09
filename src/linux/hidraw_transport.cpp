#include "linux/hidraw_transport.h"

#include <hidapi/hidapi.h>
#include <libudev.h>
#include <poll.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <map>
#include <mutex>

#include "core/io/file_io.h"
#include "core/io/hid_report_descriptor.h"

namespace quillet {
namespace {

// hidapi keeps its error texts as wide strings (UTF-32 here); the messages of this program are UTF-8.
std::string narrow(const wchar_t* text) {
  std::string out;
  if (text == nullptr) {
    return out;
  }
  for (; *text != L'\0'; ++text) {
    auto c = static_cast<std::uint32_t>(*text);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// hidapi 0.13 cannot hand out a report descriptor; the kernel shows it in sysfs, readable
// without the access rights that opening the node needs.
constexpr const char* kSysfsHidraw = "/sys/class/hidraw";

std::vector<hid::CollectionCaps> collectionsOfNode(const std::string& devicePath,
                                                   const std::filesystem::path& sysfsClass) {
  const std::string node = std::filesystem::path(devicePath).filename().string();
  const auto bytes = fileio::readFile(sysfsClass / node / "device" / "report_descriptor");
  if (!bytes) {
    return {};
  }
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes->data());
  return hid::parseReportDescriptor(std::span<const std::uint8_t>(data, bytes->size())).collections;
}

struct HidDeviceCloser {
  void operator()(hid_device* d) const { hid_close(d); }
};

class HidrawHandle final : public HidHandle {
 public:
  explicit HidrawHandle(hid_device* device) : device_(device) {}

  bool sendFeatureReport(std::span<const std::uint8_t> report) override {
    return !report.empty() && hid_send_feature_report(device_.get(), report.data(), report.size()) >= 0;
  }

  std::optional<std::size_t> getFeatureReport(std::span<std::uint8_t> buffer) override {
    if (buffer.empty()) {
      return std::nullopt;
    }
    const int n = hid_get_feature_report(device_.get(), buffer.data(), buffer.size());
    if (n < 0) {
      return std::nullopt;
    }
    return static_cast<std::size_t>(n);
  }

  ReadResult readInputReport(std::span<std::uint8_t> buffer, std::chrono::milliseconds timeout) override {
    if (buffer.empty()) {
      return {ReadStatus::kError, 0};
    }
    const auto ms = static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 0, INT_MAX));
    const int n = hid_read_timeout(device_.get(), buffer.data(), buffer.size(), ms);
    if (n < 0) {
      return {ReadStatus::kError, 0};
    }
    if (n == 0) {
      return {ReadStatus::kTimeout, 0};
    }
    return {ReadStatus::kReport, static_cast<std::size_t>(n)};
  }

 private:
  std::unique_ptr<hid_device, HidDeviceCloser> device_;
};

struct UdevDeleter {
  void operator()(udev* u) const { udev_unref(u); }
  void operator()(udev_monitor* m) const { udev_monitor_unref(m); }
  void operator()(udev_device* d) const { udev_device_unref(d); }
};

class UdevHotplugMonitor final : public HotplugMonitor {
 public:
  static std::unique_ptr<UdevHotplugMonitor> create(std::string& error) {
    std::unique_ptr<udev, UdevDeleter> context(udev_new());
    if (!context) {
      error = "cannot start libudev";
      return nullptr;
    }
    std::unique_ptr<udev_monitor, UdevDeleter> monitor(udev_monitor_new_from_netlink(context.get(), "udev"));
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
      error = "cannot watch the hidraw devices (udev monitor)";
      return nullptr;
    }
    return std::unique_ptr<UdevHotplugMonitor>(new UdevHotplugMonitor(std::move(context), std::move(monitor)));
  }

  int descriptor() const override { return udev_monitor_get_fd(monitor_.get()); }

  std::optional<HotplugEvent> next(std::chrono::milliseconds timeout) override {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (true) {
      // The monitor's socket is non-blocking: take what is there, else wait for more.
      while (auto event = receive()) {
        if (event->path.empty()) {
          continue;  // an action we do not follow ("change", "bind", …)
        }
        return event;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) {
        return std::nullopt;
      }
      pollfd p{descriptor(), POLLIN, 0};
      const int r = ::poll(&p, 1, static_cast<int>(std::min<std::chrono::milliseconds::rep>(left.count(), INT_MAX)));
      if (r < 0 && errno != EINTR) {
        return std::nullopt;
      }
      if (r > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
        return std::nullopt;
      }
    }
  }

 private:
  UdevHotplugMonitor(std::unique_ptr<udev, UdevDeleter> context, std::unique_ptr<udev_monitor, UdevDeleter> monitor)
      : context_(std::move(context)), monitor_(std::move(monitor)) {}

  // One device message, with an empty path for actions other than add and remove; nullopt
  // when none is waiting.
  std::optional<HotplugEvent> receive() {
    std::unique_ptr<udev_device, UdevDeleter> device(udev_monitor_receive_device(monitor_.get()));
    if (!device) {
      return std::nullopt;
    }
    HotplugEvent event;
    const char* action = udev_device_get_action(device.get());
    const char* node = udev_device_get_devnode(device.get());
    if (action == nullptr || node == nullptr) {
      return event;
    }
    if (std::strcmp(action, "add") == 0) {
      event.kind = HotplugEvent::Kind::kArrival;
    } else if (std::strcmp(action, "remove") == 0) {
      event.kind = HotplugEvent::Kind::kRemoval;
    } else {
      return event;
    }
    event.path = node;
    return event;
  }

  std::unique_ptr<udev, UdevDeleter> context_;
  std::unique_ptr<udev_monitor, UdevDeleter> monitor_;
};

struct EnumerationFree {
  void operator()(hid_device_info* list) const { hid_free_enumeration(list); }
};

class HidrawTransport final : public HidTransport {
 public:
  HidrawTransport() {
    // hid_init is not safe to race with opens on other threads; do it once, here.
    static std::once_flag once;
    std::call_once(once, [] { hid_init(); });
  }

  std::vector<HidInterfaceInfo> enumerate() override {
    problem_.clear();
    std::unique_ptr<hid_device_info, EnumerationFree> list(hid_enumerate(0, 0));
    std::vector<HidapiEntry> entries;
    for (const hid_device_info* d = list.get(); d != nullptr; d = d->next) {
      if (d->path != nullptr) {
        entries.push_back({d->path, d->vendor_id, d->product_id, d->usage_page, d->usage});
      }
    }
    return hidrawInterfaces(entries, kSysfsHidraw);
  }

  std::string enumerateProblem() const override { return problem_; }

  OpenResult open(const std::string& path, HidAccess /*access*/) override {
    // hidraw nodes are opened for reading and writing alike; the access only documents intent.
    OpenResult result;
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) {
      result.error = narrow(hid_error(nullptr));
      if (result.error.empty()) {
        result.error = "cannot open " + path;
      }
      return result;
    }
    result.handle = std::make_unique<HidrawHandle>(device);
    return result;
  }

  std::unique_ptr<HotplugMonitor> watchHotplug(std::string& error) override { return UdevHotplugMonitor::create(error); }

 private:
  std::string problem_;
};

}  // namespace

std::vector<HidInterfaceInfo> hidrawInterfaces(std::span<const HidapiEntry> entries,
                                               const std::filesystem::path& sysfsClass) {
  std::vector<HidInterfaceInfo> out;
  // The lengths of every collection of a node, and which of them earlier entries took.
  std::map<std::string, std::pair<std::vector<hid::CollectionCaps>, std::vector<bool>>> nodes;
  for (const HidapiEntry& entry : entries) {
    HidInterfaceInfo info;
    info.path = entry.path;
    info.vendorId = entry.vendorId;
    info.productId = entry.productId;
    info.usagePage = entry.usagePage;
    info.usage = entry.usage;
    auto [it, inserted] = nodes.try_emplace(info.path);
    if (inserted) {
      it->second.first = collectionsOfNode(info.path, sysfsClass);
      it->second.second.assign(it->second.first.size(), false);
    }
    auto& [collections, taken] = it->second;
    bool matched = false;
    for (std::size_t i = 0; i < collections.size(); ++i) {
      if (!taken[i] && collections[i].usagePage == info.usagePage && collections[i].usage == info.usage) {
        taken[i] = true;
        matched = true;
        info.inputReportLength = collections[i].inputReportLength;
        info.outputReportLength = collections[i].outputReportLength;
        info.featureReportLength = collections[i].featureReportLength;
        break;
      }
    }
    // hidapi lists the usage of every collection of a descriptor, nested ones too (a mouse's
    // Pointer inside its Mouse collection): an entry that no top-level collection of a node
    // whose descriptor was read takes is no interface of its own.
    if (!matched && !collections.empty()) {
      continue;
    }
    out.push_back(std::move(info));
  }
  return out;
}

std::unique_ptr<HidTransport> makeHidrawTransport() { return std::make_unique<HidrawTransport>(); }

}  // namespace quillet
