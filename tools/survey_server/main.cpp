// quillet-survey-server: a survey service for tests and demonstrations. It serves HTTP on
// 127.0.0.1, checks each request as the service must (request_check.h), logs it, and answers
// with the JSON member "status".
//
//   quillet-survey-server --port N [--log FILE] [--reply 1000|1001|1002] [--fail-first K]
//                         [--redirect-to URL]
//
// --port 0 takes any free port. The port is printed on stdout once the server listens:
//   quillet-survey-server: listening on 127.0.0.1:PORT
// A valid request is answered {"status":"<reply>"} (default 1000); a request that fails the
// check {"status":"1001"} (HTTP 404 when the path is not the survey's); the first K requests
// get HTTP 503 whatever they hold. With --redirect-to every request is answered HTTP 302 to URL
// followed by the request's target ("http://host:port" sends it on to that service). Every request adds one line to the log:
//   <n> <HTTP status> <status or -> <verdict> <target>[ (<what is wrong>)]
// SIGINT or SIGTERM end the server (exit 0); 1 when it cannot listen, 2 on bad arguments.
#include <arpa/inet.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "request_check.h"

namespace {

struct Options {
  int port = -1;
  std::string logFile;
  std::string reply = "1000";
  long failFirst = 0;
  std::string redirectTo;
};

struct Server {
  Options options;
  std::FILE* log = nullptr;
  std::mutex mutex;  // guards requests and the log
  long requests = 0;
};

int usage() {
  std::fputs(
      "usage: quillet-survey-server --port N [--log FILE] [--reply 1000|1001|1002] [--fail-first K] [--redirect-to URL]\n",
      stderr);
  return 2;
}

bool parseNumber(std::string_view text, long& out, long min, long max) {
  long v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < min || v > max) {
    return false;
  }
  out = v;
  return true;
}

// The whole target of the request line, kept from the moment MHD has read it: the access
// handler only sees the path.
void* rememberTarget(void*, const char* uri, MHD_Connection*) { return new std::string(uri != nullptr ? uri : ""); }

void forgetTarget(void*, MHD_Connection*, void** context, MHD_RequestTerminationCode) {
  delete static_cast<std::string*>(*context);
  *context = nullptr;
}

MHD_Result answer(MHD_Connection* connection, unsigned status, const std::string& body) {
  MHD_Response* response =
      MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
  if (response == nullptr) {
    return MHD_NO;
  }
  MHD_add_response_header(response, "Content-Type", "application/json");
  const MHD_Result result = MHD_queue_response(connection, status, response);
  MHD_destroy_response(response);
  return result;
}

MHD_Result handle(void* cls, MHD_Connection* connection, const char*, const char* method, const char*,
                  const char*, size_t*, void** context) {
  auto* server = static_cast<Server*>(cls);
  const std::string target = *context != nullptr ? *static_cast<std::string*>(*context) : std::string();
  if (std::strcmp(method, "GET") != 0) {
    return answer(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "{\"status\":\"1001\"}");
  }
  std::lock_guard lock(server->mutex);
  const long n = ++server->requests;
  unsigned http = MHD_HTTP_OK;
  std::string status = "-";
  std::string verdict = "refused";
  std::string detail;
  if (!server->options.redirectTo.empty()) {
    const std::string location = server->options.redirectTo + target;
    if (server->log != nullptr) {
      std::fprintf(server->log, "%ld 302 - redirected %s\n", n, target.c_str());
      std::fflush(server->log);
    }
    MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    if (response == nullptr) {
      return MHD_NO;
    }
    MHD_add_response_header(response, "Location", location.c_str());
    const MHD_Result result = MHD_queue_response(connection, MHD_HTTP_FOUND, response);
    MHD_destroy_response(response);
    return result;
  }
  if (n <= server->options.failFirst) {
    http = MHD_HTTP_SERVICE_UNAVAILABLE;
  } else {
    const quillet::survey_server::Check check = quillet::survey_server::checkSurveyRequest(target);
    verdict = quillet::survey_server::verdictName(check.verdict);
    detail = check.detail;
    if (check.verdict == quillet::survey_server::Verdict::Valid) {
      status = server->options.reply;
    } else {
      status = "1001";
      if (check.verdict == quillet::survey_server::Verdict::WrongPath) {
        http = MHD_HTTP_NOT_FOUND;
      }
    }
  }
  if (server->log != nullptr) {
    std::fprintf(server->log, "%ld %u %s %s %s%s%s%s\n", n, http, status.c_str(), verdict.c_str(), target.c_str(),
                 detail.empty() ? "" : " (", detail.c_str(), detail.empty() ? "" : ")");
    std::fflush(server->log);
  }
  const std::string body = status == "-" ? std::string("{\"error\":\"unavailable\"}") : "{\"status\":\"" + status + "\"}";
  return answer(connection, http, body);
}

}  // namespace

int main(int argc, char** argv) {
  Server server;
  Options& o = server.options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help") {
      usage();
      return 0;
    }
    if (i + 1 >= argc) {
      return usage();
    }
    const std::string_view v = argv[++i];
    long number = 0;
    if (a == "--port" && parseNumber(v, number, 0, 65535)) {
      o.port = static_cast<int>(number);
    } else if (a == "--log") {
      o.logFile = std::string(v);
    } else if (a == "--reply" && (v == "1000" || v == "1001" || v == "1002")) {
      o.reply = std::string(v);
    } else if (a == "--fail-first" && parseNumber(v, number, 0, 1000000000)) {
      o.failFirst = number;
    } else if (a == "--redirect-to" && !v.empty()) {
      o.redirectTo = std::string(v);
    } else {
      return usage();
    }
  }
  if (o.port < 0) {
    return usage();
  }
  if (!o.logFile.empty()) {
    server.log = std::fopen(o.logFile.c_str(), "a");
    if (server.log == nullptr) {
      std::fprintf(stderr, "quillet-survey-server: cannot open %s: %s\n", o.logFile.c_str(), std::strerror(errno));
      return 1;
    }
  }

  // The signals are waited for by this thread; the server's thread must not take them.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(o.port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  MHD_Daemon* daemon = MHD_start_daemon(
      MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_USE_ERROR_LOG, static_cast<std::uint16_t>(o.port), nullptr,
      nullptr, &handle, &server, MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address),
      MHD_OPTION_URI_LOG_CALLBACK, &rememberTarget, nullptr, MHD_OPTION_NOTIFY_COMPLETED, &forgetTarget, nullptr,
      MHD_OPTION_CONNECTION_TIMEOUT, 10u, MHD_OPTION_END);
  if (daemon == nullptr) {
    std::fprintf(stderr, "quillet-survey-server: cannot listen on 127.0.0.1:%d\n", o.port);
    return 1;
  }
  const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon, MHD_DAEMON_INFO_BIND_PORT);
  std::printf("quillet-survey-server: listening on 127.0.0.1:%u\n", info != nullptr ? info->port : 0u);
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stop, &signal);
  MHD_stop_daemon(daemon);
  if (server.log != nullptr) {
    std::fclose(server.log);
  }
  return 0;
}
