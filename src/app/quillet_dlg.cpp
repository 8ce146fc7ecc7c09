#include "app/quillet_dlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QIntValidator>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <cstdio>
#include <thread>

#include "app/power_events.h"
#include "settings/settings_file.h"
#include "app/startup.h"
#include "ui/app_icon.h"

namespace quillet {

namespace {

QRegion regionOf(const WindowShape& shape) {
  const std::vector<SkinRect> bands = shape.bands();
  std::vector<QRect> rects;
  rects.reserve(bands.size());
  for (const SkinRect& r : bands) {
    rects.emplace_back(r.left, r.top, r.width(), r.height());
  }
  QRegion region;
  region.setRects(rects.data(), static_cast<int>(rects.size()));
  return region;
}

WindowShape shapeOf(const QImage& mask) {
  return WindowShape::fromMask(mask.width(), mask.height(), [&](int x, int y) {
    const QRgb p = reinterpret_cast<const QRgb*>(mask.constScanLine(y))[x];
    return MaskPixel{static_cast<std::uint8_t>(qRed(p)), static_cast<std::uint8_t>(qGreen(p)),
                     static_cast<std::uint8_t>(qBlue(p))};
  });
}

// The advanced page's value boxes: pointer speed, wheel speed, fire time, with their digit
// limits. The fire time shows "ms" after its number except while it is being edited.
constexpr std::array<int, 3> kValueBoxDigits{2, 2, 3};
constexpr int kFireTimeBox = 2;

}  // namespace

CQuilletDlg::CQuilletDlg(MessageService& messages, std::unique_ptr<DeviceSession> session, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      messages_(messages),
      session_(std::move(session)),
      library_(messages),
      refresh_([this] { QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection); }) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  // X11 cuts the window to its mask on screen; a Wayland compositor takes the mask as the input
  // region only, so there the window is translucent and leaves what is outside the shape clear.
  if (QGuiApplication::platformName().startsWith(QLatin1String("wayland"))) {
    setAttribute(Qt::WA_TranslucentBackground);
    clearOutsideShape_ = true;
  }
  setMouseTracking(true);
  connect(&tray_, &TrayIcon::showWindowRequested, this, &CQuilletDlg::restoreFromTray);
  connect(&tray_, &TrayIcon::exitRequested, this, &CQuilletDlg::onClose);
}

CQuilletDlg::~CQuilletDlg() {
  destroyValueBoxes();
  refresh_.leave();
  session_->stopThreads();
}

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
  loadStartupSettings(app_, settings_);

  makeFonts();
  setWindowTitle(QString::fromUtf8(kWindowTitle));

  // The page layouts (main, lighting, advanced, macro), then the warning dialog's. A missing
  // layout file ends the window once the event loop runs. The lighting name tables and the
  // pages' child controls come with their pages; the survey step is not part of this build.
  if (!loadLayouts()) {
    return;
  }

  // The pictures (decoded once for this skin) and the window's shape.
  pictures_.load(app_.skinFolder);
  applyWindowShape();

  // The macro library of the language and the built-in macros.
  library_.start(app_);
  session_->settingsLoaded(settings_, app_, library_);
  app_.popupOpen = 0;
  tray_.setLanguage(app_.language);

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

  // Arrivals and removals of the mouse, as the event loop sees them.
  if (const int fd = session_->hotplugDescriptor(); fd >= 0) {
    hotplug_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(hotplug_, &QSocketNotifier::activated, this, [this] { session_->serviceHotplug(); });
  }

  power_ = new PowerEvents(this);
  connect(power_, &PowerEvents::resumed, this, [this] { downloadSettings(); });
}

void CQuilletDlg::makeFonts() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double scale = screen != nullptr ? screen->logicalDotsPerInchX() / 96.0 : 1.0;
  fontTenths_ = uiFontTenthsOfPoint(scale);
  // Requested by family; "Arial" resolves to its metric-compatible substitute, and the Chinese
  // face falls back to the CJK face the set-up installs.
  fontLatin_ = QFont(QStringLiteral("Arial"));
  fontLatin_.setPointSizeF(fontTenths_ / 10.0);
  fontChinese_ = QFont();
  fontChinese_.setFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                            QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
  fontChinese_.setPointSizeF(fontTenths_ / 10.0);
}

bool CQuilletDlg::loadLayouts() {
  SkinReadReport report(messages_, [this] { onMissingLayoutFile(); });
  return loadSkinLayouts(app_, layouts_, report);
}

