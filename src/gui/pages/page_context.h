#pragma once
// What a page of the main window may use: the models it edits, the skin it is drawn from, the
// window's popups, dialogs and messages, and a repaint. The window implements it; a page never
// sees the window itself, so that a page can be added without touching another one.
#include <QFont>
#include <QPoint>
#include <QRegion>

#include "core/io/messages.h"
#include "core/macro/macro_library.h"
#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"
#include "core/skin/skin_layout.h"
#include "core/skin/window_rules.h"
#include "gui/widgets/dialog_service.h"
#include "gui/widgets/popup_menu.h"
#include "gui/widgets/skin_pictures.h"

class QWidget;

namespace quillet {

class WarningDlg;

class PageContext {
 public:
  virtual ~PageContext() = default;

  virtual AppState& app() = 0;
  virtual const AppState& app() const = 0;
  virtual ProfileSettings& settings() = 0;
  virtual const SkinLayouts& layouts() const = 0;
  virtual const SkinPictures& pictures() const = 0;
  virtual MacroLibrary& library() = 0;
  virtual MessageService& messages() = 0;
  virtual DialogService& dialogs() = 0;
  virtual PopupMenus& popups() = 0;
  // The font of the interface language.
  virtual const QFont& uiFont() const = 0;
  // The widget that a page's own controls and dialogs are children of.
  virtual QWidget& widget() = 0;
  // The window's top-left corner on the screen: popups are placed from it.
  virtual QPoint screenOrigin() const = 0;
  virtual QRegion pageRegion(RepaintArea area) const = 0;
  // Repaints the whole window / a region of it at the next paint.
  virtual void scheduleRepaint() = 0;
  virtual void scheduleRepaint(const QRegion& region) = 0;
  // A popup of the window has opened (the next press in the window closes it).
  virtual void popupOpened() = 0;
  // The warning dialog is shown (null once it has gone): tests answer it.
  virtual void warningOpened(WarningDlg* dialog) = 0;
  // The profile list's choice: CurConfig is written at once and the page shows that profile.
  virtual void onProfileChosen() = 0;
  // The settings model was replaced (import, reset): every page shows it again.
  virtual void modelReplaced() = 0;
  // True while a download runs: presses that would change the settings are ignored.
  virtual bool applying() const = 0;

 protected:
  PageContext() = default;
  PageContext(const PageContext&) = default;
  PageContext& operator=(const PageContext&) = default;
};

}  // namespace quillet
