// xtest_keys: presses and releases X key codes through the XTEST extension, one at a time and in
// order, each one sent to the server before the next. It sends key codes, not keysyms, so a test
// can press exactly the key it means: right Shift rather than whichever Shift the keymap finds
// first, or F13-F24 without a spare key code bound to them.
//
//   xtest_keys [--display D] SPEC...
//   SPEC: down:KEYCODE  up:KEYCODE  tap:KEYCODE (down then up)  sleep:MS
//
// Every SPEC is checked before anything is sent. Exit status 0 when all was sent, 2 on a bad
// command line, 1 when the display cannot be opened, has no XTEST or refuses an event (keys this
// run pressed are then released). Keys pressed with down: and no up: stay down on success.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

enum class Action { Down, Up, Tap, Sleep };

struct Step {
  Action action;
  unsigned long value;  // key code, or milliseconds
  std::string text;
};

constexpr unsigned long kMaxSleepMs = 600000;

void usage() {
  std::fprintf(stderr,
               "usage: xtest_keys [--display D] SPEC...\n"
               "  SPEC: down:KEYCODE | up:KEYCODE | tap:KEYCODE | sleep:MS\n"
               "  KEYCODE is an X key code (evdev code + 8), MS at most %lu\n",
               kMaxSleepMs);
}

// A whole decimal number, nothing before or after it.
bool parseNumber(const char* text, unsigned long* out) {
  if (*text < '0' || *text > '9') return false;
  errno = 0;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (errno != 0 || *end != '\0') return false;
  *out = value;
  return true;
}

bool parseStep(const char* arg, Step* step) {
  const char* colon = std::strchr(arg, ':');
  if (colon == nullptr) return false;
  const std::string verb(arg, colon);
  step->text = arg;
  if (verb == "down") {
    step->action = Action::Down;
  } else if (verb == "up") {
    step->action = Action::Up;
  } else if (verb == "tap") {
    step->action = Action::Tap;
  } else if (verb == "sleep") {
    step->action = Action::Sleep;
  } else {
    return false;
  }
  if (!parseNumber(colon + 1, &step->value)) return false;
  if (step->action == Action::Sleep) return step->value <= kMaxSleepMs;
  return step->value >= 8 && step->value <= 255;  // the X protocol's key code range
}

int g_xErrors = 0;

int onXError(Display* display, XErrorEvent* event) {
  char text[256] = {};
  XGetErrorText(display, event->error_code, text, sizeof text);
  std::fprintf(stderr, "xtest_keys: X error: %s (request %u.%u)\n", text, event->request_code, event->minor_code);
  ++g_xErrors;
  return 0;
}

bool sleepMs(unsigned long ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0) {
    if (errno != EINTR) {
      std::perror("xtest_keys: nanosleep");
      return false;
    }
  }
  return true;
}

// Sends one key event and waits until the server has handled it.
bool sendKey(Display* display, unsigned long keycode, bool press, const std::string& spec) {
  if (XTestFakeKeyEvent(display, static_cast<unsigned>(keycode), press ? True : False, CurrentTime) == 0) {
    std::fprintf(stderr, "xtest_keys: %s: XTestFakeKeyEvent failed\n", spec.c_str());
    return false;
  }
  XSync(display, False);
  if (g_xErrors != 0) {
    std::fprintf(stderr, "xtest_keys: %s: refused by the server\n", spec.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* displayName = nullptr;
  std::vector<Step> steps;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--display") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "xtest_keys: --display needs a display name\n");
        usage();
        return 2;
      }
      displayName = argv[++i];
      continue;
    }
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage();
      return 0;
    }
    Step step{};
    if (!parseStep(argv[i], &step)) {
      std::fprintf(stderr, "xtest_keys: bad SPEC '%s'\n", argv[i]);
      usage();
      return 2;
    }
    steps.push_back(step);
  }
  if (steps.empty()) {
    usage();
    return 2;
  }

  Display* display = XOpenDisplay(displayName);
  if (display == nullptr) {
    std::fprintf(stderr, "xtest_keys: cannot open display '%s'\n", XDisplayName(displayName));
    return 1;
  }
  XSetErrorHandler(onXError);
  int eventBase = 0, errorBase = 0, major = 0, minor = 0;
  if (!XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
    std::fprintf(stderr, "xtest_keys: display '%s' has no XTEST extension\n", XDisplayString(display));
    XCloseDisplay(display);
    return 1;
  }
  int minKeycode = 0, maxKeycode = 0;
  XDisplayKeycodes(display, &minKeycode, &maxKeycode);
  for (const Step& step : steps) {
    if (step.action != Action::Sleep &&
        (step.value < static_cast<unsigned long>(minKeycode) || step.value > static_cast<unsigned long>(maxKeycode))) {
      std::fprintf(stderr, "xtest_keys: %s: the display's key codes are %d..%d\n", step.text.c_str(), minKeycode,
                   maxKeycode);
      XCloseDisplay(display);
      return 2;
    }
  }

  bool ok = true;
  bool held[256] = {};  // pressed by this run and not released yet
  for (const Step& step : steps) {
    switch (step.action) {
      case Action::Down:
        ok = sendKey(display, step.value, true, step.text);
        held[step.value] = ok;
        break;
      case Action::Up:
        ok = sendKey(display, step.value, false, step.text);
        held[step.value] = false;
        break;
      case Action::Tap:
        ok = sendKey(display, step.value, true, step.text) && sendKey(display, step.value, false, step.text);
        break;
      case Action::Sleep:
        ok = sleepMs(step.value);
        break;
    }
    if (!ok) break;
  }
  if (!ok) {
    // Keys left down would stay down for every other client of the display.
    for (unsigned keycode = 0; keycode < 256; ++keycode) {
      if (held[keycode]) XTestFakeKeyEvent(display, keycode, False, CurrentTime);
    }
    XSync(display, False);
  }
  XCloseDisplay(display);
  return ok ? 0 : 1;
}
