#include "platform/keyboard_capture.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include "platform/evdev_keys.h"

namespace quillet {

namespace {
// The modifiers whose state decides the system forms of key messages (virtual-key codes).
constexpr std::uint8_t kLeftControl = 0xA2;
constexpr std::uint8_t kRightControl = 0xA3;
constexpr std::uint8_t kLeftAlt = 0xA4;
constexpr std::uint8_t kRightAlt = 0xA5;
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
    grabbed_ = true;
  }
  sink_ = std::move(sink);
  modifiersDown_.clear();
  qApp->installEventFilter(this);
  active_ = true;
  return true;
}

void KeyboardCapture::stop() {
  if (grabbed_) {
    if (QWindow* handle = window_.windowHandle(); handle != nullptr) {
      handle->setKeyboardGrabEnabled(false);
    }
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
  captured.altHeld = modifiersDown_.count(kLeftAlt) + modifiersDown_.count(kRightAlt) > 0;
  captured.controlHeld = modifiersDown_.count(kLeftControl) + modifiersDown_.count(kRightControl) > 0;
  if (captured.vk == kLeftAlt || captured.vk == kRightAlt || captured.vk == kLeftControl ||
      captured.vk == kRightControl) {
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
