// GoogleTest main for the window tests: an offscreen QApplication on a 1920 × 1200 screen (so
// that the 1000 × 640 window and its popups fit) and a private runtime folder.
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "linux/http_client.h"

int main(int argc, char** argv) {
  // As the utility does, before any thread runs. Initialised later, from the window thread, the
  // TLS libraries under libcurl leave the sanitizer's leak check a thread-local block it cannot
  // walk, and it aborts the test binary at exit.
  quillet::http::initialiseHttp();
  QTemporaryDir runtime;
  QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
  const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
  if (platform.isEmpty() || platform == "offscreen") {
    const QString screens = runtime.filePath(QStringLiteral("screens.json"));
    QFile file(screens);
    if (file.open(QIODevice::WriteOnly)) {
      file.write(R"({"screens":[{"name":"test","x":0,"y":0,"width":1920,"height":1200,)"
                 R"("logicalDpiX":96,"logicalDpiY":96}]})");
      file.close();
    }
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toLocal8Bit());
  }
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
