#include "gui/app/quillet_dlg.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <thread>

#include "core/io/ini.h"
#include "core/settings/name_tables.h"
#include "core/settings/settings_file.h"
#include "core/skin/startup.h"
#include "gui/app/about_dlg.h"
#include "gui/app/power_events.h"
#include "gui/pages/advanced_page.h"
#include "gui/pages/buttons_page.h"
#include "gui/pages/lighting_page.h"
#include "gui/pages/macro_page.h"
#include "gui/pages/window_page.h"
#include "gui/survey/survey_step.h"
#include "gui/widgets/app_icon.h"
#include "gui/widgets/ui_fonts.h"
#include "gui/widgets/window_region.h"

namespace quillet {

namespace {

// When the environment names a descriptor in QUILLET_FIRST_PAINT_FD, the first paint writes the
// steady clock's time in nanoseconds there, as decimal text with a newline, and closes it: the
// start-up benchmark times the utility from exec to its first paint as a whole process.
void markFirstPaint() {
  bool ok = false;
  const int fd = qEnvironmentVariableIntValue("QUILLET_FIRST_PAINT_FD", &ok);
  if (!ok || fd < 0) {
    return;
  }
  const auto now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch());
  QFile out;
  if (out.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
    out.write(QByteArray::number(static_cast<qint64>(now.count())) + '\n');
  }
}

// Regions of the frame that work while a download runs: they change no setting.
bool allowedWhileApplying(std::int32_t common) {
  return common == frame_region::kMinimize || common == frame_region::kClose ||
         (common >= frame_region::kFirstTab && common <= frame_region::kLastTab) || common == kNoRegion;
}

}  // namespace

CQuilletDlg::CQuilletDlg(MessageService& messages, std::unique_ptr<DeviceSession> session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      messages_(messages),
      session_(std::move(session)),
      dialogs_(std::make_unique<QtDialogs>()),
      library_(messages),
      popups_(this) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  // X11 cuts the window to its mask on screen; a Wayland compositor takes the mask as the input
  // region only, so there the window is translucent and leaves what is outside the shape clear.
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
    setAttribute(Qt::WA_TranslucentBackground);
    clearOutsideShape_ = true;
  }
  setMouseTracking(true);
  // A click on the surface takes the focus, so that an edit in a box or a list ends first.
  setFocusPolicy(Qt::ClickFocus);
  auto buttons = std::make_unique<ButtonsPage>(*this);
  auto advanced = std::make_unique<AdvancedPage>(*this);
  buttonsPage_ = buttons.get();
  advancedPage_ = advanced.get();
  pages_[pageNumber(Page::Main)] = std::move(buttons);
  pages_[pageNumber(Page::Advanced)] = std::move(advanced);
  auto macro = std::make_unique<MacroPage>(*this);
  macroPage_ = macro.get();
  pages_[pageNumber(Page::Macro)] = std::move(macro);
  pages_[pageNumber(Page::Lighting)] = std::make_unique<LightingPage>(*this);
  // One picture per turn of the event loop, so that input is never kept waiting behind a queue.
  aheadTimer_ = new QTimer(this);
  aheadTimer_->setSingleShot(true);
  aheadTimer_->setInterval(0);
  connect(aheadTimer_, &QTimer::timeout, this, &CQuilletDlg::decodeAhead);
  connect(&tray_, &TrayIcon::showWindowRequested, this, &CQuilletDlg::restoreFromTray);
  connect(&tray_, &TrayIcon::exitRequested, this, &CQuilletDlg::onClose);
  connect(&tray_, &TrayIcon::aboutRequested, this, &CQuilletDlg::showAbout);
}

CQuilletDlg::~CQuilletDlg() {
  popups_.closeAll();
  session_->finishApplyNow();
  for (std::unique_ptr<WindowPage>& p : pages_) {
    p.reset();
  }
  session_->stopThreads();
}

WindowPage& CQuilletDlg::page() {
  const std::uint8_t p = app_.currentPage < pages_.size() ? app_.currentPage : 0;
  return *pages_[p];
}

QLineEdit* CQuilletDlg::valueBox(int index) const { return advancedPage_->valueBox(index); }

