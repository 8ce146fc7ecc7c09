#pragma once
// The main window: one borderless skinned surface whose regions, read from the skin layouts,
// are its commands. It owns the process's state (AppState, the settings model, the layouts,
// the pictures, the popups, the macro library, the device session) for its whole life, and
// routes every press and release to the page shown; each page's commands live in its own class
// (gui/pages), which sees the window only as its PageContext.
#include <QFont>
#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QRegion>
#include <QWidget>

#include <array>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "core/device/device_session.h"
#include "core/io/app_folder.h"
#include "core/io/messages.h"
#include "core/macro/macro_library.h"
#include "core/settings/app_state.h"
#include "core/settings/profile_settings.h"
#include "core/skin/skin_layout.h"
#include "core/skin/window_rules.h"
#include "core/skin/window_shape.h"
#include "gui/app/tray_icon.h"
#include "gui/pages/page_context.h"
#include "gui/widgets/dialog_service.h"
#include "gui/widgets/main_renderer.h"
#include "gui/widgets/popup_menu.h"
#include "gui/widgets/skin_pictures.h"

class QSocketNotifier;
class QTimer;

namespace quillet {

class PowerEvents;
class WindowPage;
class ButtonsPage;
class AdvancedPage;
class MacroPage;
class WarningDlg;

class CQuilletDlg : public QWidget, public PageContext {
  Q_OBJECT

 public:
  CQuilletDlg(MessageService& messages, std::unique_ptr<DeviceSession> session, QWidget* parent = nullptr);
  ~CQuilletDlg() override;

  // The initialisation, in its fixed order (see the definition). `startHidden` is the command
  // line's -HIDE, honoured only when the mouse is found.
  void initDialog(const AppFolders& folders, bool startHidden);
  // A build's folders: the skin folder holds the user's data too.
  void initDialog(const std::filesystem::path& appFolder, const std::filesystem::path& skinFolder, bool startHidden) {
    initDialog(AppFolders{appFolder, skinFolder, skinFolder, false}, startHidden);
  }

  // Shutdown: removes the icon, sends HostExit when the mouse is open, stops the threads and
  // asks the application to end (shutDown). Runs once; a download that runs is finished first.
  void onClose();
  void minimizeToTray();
  void restoreFromTray();
  void switchPage(std::uint8_t page);
  void switchLanguage(Language value);
  // The apply command and the resume from sleep: the settings download, with the save. The
  // blocks are written while the window goes on painting; until the download has ended no
  // command may change the settings. Returns false when a download runs already.
  bool downloadSettings();
  void showAbout();

  // ---- for the pages ----
  AppState& app() override { return app_; }
  const AppState& app() const override { return app_; }
  ProfileSettings& settings() override { return settings_; }
  const SkinLayouts& layouts() const override { return layouts_; }
  const SkinPictures& pictures() const override { return pictures_; }
  MacroLibrary& library() override { return library_; }
  MessageService& messages() override { return messages_; }
  DialogService& dialogs() override { return *dialogs_; }
  PopupMenus& popups() override { return popups_; }
  DeviceSession& session() { return *session_; }
  const QFont& uiFont() const override { return app_.language != kChinese ? fontLatin_ : fontChinese_; }
  QWidget& widget() override { return *this; }
  QPoint screenOrigin() const override { return mapToGlobal(QPoint(0, 0)); }
  QRegion pageRegion(RepaintArea area) const override;
  void scheduleRepaint() override { update(); }
  void scheduleRepaint(const QRegion& region) override { update(region); }
  void popupOpened() override { app_.popupOpen = 1; }
  void warningOpened(WarningDlg* dialog) override { warning_ = dialog; }
  void onProfileChosen() override;
  // The settings model was replaced (import, reset, a profile followed from the mouse): every
  // page shows it again.
  void modelReplaced() override;
  bool applying() const override { return applying_; }
  const DeviceSession::ApplyProgress& applyProgress() const { return progress_; }

