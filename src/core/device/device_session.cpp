#include "core/device/device_session.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "core/io/desktop_mouse.h"
#include "core/macro/macro_library.h"

namespace quillet {

void NullDeviceSession::settingsLoaded(const ProfileSettings& settings, const AppState&, const MacroLibrary& library) {
  deriveDownloadState(settings, library, state_);
}

DownloadResult NullDeviceSession::apply(ProfileSettings& settings, AppState& app, MacroLibrary& library) {
  recorder_.blocks.clear();
  DownloadContext context{settings, app, state_, library, recorder_, {}, nullptr, messages_, {}, true};
  return downloadSettings(context);
}

HidDeviceSession::HidDeviceSession(std::unique_ptr<HidTransport> transport, std::shared_ptr<void> keepAlive,
                                   MessageService& messages, std::unique_ptr<DesktopMouseSettings> desktop)
    : service_(TransportChoice{std::move(transport), std::move(keepAlive)},
               [](std::string_view line) {
                 std::fprintf(stderr, "quillet: %.*s\n", static_cast<int>(line.size()), line.data());
               }),
      messages_(messages),
      desktop_(desktop ? std::move(desktop) : makeUnavailableMouseSettings()) {
  service_.startHotplugWatch();
}

HidDeviceSession::~HidDeviceSession() {
  if (running_ && running_->writer.joinable()) {
    running_->writer.join();
  }
  service_.stopThreads();
}

void HidDeviceSession::startThreads() {
  DeviceThreadHooks hooks;
  hooks.post = [this](std::function<void()> work) {
    if (post) {
      post(std::move(work));
    }
  };
  hooks.followed = [this](const FollowedChange& change) {
    if (onFollowed) {
      onFollowed(change);
    }
  };
  service_.startThreads(std::move(hooks));
}

void HidDeviceSession::stopThreads() { service_.stopThreads(); }

bool HidDeviceSession::open() {
  usable_ = service_.open();
  return usable_;
}

bool HidDeviceSession::isOpen() const {
  return service_.link().commandState() == DeviceLink::HandleState::kOpen;
}

std::string HidDeviceSession::accessProblem() const { return service_.link().accessProblem(); }

std::optional<std::uint8_t> HidDeviceSession::readDeviceValue() {
  if (const std::optional<DeviceStatus> status = service_.protocol().readStatus()) {
    return status->deviceValue;
  }
  return std::nullopt;
}

void HidDeviceSession::hostExit() {
  // The utility is ending: a mouse that did not hear it has nobody left to tell (the trace says it).
  static_cast<void>(service_.protocol().hostExit());
}

void HidDeviceSession::settingsLoaded(const ProfileSettings& settings, const AppState& app,
                                      const MacroLibrary& library) {
  deriveDownloadState(settings, library, state_);
  publish(settings, app, library);
}

DownloadContext HidDeviceSession::downloadContext(ProfileSettings& settings, AppState& app, MacroLibrary& library) {
  // Each block is one transaction of the protocol; a mouse that is not there takes none, and
  // the download goes on to its save as it would with the mouse in place.
  return DownloadContext{settings, app, state_, library, service_.protocol(), [this] { return endDownload(); },
                         desktop_.get(), messages_, {},     true};
}

DownloadResult HidDeviceSession::apply(ProfileSettings& settings, AppState& app, MacroLibrary& library) {
  finishApplyNow();
  DownloadContext context = downloadContext(settings, app, library);
  const DeviceLock lock = lockDownload();
  DownloadResult result = downloadSettings(context);
  if (result.completed) {
    lastDownload_ = result.layout;
    ++downloads_;
  }
  publish(settings, app, library);
  return result;
}

void HidDeviceSession::startApply(ProfileSettings& settings, AppState& app, MacroLibrary& library,
                                  std::function<void(ApplyProgress)> progress, ApplyDone done) {
  finishApplyNow();
  if (!post) {
    // Nobody to hear of the end later: the download runs here and now.
    const DownloadResult result = apply(settings, app, library);
    if (done) {
      done(result);
    }
    return;
  }
  DownloadContext context = downloadContext(settings, app, library);
  running_ = std::make_unique<RunningApply>(RunningApply{settings, app, library, planDownload(context), true,
                                                         std::move(progress), std::move(done), {}});
  RunningApply* run = running_.get();
  // The blocks go out on their own thread, with the block write's pauses; the window's thread
  // goes on painting and hears of each block and of the end through `post`.
  run->writer = std::thread([this, run] {
    // Another program's download into this mouse ends first: the mouse holds one whole download.
    const DeviceLock lock = lockDownload();
    run->tookAll = sendDownload(
        run->plan, service_.protocol(), [this] { return endDownload(); },
        [this, run](std::size_t sent, std::size_t total) {
          if (post) {
            post([this, run, sent, total] {
              if (running_.get() == run && run->progress) {
                run->progress(ApplyProgress{sent, total});
              }
            });
          }
        });
    if (post) {
      post([this, run] {
        if (running_.get() == run) {
          completeApply();
        }
      });
    }
  });
}

DeviceLock HidDeviceSession::lockDownload() {
  DeviceLock lock;
  const std::string path = service_.link().deviceIdentity();
  std::string problem;
  if (!path.empty() && lock.acquire(path, kDownloadLock, true, &problem) == LockOutcome::Failed) {
    std::fprintf(stderr, "quillet: downloads into the mouse are not kept apart from other programs': %s\n",
                 problem.c_str());
  }
  return lock;
}

void HidDeviceSession::finishApplyNow() {
  if (running_) {
    completeApply();
  }
}

void HidDeviceSession::completeApply() {
  std::unique_ptr<RunningApply> run = std::move(running_);
  if (run->writer.joinable()) {
    run->writer.join();
  }
  DownloadContext context = downloadContext(run->settings, run->app, run->library);
  const DownloadResult result = finishDownload(context, std::move(run->plan), run->tookAll);
  if (result.completed) {
    lastDownload_ = result.layout;
    ++downloads_;
  }
  publish(run->settings, run->app, run->library);
  if (run->done) {
    run->done(result);
  }
}

void HidDeviceSession::serviceHotplug() {
  service_.serviceHotplug([this](DeviceService::LinkChange change) {
    if (change != DeviceService::LinkChange::kRemoved) {
      usable_ = service_.usable();
      if (onArrived) {
        onArrived();
      }
      return true;
    }
    // Only the removal of a mouse the window could write ends it; what else waits then does not
    // matter.
    if (!usable_) {
      return true;
    }
    usable_ = false;
    if (onRemoved) {
      onRemoved();
    }
    return false;
  });
}

void HidDeviceSession::publish(const ProfileSettings& settings, const AppState& app, const MacroLibrary& library) {
  if (!service_.threadsStarted()) {
    return;  // the threads take their first model when they start
  }
  DeviceSnapshot snapshot = makeDeviceSnapshot(app, settings, state_, lastDownload_ ? &*lastDownload_ : nullptr,
                                               library.folders().macroFolder);
  snapshot.downloads = downloads_;
  service_.publish(std::move(snapshot));
}

}  // namespace quillet
