#include "core/device/device_threads.h"

#include "core/device/device_link.h"
#include "core/device/device_protocol.h"
#include "core/io/hex_text.h"
#include "core/settings/button_function.h"
#include "core/settings/consumer_usage.h"
#include "core/settings/settings_file.h"

namespace quillet {
namespace {

bool flagged(const DownloadState::ButtonFlags& flags, int profile, int button) {
  return flags[static_cast<std::size_t>(profile)][static_cast<std::size_t>(button)] != 0;
}

bool validProfileIndex(int profile) { return profile >= 0 && profile < kProfileCount; }

}  // namespace

ButtonZeroImages buttonZeroImages(const MacroLayout& layout) {
  ButtonZeroImages images{};
  for (std::size_t p = 0; p < images.size(); ++p) {
    const SlotImage& slot = layout.slots[p][0];
    images[p].function = slot.function;
    if (slot.hasDescriptor && slot.source == ImageSource::Library) {
      images[p].target = {slot.address, slot.size};
    }
  }
  return images;
}

DeviceSnapshot makeDeviceSnapshot(const Selection& selection, const ProfileSettings& settings, const DownloadState& state,
                                  const MacroLayout* lastDownload, const std::filesystem::path& macroFolder) {
  DeviceSnapshot s;
  s.currentProfile = selection.currentProfile;
  s.currentProfileNumber = selection.currentProfileNumber;
  s.buttonFunction = settings.buttonFunction;
  s.isHoldButton = state.isHoldButton;
  s.isProfileButton = state.isProfileButton;
  s.isDpiButton = state.isDpiButton;
  if (lastDownload != nullptr) {
    s.buttonZeroImages = buttonZeroImages(*lastDownload);
  }
  s.macroFolder = macroFolder;
  return s;
}

bool applyFollowedChange(const FollowedChange& change, AppState& app, ProfileSettings& settings, EditedGroup* edited) {
  switch (change.kind) {
    case FollowedChange::Kind::kDpiLevel:
      if (change.dpiLevel < 0 || change.dpiLevel >= kDpiLevelCount) {
        return false;  // not one of the six levels: the model is left as it is
      }
      settings.currentDpiLevel = change.dpiLevel;
      return saveDpiLevel(app.configPath, app.currentProfileNumber, settings);
    case FollowedChange::Kind::kProfile: {
      if (change.profileNumber < 1 || change.profileNumber > kProfileCount) {
        return false;
      }
      app.currentProfileNumber = change.profileNumber;
      app.currentProfile = change.profileNumber - 1;
      const bool saved = saveCurrentProfile(app);
      loadSettings(app.configPath, change.profileNumber, false, settings, app);
      return saved;
    }
    case FollowedChange::Kind::kAdjustedMacro:
      return storeAdjustment(change.adjusted, edited);
  }
  return true;
}

// TriggerLoop ------------------------------------------------------------------------------

TriggerLoop::TriggerLoop(DeviceProtocol& protocol, DeviceThreadHooks hooks)
    : protocol_(protocol), hooks_(std::move(hooks)), published_(std::make_shared<const DeviceSnapshot>()) {}

TriggerLoop::~TriggerLoop() { stop(); }

void TriggerLoop::publish(DeviceSnapshot snapshot) {
  auto next = std::make_shared<const DeviceSnapshot>(std::move(snapshot));
  std::lock_guard lock(mutex_);
  published_ = std::move(next);
}

void TriggerLoop::push(const QueuedEvent& event) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) {
      return;
    }
    queue_.push_back(event);
  }
  wake_.notify_one();
}

void TriggerLoop::start() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable() || stopping_) {
    return;
  }
  thread_ = std::thread([this] { run(); });
}

void TriggerLoop::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    thread_.join();
  }
}

void TriggerLoop::run() {
  for (;;) {
    QueuedEvent next;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) {
        return;
      }
      next = queue_.front();
      queue_.pop_front();
    }
    serve(next);
  }
}

void TriggerLoop::say(const std::string& line) {
  if (hooks_.action) {
    hooks_.action(line);
  }
}

void TriggerLoop::hand(FollowedChange change) {
  if (!hooks_.post || !hooks_.followed) {
    return;
  }
  // The hook is copied into the work: the loop may be gone by the time the owner runs it.
  hooks_.post([followed = hooks_.followed, change = std::move(change)] { followed(change); });
}

