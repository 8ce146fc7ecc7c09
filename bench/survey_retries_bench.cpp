// The processor time a survey submission costs while it keeps failing, which it may do for as
// long as the utility runs: the submission runs against a service for --seconds (60 by default)
// and the processor time of this process (the submission thread; the main thread only waits) is
// given, and extrapolated to an hour.
//
//   bench_survey_retries [--seconds N] [--case refused|rejected|silent]
//
// Cases: "refused": nothing listens on the port (each attempt ends at once); "rejected":
// quillet-survey-server answers every request with 1001 (its own processor time is another
// process's); "silent": a port that takes connections and never answers (each attempt waits for
// the 10 s time-out). Without --case all three run, one after the other.
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/survey/survey_query.h"
#include "core/survey/survey_submission.h"
#include "linux/http_client.h"
#include "linux/md5.h"
#include "support/process.h"

namespace {

using namespace std::chrono_literals;

double processorSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

quillet::survey::SignedQuery answers() {
  quillet::survey::SurveyRecord r;
  r.region = "Norway";
  r.name = "Ola";
  r.age = "40";
  r.email = "ola@mail.no";
  r.facebook = "Facebook:";
  r.game = "What game to play:";
  r.macText = "02-00-00-00-00-01";
  return *quillet::survey::prepareSurvey(r, quillet::md5Hex).request;
}

// A port of 127.0.0.1: closed, or listening without ever accepting.
struct Port {
  int fd = -1;
  int port = 0;
  explicit Port(bool listening) {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    if (listening) {
      ::listen(fd, 64);
    } else {
      ::close(fd);
      fd = -1;
    }
  }
  ~Port() {
    if (fd >= 0) {
      ::close(fd);
    }
  }
};

void run(const char* name, const std::string& authority, int seconds, const quillet::test::TempDir& dir) {
  quillet::survey::SurveySubmission submission(quillet::survey::surveyUrl(authority, answers()),
                                               dir / "ConfigFile.ini", quillet::http::makeCurlClient(),
                                               [](std::string, std::function<void()> dismissed) { dismissed(); });
  const double before = processorSeconds();
  const auto start = std::chrono::steady_clock::now();
  submission.start();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  submission.stop();
  const double used = processorSeconds() - before;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-9s %5.1f s, %4d attempts, %7.1f ms processor time: %7.1f ms per hour of retries\n", name, wall,
              submission.attempts(), used * 1e3, used * 1e3 * 3600.0 / wall);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  int seconds = 60;
  std::string only;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--seconds") == 0) {
      seconds = std::max(1, std::atoi(argv[i + 1]));
    } else if (std::strcmp(argv[i], "--case") == 0) {
      only = argv[i + 1];
    }
  }
  quillet::test::TempDir dir;
  if (only.empty() || only == "refused") {
    const Port closed(false);
    run("refused", "127.0.0.1:" + std::to_string(closed.port), seconds, dir);
  }
  if (only.empty() || only == "rejected") {
    quillet::test::BackgroundProgram server("quillet-survey-server", {"--port", "0", "--reply", "1001"});
    const std::string listening = "listening on 127.0.0.1:";
    if (!server.waitForOutput(listening, 10s)) {
      std::fprintf(stderr, "bench_survey_retries: quillet-survey-server did not start\n");
      return 1;
    }
    const std::string out = server.out();
    run("rejected", "127.0.0.1:" + std::to_string(std::stoi(out.substr(out.find(listening) + listening.size()))),
        seconds, dir);
  }
  if (only.empty() || only == "silent") {
    const Port silent(true);
    run("silent", "127.0.0.1:" + std::to_string(silent.port), seconds, dir);
  }
  return 0;
}
