#include "gui/widgets/popup_menu.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace quillet {

namespace {

constexpr int kReactionTextWidth = 115;
constexpr int kProfileTextShift = -8;
const QColor kHoveredItem(255, 0, 0);

bool onWayland() { return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")); }

ScreenRect screenOf(const ScreenRect& r) {
  const QScreen* screen = QGuiApplication::screenAt(QPoint(r.x, r.y));
  if (screen == nullptr) {
    screen = QGuiApplication::primaryScreen();
  }
  if (screen == nullptr) {
    return r;
  }
  const QRect g = screen->availableGeometry();
  return {g.x(), g.y(), g.width(), g.height()};
}

// The sub-menu and the macro menu: the menu pictures in rows of a fifteenth of the mask, the
// hovered item in red over the down picture (sub-menu) or the over picture (macro menu).
constexpr int kCascadeRowDivisor = kSubMenuRowDivisor;
PopupLook cascadeLook(const SkinPictures& pictures, const QFont& font, bool fromDown) {
  PopupLook look;
  look.store = &pictures;
  look.pictures = popupPictureIds(PopupPictureSet::Menu);
  look.hoverFromDown = fromDown;
  look.pressedFromDown = fromDown;
  look.hoverTextColour = kHoveredItem;
  look.font = font;
  return look;
}

PopupLook menuLook(MenuKind kind, const SkinPictures& pictures, const QFont& font) {
  const MenuKindSpec& spec = menuKindSpec(kind);
  PopupLook look;
  look.store = &pictures;
  look.pictures = popupPictureIds(spec.pictures);
  look.highlight = spec.highlight;
  look.text = spec.text;
  look.font = font;
  return look;
}

}  // namespace

std::vector<PopupRow> textRows(std::span<const std::string> texts) {
  std::vector<PopupRow> rows;
  rows.reserve(texts.size());
  for (const std::string& t : texts) {
    rows.push_back(PopupRow{QString::fromStdString(t), std::nullopt});
  }
  return rows;
}

Qt::WindowFlags popupWindowFlags() {
  // Neither takes the keyboard focus from the main window, and neither grabs the pointer.
  if (onWayland()) {
    return Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;
  }
  return Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint;
}

SkinPopup::SkinPopup(QWidget* owner, const QString& title, PopupLook look, int rowDivisor, std::vector<PopupRow> rows)
    : QWidget(owner, popupWindowFlags()), look_(std::move(look)), rows_(std::move(rows)) {
  setWindowTitle(title);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setMouseTracking(true);
  // The mask gives the size, in logical pixels.
  const QImage& mask = look_.store != nullptr ? look_.store->picture(look_.pictures.mask) : QImage();
  if (!mask.isNull()) {
    pictureWidth_ = mask.width();
    rowHeight_ = rowDivisor > 0 ? mask.height() / rowDivisor : 0;
  }
}

void SkinPopup::open(const ScreenRect& placement, std::optional<std::int32_t> parentLeft) {
  ScreenRect shown = visiblePopup(placement, pictureWidth_, rowHeight_, rowCount());
  if (!onWayland()) {
    // Wayland's compositor keeps popups on the screen itself.
    shown = keepOnScreen(shown, screenOf(shown), parentLeft);
  }
  placed_ = shown;
  // A popup without rows has no size: it exists, and nobody sees it.
  setFixedSize(std::max(shown.width, 1), std::max(shown.height, 1));
  if (shown.width <= 0 || shown.height <= 0) {
    return;
  }
  // On Wayland the popup surface is placed relative to its parent (Qt maps the position onto the
  // parent it is transient for); elsewhere at these screen coordinates.
  move(shown.x, shown.y);
  show();
  raise();
  // The hovered and pressed rows come from pictures the first paint does not need: they are
  // decoded on the next idle moment, before the pointer can reach a row.
  if (look_.store != nullptr && look_.highlight) {
    QTimer::singleShot(0, this, [this] {
      const qreal ratio = devicePixelRatioF();
      look_.store->picture(look_.pictures.over, ratio);
      look_.store->picture(look_.pictures.down, ratio);
    });
  }
}

QImage SkinPopup::render() const { return render(devicePixelRatioF()); }

QImage SkinPopup::render(qreal ratio) const {
  ratio = ratio > 1.0 ? ratio : 1.0;
  const QSize size(std::max(width(), 1), std::max(height(), 1));
  QImage image(devicePixels(size, ratio), QImage::Format_RGB32);
  image.setDevicePixelRatio(ratio);
  image.fill(Qt::black);
  if (look_.store == nullptr) {
    return image;
  }
  QPainter p(&image);
  p.drawImage(QPoint(0, 0), look_.store->picture(look_.pictures.normal, ratio));
  if (look_.highlight && hover_ != kNoRegion) {
    const bool fromDown = pressed_ ? look_.pressedFromDown : look_.hoverFromDown;
    const QImage& band = look_.store->picture(fromDown ? look_.pictures.down : look_.pictures.over, ratio);
    const QRect r(0, (hover_ - 1) * rowHeight_, width(), rowHeight_);
    const qreal s = band.devicePixelRatio();
    p.drawImage(QPointF(r.topLeft()), band, QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s));
  }
  p.setFont(look_.font);
  const QFontMetrics metrics(look_.font);
  for (int i = 0; i < rowCount(); ++i) {
    const PopupRow& row = rows_[static_cast<std::size_t>(i)];
    const int top = i * rowHeight_;
    if (look_.text == RowText::ColourFill) {
      if (row.fill) {
        p.fillRect(QRect(0, top, width(), rowHeight_ - 1), *row.fill);
      }
      continue;
    }
    if (row.text.isEmpty()) {
      continue;
    }
    const int span = look_.text == RowText::CentredIn115 ? kReactionTextWidth : width();
    int left = (span - metrics.horizontalAdvance(row.text)) / 2;
    if (look_.text == RowText::LeftOfCentre) {
      left += kProfileTextShift;
    }
    const int baseline = top + (rowHeight_ - metrics.height()) / 2 + metrics.ascent();
    p.setPen(i + 1 == hover_ ? look_.hoverTextColour : look_.textColour);
    p.drawText(QPoint(left, baseline), row.text);
  }
  return image;
}

