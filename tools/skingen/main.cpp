// skingen: draws every picture of the shipped skin from the layout files.
//
//   skingen --skins SOURCE_SKINS --out PICTURE_FOLDER [--preview PREVIEW_FOLDER]
//   skingen --arrow FILE
//
// Every picture but the masks is drawn twice: at the layout's size and, under the same name with
// "@2x" before the extension, at twice that size for screens of a device pixel ratio above 1 (a
// mask only shapes the window, in the layout's pixels). The English layout files give the
// rectangles (both languages share the pictures); --preview
// also writes preview_*.png, the pages composed with the labels of both languages, for checking
// a change by eye. --arrow writes the combo box's arrow, which the program carries as a
// resource. Exit status 0 on success, 1 when a layout is missing or a picture cannot be
// written, 2 on bad arguments.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QString>

#include <cstdio>
#include <functional>
#include <vector>

#include "pages.h"
#include "preview.h"
#include "skin_source.h"

namespace {

int usage() {
  std::fprintf(stderr,
               "usage: skingen --skins SOURCE_SKINS --out PICTURE_FOLDER [--preview PREVIEW_FOLDER]\n"
               "       skingen --arrow FILE\n");
  return 2;
}

struct Picture {
  const char* name;
  std::function<QImage(int scale)> draw;
};

// "main_normal.jpg" -> "main_normal@2x.jpg".
QString doubleName(const QString& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return name.left(dot) + QLatin1String("@2x") + name.mid(dot);
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  QString source, out, preview, arrow;
  const QStringList args = QCoreApplication::arguments();
  for (qsizetype i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (i + 1 >= args.size()) {
      return usage();
    }
    if (a == QLatin1String("--skins")) {
      source = args[++i];
    } else if (a == QLatin1String("--out")) {
      out = args[++i];
    } else if (a == QLatin1String("--preview")) {
      preview = args[++i];
    } else if (a == QLatin1String("--arrow")) {
      arrow = args[++i];
    } else {
      return usage();
    }
  }
  if (!arrow.isEmpty()) {
    QDir().mkpath(QFileInfo(arrow).absolutePath());
    if (!skingen::comboArrowImage().save(arrow)) {
      std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(arrow));
      return 1;
    }
    return 0;
  }
  if (source.isEmpty() || out.isEmpty()) {
    return usage();
  }

  using namespace skingen;
  Skin en, cn;
  if (!loadSkin(source.toStdString(), quillet::kEnglish, en) || !loadSkin(source.toStdString(), quillet::kChinese, cn)) {
    std::fprintf(stderr, "skingen: cannot read the layout files under %s\n", qPrintable(source));
    return 1;
  }

  const QSize window = en.main.pictureSize("WINDOW");
  const int radius = en.main.cornerRadius("WINDOW");
  const auto black = [](QSize size) {
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::black);
    return img;
  };
  std::vector<Picture> pictures{
      {"main_mask.jpg", [&](int) { return renderMask(window, radius); }},
      {"main_normal.jpg", [&](int scale) { return renderPage(en, Page::Main, State::Normal, scale); }},
      {"main_over.jpg", [&](int scale) { return renderPage(en, Page::Main, State::Over, scale); }},
      {"main_down.jpg", [&](int scale) { return renderPage(en, Page::Main, State::Down, scale); }},
      {"advanced_normal.jpg", [&](int scale) { return renderPage(en, Page::Advanced, State::Normal, scale); }},
      {"advanced_over.jpg", [&](int scale) { return renderPage(en, Page::Advanced, State::Over, scale); }},
      {"advanced_down.jpg", [&](int scale) { return renderPage(en, Page::Advanced, State::Down, scale); }},
      {"mac_normal.jpg", [&](int scale) { return renderPage(en, Page::Macro, State::Normal, scale); }},
      {"mac_over.jpg", [&](int scale) { return renderPage(en, Page::Macro, State::Over, scale); }},
      {"mac_down.jpg", [&](int scale) { return renderPage(en, Page::Macro, State::Down, scale); }},
      {"led_normal.jpg", [&](int scale) { return renderPage(en, Page::Lighting, State::Normal, scale); }},
      {"led_over.jpg", [&](int scale) { return renderPage(en, Page::Lighting, State::Over, scale); }},
      {"led_down.jpg", [&](int scale) { return renderPage(en, Page::Lighting, State::Down, scale); }},
      {"led_null.jpg", [&](int scale) { return renderLightingBlanked(en, scale); }},
      {"moveRect.png", [](int scale) { return knobImage(scale); }},
      {"menu_mask.jpg", [&](int) { return black(en.main.pictureSize("MENU")); }},
      {"menu_normal.jpg", [&](int scale) { return renderMenu(en, State::Normal, scale); }},
      {"menu_over.jpg", [&](int scale) { return renderMenu(en, State::Over, scale); }},
      {"menu_down.jpg", [&](int scale) { return renderMenu(en, State::Down, scale); }},
      {"menu1_mask.jpg", [&](int) { return black(en.main.pictureSize("MENU1")); }},
      {"menu1_normal.jpg", [&](int scale) { return renderFunctionMenu(en, State::Normal, scale); }},
      {"menu1_over.jpg", [&](int scale) { return renderFunctionMenu(en, State::Over, scale); }},
      {"menu1_down.jpg", [&](int scale) { return renderFunctionMenu(en, State::Down, scale); }},
      {"more_mask.jpg", [&](int) { return black(en.main.pictureSize("MORE")); }},
      {"more_normal.jpg", [&](int scale) { return renderMoreMenu(en, scale); }},
      {"warning_mask.jpg",
       [&](int) { return renderMask(en.warning.pictureSize("WINDOW"), en.warning.cornerRadius("WINDOW")); }},
      {"warning_normal.jpg", [&](int scale) { return renderWarning(en, State::Normal, scale); }},
      {"warning_over.jpg", [&](int scale) { return renderWarning(en, State::Over, scale); }},
      {"Login_mask.jpg",
       [&](int) { return renderMask(en.login.pictureSize("WINDOW"), en.login.cornerRadius("WINDOW")); }},
      {"Login_normal.jpg", [&](int scale) { return renderSurvey(en, State::Normal, scale); }},
      {"Login_over.jpg", [&](int scale) { return renderSurvey(en, State::Over, scale); }},
      {"Login_down.jpg", [&](int scale) { return renderSurvey(en, State::Down, scale); }},
  };

  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "skingen: cannot create %s\n", qPrintable(out));
    return 1;
  }
  for (const Picture& picture : pictures) {
    const QString name = QString::fromLatin1(picture.name);
    const bool mask = name.contains(QLatin1String("_mask"));
    for (const int scale : {1, 2}) {
      if (mask && scale != 1) {
        continue;
      }
      const QString path = out + "/" + (scale == 1 ? name : doubleName(name));
      // Masks at full quality: the mask rule's threshold leaves room for JPEG noise, not for blur.
      if (!picture.draw(scale).save(path, nullptr, mask ? 100 : 94)) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
        return 1;
      }
    }
  }
  if (!preview.isEmpty() && !writePreviews(en, cn, out, preview)) {
    std::fprintf(stderr, "skingen: cannot write the previews into %s\n", qPrintable(preview));
    return 1;
  }
  return 0;
}
