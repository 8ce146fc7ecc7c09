// quillet: the K736 configuration utility.
#include <QApplication>

#include "app/app_id.h"
#include "app/quillet_app.h"
#include "platform/http_client.h"

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
  quillet::CQuilletApp app(std::move(args));
  const int early = app.initInstance();
  if (early >= 0) {
    return early;
  }
  return QApplication::exec();
}
