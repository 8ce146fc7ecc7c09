#include "gui/app/shutdown_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <array>
#include <cerrno>

namespace quillet {

namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};
int pipeFds[2] = {-1, -1};

void onSignal(int signal) {
  // Only what is safe in a handler: one write of one byte, errno kept.
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
  errno = saved;
}

}  // namespace

ShutdownSignals::ShutdownSignals(QObject* parent) : QObject(parent) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0) {
    pipeFds[0] = pipeFds[1] = -1;
    return;
  }
  notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    while (::read(pipeFds[0], &byte, 1) == 1) {
      Q_EMIT requested(byte);
    }
  });
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int s : kSignals) {
    ::sigaction(s, &action, nullptr);
  }
}

ShutdownSignals::~ShutdownSignals() {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  for (const int s : kSignals) {
    ::sigaction(s, &action, nullptr);
  }
  for (int& fd : pipeFds) {
    if (fd >= 0) {
      ::close(fd);
      fd = -1;
    }
  }
}

}  // namespace quillet
