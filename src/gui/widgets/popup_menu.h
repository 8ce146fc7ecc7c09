#pragma once
// The popup menus: borderless windows drawn from the skin's pictures, opened below or beside the
// region that was clicked, closed by a choice and by any press in the main window. One base draws
// and hit-tests them all; CMenuDlg is the first level in its eight kinds, CSubMenuDlg the second
// level of the button-function list and MacSelMenuDlg its third (the macros of one group).
//
// A popup never grabs the pointer: a press in the main window reaches the main window, which
// closes the popups and still acts on that press. On X11 (and everywhere a window may place
// itself) a popup is a tool window of the main window at absolute screen coordinates, kept on
// the screen; on Wayland, where windows cannot place themselves, it is a popup surface of its
// parent, which the compositor places relative to the parent.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/skin/popup_rules.h"
#include "gui/widgets/skin_pictures.h"

namespace quillet {

// One row of a popup: a text, or a colour that fills the row.
struct PopupRow {
  QString text;
  std::optional<QColor> fill;
};

// Rows of these texts, one each.
std::vector<PopupRow> textRows(std::span<const std::string> texts);

// How a popup looks: its pictures (from the store, at the popup's device pixel ratio), its
// rows' height and text, its text colours.
struct PopupLook {
  const SkinPictures* store = nullptr;
  PopupPictureIds pictures = popupPictureIds(PopupPictureSet::Menu);
  bool highlight = true;          // hovered and pressed rows show the over and down pictures
  bool pressedFromDown = true;    // a pressed row shows the down picture (else the over picture)
  bool hoverFromDown = false;     // the hovered row shows the down picture (the sub-menus)
  RowText text = RowText::Centred;
  QColor textColour = Qt::white;
  QColor hoverTextColour = Qt::white;
  QFont font;
};

class SkinPopup : public QWidget {
  Q_OBJECT

 public:
  // `owner` is the window the popup belongs to (the main window or the popup it opened from).
  // The row height is the mask's height / rowDivisor.
  SkinPopup(QWidget* owner, const QString& title, PopupLook look, int rowDivisor, std::vector<PopupRow> rows);

  // Places the popup at `placement` (screen coordinates; the shape cuts it to the picture's width
  // and its rows), kept on the screen, and shows it. A cascaded popup gives the left edge of the
  // popup it opens from: it opens on that side when the screen has no room on the other.
  void open(const ScreenRect& placement, std::optional<std::int32_t> parentLeft = std::nullopt);

  int rowHeight() const { return rowHeight_; }
  int rowCount() const { return static_cast<int>(rows_.size()); }
  std::int32_t hoverRow() const { return hover_; }
  bool pressedNow() const { return pressed_; }
  const std::vector<PopupRow>& rows() const { return rows_; }
  // The screen rectangle the popup was opened at, after it was kept on the screen.
  const ScreenRect& placedAt() const { return placed_; }
  // The popup as the next paint draws it: at the popup's device pixel ratio, or at `ratio`.
  QImage render() const;
  QImage render(qreal ratio) const;

 Q_SIGNALS:
  // The row under the pointer changed (kNoRegion: none). The pointer leaving the popup does not
  // change it: the row stays hovered while the pointer goes on into a sub-menu.
  void hoverChanged(std::int32_t row);
  // The left button was released with `row` hovered (kNoRegion: none).
  void released(std::int32_t row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void trackPointer(QPoint pos);

  PopupLook look_;
  std::vector<PopupRow> rows_;
  int pictureWidth_ = 0;
  int rowHeight_ = 0;
  std::int32_t hover_ = kNoRegion;
  bool pressed_ = false;
  ScreenRect placed_;
};

// A first-level menu of one kind.
class CMenuDlg : public SkinPopup {
  Q_OBJECT
 public:
  CMenuDlg(QWidget* owner, MenuKind kind, const SkinPictures& pictures, const QFont& font, std::vector<PopupRow> rows);
  MenuKind kind() const { return kind_; }

 private:
  MenuKind kind_;
};

// The second level of the button-function list: the hovered item in red over the down picture.
class CSubMenuDlg : public SkinPopup {
  Q_OBJECT
 public:
  CSubMenuDlg(QWidget* owner, int functionRow, const SkinPictures& pictures, const QFont& font,
              std::vector<PopupRow> rows);
  int functionRow() const { return functionRow_; }

 private:
  int functionRow_;
};

// The third level: the macros of one library group, the hovered one in red over the over picture.
class MacSelMenuDlg : public SkinPopup {
  Q_OBJECT
 public:
  MacSelMenuDlg(QWidget* owner, int group, const SkinPictures& pictures, const QFont& font, std::vector<PopupRow> rows);
  int group() const { return group_; }

 private:
  int group_;
};

// The open popups of the main window: at most one of each level. Opening a first-level menu
// closes every open popup first; a closed popup is hidden at once and deleted once control is
// back in the event loop, so a popup may close itself from its own handlers.
class PopupMenus {
 public:
  explicit PopupMenus(QWidget* window) : window_(window) {}
  ~PopupMenus() { closeAll(); }
  PopupMenus(const PopupMenus&) = delete;
  PopupMenus& operator=(const PopupMenus&) = delete;

  CMenuDlg* openMenu(MenuKind kind, const ScreenRect& placement, const SkinPictures& pictures, const QFont& font,
                     std::vector<PopupRow> rows);
  CSubMenuDlg* openSubMenu(int functionRow, const ScreenRect& placement, const SkinPictures& pictures,
                           const QFont& font, std::vector<PopupRow> rows);
  MacSelMenuDlg* openMacroMenu(int group, const ScreenRect& placement, const SkinPictures& pictures,
                               const QFont& font, std::vector<PopupRow> rows);
  void closeSubMenu();  // the sub-menu and the macro menu it opened
  void closeMacroMenu();
  void closeAll();

  bool anyOpen() const { return menu_ || subMenu_ || macroMenu_; }
  CMenuDlg* menu() const { return menu_; }
  CSubMenuDlg* subMenu() const { return subMenu_; }
  MacSelMenuDlg* macroMenu() const { return macroMenu_; }

 private:
  QWidget* window_;
  QPointer<CMenuDlg> menu_;
  QPointer<CSubMenuDlg> subMenu_;
  QPointer<MacSelMenuDlg> macroMenu_;
};

// The window flags of a popup on this platform (see the file's comment).
Qt::WindowFlags popupWindowFlags();

}  // namespace quillet
