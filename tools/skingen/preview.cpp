#include "preview.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <array>
#include <cstdio>
#include <algorithm>

#include "core/settings/name_tables.h"
#include "core/skin/lighting_rules.h"
#include "core/skin/window_shape.h"

namespace skingen {

namespace {

// Profile 1's buttons after a reset.
const std::array<int, 8> kDefaultButtons{1, 2, 3, 4, 5, 6, 14, 13};

class Composer {
 public:
  Composer(const QString& folder, const QString& prefix, bool chinese)
      : normal_(QImage(folder + "/" + prefix + "_normal.jpg").convertToFormat(QImage::Format_RGB32)),
        over_(folder + "/" + prefix + "_over.jpg"),
        down_(QFile::exists(folder + "/" + prefix + "_down.jpg") ? QImage(folder + "/" + prefix + "_down.jpg") : over_),
        knob_(folder + "/moveRect.png"),
        painter_(&normal_) {
    font_ = QFont(chinese ? QStringLiteral("WenQuanYi Micro Hei") : QStringLiteral("Liberation Sans"));
    font_.setPointSizeF(8.5);
    painter_.setFont(font_);
  }
  // The warning dialog has no pressed picture; everything else has all three.
  bool ok() const { return !over_.isNull() && !knob_.isNull() && !normal_.isNull(); }

  void copy(const QImage& from, const QRect& r) { painter_.drawImage(r.topLeft(), from, r); }
  void over(const Region& r) { copy(over_, r.rect); }
  void down(const Region& r) { copy(down_, r.rect); }
  void fill(const QRect& r, QColor c) { painter_.fillRect(r, c); }
  void knob(int x, int y) { painter_.drawImage(QPoint(x, y), knob_, QRect(3, 2, 14, 14)); }
  void slider(const Region& r, int copied, int knobOffset) {
    copy(down_, QRect(r.rect.x(), r.rect.y(), copied, r.rect.height()));
    knob(r.rect.x() + copied - 8, r.rect.y() - knobOffset);
  }

  // A label centred in (x, y, width - trim, height), or with its left edge given.
  void label(const QRect& r, const QString& text, QColor colour, int trim = 0, int shift = 0) {
    if (text.isEmpty() || r.isEmpty()) {
      return;
    }
    const QFontMetrics fm(font_);
    const int tw = fm.horizontalAdvance(text);
    const int left = r.x() + (r.width() - tw - trim) / 2 + shift;
    const int top = r.y() + (r.height() - fm.height()) / 2;
    painter_.setPen(colour);
    painter_.drawText(QPoint(left, top + fm.ascent()), text);
    if (tw > r.width() - trim) {
      overflow_.push_back(text);
    }
  }
  void childControl(const QRect& r, const QStringList& lines) {
    fill(r, Qt::black);
    const QFontMetrics fm(font_);
    painter_.setPen(Qt::white);
    int y = r.y() + 2;
    for (const QString& line : lines) {
      if (y + fm.height() > r.bottom()) {
        break;
      }
      painter_.drawText(QPoint(r.x() + 4, y + fm.ascent()), line);
      y += fm.height() + 2;
    }
  }

  bool save(const QString& path) {
    painter_.end();
    for (const QString& t : overflow_) {
      std::fprintf(stderr, "skingen: label wider than its region in %s: %s\n", qPrintable(path), qPrintable(t));
    }
    return normal_.save(path);
  }

