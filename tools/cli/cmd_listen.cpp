// quilletctl listen: the device threads without the window. The main thread owns the settings
// model, as the window thread does in the utility: it sleeps in poll() on one descriptor for
// the work the device threads post, one for SIGINT/SIGTERM and one for the mouse's arrival and
// removal, and runs what wakes it.
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "cli.h"
#include "core/device/device_service.h"
#include "core/device/download.h"
#include "core/io/file_io.h"
#include "core/macro/macro_library.h"
#include "core/settings/settings_file.h"

namespace quillet::cli {
namespace {

// A file descriptor closed with its owner.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) {
      ::close(fd_);
    }
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Work posted by the device threads, run on the main thread in the order posted.
class OwnerQueue {
 public:
  OwnerQueue() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  bool valid() const { return wake_.get() >= 0; }
  int descriptor() const { return wake_.get(); }

  void post(std::function<void()> work) {
    {
      std::lock_guard lock(mutex_);
      work_.push_back(std::move(work));
    }
    const std::uint64_t one = 1;
    // A full counter still wakes the reader; nothing to do about a failure but keep the work.
    [[maybe_unused]] const ssize_t n = ::write(wake_.get(), &one, sizeof one);
  }

  void runPosted() {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wake_.get(), &count, sizeof count);
    for (;;) {
      std::function<void()> work;
      {
        std::lock_guard lock(mutex_);
        if (work_.empty()) {
          return;
        }
        work = std::move(work_.front());
        work_.pop_front();
      }
      work();
    }
  }

 private:
  Fd wake_;
  std::mutex mutex_;
  std::deque<std::function<void()>> work_;
};

// One line on stdout at a time, at once: a person or a test reads them as they come.
void say(std::string_view line) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Tells when the settings file has changed on disk: an inotify watch on its folder (a save
// replaces the file by a rename), and the file's stamp to tell a change from a look.
class SettingsFileWatch {
 public:
  explicit SettingsFileWatch(std::filesystem::path file)
      : file_(std::move(file)), fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), stamp_(fileio::stampOf(file_)) {
    if (fd_.get() >= 0) {
      ::inotify_add_watch(fd_.get(), file_.parent_path().c_str(), IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE);
    }
  }
  // -1 without a watch: poll() ignores it.
  int descriptor() const { return fd_.get(); }
  void drain() {
    alignas(inotify_event) char buffer[4096];
    while (::read(fd_.get(), buffer, sizeof buffer) > 0) {
    }
  }
  // Whether the file differs from when this was last asked (or made).
  bool changed() {
    const fileio::FileStamp now = fileio::stampOf(file_);
    if (now == stamp_) {
      return false;
    }
    stamp_ = now;
    return true;
  }

 private:
  std::filesystem::path file_;
  Fd fd_;
  fileio::FileStamp stamp_;
};

}  // namespace

