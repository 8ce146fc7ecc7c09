// quillet: the K736 configuration utility.
#include <QApplication>

#include "core/io/app_id.h"
#include "gui/app/quillet_app.h"
#include "linux/http_client.h"
#include "linux/transports.h"
#include "sim_transport.h"

int main(int argc, char** argv) {
  quillet::http::initialiseHttp();  // before the toolkit starts its threads
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  // The desktop entry's name: the Wayland app id, by which the desktop finds the icon and name.
  QGuiApplication::setDesktopFileName(QString::fromLatin1(quillet::kAppId));
  // The window hides to the notification area; only the window's own shutdown ends the process.
  QApplication::setQuitOnLastWindowClosed(false);

  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  quillet::TransportBackends backends = quillet::linuxTransportBackends();
  quillet::sim::addInProcessMouse(backends);
  quillet::CQuilletApp app(std::move(args), std::move(backends));
  const int early = app.initInstance();
  if (early >= 0) {
    return early;
  }
  return QApplication::exec();
}