// The initialisation runs in this order, each step relying on the ones before it.
void CQuilletDlg::initDialog(const AppFolders& folders, bool startHidden) {
  // Device threads first: they cope with a mouse that is not open yet. What they follow from
  // the mouse comes back to this thread through the event loop.
  session_->onRemoved = [this] { onDeviceRemoved(); };
  session_->onArrived = [this] { onDeviceArrived(); };
  session_->post = [this](std::function<void()> work) {
    QMetaObject::invokeMethod(this, std::move(work), Qt::QueuedConnection);
  };
  session_->onFollowed = [this](const FollowedChange& change) { onFollowedChange(change); };
  session_->startThreads();
  setWindowIcon(appIcon());

  // Folders, then the settings file: the current profile, the language, the model.
  useFolders(app_, folders);
  if (ini::isTooLarge(app_.configPath)) {
    messages_.show(ini::tooLargeMessage(app_.configPath));  // read as defaults, never written over
  }
  loadStartupSettings(app_, settings_);

  makeFonts();
  setWindowTitle(QString::fromUtf8(kWindowTitle));

  // The page layouts (main, lighting, advanced, macro), the lighting name tables, then the
  // warning dialog's layout. A missing layout file ends the window once the event loop runs.
  // The pages' child controls come with their pages.
  if (!loadLayouts()) {
    return;
  }

  // The survey, until it has once been answered. A form closed unanswered ends the utility
  // before anything else starts: no tray icon, no mouse, no no-mouse message.
  if (!runSurveyStep(*this, messages_, app_, app_.language)) {
    closing_ = true;
    session_->stopThreads();
    QMetaObject::invokeMethod(this, [this] { Q_EMIT shutDown(); }, Qt::QueuedConnection);
    return;
  }

  // The skin's pictures and the window's shape: only the mask is decoded now, the rest when
  // something is first drawn from it.
  pictures_.load(app_.skinFolder);
  applyWindowShape();

  // The macro library of the language and the built-in macros.
  library_.start(app_);
  session_->settingsLoaded(settings_, app_, library_);
  app_.popupOpen = 0;
  tray_.setLanguage(app_.language, uiFont());
  // A message box of the start-up runs a loop of its own, in which a signal or the end of the
  // session may have shut the window down: then nothing more starts (no mouse opened, no icon).
  if (closing_) {
    return;
  }

  // The mouse.
  app_.devicePresent = session_->open() ? 1 : 0;
  if (app_.devicePresent != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (const std::optional<std::uint8_t> value = session_->readDeviceValue()) {
      app_.deviceValue = *value;
    }
    tray_.add();
    app_.startMinimized = startHidden ? 1 : 0;
  } else if (const std::string problem = session_->accessProblem(); !problem.empty()) {
    // The mouse is there but may not be written: say so, and why, rather than pretend.
    messages_.show(mouseNotOpenedMessage(app_.language, problem));
  } else {
    messages_.show(noMouseMessage(app_.language));
  }
  app_.currentPage = pageNumber(Page::Main);
  if (closing_) {
    return;
  }

  // Arrivals and removals of the mouse, as the event loop sees them.
  watchHotplug();

  power_ = new PowerEvents(this);
  connect(power_, &PowerEvents::resumed, this, [this] {
    if (!downloadSettings()) {
      applyAgain_ = true;  // the mouse may have lost what the running download wrote before the sleep
    }
  });
}

void CQuilletDlg::makeFonts() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double scale = screen != nullptr ? screen->logicalDotsPerInchX() / 96.0 : 1.0;
  fontTenths_ = uiFontTenthsOfPoint(scale);
  fontLatin_ = latinUiFont(fontTenths_ / 10.0);
  fontChinese_ = chineseUiFont(fontTenths_ / 10.0);
}

bool CQuilletDlg::loadLayouts() {
  SkinReadReport report(messages_, [this] { onMissingLayoutFile(); });
  loadPageLayouts(app_, layouts_, report);
  buildLightingNameTables(app_.language, app_);
  return loadWarningLayout(app_, layouts_, report);
}

void CQuilletDlg::onMissingLayoutFile() {
  exitCode_ = 1;  // a start-up that cannot load its skin has failed
  tray_.remove();
  if (session_->isOpen()) {
    session_->hostExit();
  }
  // Queued: the load goes on, and the window closes once control is back in the event loop.
  QMetaObject::invokeMethod(this, [this] { shutDownNow(); }, Qt::QueuedConnection);
}

void CQuilletDlg::shutDownNow() {
  macroPage_->saveEdits();
  closing_ = true;
  popups_.closeAll();
  session_->stopThreads();
  hide();
  Q_EMIT shutDown();
}

