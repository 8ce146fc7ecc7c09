// x_key_watch: a second, ordinary client on the display, which shows what keys reach it. It maps
// a small window titled "KeyWatch", takes the input focus and prints, flushed, one line per event:
//
//   ready            mapped and focused (and, with --grab, holding the keyboard); key lines follow
//   press KEYCODE    a KeyPress for X key code KEYCODE
//   release KEYCODE  a KeyRelease
//   focus-in MODE / focus-out MODE   (with --focus only) MODE: normal, grab, ungrab, while-grabbed
//
//   x_key_watch [--display D] [--focus] [--grab]
//
// With --grab it also grabs the whole keyboard, as a screen locker or a full-screen game does, so
// that another client's grab is refused while it runs.
// It exits with status 0 on SIGTERM or SIGINT, 1 when the display cannot be opened, the window
// cannot be made or the focus is not had within 10 seconds, 2 on a bad command line.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

int g_stopPipe[2] = {-1, -1};

void onStopSignal(int) {
  const char byte = 1;
  // Nothing to do when it fails: the pipe already holds a byte.
  [[maybe_unused]] const ssize_t written = write(g_stopPipe[1], &byte, 1);
}

bool g_xError = false;

int onXError(Display* display, XErrorEvent* event) {
  char text[256] = {};
  XGetErrorText(display, event->error_code, text, sizeof text);
  std::fprintf(stderr, "x_key_watch: X error: %s (request %u.%u)\n", text, event->request_code, event->minor_code);
  g_xError = true;
  return 0;
}

const char* modeName(int mode) {
  switch (mode) {
    case NotifyNormal:
      return "normal";
    case NotifyGrab:
      return "grab";
    case NotifyUngrab:
      return "ungrab";
    case NotifyWhileGrabbed:
      return "while-grabbed";
    default:
      return "other";
  }
}

enum class Wait { Event, Stop, Timeout, Failed };

// Waits for an X event to be pending, the stop signal or `timeoutMs` (-1: no limit).
Wait waitForEvent(Display* display, int timeoutMs) {
  while (true) {
    if (XPending(display) > 0) return Wait::Event;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
    const int n = poll(fds, 2, timeoutMs);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::perror("x_key_watch: poll");
      return Wait::Failed;
    }
    if (n == 0) return Wait::Timeout;
    if (fds[1].revents != 0) return Wait::Stop;
    if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) {
      std::fprintf(stderr, "x_key_watch: the display closed the connection\n");
      return Wait::Failed;
    }
    // Readable: XPending reads it on the next round.
  }
}

int run(Display* display, bool reportFocus, bool grab) {
  const int screen = DefaultScreen(display);
  const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 10, 10, 200, 80, 1,
                                            BlackPixel(display, screen), WhitePixel(display, screen));
  if (XStoreName(display, window, "KeyWatch") == 0 ||
      XSelectInput(display, window, KeyPressMask | KeyReleaseMask | FocusChangeMask | StructureNotifyMask) == 0 ||
      XMapRaised(display, window) == 0) {
    std::fprintf(stderr, "x_key_watch: cannot set up the window\n");
    return 1;
  }
  XSync(display, False);
  if (g_xError) return 1;

  // Mapped first (only a viewable window may have the focus), then focused.
  constexpr int kSetupMs = 10000;
  bool mapped = false, focused = false;
  while (!focused) {
    const Wait wait = waitForEvent(display, kSetupMs);
    if (wait == Wait::Stop) return 0;
    if (wait != Wait::Event) {
      if (wait == Wait::Timeout) std::fprintf(stderr, "x_key_watch: no %s\n", mapped ? "focus" : "map");
      return 1;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify && !mapped) {
      mapped = true;
      XSetInputFocus(display, window, RevertToParent, CurrentTime);
      XSync(display, False);
      if (g_xError) return 1;
    } else if (event.type == FocusIn && event.xfocus.detail != NotifyPointer) {
      focused = true;
    }
  }
  if (grab) {
    const int status = XGrabKeyboard(display, window, False, GrabModeAsync, GrabModeAsync, CurrentTime);
    if (status != GrabSuccess) {
      std::fprintf(stderr, "x_key_watch: the keyboard grab was refused (%d)\n", status);
      return 1;
    }
  }
  std::printf("ready\n");
  std::fflush(stdout);

  while (true) {
    const Wait wait = waitForEvent(display, -1);
    if (wait == Wait::Stop) return 0;
    if (wait != Wait::Event) return 1;
    XEvent event;
    XNextEvent(display, &event);
    switch (event.type) {
      case KeyPress:
        std::printf("press %u\n", event.xkey.keycode);
        break;
      case KeyRelease:
        std::printf("release %u\n", event.xkey.keycode);
        break;
      case FocusIn:
      case FocusOut:
        if (!reportFocus || event.xfocus.detail == NotifyPointer) continue;
        std::printf("%s %s\n", event.type == FocusIn ? "focus-in" : "focus-out", modeName(event.xfocus.mode));
        break;
      default:
        continue;
    }
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* displayName = nullptr;
  bool reportFocus = false;
  bool grab = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--display") == 0 && i + 1 < argc) {
      displayName = argv[++i];
    } else if (std::strcmp(argv[i], "--focus") == 0) {
      reportFocus = true;
    } else if (std::strcmp(argv[i], "--grab") == 0) {
      grab = true;
    } else {
      std::fprintf(stderr, "x_key_watch: unknown argument '%s'\nusage: x_key_watch [--display D] [--focus] [--grab]\n",
                   argv[i]);
      return 2;
    }
  }

  if (pipe(g_stopPipe) != 0) {
    std::perror("x_key_watch: pipe");
    return 1;
  }
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  if (sigaction(SIGTERM, &action, nullptr) != 0 || sigaction(SIGINT, &action, nullptr) != 0) {
    std::perror("x_key_watch: sigaction");
    return 1;
  }

  Display* display = XOpenDisplay(displayName);
  if (display == nullptr) {
    std::fprintf(stderr, "x_key_watch: cannot open display '%s'\n", XDisplayName(displayName));
    return 1;
  }
  XSetErrorHandler(onXError);
  const int status = run(display, reportFocus, grab);
  XCloseDisplay(display);
  return status;
}