void TriggerLoop::serve(const QueuedEvent& queued) {
  {
    // A snapshot published since the last event replaces the loop's view, including a profile
    // the loop followed itself: the owner's word is the newer one.
    std::lock_guard lock(mutex_);
    if (published_ != seen_) {
      seen_ = published_;
      view_ = *seen_;
    }
  }
  if (!validProfileIndex(view_.currentProfile)) {
    return;  // no profile to look buttons up in
  }
  if (hooks_.mayServe && !hooks_.mayServe()) {
    return;  // another program serves the buttons: one press, one action
  }
  const DeviceEvent& e = queued.event;
  switch (e.kind) {
    case DeviceEvent::Kind::kKey: {
      if (!e.button) {
        return;  // a key event of no button: nothing to do
      }
      const int b = *e.button;
      // The hold function: the press and the release of the same button, each its own command.
      if (flagged(view_.isHoldButton, view_.currentProfile, b)) {
        const bool sent = protocol_.keyHold(e.pressed);
        say(std::string(e.pressed ? "hold pressed" : "hold released") + " button " + std::to_string(b) +
            (sent ? "" : " (not sent: no mouse)"));
      }
      if (!e.pressed) {
        return;  // the per-button actions run once per press
      }
      if (flagged(view_.isDpiButton, view_.currentProfile, b)) {
        if (e.dpiLevel < kDpiLevelCount) {
          FollowedChange c;
          c.kind = FollowedChange::Kind::kDpiLevel;
          c.dpiLevel = e.dpiLevel;
          hand(std::move(c));
        } else {
          say("dpi level " + std::to_string(e.dpiLevel) + " ignored: the mouse has levels 0..5");
        }
      }
      if (flagged(view_.isProfileButton, view_.currentProfile, b)) {
        followProfile();
      }
      // The button's function in the profile now current, after a switch the line above made.
      const ButtonFunction code =
          view_.buttonFunction[static_cast<std::size_t>(view_.currentProfile)][static_cast<std::size_t>(b)];
      if (function_code::isMultimedia(code)) {
        const bool sent = protocol_.consumerKey(code);
        say("consumer " + hexDigits(consumerUsageOf(code), 4) + " button " + std::to_string(b) +
            (sent ? "" : " (not sent: no mouse)"));
      }
      return;
    }
    case DeviceEvent::Kind::kProfileChanged:
      followProfile();
      return;
    case DeviceEvent::Kind::kAdjustUp:
    case DeviceEvent::Kind::kAdjustDown:
    case DeviceEvent::Kind::kAdjust:
      adjust(queued.adjustUp);
      return;
    case DeviceEvent::Kind::kNotAnEvent:
    case DeviceEvent::Kind::kNone:
      return;
  }
}

void TriggerLoop::adjust(bool up) {
  const auto profile = static_cast<std::size_t>(view_.currentProfile);
  const ButtonFunction buttonZero = view_.buttonFunction[profile][0];
  // The image is rewritten only in the place the download gave this very function: after a
  // profile switch or a new function the place belongs to another macro.
  const ButtonZeroImage& image = view_.buttonZeroImages[profile];
  const AdjustTarget target = image.function == buttonZero ? image.target : AdjustTarget{};
  const bool sameMacro = mouseCopy_.valid && mouseCopy_.downloads == view_.downloads &&
                         mouseCopy_.function == buttonZero && mouseCopy_.macroFolder == view_.macroFolder;
  FollowedChange c;
  c.kind = FollowedChange::Kind::kAdjustedMacro;
  c.adjusted = adjustMacro(buttonZero, up, target, view_.macroFolder, protocol_, sameMacro ? &mouseCopy_.macro : nullptr);
  if (!c.adjusted.adjusted) {
    mouseCopy_.valid = false;
    return;  // button 0 holds no library macro
  }
  mouseCopy_ = MouseCopy{true, view_.downloads, buttonZero, view_.macroFolder, c.adjusted.macro};
  say(std::string(up ? "adjust up" : "adjust down") +
      (c.adjusted.written ? "" : " (saved; the mouse gets it with the next download)"));
  hand(std::move(c));
}

void TriggerLoop::followProfile() {
  // The profile is the one the mouse says it is in; without an answer nothing is known, and
  // the profile stays as it is rather than following bytes of an earlier report.
  const std::optional<DeviceStatus> status = protocol_.readStatus();
  if (!status) {
    say("profile not followed: the mouse did not answer the status read");
    return;
  }
  view_.currentProfile = status->profileIndex;
  view_.currentProfileNumber = status->profileNumber();
  FollowedChange c;
  c.kind = FollowedChange::Kind::kProfile;
  c.profileNumber = status->profileNumber();
  hand(std::move(c));
}

// EventListener ----------------------------------------------------------------------------

EventListener::EventListener(DeviceLink& link, TriggerLoop& loop, std::chrono::milliseconds readTimeout)
    : link_(link), loop_(loop), readTimeout_(readTimeout) {}

EventListener::~EventListener() { stop(); }

void EventListener::start() {
  if (thread_.joinable() || stopping_.load()) {
    return;
  }
  thread_ = std::thread([this] { run(); });
}

void EventListener::stop() {
  stopping_.store(true);
  link_.stopReaders();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    thread_.join();
  }
}

void EventListener::run() {
  InputReport report;
  while (!stopping_.load()) {
    // Sleeps in the read while the mouse is there; without it, readEvent waits for a discovery.
    if (link_.readEvent(report, readTimeout_) == ReadStatus::kReport) {
      handle(std::span<const std::uint8_t>(report.bytes.data(), report.length));
    }
  }
}

void EventListener::handle(std::span<const std::uint8_t> report) {
  const DeviceEvent e = decodeEvent(report);
  switch (e.kind) {
    case DeviceEvent::Kind::kNotAnEvent:
    case DeviceEvent::Kind::kNone:
      return;
    case DeviceEvent::Kind::kAdjustUp:
      liveAdjustUp_.store(true);
      break;
    case DeviceEvent::Kind::kAdjustDown:
      liveAdjustUp_.store(false);
      break;
    case DeviceEvent::Kind::kKey:
      if (!e.button) {
        return;  // no button: it asks for nothing
      }
      break;
    case DeviceEvent::Kind::kProfileChanged:
    case DeviceEvent::Kind::kAdjust:
      break;
  }
  loop_.push({e, liveAdjustUp_.load()});
}

}  // namespace quillet
