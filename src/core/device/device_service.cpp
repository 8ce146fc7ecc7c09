#include "core/device/device_service.h"

#include <optional>
#include <utility>

namespace quillet {

DeviceService::DeviceService(TransportChoice choice, Log log)
    : choice_(std::move(choice)),
      transport_(choice_.transport.get()),
      log_(std::move(log)),
      link_(*transport_),
      protocol_(link_, clock_) {
  tracing_ = traceReportsIfAsked(protocol_, [this](std::string_view line) { log_("hid: " + std::string(line)); });
}

DeviceService::~DeviceService() { stopThreads(); }

bool DeviceService::open() {
  link_.open();
  usable_ = link_.usable();
  return usable_;
}

bool DeviceService::startHotplugWatch() {
  hotplugProblem_.clear();
  hotplug_ = transport_->watchHotplug(hotplugProblem_);
  if (hotplug_ && hotplug_->descriptor() < 0) {
    hotplug_.reset();
  }
  if (!hotplug_ && hotplugProblem_.empty()) {
    hotplugProblem_ = "the watch gave no descriptor";
  }
  return hotplug_ != nullptr;
}

int DeviceService::hotplugDescriptor() const { return hotplug_ ? hotplug_->descriptor() : -1; }

void DeviceService::serviceHotplug(const std::function<bool(LinkChange)>& onChange) {
  if (!hotplug_) {
    // The watch is back (the simulator restarted): the mouse may have come while nothing
    // watched, so it is looked for at once.
    if (startHotplugWatch() && link_.eventState() != DeviceLink::HandleState::kOpen) {
      open();
      if (link_.devicePresent()) {
        onChange(LinkChange::kFound);
      }
    }
    return;
  }
  while (hotplug_) {
    const std::optional<HotplugEvent> event = hotplug_->next(std::chrono::milliseconds(0));
    if (hotplug_->descriptor() < 0) {
      hotplug_.reset();  // the watch has failed: the owner tries it again every kWatchRetry
      hotplugProblem_ = "the watch ended";
      return;
    }
    if (!event) {
      return;
    }
    const bool arrival = event->kind == HotplugEvent::Kind::kArrival;
    if (link_.devicePath().empty()) {
      // No mouse was found yet: the one the user was asked to plug in may be this arrival.
      if (arrival) {
        open();
        if (link_.devicePresent() && !onChange(LinkChange::kFound)) {
          return;
        }
      }
      continue;
    }
    switch (link_.onDeviceChange(*event)) {
      case DeviceLink::Change::kRemoved:
        usable_ = false;
        if (!onChange(LinkChange::kRemoved)) {
          return;
        }
        break;
      case DeviceLink::Change::kRediscovered:
        usable_ = link_.usable();
        if (!onChange(LinkChange::kBack)) {
          return;
        }
        break;
      case DeviceLink::Change::kNone:
        // A mouse that could not be written (or is gone) may come back under another node once
        // the rule is in place: every other arrival is a reason to look again, and the owner
        // hears of it when the mouse can be written now or is there again.
        if (arrival && !usable_) {
          const bool wasPresent = link_.devicePresent();
          if ((open() || (!wasPresent && link_.devicePresent())) && !onChange(LinkChange::kBack)) {
            return;
          }
        }
        break;
    }
  }
}

void DeviceService::startThreads(DeviceThreadHooks hooks, std::optional<DeviceSnapshot> first) {
  if (threads_) {
    return;
  }
  if (tracing_ && !hooks.action) {
    hooks.action = [this](std::string_view line) { log_(line); };
  }
  // One program serves the mouse's buttons: while another (a window, a listen) serves them, this
  // one says so once and leaves the presses to it, and takes over when it ends.
  serveClaim_ = std::make_shared<ServeClaim>([this] { return link_.deviceIdentity(); }, log_);
  hooks.mayServe = [claim = serveClaim_] { return claim->mayServe(); };
  threads_ = std::make_unique<DeviceThreads>(link_, protocol_, std::move(hooks));
  if (first) {
    threads_->publish(std::move(*first));
  }
  threads_->start();
}

void DeviceService::publish(DeviceSnapshot snapshot) {
  if (threads_) {
    threads_->publish(std::move(snapshot));
  }
}

void DeviceService::stopThreads() {
  if (threads_) {
    threads_->stop();
  }
}

}  // namespace quillet