void CQuilletDlg::applyWindowShape() {
  const QImage& mask = pictures_.mask();
  if (mask.isNull()) {
    // No shape: a plain rectangle of the size the composition is drawn in.
    setFixedSize(pictures_.size());
    windowRegion_ = macroRegion_ = advancedRegion_ = QRegion(rect());
    clearMask();
    return;
  }
  setFixedSize(mask.size());
  const MainWindowShapes shapes = mainWindowShapes(shapeOf(mask), layouts_.macroControlRects);
  windowRegion_ = regionOf(shapes.window);
  macroRegion_ = regionOf(shapes.macroPage);
  advancedRegion_ = regionOf(shapes.advancedPage);
  setMask(windowRegion_);
  // The shape is taken: the mask picture is not drawn, and its size stays known.
  pictures_.release(Picture::MainMask);
}

void CQuilletDlg::expectPage(std::uint8_t page) {
  std::vector<Picture> next{pagePicture(page, PageState::Normal), pagePicture(page, PageState::Down),
                            pagePicture(page, PageState::Over)};
  if (page == pageNumber(Page::Lighting)) {
    next.push_back(Picture::LightingBlank);
  }
  if (page == pageNumber(Page::Lighting) || page == pageNumber(Page::Advanced)) {
    next.push_back(Picture::Knob);
  }
  // Ahead of what was queued before: the page the pointer is on its way to comes first.
  ahead_.insert(ahead_.begin(), next.begin(), next.end());
  aheadTimer_->start();
}

void CQuilletDlg::decodeAhead() {
  const qreal ratio = devicePixelRatioF();
  while (!ahead_.empty()) {
    const Picture id = ahead_.front();
    ahead_.erase(ahead_.begin());
    if (!pictures_.ready(id, ratio)) {
      pictures_.picture(id, ratio);
      break;
    }
  }
  if (!ahead_.empty()) {
    aheadTimer_->start();
  }
}

QRegion CQuilletDlg::pageRegion(RepaintArea area) const {
  switch (area) {
    case RepaintArea::MacroPage:
      return macroRegion_;
    case RepaintArea::AdvancedPage:
      return advancedRegion_;
    case RepaintArea::Window:
      break;
  }
  return QRegion(rect());
}

RenderInput CQuilletDlg::renderInput() {
  RenderInput input{app_, layouts_, page(), hover_, uiFont(), {}};
  if (applying_) {
    input.applyProgress = ApplyProgressView{progress_.sent, progress_.total};
  }
  return input;
}

const QImage& CQuilletDlg::compose() { return compose(devicePixelRatioF()); }

const QImage& CQuilletDlg::compose(qreal ratio) {
  RenderInput input = renderInput();
  input.ratio = ratio;
  composeWindow(composition_, pictures_, input);
  return composition_;
}

void CQuilletDlg::paintEvent(QPaintEvent* event) {
  if (++paints_ == 1) {
    markFirstPaint();
    // The first paint decoded what it drew; the shown page's other pictures follow when idle.
    expectPage(app_.currentPage);
  }
  QPainter painter(this);
  if (isMinimized()) {
    painter.fillRect(rect(), Qt::black);
    const QImage icon = appIconImage(32);
    painter.drawImage(QPoint((width() - icon.width()) / 2, (height() - icon.height()) / 2), icon);
    return;
  }
  // Drawn straight into the backing store, which Qt shows in one copy; Qt clips the painter to
  // what needs repainting.
  const QRect area = event->rect();
  if (clearOutsideShape_ && !mask().isEmpty()) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : QRegion(area).subtracted(mask())) {
      painter.fillRect(r, Qt::transparent);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setClipRegion(mask() & area);
  }
  RenderInput input = renderInput();
  input.ratio = devicePixelRatioF();
  paintWindow(painter, pictures_, input);
}

void CQuilletDlg::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (app_.startMinimized != 0) {
    app_.startMinimized = 0;
    QTimer::singleShot(0, this, [this] { showMinimized(); });
  }
}

// ---- the pointer ----

void CQuilletDlg::trackPointer(QPoint pos) {
  const HoverIndexes now = hoverAt(layouts_, app_.currentPage, pos.x(), pos.y());
  if (now == hover_) {
    return;
  }
  // The pointer on another page's tab: that page's pictures are decoded while it hovers, so that
  // the click paints the page at once.
  if (now.main != hover_.main && now.main >= frame_region::kFirstTab && now.main <= frame_region::kLastTab) {
    const auto tabPage = static_cast<std::uint8_t>(now.main - frame_region::kFirstTab);
    if (tabPage != app_.currentPage) {
      expectPage(tabPage);
    }
  }
  hover_ = now;
  lastHoverRepaint_ = pageRegion(hoverRepaintArea(app_.currentPage));
  update(lastHoverRepaint_);
}

