// bench_startup [RUNS]: the utility's start-up as whole processes, against a bare Qt 6 program.
//
// Each run starts `quillet --simulate` (the survey answered, the simulated mouse in the process)
// and bench_bare_window (one window showing main_normal.jpg), in turn, alternating which goes
// first. A program is timed from just before its fork to its first paint, which it reports
// through the descriptor named in QUILLET_FIRST_PAINT_FD; its resident size is read one second
// after that paint, then it is ended with SIGTERM. Printed: every run, then the median start-up
// and resident size of each program and their ratios.
//
// The programs need an X display: DISPLAY, or else an Xvfb that the benchmark starts itself.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/survey/survey_record.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Sample {
  double startupMs = 0;
  double residentMiB = 0;
};

std::optional<long> residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return std::nullopt;
}

// Waits up to `ms` for `pid` to end; true when it has.
bool waitEnded(pid_t pid, int ms) {
  for (int waited = 0; waited < ms; waited += 10) {
    if (::waitpid(pid, nullptr, WNOHANG) == pid) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void stop(pid_t pid) {
  ::kill(pid, SIGTERM);
  if (!waitEnded(pid, 5000)) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
  }
}

// Starts `argv`, waits for its first paint and its resident size a second later, and ends it.
std::optional<Sample> measure(const std::vector<std::string>& argv) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    return std::nullopt;
  }
  const Clock::time_point before = Clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) {
    return std::nullopt;
  }
  if (pid == 0) {
    // The write end without close-on-exec, under its own number.
    const int out = ::fcntl(fds[1], F_DUPFD, 10);
    ::setenv("QUILLET_FIRST_PAINT_FD", std::to_string(out).c_str(), 1);
    std::vector<char*> args;
    for (const std::string& a : argv) {
      args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    std::_Exit(127);
  }
  ::close(fds[1]);
  std::string text;
  pollfd p{fds[0], POLLIN, 0};
  while (::poll(&p, 1, 30000) > 0) {
    char buffer[64];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) {
      break;
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  if (text.empty()) {
    std::fprintf(stderr, "bench_startup: %s did not report a first paint\n", argv[0].c_str());
    stop(pid);
    return std::nullopt;
  }
  const Clock::time_point painted{
      std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(std::stoll(text)))};
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const std::optional<long> kib = residentKiB(pid);
  stop(pid);
  if (!kib) {
    return std::nullopt;
  }
  return Sample{std::chrono::duration<double, std::milli>(painted - before).count(),
                static_cast<double>(*kib) / 1024.0};
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 != 0 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// An Xvfb on a free display; its pid, or -1.
pid_t startXvfb() {
  int fds[2];
  if (::pipe(fds) != 0) {
    return -1;
  }
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 3);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1280x800x24", "-nolisten", "tcp", nullptr);
    std::_Exit(127);
  }
  ::close(fds[1]);
  char buffer[32] = {};
  pollfd p{fds[0], POLLIN, 0};
  const ssize_t n = ::poll(&p, 1, 10000) > 0 ? ::read(fds[0], buffer, sizeof buffer - 1) : -1;
  ::close(fds[0]);
  if (n <= 0) {
    stop(pid);
    return -1;
  }
  ::setenv("DISPLAY", (":" + std::string(buffer, static_cast<std::size_t>(n - (buffer[n - 1] == '\n')))).c_str(), 1);
  return pid;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  pid_t xvfb = -1;
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    xvfb = startXvfb();
    if (xvfb < 0) {
      std::fprintf(stderr, "bench_startup: no DISPLAY and no Xvfb\n");
      return 1;
    }
  }
  char pattern[] = "/tmp/quillet-startup-XXXXXX";
  const char* made = ::mkdtemp(pattern);
  if (made == nullptr) {
    return 1;
  }
  const fs::path dir(made);
  const fs::path bin(QUILLET_BIN_DIR);
  fs::copy(bin / "skins", dir / "skins", fs::copy_options::recursive);
  if (!quillet::survey::markSurveyAnswered(dir / "skins" / "config" / "ConfigFile.ini")) {
    std::fprintf(stderr, "cannot mark the survey answered in %s\n", dir.c_str());
    return 1;  // the utility would start at the survey form, which is not what is measured
  }
  fs::create_directories(dir / "runtime");
  fs::permissions(dir / "runtime", fs::perms::owner_all, fs::perm_options::replace);
  ::setenv("XDG_RUNTIME_DIR", (dir / "runtime").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);

  const std::vector<std::string> quillet{(bin / "quillet").string(), "--simulate", "--skins", (dir / "skins").string()};
  const std::vector<std::string> bare{BENCH_BARE_WINDOW, (dir / "skins" / "main_normal.jpg").string()};
  std::vector<double> qStart, qRss, bStart, bRss;
  std::printf("%-4s %14s %14s %14s %14s\n", "run", "quillet ms", "quillet MiB", "bare ms", "bare MiB");
  for (int i = 0; i < runs; ++i) {
    std::optional<Sample> q, b;
    if (i % 2 == 0) {
      q = measure(quillet);
      b = measure(bare);
    } else {
      b = measure(bare);
      q = measure(quillet);
    }
    if (!q || !b) {
      std::fprintf(stderr, "bench_startup: run %d failed\n", i + 1);
      continue;
    }
    qStart.push_back(q->startupMs);
    qRss.push_back(q->residentMiB);
    bStart.push_back(b->startupMs);
    bRss.push_back(b->residentMiB);
    std::printf("%-4d %14.1f %14.1f %14.1f %14.1f\n", i + 1, q->startupMs, q->residentMiB, b->startupMs,
                b->residentMiB);
  }
  int status = 1;
  if (!qStart.empty()) {
    const double qs = median(qStart), bs = median(bStart), qr = median(qRss), br = median(bRss);
    std::printf("median start-up to first paint: quillet %.1f ms, bare %.1f ms, ratio %.2f\n", qs, bs, qs / bs);
    std::printf("median resident 1 s after:      quillet %.1f MiB, bare %.1f MiB, ratio %.2f\n", qr, br, qr / br);
    status = 0;
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  if (xvfb > 0) {
    stop(xvfb);
  }
  return status;
}