void CQuilletDlg::onMissingLayoutFile() {
  exitCode_ = 1;  // a start-up that cannot load its skin has failed
  tray_.remove();
  if (session_->isOpen()) {
    session_->hostExit();
  }
  // Queued: the load goes on, and the window closes once control is back in the event loop.
  QMetaObject::invokeMethod(
      this,
      [this] {
        closing_ = true;
        refresh_.leave();
        session_->stopThreads();
        hide();
        Q_EMIT shutDown();
      },
      Qt::QueuedConnection);
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

RenderInput CQuilletDlg::renderInput() const {
  std::optional<std::uint8_t> playMode;
  const OpenGroup& open = library_.openMacros();
  if (open.count > 0 && open.current >= 0 && open.current < open.count) {
    playMode = open.slots[static_cast<std::size_t>(open.current)].playMode;
  }
  return RenderInput{app_, settings_, layouts_, library_.macroNames(), hover_, uiFont(), recording_, playMode};
}

const QImage& CQuilletDlg::compose() {
  refresh_.setPeriod(settings_.ledPeriod);
  composeWindow(composition_, pictures_, renderInput());
  return composition_;
}

void CQuilletDlg::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (isMinimized()) {
    painter.fillRect(rect(), Qt::black);
    const QImage icon = appIconImage(32);
    painter.drawImage(QPoint((width() - icon.width()) / 2, (height() - icon.height()) / 2), icon);
    return;
  }
  compose();
  // The one copy of the composition to the window, limited to what needs repainting.
  const QRect area = event->rect();
  if (clearOutsideShape_ && !mask().isEmpty()) {
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const QRect& r : QRegion(area).subtracted(mask())) {
      painter.fillRect(r, Qt::transparent);
    }
    painter.setClipRegion(mask() & area);
  }
  painter.drawImage(area.topLeft(), composition_, area);
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
  hover_ = now;
  lastHoverRepaint_ = pageRegion(hoverRepaintArea(app_.currentPage));
  update(lastHoverRepaint_);
}

void CQuilletDlg::dragSliders(int x) {
  namespace ar = advanced_region;
  const auto slider = [&](int region) -> const SkinButton& { return layouts_.advanced[static_cast<std::size_t>(region)]; };
  // A drag changes the value and its box at once; the slider itself is redrawn by the next
  // repaint that a hover change asks for.
  if (dragPointerSpeed_) {
    const SkinButton& s = slider(ar::kPointerSpeed);
    settings_.pointerSpeed = static_cast<std::uint8_t>(speedSliderValue(sliderOffset(x, s.x, 0), s.width));
    setValueBoxText(0);
  }
  if (dragWheelSpeed_) {
    const SkinButton& s = slider(ar::kWheelSpeed);
    settings_.wheelSpeed = static_cast<std::uint8_t>(speedSliderValue(sliderOffset(x, s.x, 0), s.width));
    setValueBoxText(1);
  }
  if (dragFireTime_) {
    const SkinButton& s = slider(ar::kFireTime);
    settings_.fireTime = fireTimeSliderValue(sliderOffset(x, s.x, 0), s.width);
    setValueBoxText(kFireTimeBox);
  }
}

void CQuilletDlg::mouseMoveEvent(QMouseEvent* event) {
  if (movingWindow_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - moveOffset_);
    return;
  }
  const QPoint pos = event->position().toPoint();
  dragSliders(pos.x());
  trackPointer(pos);
}