void CQuilletDlg::clearHover() {
  if (hover_ == HoverIndexes{}) {
    return;
  }
  hover_ = HoverIndexes{};
  lastHoverRepaint_ = pageRegion(hoverRepaintArea(app_.currentPage));
  update(lastHoverRepaint_);
}

void CQuilletDlg::leaveEvent(QEvent* event) {
  clearHover();
  QWidget::leaveEvent(event);
}

bool CQuilletDlg::event(QEvent* event) {
  // A modal window over this one gets the pointer's moves: whatever was lit under the pointer
  // before it opened would stay lit after it closes, the pointer long gone.
  if (event->type() == QEvent::WindowBlocked) {
    clearHover();
  }
  return QWidget::event(event);
}

void CQuilletDlg::mouseMoveEvent(QMouseEvent* event) {
  if (movingWindow_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - moveOffset_);
    return;
  }
  const QPoint pos = event->position().toPoint();
  page().drag(pos.x());
  trackPointer(pos);
}

void CQuilletDlg::startWindowDrag(QPoint globalPos) {
  // The window system moves the window where it can (it then also snaps and constrains it);
  // elsewhere the window follows the pointer itself.
  if (windowHandle() != nullptr && windowHandle()->startSystemMove()) {
    return;
  }
  movingWindow_ = true;
  moveOffset_ = globalPos - pos();
}

std::int32_t CQuilletDlg::ownRegion() const {
  switch (static_cast<Page>(app_.currentPage)) {
    case Page::Main:
      break;  // the main page's own regions are in the main layout
    case Page::Advanced:
      return hover_.advanced;
    case Page::Macro:
      return hover_.macro;
    case Page::Lighting:
      return hover_.lighting;
  }
  return kNoRegion;
}

void CQuilletDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  // Clicks act on the regions the last pointer move found; a press that no move preceded
  // (the window appeared under the pointer) is tracked first, as a move there would have been.
  trackPointer(event->position().toPoint());
  const std::int32_t common = hover_.main;
  const std::int32_t own = ownRegion();
  // A page may refuse presses for now (a recording under way takes only a few).
  if (page().refusesPress(common, own)) {
    messages_.show(kMsgRecording);
    return;
  }

  // An open popup closes on any press in the window, and the press still acts.
  popups_.closeAll();
  app_.popupOpen = 0;
  // While a download runs nothing may change the settings: only the frame's harmless regions
  // and the page tabs answer.
  const bool busy = applying_ && (!allowedWhileApplying(common) || (common == kNoRegion && own != kNoRegion));
  if (!busy) {
    if (common >= frame_region::kFirstTab && common <= frame_region::kLastTab) {
      switchPage(static_cast<std::uint8_t>(common - frame_region::kFirstTab));
    } else {
      page().press(event->position().toPoint(), common, own);
    }
  }
  if (common == kNoRegion && own == kNoRegion) {
    startWindowDrag(event->globalPosition().toPoint());
  }
}

void CQuilletDlg::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  movingWindow_ = false;
  update();
  const std::int32_t common = hover_.main;
  if (page().refusesPress(common, ownRegion())) {
    return;  // the press said so
  }
  switch (common) {
    case frame_region::kMinimize:
    case frame_region::kHideToTray:
      // Region 2 would store a DPI level into a sixth profile section that settings files do
      // not have; it hides the window like region 0.
      hover_.main = kNoRegion;
      minimizeToTray();
      break;
    case frame_region::kClose:
      hover_.main = kNoRegion;
      minimizeToTray();
      onClose();
      break;
    case frame_region::kApply:
      downloadSettings();
      break;
    case frame_region::kChinese:
    case frame_region::kEnglish:
      if (!applying_) {
        switchLanguage(common == frame_region::kChinese ? kChinese : kEnglish);
      }
      break;
    default:
      if (!applying_) {
        page().release(common, ownRegion());
      }
      break;
  }
  page().endDrags();
}