  // ---- read by tests and benchmarks ----
  const HoverIndexes& hover() const { return hover_; }
  int fontTenthsOfPoint() const { return fontTenths_; }
  TrayIcon& tray() { return tray_; }
  bool closing() const { return closing_; }
  WarningDlg* warning() const { return warning_; }
  // Replaces the file, colour and web dialogs (tests answer them from a script).
  void setDialogService(std::unique_ptr<DialogService> dialogs) { dialogs_ = std::move(dialogs); }
  // The process's exit status once the window has shut down: 0, or 1 when it ended because its
  // skin could not be loaded.
  int exitCode() const { return exitCode_; }
  // The three value boxes of the advanced page (null unless that page is shown).
  QLineEdit* valueBox(int index) const;
  MacroPage& macroPage() const { return *macroPage_; }
  // What the last hover change asked to repaint.
  const QRegion& lastHoverRepaint() const { return lastHoverRepaint_; }
  // Composes the window into an image as the next paint draws it: at the window's device pixel
  // ratio, or at `ratio`.
  const QImage& compose();
  const QImage& compose(qreal ratio);
  // How many times the window has painted.
  int paints() const { return paints_; }

 Q_SIGNALS:
  // The window has shut down: the application ends.
  void shutDown();
  // A download has ended (the settings are saved).
  void applied(bool mouseTookAll);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void makeFonts();
  bool loadLayouts();
  void applyWindowShape();
  void onMissingLayoutFile();
  void trackPointer(QPoint pos);
  // No region is under the pointer any more: it left the window, or a modal window (the warning
  // dialog, a message box, a file dialog) took it over.
  void clearHover();
  void startWindowDrag(QPoint globalPos);
  void onDeviceArrived();
  // Follows the session's hotplug descriptor (or, without one, tries the watch again later).
  void watchHotplug();
  void onFollowedChange(const FollowedChange& change);
  void onDeviceRemoved();
  void onApplied(const DownloadResult& result, bool mouseWasOpen);
  void shutDownNow();
  WindowPage& page();
  // The region of the shown page's own layer under the pointer.
  std::int32_t ownRegion() const;
  // While a macro is recorded a click is refused unless it is on the recorder's button, on
  // minimise or close, or on no region at all.
  RenderInput renderInput();
  // The pictures that page `page` draws first (idle and pressed), then the rest it may draw,
  // queued for decoding on idle moments.
  void expectPage(std::uint8_t page);
  // Decodes the next queued picture that is not decoded yet, and comes back for the others.
  void decodeAhead();

  MessageService& messages_;
  std::unique_ptr<DeviceSession> session_;
  std::unique_ptr<DialogService> dialogs_;
  AppState app_;
  ProfileSettings settings_;
  SkinLayouts layouts_;
  SkinPictures pictures_;
  MacroLibrary library_;
  TrayIcon tray_;
  PopupMenus popups_;
  PowerEvents* power_ = nullptr;
  QSocketNotifier* hotplug_ = nullptr;

  // The pages, by page number, each with the commands of its own.
  ButtonsPage* buttonsPage_ = nullptr;
  AdvancedPage* advancedPage_ = nullptr;
  MacroPage* macroPage_ = nullptr;
  std::array<std::unique_ptr<WindowPage>, 4> pages_;

  QRegion windowRegion_;
  QRegion macroRegion_;
  QRegion advancedRegion_;
  QRegion lastHoverRepaint_;
  QImage composition_;
  std::vector<Picture> ahead_;  // pictures to decode on idle moments, the next first
  QTimer* aheadTimer_ = nullptr;
  QFont fontLatin_;
  QFont fontChinese_;
  int fontTenths_ = 85;
  int paints_ = 0;

  HoverIndexes hover_;
  // Window moves by hand where the window system offers no move of its own.
  bool movingWindow_ = false;
  QPoint moveOffset_;
  WarningDlg* warning_ = nullptr;

  // The download in progress, and what waits for its end.
  bool applying_ = false;
  DeviceSession::ApplyProgress progress_;
  bool applyAgain_ = false;     // a resume from sleep arrived meanwhile
  bool closeAfterApply_ = false;
  std::vector<FollowedChange> followedMeanwhile_;

  bool closing_ = false;
  int exitCode_ = 0;
  bool clearOutsideShape_ = false;  // the platform does not cut the window to its mask
};

}  // namespace quillet
