// quillet-icons: writes the application icon into a hicolor icon theme folder, at the sizes
// desktops look for, from the same drawing the window and the notification area use.
//
//   quillet-icons OUT_FOLDER      writes OUT_FOLDER/<n>x<n>/apps/org.quillet.Quillet.png
//
// Exit status 0 on success, 1 when a picture cannot be written, 2 on bad arguments.
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

#include "core/io/app_id.h"
#include "gui/widgets/app_icon.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: quillet-icons OUT_FOLDER\n");
    return 2;
  }
  for (const int size : quillet::kAppIconSizes) {
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args[1]).arg(size);
    const QString file = folder + QLatin1Char('/') + QString::fromLatin1(quillet::kAppId) + QStringLiteral(".png");
    if (!QDir().mkpath(folder) || !quillet::appIconImage(size).save(file, "PNG")) {
      std::fprintf(stderr, "quillet-icons: cannot write %s\n", file.toLocal8Bit().constData());
      return 1;
    }
  }
  return 0;
}