void CQuilletDlg::pressAdvanced(int x) {
  namespace ar = advanced_region;
  const std::int32_t r = hover_.advanced;
  const auto slider = [&](int region) -> const SkinButton& { return layouts_.advanced[static_cast<std::size_t>(region)]; };
  if (r == ar::kPointerSpeed || r == ar::kWheelSpeed) {
    const SkinButton& s = slider(r);
    const auto v = static_cast<std::uint8_t>(speedSliderValue(sliderOffset(x, s.x, kSpeedPressReach), s.width));
    (r == ar::kPointerSpeed ? settings_.pointerSpeed : settings_.wheelSpeed) = v;
    (r == ar::kPointerSpeed ? dragPointerSpeed_ : dragWheelSpeed_) = true;
    setValueBoxText(r == ar::kPointerSpeed ? 0 : 1);
  } else if (r == ar::kFireTime) {
    const SkinButton& s = slider(r);
    settings_.fireTime = fireTimeSliderValue(sliderOffset(x, s.x, kFireTimePressReach), s.width);
    dragFireTime_ = true;
    setValueBoxText(kFireTimeBox);
  } else if (r >= ar::kFirstDpiEnable && r < ar::kFirstDpiEnable + kDpiLevelCount) {
    settings_.toggleDpiLevel(r - ar::kFirstDpiEnable);
  } else if (r >= ar::kFirstDpiSelect && r < ar::kFirstDpiSelect + kDpiLevelCount) {
    settings_.selectDpiLevel(r - ar::kFirstDpiSelect);
  } else if (r >= ar::kFirstDpiStep && r <= ar::kLastDpiStep) {
    settings_.setDpiStep((r - ar::kFirstDpiStep) / kDpiStepCount,
                         static_cast<std::uint8_t>((r - ar::kFirstDpiStep) % kDpiStepCount));
  }
  // The DPI colours (41..46) open the colour dialog, which comes with the owner-drawn controls.
  update();
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

void CQuilletDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QWidget::mousePressEvent(event);
    return;
  }
  // Clicks act on the regions the last pointer move found; a press that no move preceded
  // (the window appeared under the pointer) is tracked first, as a move there would have been.
  trackPointer(event->position().toPoint());
  // While recording, only the recorder's button, minimise, close and empty spots react; the
  // recorder comes with the macro page.
  app_.popupOpen = 0;  // an open popup closes on any press

  const std::int32_t common = hover_.main;
  if (common >= frame_region::kFirstTab && common <= frame_region::kLastTab) {
    switchPage(static_cast<std::uint8_t>(common - frame_region::kFirstTab));
  }
  std::int32_t pageHover = kNoRegion;
  switch (static_cast<Page>(app_.currentPage)) {
    case Page::Main:
      // Regions 11 (profile) and 20..27 (buttons) open their popups, which come with the
      // popup menus.
      pageHover = kNoRegion;
      break;
    case Page::Advanced:
      pageHover = hover_.advanced;
      if (common == kNoRegion) {
        pressAdvanced(static_cast<int>(event->position().x()));
      }
      break;
    case Page::Macro:
      pageHover = hover_.macro;
      break;
    case Page::Lighting:
      pageHover = hover_.lighting;
      break;
  }
  if (common == kNoRegion && pageHover == kNoRegion) {
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
  switch (hover_.main) {
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
      switchLanguage(kChinese);
      break;
    case frame_region::kEnglish:
      switchLanguage(kEnglish);
      break;
    default:
      // Import, export, reset and the web link of the main page come with the page commands.
      break;
  }
  dragPointerSpeed_ = dragWheelSpeed_ = dragFireTime_ = false;
}

void CQuilletDlg::keyPressEvent(QKeyEvent* event) {
  // Neither Escape nor Enter closes the window.
  if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
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
  tray_.remove();
  if (session_->isOpen()) {
    session_->hostExit();
  }
  refresh_.leave();
  session_->stopThreads();
  hide();
  Q_EMIT shutDown();
}

bool CQuilletDlg::downloadSettings() {
  const DownloadResult result = session_->apply(settings_, app_, library_);
  if (!result.saved()) {
    messages_.show(kSettingsSaveError);  // the files are as they were; the model keeps the edits
  }
  update();
  return result.completed && result.saved();
}

void CQuilletDlg::switchPage(std::uint8_t page) {
  if (page == app_.currentPage || page > pageNumber(Page::Lighting)) {
    return;
  }
  const std::uint8_t left = app_.currentPage;
  if (left == pageNumber(Page::Advanced)) {
    destroyValueBoxes();
  }
  if (left == pageNumber(Page::Lighting)) {
    refresh_.leave();
  }
  app_.currentPage = page;
  // The hover of the main layout covers the main page's own regions only there.
  hover_.main = kNoRegion;
  if (page == pageNumber(Page::Advanced)) {
    createValueBoxes();
  } else if (page == pageNumber(Page::Lighting)) {
    refresh_.setPeriod(settings_.ledPeriod);
    refresh_.enter();
  }
  // The macro page's controls and list come with the macro page.
  update();
}

void CQuilletDlg::switchLanguage(Language value) {
  // The library writes the macro being edited into its group file before the folders change.
  app_.language = value;
  writeLanguage(app_.configPath, value);
  if (!loadLayouts()) {
    return;
  }
  library_.changeLanguage(app_);
  session_->settingsLoaded(settings_, app_, library_);  // the macros of the other language
  tray_.setLanguage(app_.language);
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  for (const QPointer<QLineEdit>& box : valueBoxes_) {
    if (box) {
      box->setFont(uiFont());
    }
  }
  update();
}

