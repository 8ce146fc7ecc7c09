#include "device/device_link.h"

#include <algorithm>

namespace quillet {
namespace {

bool isCollection(const HidInterfaceInfo& i, std::uint16_t usagePage) {
  return i.usagePage == usagePage && i.usage == kVendorUsage;
}

}  // namespace

bool DeviceLink::open() {
  {
    // Handles of an earlier discovery belong to a node that may be gone or replaced: close them
    // before new ones are opened, so that the link never mixes two discoveries.
    std::lock_guard lock(mutex_);
    closeHandlesLocked();
    devicePresent_ = false;
    openError_.clear();
  }

  const std::vector<HidInterfaceInfo> interfaces = transport_.enumerate();

  // Opening may take a while (a socket, a slow node): the walk runs unlocked on local state,
  // which is published at the end.
  bool present = false;
  std::string path;
  HidInterfaceInfo eventCaps;
  HidInterfaceInfo commandCaps;
  std::shared_ptr<HidHandle> eventHandle;
  std::shared_ptr<HidHandle> commandHandle;
  HandleState eventState = HandleState::kNeverOpened;
  HandleState commandState = HandleState::kNeverOpened;
  std::string openError;

  auto openInto = [&](const HidInterfaceInfo& info, HidAccess access, std::shared_ptr<HidHandle>& handle,
                      HandleState& state) {
    OpenResult r = transport_.open(info.path, access);
    // A later collection of the same kind replaces the earlier one; its handle closes here.
    handle = std::move(r.handle);
    state = handle ? HandleState::kOpen : HandleState::kFailed;
    if (!handle) {
      openError = info.path + ": " + r.error;
    }
  };

  const std::size_t attempts = std::min(interfaces.size(), kDiscoveryAttempts);
  for (std::size_t index = 0; index < attempts; ++index) {
    const HidInterfaceInfo& info = interfaces[index];
    if (!isAcceptedId(info.vendorId, info.productId)) {
      continue;
    }
    present = true;
    path = info.path;
    if (isCollection(info, kEventUsagePage)) {
      eventCaps = info;
      openInto(info, HidAccess::kRead, eventHandle, eventState);
    }
    if (isCollection(info, kCommandUsagePage)) {
      commandCaps = info;
      openInto(info, HidAccess::kWrite, commandHandle, commandState);
    }
    if (eventState != HandleState::kNeverOpened && commandState != HandleState::kNeverOpened) {
      break;
    }
  }

  std::lock_guard lock(mutex_);
  devicePresent_ = present;
  if (present) {
    devicePath_ = path;
  }
  eventCaps_ = eventCaps;
  commandCaps_ = commandCaps;
  eventHandle_ = std::move(eventHandle);
  commandHandle_ = std::move(commandHandle);
  eventState_ = eventState;
  commandState_ = commandState;
  openError_ = openError;
  ++generation_;
  changed_.notify_all();
  return present;
}

DeviceLink::Change DeviceLink::onDeviceChange(const HotplugEvent& event) {
  std::unique_lock lock(mutex_);
  if (devicePath_.empty()) {
    // No mouse was found yet: the one the user was asked to plug in may be this arrival.
    if (event.kind != HotplugEvent::Kind::kArrival) {
      return Change::kNone;
    }
    lock.unlock();
    return open() ? Change::kRediscovered : Change::kNone;
  }
  if (!samePath(event.path, devicePath_)) {
    return Change::kNone;
  }
  if (event.kind == HotplugEvent::Kind::kArrival) {
    if (devicePresent_) {
      return Change::kNone;
    }
    lock.unlock();
    open();
    return Change::kRediscovered;
  }
  devicePresent_ = false;
  closeHandlesLocked();
  ++generation_;
  changed_.notify_all();
  return Change::kRemoved;
}

void DeviceLink::closeHandlesLocked() {
  eventHandle_.reset();
  commandHandle_.reset();
  eventState_ = HandleState::kNeverOpened;
  commandState_ = HandleState::kNeverOpened;
}

bool DeviceLink::devicePresent() const {
  std::lock_guard lock(mutex_);
  return devicePresent_;
}

std::string DeviceLink::devicePath() const {
  std::lock_guard lock(mutex_);
  return devicePath_;
}

HidInterfaceInfo DeviceLink::eventCaps() const {
  std::lock_guard lock(mutex_);
  return eventCaps_;
}

HidInterfaceInfo DeviceLink::commandCaps() const {
  std::lock_guard lock(mutex_);
  return commandCaps_;
}

DeviceLink::HandleState DeviceLink::eventState() const {
  std::lock_guard lock(mutex_);
  return eventState_;
}

DeviceLink::HandleState DeviceLink::commandState() const {
  std::lock_guard lock(mutex_);
  return commandState_;
}

std::string DeviceLink::openError() const {
  std::lock_guard lock(mutex_);
  return openError_;
}

DeviceLink::CommandChannel DeviceLink::commandChannel() const {
  std::lock_guard lock(mutex_);
  return {commandHandle_, commandCaps_.featureReportLength};
}

ReadStatus DeviceLink::readEvent(InputReport& report, std::chrono::milliseconds timeout) {
  std::lock_guard reader(readMutex_);
  std::shared_ptr<HidHandle> handle;
  std::size_t length = 0;
  {
    std::unique_lock lock(mutex_);
    if (!eventHandle_ && !stopped_) {
      const std::uint64_t seen = generation_;
      changed_.wait_for(lock, timeout, [&] { return stopped_ || generation_ != seen; });
      return ReadStatus::kError;
    }
    if (stopped_) {
      return ReadStatus::kError;
    }
    handle = eventHandle_;
    length = std::min<std::size_t>(eventCaps_.inputReportLength, kReportBufferBytes);
  }
  // A collection without input reports cannot be read; take it as failed like a read error.
  const ReadResult r = length == 0 ? ReadResult{ReadStatus::kError, 0}
                                   : handle->readInputReport(std::span(report.bytes.data(), length), timeout);
  if (r.status == ReadStatus::kReport) {
    report.length = r.length;
  } else if (r.status == ReadStatus::kError) {
    std::lock_guard lock(mutex_);
    if (eventHandle_ == handle) {
      eventHandle_.reset();
      eventState_ = HandleState::kFailed;
    }
  }
  return r.status;
}

void DeviceLink::stopReaders() {
  std::lock_guard lock(mutex_);
  stopped_ = true;
  changed_.notify_all();
}

}  // namespace quillet
