#include "core/device/device_link.h"

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
  reopen_ = false;
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

std::string DeviceLink::deviceIdentity() const {
  const std::string path = devicePath();
  return path.empty() ? path : transport_.deviceIdentity(path);
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

bool DeviceLink::usable() const {
  std::lock_guard lock(mutex_);
  return devicePresent_ && commandState_ == HandleState::kOpen;
}

std::string DeviceLink::accessProblem() const {
  std::lock_guard lock(mutex_);
  if (!devicePresent_ || commandState_ == HandleState::kOpen) {
    return {};
  }
  if (!openError_.empty()) {
    return openError_;
  }
  return devicePath_ + ": no command interface (usage page FF01) among the mouse's interfaces";
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
    if (!eventHandle_ && !stopped_ && reopen_ && devicePresent_) {
      // The collection failed a read but the mouse was not reported gone: open it again once
      // the pause is over (a discovery or a stop ends the wait early).
      const std::uint64_t seen = generation_;
      const bool woken = changed_.wait_until(lock, std::min(reopenAt_, std::chrono::steady_clock::now() + timeout),
                                             [&] { return stopped_ || generation_ != seen; });
      if (!woken && std::chrono::steady_clock::now() >= reopenAt_) {
        const std::string path = eventCaps_.path;
        lock.unlock();
        OpenResult r = transport_.open(path, HidAccess::kRead);
        lock.lock();
        if (generation_ == seen && !stopped_ && devicePresent_ && !eventHandle_) {
          if (r.handle) {
            eventHandle_ = std::move(r.handle);
            eventState_ = HandleState::kOpen;
            reopen_ = false;
          } else {
            reopenAt_ = std::chrono::steady_clock::now() + kReopenPause;
          }
        }
      }
      if (!eventHandle_ || stopped_) {
        return ReadStatus::kError;
      }
    }
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
      reopen_ = devicePresent_ && length != 0;  // a collection without input reports stays shut
      reopenAt_ = std::chrono::steady_clock::now() + kReopenPause;
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
