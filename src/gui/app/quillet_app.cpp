#include "gui/app/quillet_app.h"

#include <QApplication>

#include <cstdio>

#include "core/device/device_session.h"
#include "core/io/app_folder.h"
#include "core/skin/command_line.h"
#include "core/skin/startup.h"
#include "gui/widgets/message_box.h"
#include "linux/desktop_mouse.h"

namespace quillet {

CQuilletApp::CQuilletApp(std::vector<std::string> args, TransportBackends backends, QObject* parent)
    : QObject(parent), args_(std::move(args)), backends_(std::move(backends)) {}

CQuilletApp::~CQuilletApp() {
  // The window goes first: it still uses the message service while it shuts down.
  window_.reset();
  signals_.reset();
}

int CQuilletApp::initInstance() {
  const CommandLine line = parseCommandLine(args_);
  if (line.help) {
    std::fputs(kCommandLineUsage, stdout);
    return 0;
  }
  if (!line.error.empty()) {
    std::fprintf(stderr, "quillet: %s\n%s", line.error.c_str(), kCommandLineUsage);
    return 2;
  }

  // A second start brings the first one's window back, even from the notification area, and
  // ends without a word.
  instance_ = std::make_unique<SingleInstance>(QString::fromUtf8(kSingleInstanceName));
  switch (instance_->claim()) {
    case SingleInstance::Claim::kHandedOver:
      return 0;
    case SingleInstance::Claim::kNoAnswer:
      std::fprintf(stderr, "quillet: another copy is running but does not answer; not starting a second one\n");
      return 1;
    case SingleInstance::Claim::kFirst:
      if (!instance_->listening()) {
        std::fprintf(stderr, "quillet: cannot take the single-instance name; a second start will not find this one\n");
      }
      break;
  }

  // Message boxes, or lines on stderr for unattended runs (QUILLET_MESSAGES=stderr).
  if (qgetenv("QUILLET_MESSAGES") == "stderr") {
    messages_ = std::make_unique<StderrMessages>();
  } else {
    messages_ = std::make_unique<MessageBoxes>();
  }

  // The skin beside the executable (a build) or in the install prefix, and the user's data: in
  // the build's skin folder, or under $XDG_CONFIG_HOME/quillet, made on the first start.
  const AppFolders folders = locateAppFolders(executableFolder(), line.skins);
  std::error_code ec;
  if (!std::filesystem::is_directory(folders.skinFolder, ec)) {
    std::fprintf(stderr, "quillet: no skins folder at %s\n", folders.skinFolder.string().c_str());
    return 2;
  }
  if (std::string problem; !seedUserData(folders, problem)) {
    std::fprintf(stderr, "quillet: %s\n", problem.c_str());
    messages_->show(problem);
    return 1;
  }

  // The mouse: simulated in this process (--simulate), the simulator at QUILLET_SIM's socket,
  // or the real one.
  std::string transportProblem;
  TransportChoice choice = chooseTransport(line.simulate, backends_, transportProblem);
  if (!choice.transport) {
    std::fprintf(stderr, "quillet: %s\n", transportProblem.c_str());
    return 2;
  }
  auto session = std::make_unique<HidDeviceSession>(std::move(choice.transport), std::move(choice.keepAlive), *messages_,
                                                    makeDesktopMouseSettings());
  if (!session->hotplugProblem().empty()) {
    std::fprintf(stderr, "quillet: no hotplug watch: %s\n", session->hotplugProblem().c_str());
  }

  window_ = std::make_unique<CQuilletDlg>(*messages_, std::move(session));
  if (auto* boxes = dynamic_cast<MessageBoxes*>(messages_.get())) {
    boxes->setParent(window_.get());
  }
  // The end leaves every event loop that runs, nested ones included (a message box's, the survey
  // form's, a dialog's): each returns to its caller, and no loop started afterwards runs. When it
  // happens before the event loop has started (a signal while a start-up message box is open),
  // the process ends as soon as the start-up returns instead of starting the event loop afresh.
  connect(window_.get(), &CQuilletDlg::shutDown, this, [this] {
    ended_ = true;
    QCoreApplication::exit(window_->exitCode());
  });
  connect(instance_.get(), &SingleInstance::restoreRequested, window_.get(), [window = window_.get()] {
    // While a modal window is up (the survey form at start-up, a message) it is what comes to
    // the front: the main window behind it may not even be ready yet.
    if (QWidget* modal = QApplication::activeModalWidget()) {
      modal->raise();
      modal->activateWindow();
      return;
    }
    window->restoreFromTray();
  });
  // A kill, the end of the terminal or of the desktop session end the utility as its Close does:
  // the icon removed, HostExit, the threads joined, exit status 0. A quit that reaches the event
  // loop some other way (the session manager's) runs the same shutdown first.
  signals_ = std::make_unique<ShutdownSignals>();
  connect(signals_.get(), &ShutdownSignals::requested, window_.get(), &CQuilletDlg::onClose);
  connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, window_.get(), &CQuilletDlg::onClose);
  window_->initDialog(folders, line.startHidden);
  if (ended_) {
    return window_->exitCode();
  }
  if (!window_->closing()) {
    if (line.startInTray) {
      // The start at login: straight into the notification area, the window never shown (where
      // there is no notification area, minimised, as the window's own minimise does).
      window_->minimizeToTray();
    } else {
      window_->show();
    }
  }
  return -1;
}

}  // namespace quillet