int runListen(Context& context, const std::vector<std::string>& args) {
  if (!args.empty()) {
    error("listen takes no arguments");
    return kExitUsage;
  }
  if (!requireSettingsFile(context)) {
    return kExitUsage;
  }
  // The signals are taken through a descriptor; blocked before any thread starts, so that no
  // thread of this process is interrupted by them.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  if (::pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
    error("cannot block SIGINT and SIGTERM");
    return kExitFailed;
  }
  const Fd signalFd(::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK));
  OwnerQueue owner;
  if (signalFd.get() < 0 || !owner.valid()) {
    error(std::string("cannot make the main loop's descriptors: ") + std::strerror(errno));
    return kExitFailed;
  }

  // The settings as start-up loads them, and the button flags of the functions they hold: the
  // mouse holds what the last download wrote from them.
  loadStartupSettings(context.app, context.settings);
  MacroLibrary library(context.messages);
  library.start(context.app);
  DownloadState state;
  deriveDownloadState(context.settings, library, state);
  // No download in this process: where the images lie in the mouse is not known, so the live
  // adjustment changes the macro's file and the next download takes it to the mouse.
  auto snapshot = [&] {
    return makeDeviceSnapshot(context.app, context.settings, state, nullptr, library.folders().macroFolder);
  };

  const std::unique_ptr<DeviceService> service = deviceService(context);
  if (!service) {
    return kExitFailed;
  }
  DeviceLink& link = service->link();
  // What discovery found, said once it ran.
  auto sayFound = [&link] {
    if (link.devicePresent()) {
      error("mouse found at " + link.devicePath());
    }
    if (link.devicePresent() && !link.usable()) {
      noAccess(link.accessProblem());  // a node the user may not open: the udev rule is missing
    } else if (const std::string problem = link.openError(); !problem.empty()) {
      error(problem);
    }
  };
  // The watch first, then the search: a mouse that arrives in between is seen by one of them.
  service->startHotplugWatch();
  service->open();
  sayFound();
  if (!link.devicePresent()) {
    if (const std::string problem = service->transport().enumerateProblem(); !problem.empty()) {
      error(problem);
    }
    error("no mouse yet; waiting for it");
  }

  DeviceThreadHooks hooks;
  hooks.post = [&owner](std::function<void()> work) { owner.post(std::move(work)); };
  hooks.followed = [&](const FollowedChange& change) {
    const bool saved = applyFollowedChange(change, context.app, context.settings);
    switch (change.kind) {
      case FollowedChange::Kind::kDpiLevel:
        say("dpi " + std::to_string(change.dpiLevel) + " profile " + std::to_string(context.app.currentProfileNumber));
        break;
      case FollowedChange::Kind::kProfile:
        say("profile " + std::to_string(change.profileNumber));
        break;
      case FollowedChange::Kind::kAdjustedMacro:
        break;  // the device thread said so when it made it
    }
    if (!saved) {
      error(change.kind == FollowedChange::Kind::kAdjustedMacro
                ? "cannot store the adjusted macro in its group file"
                : "cannot write the settings file " + context.app.configPath.string());
    }
    service->publish(snapshot());
  };
  hooks.action = [](std::string_view line) { say(line); };
  service->startThreads(std::move(hooks), snapshot());

  // The settings file is followed: a download by another program (the window, apply) saves the
  // functions it wrote into the mouse there, and this listen serves those from then on.
  SettingsFileWatch settingsWatch(context.app.configPath);
  auto reloadSettings = [&] {
    if (!settingsWatch.changed()) {
      return;
    }
    loadStartupSettings(context.app, context.settings);
    library.start(context.app);
    deriveDownloadState(context.settings, library, state);
    service->publish(snapshot());
    error("the settings file changed: serving its functions (profile " +
          std::to_string(context.app.currentProfileNumber) + ")");
  };

  for (;;) {
    const int hotplug = service->hotplugDescriptor();
    pollfd fds[4] = {{signalFd.get(), POLLIN, 0}, {owner.descriptor(), POLLIN, 0}, {hotplug, POLLIN, 0},
                     {settingsWatch.descriptor(), POLLIN, 0}};
    // Without a hotplug watch (the simulator's socket is not there yet) it is tried again every
    // kWatchRetry: the only wake-up of an idle listen that nothing asked for.
    const int timeout = hotplug < 0 ? static_cast<int>(DeviceService::kWatchRetry.count()) : -1;
    const int ready = ::poll(fds, 4, timeout);
    if (ready < 0 && errno != EINTR) {
      error(std::string("poll: ") + std::strerror(errno));
      break;
    }
    if ((fds[0].revents & POLLIN) != 0) {
      break;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      owner.runPosted();
    }
    if ((fds[3].revents & POLLIN) != 0) {
      settingsWatch.drain();
      reloadSettings();
    }
    if (hotplug >= 0 && fds[2].revents == 0) {
      continue;
    }
    service->serviceHotplug([&](DeviceService::LinkChange change) {
      switch (change) {
        case DeviceService::LinkChange::kFound:
          sayFound();
          break;
        case DeviceService::LinkChange::kBack:
          error(link.devicePresent() ? "mouse back at " + link.devicePath() : "mouse arrived but did not open");
          if (link.devicePresent() && !link.usable()) {
            noAccess(link.accessProblem());
          }
          break;
        case DeviceService::LinkChange::kRemoved:
          error("mouse removed; waiting for it");
          break;
      }
      return true;
    });
  }

  service->stopThreads();
  return kExitOk;
}

}  // namespace quillet::cli