 private:
  QImage normal_;
  QImage over_;
  QImage down_;
  QImage knob_;
  QPainter painter_;
  QFont font_;
  QStringList overflow_;
};

// The common frame: the page's tab and the language pressed, the pointer over `hover`.
void frame(Composer& c, const Skin& skin, int pageTab, bool chinese, int hover) {
  for (int i = 0; i <= 10; ++i) {
    const Region& r = skin.main.at(i);
    if (i == pageTab) {
      c.down(r);
    } else if (i == hover) {
      c.over(r);
    } else if ((i == 4 && chinese) || (i == 5 && !chinese)) {
      c.down(r);
    }
  }
  for (int i = 0; i <= 10; ++i) {
    c.label(skin.main.at(i).rect, skin.main.at(i).label, Qt::white);
  }
}

bool mainPreview(const Skin& skin, const QString& pictures, const QString& out, bool chinese) {
  Composer c(pictures, "main", chinese);
  if (!c.ok()) {
    return false;
  }
  const int hover = 21;
  c.over(skin.main.at(hover));
  frame(c, skin, 6, chinese, hover);
  for (int i = 11; i < 28; ++i) {
    const Region& r = skin.main.at(i);
    if (i >= 20) {
      const QString name = skin.main.functionNames.at(kDefaultButtons[static_cast<std::size_t>(i - 20)]);
      c.label(r.rect, name, i == hover ? QColor(255, 0, 0) : Qt::white, 23);
    } else if (i == 11) {
      c.label(r.rect, skin.main.functionNames.at(18), Qt::white, 23);
    } else {
      c.label(r.rect, r.label, Qt::white);
    }
  }
  return c.save(out);
}

bool advancedPreview(const Skin& skin, const QString& pictures, const QString& out, bool chinese) {
  const Layout& a = skin.advanced;
  Composer c(pictures, "advanced", chinese);
  if (!c.ok()) {
    return false;
  }
  const int hover = 66 + 12 * 2 + 7;
  c.over(a.at(hover));
  const std::array<QColor, 6> colours{QColor(255, 47, 47), QColor(255, 143, 15), QColor(255, 239, 15),
                                      QColor(15, 255, 111), QColor(15, 223, 255), QColor(175, 63, 255)};
  const std::array<int, 6> steps{1, 3, 4, 6, 8, 11};
  const int current = 2;
  c.down(a.at(60 + current));
  for (int i = 0; i < 6; ++i) {
    c.fill(a.at(41 + i).rect, colours[static_cast<std::size_t>(i)]);
    for (int r = 66 + 12 * i; r <= 66 + 12 * i + steps[static_cast<std::size_t>(i)]; ++r) {
      const QRect s = a.at(r).rect;
      c.fill(QRect(s.x() + 1, s.y() + 1, s.width() - 2, s.height() - 1), colours[static_cast<std::size_t>(i)]);
    }
    if (i != 4) {
      c.down(a.at(47 + i));
    }
  }
  const std::array<std::pair<int, int>, 3> values{{{1, 5 * a.at(1).rect.width() / 10},
                                                   {18, 2 * a.at(18).rect.width() / 10},
                                                   {31, 50 * a.at(31).rect.width() / 300}}};
  for (auto [region, copied] : values) {
    c.slider(a.at(region), copied, 5);
  }
  frame(c, skin, 7, chinese, 255);
  for (int i = 0; i < 138; ++i) {
    c.label(a.at(i).rect, a.at(i).label, i == hover ? QColor(255, 0, 0) : Qt::white);
  }
  const std::array<const char*, 3> boxes{"5", "2", "50ms"};
  for (std::size_t k = 0; k < 3; ++k) {
    const quillet::SkinRect& b = quillet::kAdvancedValueBoxes[k];
    const QRect r(b.left, b.top, b.width(), b.height());
    c.fill(r, Qt::black);
    c.label(r, QString::fromUtf8(boxes[k]), Qt::white);
  }
  return c.save(out);
}

bool macroPreview(const Skin& skin, const QString& pictures, const QString& out, bool chinese) {
  const Layout& m = skin.macro;
  Composer c(pictures, "mac", chinese);
  if (!c.ok()) {
    return false;
  }
  c.over(m.at(6));
  c.down(m.at(12));
  frame(c, skin, 8, chinese, 255);
  for (int i = 0; i < 20; ++i) {
    if (i == 5) {
      c.label(m.at(i).rect, m.at(i).label, QColor(1, 255, 246), 0, -3);
    } else {
      c.label(m.at(i).rect, m.at(i).label, Qt::white);
    }
  }
  c.childControl(m.edits.at(0).rect, {chinese ? QStringLiteral("我的宏组") : QStringLiteral("My macros")});
  c.childControl(m.edits.at(1).rect, {QStringLiteral("Combo")});
  c.childControl(m.edits.at(2).rect, {QStringLiteral("3")});
  c.childControl(m.lists.at(1).rect, {QStringLiteral("Combo"), QStringLiteral("Reload"), QStringLiteral("Build")});
  c.childControl(m.lists.at(2).rect, {QStringLiteral("[↓]A"), QStringLiteral("    5ms"), QStringLiteral("[↑]A"),
                                      QStringLiteral("    20ms"), QStringLiteral("[LED0]:LED-0 Data")});
  c.childControl(m.lists.at(3).rect, {QStringLiteral("[LEN     ]:1"), QStringLiteral("[Mode]:Cycle breath"),
                                      QStringLiteral("[Colour]:Colour1"), QStringLiteral("[Time]:2s")});
  return c.save(out);
}

bool lightingPreview(const Skin& skin, const QString& pictures, const QString& out, bool chinese, int mode) {
  const Layout& l = skin.lighting;
  Composer c(pictures, "led", chinese);
  const QImage blank(pictures + "/led_null.jpg");
  if (!c.ok() || blank.isNull()) {
    return false;
  }
  c.over(l.at(9));
  const int brightness = 2;
  const int period = 3;
  c.slider(l.at(40), (6 - brightness) * l.at(40).rect.width() / 6, 4);
  c.slider(l.at(41), period * l.at(41).rect.width() / 5, 4);
  c.down(l.at(45));
  c.down(l.at(47 + (mode == 3 ? 3 : 1)));
  for (int i = 0; i < 7; ++i) {
    if (i != 5) {
      c.down(l.at(7 + i));
      c.down(l.at(i));
    }
  }
  for (int b : {0, 1, 2, 5}) {
    c.down(l.at(51 + b));
  }
  for (const std::int32_t r : quillet::blankedRegions(static_cast<std::uint8_t>(mode))) {
    c.copy(blank, l.at(r).rect);
  }
  frame(c, skin, 9, chinese, 255);
  const quillet::Language language = chinese ? quillet::kChinese : quillet::kEnglish;
  const auto& modes = quillet::lightingModeNames(language);
  const auto& responses = quillet::reactionLabels(language);
  const auto emptied = quillet::emptiedLabels(static_cast<std::uint8_t>(mode));
  for (int i = 0; i < 103; ++i) {
    QString text = l.at(i).label;
    int trim = 0;
    if (i == 35) {
      text = QString::fromUtf8(modes[static_cast<std::size_t>(mode)].data(),
                               static_cast<qsizetype>(modes[static_cast<std::size_t>(mode)].size()));
      trim = 23;
    } else if (i >= 61 && i <= 68 && mode == 8) {
      const std::string_view name = responses[static_cast<std::size_t>((i - 61) % 4)];
      text = QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    } else if (i == 40 || i == 41) {
      trim = 30;
    } else if (i == 98 && mode != 3) {
      text.clear();
    }
    if (std::find(emptied.begin(), emptied.end(), i) != emptied.end()) {
      text.clear();
    }
    c.label(l.at(i).rect, text, Qt::white, trim);
  }
  return c.save(out);
}

bool dialogPreview(const Layout& layout, const QString& prefix, const QString& pictures, const QString& out,
                   bool chinese, QColor text, int hover) {
  Composer c(pictures, prefix, chinese);
  if (!c.ok()) {
    return false;
  }
  c.over(layout.at(hover));
  for (const Region& r : layout.regions) {
    c.label(r.rect, r.label, text);
  }
  return c.save(out);
}

bool menuPreview(const Skin& skin, const QString& pictures, const QString& out, bool chinese) {
  Composer c(pictures, "menu1", chinese);
  if (!c.ok()) {
    return false;
  }
  const QSize size = skin.main.pictureSize("MENU1");
  const int row = size.height() / 15;
  c.over(Region{0, {}, {}, QRect(0, 2 * row, size.width(), row), {}});
  for (int i = 1; i <= 10; ++i) {
    c.label(QRect(0, (i - 1) * row, size.width(), row), skin.main.functionNames.at(i), Qt::white);
  }
  return c.save(out);
}

}  // namespace

bool writePreviews(const Skin& english, const Skin& chinese, const QString& pictures, const QString& out) {
  QDir().mkpath(out);
  bool ok = true;
  for (const bool cn : {false, true}) {
    const Skin& skin = cn ? chinese : english;
    const QString lang = cn ? QStringLiteral("cn") : QStringLiteral("en");
    ok = mainPreview(skin, pictures, out + "/preview_main_" + lang + ".png", cn) && ok;
    ok = advancedPreview(skin, pictures, out + "/preview_advanced_" + lang + ".png", cn) && ok;
    ok = macroPreview(skin, pictures, out + "/preview_macro_" + lang + ".png", cn) && ok;
    for (int mode : {0, 3, 8}) {
      ok = lightingPreview(skin, pictures, out + QString("/preview_lighting_mode%1_").arg(mode) + lang + ".png", cn,
                           mode) &&
           ok;
    }
    ok = dialogPreview(skin.warning, "warning", pictures, out + "/preview_warning_" + lang + ".png", cn,
                       QColor(255, 0, 0), 0) &&
         ok;
    ok = dialogPreview(skin.login, "Login", pictures, out + "/preview_login_" + lang + ".png", cn,
                       QColor(200, 200, 200), 8) &&
         ok;
    ok = menuPreview(skin, pictures, out + "/preview_menu1_" + lang + ".png", cn) && ok;
  }
  return ok;
}

}  // namespace skingen
