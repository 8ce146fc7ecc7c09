// The utility as main() builds it (CQuilletApp: the single-instance guard, the signals, the
// device session at QUILLET_SIM, the window), on whatever platform QT_QPA_PLATFORM names, driven
// by clicks delivered to the window through Qt. Under a Wayland compositor that offers no way to
// inject input (weston's headless backend), this is how the pages, Apply and Close are run there.
//
//   wayland_driver --skins DIR
//
// After each step it prints one line on stdout and waits for a line on stdin before the next,
// so that the caller can take a screenshot of the compositor between steps:
//   shown PLATFORM exposed=0|1 mask=N     the window is on screen; N rectangles of its shape
//   page P                                the tab of page P was clicked and P is shown
//   dpi-step S                            the first DPI level's step is S after a click
//   applied saved=0|1                     Apply ran; whether the settings file holds the step
// then Close is clicked and the process ends with the utility's exit status.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QSocketNotifier>
#include <QWindow>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/io/app_id.h"
#include "core/io/ini.h"
#include "core/skin/window_rules.h"
#include "gui/app/quillet_app.h"
#include "linux/transports.h"
#include "sim_transport.h"

namespace {

using namespace quillet;

void say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

void click(CQuilletDlg& dlg, const SkinButton& region) {
  const QPoint p(region.x + region.width / 2, region.y + region.height / 2);
  const QPointF global = dlg.mapToGlobal(QPointF(p));
  QMouseEvent move(QEvent::MouseMove, QPointF(p), global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &move);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(p), global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(p), global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&dlg, &release);
  QApplication::processEvents();
}

// Lets the window paint and the compositor show it.
void settle(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
  QApplication::setQuitOnLastWindowClosed(false);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  TransportBackends backends = linuxTransportBackends();
  sim::addInProcessMouse(backends);
  CQuilletApp app(std::move(args), std::move(backends));
  if (const int early = app.initInstance(); early >= 0) {
    return early;
  }
  CQuilletDlg& dlg = *app.window();

  // The steps, each run once the caller has answered the line of the one before.
  std::vector<std::function<void()>> steps;
  steps.emplace_back([&] {
    QElapsedTimer t;
    t.start();
    while ((dlg.windowHandle() == nullptr || !dlg.windowHandle()->isExposed()) && t.elapsed() < 10000) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    settle(300);
    const bool exposed = dlg.windowHandle() != nullptr && dlg.windowHandle()->isExposed();
    say("shown " + QGuiApplication::platformName().toStdString() + " exposed=" + (exposed ? "1" : "0") +
        " mask=" + std::to_string(dlg.mask().rectCount()));
  });
  for (int page = 0; page < 4; ++page) {
    steps.emplace_back([&, page] {
      click(dlg, dlg.layouts().main[static_cast<std::size_t>(tabOfPage(static_cast<std::uint8_t>(page)))]);
      settle(300);
      say("page " + std::to_string(dlg.app().currentPage));
    });
  }
  steps.emplace_back([&] {
    click(dlg, dlg.layouts().main[static_cast<std::size_t>(tabOfPage(1))]);
    click(dlg, dlg.layouts().advanced[advanced_region::kFirstDpiStep + 11]);  // level 1, step 12
    settle(200);
    say("dpi-step " + std::to_string(dlg.settings().dpiStep[0]));
  });
  steps.emplace_back([&] {
    click(dlg, dlg.layouts().main[frame_region::kApply]);
    // The blocks are written while the window goes on: wait for the download's end.
    QElapsedTimer t;
    t.start();
    while (dlg.applying() && t.elapsed() < 10000) {
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    const bool saved = ini::readString(dlg.app().configPath, "Config1", "DPI_SET0", "", 16) ==
                       std::to_string(dlg.settings().dpiStep[0]);
    say(std::string("applied saved=") + (saved ? "1" : "0"));
  });
  steps.emplace_back([&] { click(dlg, dlg.layouts().main[frame_region::kClose]); });

  std::size_t next = 0;
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  const auto runNext = [&] {
    if (next < steps.size()) {
      steps[next++]();
    }
  };
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[64];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
      input.setEnabled(false);  // the caller has gone: close as a user would
      click(dlg, dlg.layouts().main[frame_region::kClose]);
      return;
    }
    runNext();
  });
  QMetaObject::invokeMethod(&application, runNext, Qt::QueuedConnection);
  return QApplication::exec();
}
