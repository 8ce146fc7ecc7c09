#pragma once
// The main window: one borderless skinned surface whose regions, read from the skin layouts,
// are its commands. It owns the process's state (AppState, the settings model, the layouts,
// the macro library, the device session) for its whole life.
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

#include "settings/app_state.h"
#include "app/device_session.h"
#include "settings/profile_settings.h"
#include "app/tray_icon.h"
#include "ui/window_rules.h"
#include "macro/macro_library.h"
#include "platform/app_folder.h"
#include "platform/messages.h"
#include "ui/lighting_refresh.h"
#include "ui/main_renderer.h"
#include "ui/skin_layout.h"
#include "ui/skin_pictures.h"
#include "ui/window_shape.h"

class QSocketNotifier;

namespace quillet {

class PowerEvents;

class CQuilletDlg : public QWidget {
  Q_OBJECT

 public:
  CQuilletDlg(MessageService& messages, std::unique_ptr<DeviceSession> session, QWidget* parent = nullptr);
  ~CQuilletDlg() override;

  // The initialisation, in its fixed order (see the definition). `startHidden` is the command
  // line's -HIDE, honoured only when the mouse is found.
  void initDialog(const AppFolders& folders, bool startHidden);

  // Shutdown: removes the icon, sends HostExit when the mouse is open, stops the threads and
  // asks the application to end (shutDown). Runs once.
  void onClose();
  void minimizeToTray();
  void restoreFromTray();
  void switchPage(std::uint8_t page);
  void switchLanguage(Language value);
  // The apply command and the resume from sleep: the settings download, with the save.
  bool downloadSettings();

  // ---- read by tests and benchmarks ----
  const AppState& app() const { return app_; }
  ProfileSettings& settings() { return settings_; }
  const SkinLayouts& layouts() const { return layouts_; }
  const SkinPictures& pictures() const { return pictures_; }
  const HoverIndexes& hover() const { return hover_; }
  const QFont& uiFont() const { return app_.language != kChinese ? fontLatin_ : fontChinese_; }
  int fontTenthsOfPoint() const { return fontTenths_; }
  TrayIcon& tray() { return tray_; }
  DeviceSession& session() { return *session_; }
  MacroLibrary& library() { return library_; }
  bool closing() const { return closing_; }
  // The process's exit status once the window has shut down: 0, or 1 when it ended because its
  // skin could not be loaded.
  int exitCode() const { return exitCode_; }
  // The three value boxes of the advanced page (null unless that page is shown).
  QLineEdit* valueBox(int index) const { return valueBoxes_[static_cast<std::size_t>(index)]; }
  // What the last hover change asked to repaint.
  const QRegion& lastHoverRepaint() const { return lastHoverRepaint_; }
  QRegion pageRegion(RepaintArea area) const;
  // Composes the window as the next paint would.
  const QImage& compose();

 Q_SIGNALS:
  // The window has shut down: the application ends.
  void shutDown();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void makeFonts();
  bool loadLayouts();
  void applyWindowShape();
  void onMissingLayoutFile();
  void trackPointer(QPoint pos);
  void dragSliders(int x);
  void pressAdvanced(int x);
  void startWindowDrag(QPoint globalPos);
  void createValueBoxes();
  void destroyValueBoxes();
  void onValueEdited(int index);
  void setValueBoxText(int index);
  void onDeviceArrived();
  void onFollowedChange(const FollowedChange& change);
  void onDeviceRemoved();
  RenderInput renderInput() const;

  MessageService& messages_;
  std::unique_ptr<DeviceSession> session_;
  AppState app_;
  ProfileSettings settings_;
  SkinLayouts layouts_;
  SkinPictures pictures_;
  MacroLibrary library_;
  TrayIcon tray_;
  LightingRefresh refresh_;
  PowerEvents* power_ = nullptr;
  QSocketNotifier* hotplug_ = nullptr;

  QRegion windowRegion_;
  QRegion macroRegion_;
  QRegion advancedRegion_;
  QRegion lastHoverRepaint_;
  QImage composition_;
  QFont fontLatin_;
  QFont fontChinese_;
  int fontTenths_ = 85;

  HoverIndexes hover_;
  // Slider drags, set by a press on the slider and cleared by any release. The lighting page's
  // two sliders join them with that page.
  bool dragPointerSpeed_ = false;
  bool dragWheelSpeed_ = false;
  bool dragFireTime_ = false;
  // Window moves by hand where the window system offers no move of its own.
  bool movingWindow_ = false;
  QPoint moveOffset_;

  std::array<QPointer<QLineEdit>, 3> valueBoxes_{};
  bool recording_ = false;  // macro recording comes with the macro page
  bool closing_ = false;
  int exitCode_ = 0;
  bool clearOutsideShape_ = false;  // the platform does not cut the window to its mask
};

}  // namespace quillet