void CQuilletDlg::keyPressEvent(QKeyEvent* event) {
  // Neither Escape nor Enter closes the window.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CQuilletDlg::contextMenuEvent(QContextMenuEvent* event) {
  if (page().holdsKeyboard()) {
    return;  // a menu would take the keys the recording is capturing
  }
  // The borderless window has no system menu: its About command lives here and in the tray menu.
  QMenu menu(this);
  menu.setFont(uiFont());
  QAction* about = menu.addAction(QString::fromUtf8(aboutItemText(app_.language)));
  connect(about, &QAction::triggered, this, &CQuilletDlg::showAbout);
  menu.exec(event->globalPos());
}

void CQuilletDlg::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  // The window's own close (title bar, Alt+F4) only hides it to the notification area.
  event->ignore();
  minimizeToTray();
}

// ---- frame commands ----

void CQuilletDlg::minimizeToTray() {
  popups_.closeAll();
  // Hidden, the window is no longer being edited: what was typed is kept.
  macroPage_->saveEdits();
  tray_.add();
  if (QSystemTrayIcon::isSystemTrayAvailable()) {
    showMinimized();
    hide();
  } else {
    // Without a notification area the icon has no place to bring the window back from: the
    // window stays minimised, reachable from the task bar and a second start.
    showMinimized();
  }
}

void CQuilletDlg::restoreFromTray() {
  show();
  showNormal();
  raise();
  activateWindow();
}

void CQuilletDlg::onClose() {
  if (closing_) {
    return;
  }
  closing_ = true;
  popups_.closeAll();
  macroPage_->saveEdits();
  tray_.remove();
  hide();
  // A download that runs is written to its end and saved first: nothing the user applied is lost.
  session_->finishApplyNow();
  if (session_->isOpen()) {
    session_->hostExit();
  }
  session_->stopThreads();
  Q_EMIT shutDown();
}

void CQuilletDlg::showAbout() {
  CAboutDlg about(this);
  about.exec();
}

bool CQuilletDlg::downloadSettings() {
  if (applying_ || closing_) {
    return false;
  }
  // The download saves the macro being edited: an edit under way in its lists or boxes first.
  macroPage_->saveEdits();
  applying_ = true;
  progress_ = {};
  popups_.closeAll();
  for (std::unique_ptr<WindowPage>& p : pages_) {
    p->setBusy(true);
  }
  update();
  const bool mouseWasOpen = session_->isOpen();
  session_->startApply(
      settings_, app_, library_,
      [this](const DeviceSession::ApplyProgress& p) {
        progress_ = p;
        const SkinButton& apply = layouts_.main[frame_region::kApply];
        update(QRect(apply.x, apply.y, apply.width, apply.height));
      },
      [this, mouseWasOpen](const DownloadResult& result) { onApplied(result, mouseWasOpen); });
  return true;
}

void CQuilletDlg::onApplied(const DownloadResult& result, bool mouseWasOpen) {
  applying_ = false;
  progress_ = {};
  for (std::unique_ptr<WindowPage>& p : pages_) {
    p->setBusy(false);
  }
  if (!result.saved()) {
    messages_.show(kSettingsSaveError);  // the files are as they were; the model keeps the edits
  } else if (mouseWasOpen && !result.mouseTookAll && !closing_) {
    messages_.show(applyNotTakenMessage(app_.language));
  }
  // What the mouse reported meanwhile applies to the saved model now.
  std::vector<FollowedChange> followed;
  followed.swap(followedMeanwhile_);
  for (const FollowedChange& change : followed) {
    onFollowedChange(change);
  }
  update();
  Q_EMIT applied(result.mouseTookAll);
  if (applyAgain_ && !closing_) {
    applyAgain_ = false;
    downloadSettings();
  }
}

void CQuilletDlg::switchPage(std::uint8_t page) {
  if (page == app_.currentPage || page > pageNumber(Page::Lighting)) {
    return;
  }
  const std::uint8_t left = app_.currentPage;
  pages_[left]->leave();
  app_.currentPage = page;
  // The hover of the main layout covers the main page's own regions only there.
  hover_.main = kNoRegion;
  // The page left is no longer drawn: its pictures are let go (hovering its tab brings them back).
  const auto drawnOnlyThere = [left](Picture id) {
    return id == pagePicture(left, PageState::Normal) || id == pagePicture(left, PageState::Over) ||
           id == pagePicture(left, PageState::Down) ||
           (id == Picture::LightingBlank && left == pageNumber(Page::Lighting));
  };
  for (std::size_t i = 0; i < kPictureCount; ++i) {
    if (drawnOnlyThere(static_cast<Picture>(i))) {
      pictures_.release(static_cast<Picture>(i));
    }
  }
  std::erase_if(ahead_, drawnOnlyThere);
  // Every page is static: it repaints when something it shows changes, never on a timer.
  pages_[page]->enter();
  expectPage(page);
  // The macro page's controls and list come with the macro page.
  update();
}