void SkinPopup::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), render());
}

void SkinPopup::trackPointer(QPoint pos) {
  const std::int32_t row = popupRowAt(pos.x(), pos.y(), width(), rowHeight_, rowCount());
  if (row == hover_) {
    return;
  }
  hover_ = row;
  update();
  Q_EMIT hoverChanged(row);
}

void SkinPopup::mouseMoveEvent(QMouseEvent* event) { trackPointer(event->position().toPoint()); }

void SkinPopup::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    return;
  }
  trackPointer(event->position().toPoint());
  pressed_ = true;
  update();
}

void SkinPopup::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    return;
  }
  pressed_ = false;
  update();
  Q_EMIT released(hover_);
}

CMenuDlg::CMenuDlg(QWidget* owner, MenuKind kind, const SkinPictures& pictures, const QFont& font,
                   std::vector<PopupRow> rows)
    : SkinPopup(owner, QString::fromLatin1(kMenuTitle), menuLook(kind, pictures, font), menuKindSpec(kind).rowDivisor,
                std::move(rows)),
      kind_(kind) {}

CSubMenuDlg::CSubMenuDlg(QWidget* owner, int functionRow, const SkinPictures& pictures, const QFont& font,
                         std::vector<PopupRow> rows)
    : SkinPopup(owner, QString::fromLatin1(kSubMenuTitle), cascadeLook(pictures, font, true), kCascadeRowDivisor,
                std::move(rows)),
      functionRow_(functionRow) {}

MacSelMenuDlg::MacSelMenuDlg(QWidget* owner, int group, const SkinPictures& pictures, const QFont& font,
                             std::vector<PopupRow> rows)
    : SkinPopup(owner, QString::fromLatin1(kMacroMenuTitle), cascadeLook(pictures, font, false), kCascadeRowDivisor,
                std::move(rows)),
      group_(group) {}

namespace {
template <typename T>
void closeLater(QPointer<T>& popup) {
  if (popup) {
    T* gone = popup.data();
    popup = nullptr;
    gone->hide();
    gone->deleteLater();
  }
}
}  // namespace

CMenuDlg* PopupMenus::openMenu(MenuKind kind, const ScreenRect& placement, const SkinPictures& pictures,
                               const QFont& font, std::vector<PopupRow> rows) {
  closeAll();
  menu_ = new CMenuDlg(window_, kind, pictures, font, std::move(rows));
  menu_->open(placement);
  return menu_;
}

CSubMenuDlg* PopupMenus::openSubMenu(int functionRow, const ScreenRect& placement, const SkinPictures& pictures,
                                     const QFont& font, std::vector<PopupRow> rows) {
  closeSubMenu();
  QWidget* owner = menu_ ? static_cast<QWidget*>(menu_.data()) : window_;
  subMenu_ = new CSubMenuDlg(owner, functionRow, pictures, font, std::move(rows));
  subMenu_->open(placement, menu_ ? std::optional<std::int32_t>(menu_->placedAt().x) : std::nullopt);
  return subMenu_;
}

MacSelMenuDlg* PopupMenus::openMacroMenu(int group, const ScreenRect& placement, const SkinPictures& pictures,
                                         const QFont& font, std::vector<PopupRow> rows) {
  closeMacroMenu();
  QWidget* owner = subMenu_ ? static_cast<QWidget*>(subMenu_.data()) : window_;
  macroMenu_ = new MacSelMenuDlg(owner, group, pictures, font, std::move(rows));
  macroMenu_->open(placement, subMenu_ ? std::optional<std::int32_t>(subMenu_->placedAt().x) : std::nullopt);
  return macroMenu_;
}

void PopupMenus::closeMacroMenu() { closeLater(macroMenu_); }

void PopupMenus::closeSubMenu() {
  closeMacroMenu();
  closeLater(subMenu_);
}

void PopupMenus::closeAll() {
  closeSubMenu();
  closeLater(menu_);
}

}  // namespace quillet