// ---- the advanced page's value boxes ----

void CQuilletDlg::createValueBoxes() {
  for (std::size_t i = 0; i < valueBoxes_.size(); ++i) {
    const SkinRect& r = kAdvancedValueBoxes[i];
    auto* box = new QLineEdit(this);
    box->setObjectName(QStringLiteral("valueBox%1").arg(i));
    box->setGeometry(r.left, r.top, r.width(), r.height());
    box->setAlignment(Qt::AlignCenter);
    box->setFrame(false);
    box->setFont(uiFont());
    box->setStyleSheet(QStringLiteral("QLineEdit { background: black; color: white; border: none; padding: 0; }"));
    // Digits only, as many as the value has; "ms" is added by the window, never typed.
    box->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\d{0,%1}").arg(kValueBoxDigits[i])), box));
    valueBoxes_[i] = box;
    setValueBoxText(static_cast<int>(i));
    connect(box, &QLineEdit::textEdited, this, [this, i] { onValueEdited(static_cast<int>(i)); });
    if (static_cast<int>(i) == kFireTimeBox) {
      box->installEventFilter(this);
    }
    box->show();
  }
}

void CQuilletDlg::destroyValueBoxes() {
  // Forgotten and unfiltered before they go: a box being destroyed still sends events (its
  // focus leaving), and the filter must not take it for a live box.
  for (QPointer<QLineEdit>& box : valueBoxes_) {
    QLineEdit* gone = box.data();
    box = nullptr;
    if (gone != nullptr) {
      gone->removeEventFilter(this);
      delete gone;
    }
  }
}

void CQuilletDlg::setValueBoxText(int index) {
  QLineEdit* box = valueBoxes_[static_cast<std::size_t>(index)];
  if (box == nullptr) {
    return;
  }
  switch (index) {
    case 0:
      box->setText(QString::number(settings_.pointerSpeed));
      break;
    case 1:
      box->setText(QString::number(settings_.wheelSpeed));
      break;
    default:
      box->setText(box->hasFocus() ? QString::number(settings_.fireTime)
                                   : QString::number(settings_.fireTime) + QStringLiteral("ms"));
      break;
  }
}

void CQuilletDlg::onValueEdited(int index) {
  QLineEdit* box = valueBoxes_[static_cast<std::size_t>(index)];
  // The value of a text is its leading digits; values above the limit are clamped, and the box
  // then shows the limit.
  const int value = static_cast<int>(skinNumber(box->text().toStdString()));
  if (index == kFireTimeBox) {
    settings_.fireTime = std::min(value, 300);
    if (value > 300) {
      box->setText(QStringLiteral("300"));
    }
  } else {
    const auto clamped = static_cast<std::uint8_t>(std::min(value, 10));
    (index == 0 ? settings_.pointerSpeed : settings_.wheelSpeed) = clamped;
    if (value > 10) {
      box->setText(QStringLiteral("10"));
    }
  }
  update(advancedRegion_);
}

bool CQuilletDlg::eventFilter(QObject* watched, QEvent* event) {
  QLineEdit* fire = valueBoxes_[kFireTimeBox];
  if (fire != nullptr && watched == fire) {
    if (event->type() == QEvent::FocusIn) {
      fire->setText(QString::number(settings_.fireTime));
    } else if (event->type() == QEvent::FocusOut) {
      settings_.fireTime = std::min(settings_.fireTime, 300);
      fire->setText(QString::number(settings_.fireTime) + QStringLiteral("ms"));
    }
  }
  return QWidget::eventFilter(watched, event);
}

// ---- the mouse coming and going ----

void CQuilletDlg::onDeviceRemoved() {
  // An unplugged mouse ends the utility; there is nobody left to tell.
  tray_.remove();
  closing_ = true;
  refresh_.leave();
  session_->stopThreads();
  hide();
  Q_EMIT shutDown();
}

void CQuilletDlg::onFollowedChange(const FollowedChange& change) {
  if (closing_) {
    return;
  }
  if (!applyFollowedChange(change, app_, settings_, &library_.openMacros(), library_.groups().currentGroup)) {
    std::fprintf(stderr, "quillet: cannot write the settings file %s\n", app_.configPath.string().c_str());
  }
  session_->settingsLoaded(settings_, app_, library_);
  // A profile followed from the mouse replaces the whole model: the advanced page's boxes too.
  for (int i = 0; i < static_cast<int>(valueBoxes_.size()); ++i) {
    setValueBoxText(i);
  }
  update();
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
