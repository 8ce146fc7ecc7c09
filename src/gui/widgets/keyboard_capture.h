#pragma once
// The keyboard capture of a macro recording. While it runs, every key event of the application
// goes to its sink and to no widget. On X11 the main window also grabs the whole keyboard, so
// that the keys played reach no other program; a grab that another program holds already is
// refused, and the capture does not start. Wayland has no global grab: the capture takes the
// keys while the window has the focus, and other windows get theirs as usual.
//
// The grab ends with stop(), with the capture's destruction, and with the window's connection
// to the display (the X server drops the grabs of a client that dies).
#include <QObject>

#include <cstdint>
#include <functional>
#include <set>

class QWidget;

namespace quillet {

struct CapturedKey {
  bool down = false;
  std::uint8_t vk = 0;        // the Windows virtual-key code; 0 for a key the table does not have
  unsigned nativeCode = 0;    // the window system's key code (evdev + 8)
  std::uint32_t stamp = 0;    // the event's time in ms of the window system's counter; 0: none
  bool altHeld = false;       // an Alt key is down (before this event)
  bool controlHeld = false;   // a Control key is down (before this event)
};

class KeyboardCapture final : public QObject {
  Q_OBJECT

 public:
  enum class Reach : std::uint8_t {
    WholeDesktop,  // X11: the keys of every program
    WindowFocus,   // elsewhere: while a window of the application has the focus
  };

  explicit KeyboardCapture(QWidget& window);
  ~KeyboardCapture() override;

  // How far the capture reaches on this window system.
  static Reach reach();

  // Starts sending every key event to `sink`. False, with nothing started, when the window
  // system refused the grab (another program holds the keyboard).
  bool start(std::function<void(const CapturedKey&)> sink);
  // Releases the keyboard first, then stops taking its events. Idempotent.
  void stop();
  bool active() const { return active_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  std::function<void(const CapturedKey&)> sink_;
  std::set<std::uint8_t> modifiersDown_;
  bool grabbed_ = false;
  bool active_ = false;
};

}  // namespace quillet
