#include "gui/widgets/keyboard_capture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

#include "linux/evdev_keys.h"

#if QT_CONFIG(xcb)
// The XKB header names a field after a C++ keyword: the keyword is renamed for its length.
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wkeyword-macro"
#endif
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit
#if defined(__clang__)
#pragma clang diagnostic pop
#endif
#endif

namespace quillet {

namespace {
// X11 reports a held key as a release and a press at every repeat, and Qt can tell the pair from
// a real release only when the press is already queued behind it; on a loaded machine it is
// not, and one held key would be recorded as many. With detectable auto-repeat the server sends
// the repeats as presses alone. The flag belongs to this client's connection; it is set while
// recording and cleared after.
void setDetectableAutoRepeat(bool on) {
#if QT_CONFIG(xcb)
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
  if (connection == nullptr) {
    return;
  }
  const std::uint32_t flag = XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT;
  xcb_xkb_per_client_flags_reply_t* reply = xcb_xkb_per_client_flags_reply(
      connection, xcb_xkb_per_client_flags(connection, XCB_XKB_ID_USE_CORE_KBD, flag, on ? flag : 0, 0, 0, 0), nullptr);
  std::free(reply);  // without XKB there is no reply, and the repeats stay pairs
#else
  (void)on;
#endif
}

}  // namespace

KeyboardCapture::KeyboardCapture(QWidget& window) : QObject(&window), window_(window) {}

KeyboardCapture::~KeyboardCapture() { stop(); }

KeyboardCapture::Reach KeyboardCapture::reach() {
  return QGuiApplication::platformName() == QLatin1String("xcb") ? Reach::WholeDesktop : Reach::WindowFocus;
}

bool KeyboardCapture::start(std::function<void(const CapturedKey&)> sink) {
  if (active_) {
    return true;
  }
  if (reach() == Reach::WholeDesktop) {
    // The whole keyboard, for the main window: no other program sees a key until the grab
    // ends. The X server refuses it while another client holds a grab (or the window is not
    // viewable); then nothing is recorded.
    QWindow* handle = window_.windowHandle();
    if (handle == nullptr || !handle->setKeyboardGrabEnabled(true)) {
      return false;
    }
    // The window is also made the widgets' keyboard grabber: a popup of the application (the
    // tray menu) takes the keyboard while it is open, and Qt hands it back to the grabber when
    // the popup closes, where it would otherwise let it go.
    window_.grabKeyboard();
    grabbed_ = true;
    setDetectableAutoRepeat(true);
  }
  sink_ = std::move(sink);
  modifiersDown_.clear();
  qApp->installEventFilter(this);
  active_ = true;
  return true;
}

void KeyboardCapture::stop() {
  if (grabbed_) {
    window_.releaseKeyboard();
    if (QWindow* handle = window_.windowHandle(); handle != nullptr) {
      handle->setKeyboardGrabEnabled(false);
    }
    setDetectableAutoRepeat(false);
    grabbed_ = false;
  }
  if (active_) {
    qApp->removeEventFilter(this);
    active_ = false;
    sink_ = nullptr;
  }
}

bool KeyboardCapture::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ShortcutOverride:
      // Claimed, so that no shortcut of any widget fires; the key press follows and is ours.
      event->accept();
      return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
      break;
    default:
      return QObject::eventFilter(watched, event);
  }
  const auto* key = static_cast<const QKeyEvent*>(event);
  const bool down = event->type() == QEvent::KeyPress;
  // A held key repeats as further presses; the releases a window system puts between them
  // never happened on the keyboard.
  if (!down && key->isAutoRepeat()) {
    return true;
  }
  CapturedKey captured;
  captured.down = down;
  captured.nativeCode = key->nativeScanCode();
  captured.vk = nativeKeyToVk(captured.nativeCode);
  captured.stamp = static_cast<std::uint32_t>(key->timestamp());
  captured.altHeld = modifiersDown_.count(vk::kLMenu) + modifiersDown_.count(vk::kRMenu) > 0;
  captured.controlHeld = modifiersDown_.count(vk::kLControl) + modifiersDown_.count(vk::kRControl) > 0;
  // The modifiers whose state decides the system forms of key messages.
  if (captured.vk == vk::kLMenu || captured.vk == vk::kRMenu || captured.vk == vk::kLControl ||
      captured.vk == vk::kRControl) {
    if (down) {
      modifiersDown_.insert(captured.vk);
    } else {
      modifiersDown_.erase(captured.vk);
    }
  }
  if (sink_) {
    // The sink may stop the capture (the recording's last key); it is kept alive for the call.
    const std::function<void(const CapturedKey&)> sink = sink_;
    sink(captured);
  }
  return true;
}

}  // namespace quillet
