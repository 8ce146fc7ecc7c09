// skingen: draws every picture of the shipped skin from the layout files.
//
//   skingen --skins SOURCE_SKINS --out PICTURE_FOLDER [--preview PREVIEW_FOLDER]
//   skingen --arrow FILE
//
// The English layout files give the rectangles (both languages share the pictures); --preview
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
  std::function<QImage()> draw;
};

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
      {"main_mask.jpg", [&] { return renderMask(window, radius); }},
      {"main_normal.jpg", [&] { return renderPage(en, Page::Main, State::Normal); }},
      {"main_over.jpg", [&] { return renderPage(en, Page::Main, State::Over); }},
      {"main_down.jpg", [&] { return renderPage(en, Page::Main, State::Down); }},
      {"advanced_normal.jpg", [&] { return renderPage(en, Page::Advanced, State::Normal); }},
      {"advanced_over.jpg", [&] { return renderPage(en, Page::Advanced, State::Over); }},
      {"advanced_down.jpg", [&] { return renderPage(en, Page::Advanced, State::Down); }},
      {"mac_normal.jpg", [&] { return renderPage(en, Page::Macro, State::Normal); }},
      {"mac_over.jpg", [&] { return renderPage(en, Page::Macro, State::Over); }},
      {"mac_down.jpg", [&] { return renderPage(en, Page::Macro, State::Down); }},
      {"led_normal.jpg", [&] { return renderPage(en, Page::Lighting, State::Normal); }},
      {"led_over.jpg", [&] { return renderPage(en, Page::Lighting, State::Over); }},
      {"led_down.jpg", [&] { return renderPage(en, Page::Lighting, State::Down); }},
      {"led_null.jpg", [&] { return renderLightingBlanked(en); }},
      {"moveRect.png", [] { return knobImage(); }},
      {"menu_mask.jpg", [&] { return black(en.main.pictureSize("MENU")); }},
      {"menu_normal.jpg", [&] { return renderMenu(en, State::Normal); }},
      {"menu_over.jpg", [&] { return renderMenu(en, State::Over); }},
      {"menu_down.jpg", [&] { return renderMenu(en, State::Down); }},
      {"menu1_mask.jpg", [&] { return black(en.main.pictureSize("MENU1")); }},
      {"menu1_normal.jpg", [&] { return renderFunctionMenu(en, State::Normal); }},
      {"menu1_over.jpg", [&] { return renderFunctionMenu(en, State::Over); }},
      {"menu1_down.jpg", [&] { return renderFunctionMenu(en, State::Down); }},
      {"more_mask.jpg", [&] { return black(en.main.pictureSize("MORE")); }},
      {"more_normal.jpg", [&] { return renderMoreMenu(en); }},
      {"warning_mask.jpg", [&] { return renderMask(en.warning.pictureSize("WINDOW"), en.warning.cornerRadius("WINDOW")); }},
      {"warning_normal.jpg", [&] { return renderWarning(en, State::Normal); }},
      {"warning_over.jpg", [&] { return renderWarning(en, State::Over); }},
      {"Login_mask.jpg", [&] { return renderMask(en.login.pictureSize("WINDOW"), en.login.cornerRadius("WINDOW")); }},
      {"Login_normal.jpg", [&] { return renderSurvey(en, State::Normal); }},
      {"Login_over.jpg", [&] { return renderSurvey(en, State::Over); }},
      {"Login_down.jpg", [&] { return renderSurvey(en, State::Down); }},
  };

  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "skingen: cannot create %s\n", qPrintable(out));
    return 1;
  }
  for (const Picture& picture : pictures) {
    const QString path = out + "/" + QString::fromLatin1(picture.name);
    const bool mask = QString::fromLatin1(picture.name).contains(QLatin1String("_mask"));
    // Masks at full quality: the mask rule's threshold leaves room for JPEG noise, not for blur.
    if (!picture.draw().save(path, nullptr, mask ? 100 : 94)) {
      std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  if (!preview.isEmpty() && !writePreviews(en, cn, out, preview)) {
    std::fprintf(stderr, "skingen: cannot write the previews into %s\n", qPrintable(preview));
    return 1;
  }
  return 0;
}