void CQuilletDlg::switchLanguage(Language value) {
  // The macro being edited goes into its group file before the folders change; when it cannot
  // be written (the user has been told) the language stays, so that the edits are not lost.
  if (!macroPage_->saveEdits()) {
    return;
  }
  popups_.closeAll();
  app_.language = value;
  if (!writeLanguage(app_.configPath, value)) {
    messages_.show(saveFailedMessage(app_.configPath));  // the language changes for this run only
  }
  if (!loadLayouts()) {
    return;
  }
  library_.changeLanguage(app_);
  session_->settingsLoaded(settings_, app_, library_);  // the macros of the other language
  tray_.setLanguage(app_.language, uiFont());
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  for (std::unique_ptr<WindowPage>& p : pages_) {
    p->languageChanged();
  }
  update();
}

void CQuilletDlg::onProfileChosen() {
  if (!saveCurrentProfile(app_)) {
    std::fprintf(stderr, "quillet: cannot write the settings file %s\n", app_.configPath.string().c_str());
  }
  update();
}

void CQuilletDlg::modelReplaced() {
  for (std::unique_ptr<WindowPage>& p : pages_) {
    p->modelReplaced();
  }
  update();
}

// ---- the mouse coming and going ----

void CQuilletDlg::onDeviceRemoved() {
  // An unplugged mouse ends the utility; there is nobody left to tell. A download that ran is
  // ended and saved first.
  tray_.remove();
  closing_ = true;
  session_->finishApplyNow();
  shutDownNow();
}

void CQuilletDlg::watchHotplug() {
  const int fd = session_->hotplugDescriptor();
  if (hotplug_ != nullptr && hotplug_->socket() == fd) {
    return;
  }
  if (hotplug_ != nullptr) {
    hotplug_->setEnabled(false);
    hotplug_->deleteLater();  // it may be the one whose signal runs now
    hotplug_ = nullptr;
  }
  auto service = [this] {
    if (closing_) {
      return;
    }
    session_->serviceHotplug();
    if (!closing_) {
      watchHotplug();  // the watch may have failed, or come back
    }
  };
  if (fd >= 0) {
    hotplug_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(hotplug_, &QSocketNotifier::activated, this, service);
  } else if (session_->watchesHotplug()) {
    // No watch (the simulator's socket is not there yet, or the watch failed): tried again.
    QTimer::singleShot(DeviceService::kWatchRetry, this, service);
  }
}

void CQuilletDlg::onFollowedChange(const FollowedChange& change) {
  if (closing_) {
    return;
  }
  if (applying_) {
    followedMeanwhile_.push_back(change);  // the model must not change under a download
    return;
  }
  // An adjusted macro is stored here, on the thread that edits the same group: into its file
  // and, when its group is open, into the editor's copy, whose unsaved edits it keeps.
  const std::optional<std::filesystem::path> openFile = library_.openGroupFile();
  EditedGroup edited{library_.openMacros(), openFile.value_or(std::filesystem::path())};
  const bool stored = applyFollowedChange(change, app_, settings_, openFile ? &edited : nullptr);
  if (change.kind == FollowedChange::Kind::kAdjustedMacro) {
    if (!stored) {
      std::fprintf(stderr, "quillet: cannot store the adjusted macro in its group file\n");
    }
  } else if (!stored) {
    std::fprintf(stderr, "quillet: cannot write the settings file %s\n", app_.configPath.string().c_str());
  }
  session_->settingsLoaded(settings_, app_, library_);
  // A profile followed from the mouse replaces the whole model: the advanced page's boxes too.
  modelReplaced();
}

void CQuilletDlg::onDeviceArrived() {
  // The session has run discovery again already.
  app_.devicePresent = session_->isOpen() ? 1 : 0;
  if (app_.devicePresent != 0) {
    if (const std::optional<std::uint8_t> value = session_->readDeviceValue()) {
      app_.deviceValue = *value;
    }
    tray_.add();
  } else if (const std::string problem = session_->accessProblem(); !problem.empty()) {
    messages_.show(mouseNotOpenedMessage(app_.language, problem));
  }
}

}  // namespace quillet
