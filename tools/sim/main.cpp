// quillet-sim: the simulated mouse.
//   quillet-sim serve --socket PATH [--log FILE] [--id VID:PID] [--device-value N]
//   quillet-sim uhid --socket PATH [--log FILE] [--id VID:PID] [--device-value N] [--layout split|shared]
//   quillet-sim send --socket PATH COMMAND...
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "linux/unix_socket.h"
#include "sim_control.h"
#include "sim_server.h"
#include "uhid_front.h"

namespace quillet::sim {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

constexpr const char* kUsage =
    "usage: quillet-sim serve --socket PATH [--log FILE] [--id VID:PID] [--device-value N]\n"
    "       quillet-sim uhid --socket PATH [--log FILE] [--id VID:PID] [--device-value N]\n"
    "                        [--layout split|shared]\n"
    "       quillet-sim send --socket PATH COMMAND\n\n"
    "serve  runs the simulated mouse on the Unix socket PATH until interrupted. Every report is\n"
    "       logged to FILE (standard output without --log), and so is every step of the macros\n"
    "       the mouse plays, as PLAY lines. --id presents the mouse under another\n"
    "       vendor/product pair (hex, default 18F8:0CC0); --device-value sets bits 0-3 of status\n"
    "       byte 7 (0..15).\n"
    "uhid   serves the same mouse to this machine's kernel through /dev/uhid, as HID devices\n"
    "       with hidraw nodes: --layout split (default) gives each collection its own device,\n"
    "       shared puts the two vendor collections in one. PATH takes the commands of send.\n"
    "send   drives the mouse served at PATH. COMMAND is one of:\n"
    "       press B, release B, click B (button 0..7), profile N (1..4), adjust up, adjust down,\n"
    "       unplug, plug, unplug N (it goes away after the N-th feature report from now),\n"
    "       dump (the memory), state (what the mouse holds and the settings,\n"
    "       key functions and macros its memory configures); and the failures of a real mouse:\n"
    "       deny / allow (opens of its vendor nodes fail with \"Permission denied\", as without\n"
    "       the udev rule), unplug after-finish (it goes away after the next Finish report),\n"
    "       glitch (the next read on its event node fails once, the node stays).\n";

int usageError(const std::string& text) {
  std::fprintf(stderr, "quillet-sim: %s\n%s", text.c_str(), kUsage);
  return kExitUsage;
}

std::optional<VidPid> parseId(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 4 || text.size() - colon - 1 == 0 ||
      text.size() - colon - 1 > 4) {
    return std::nullopt;
  }
  auto hex = [](std::string_view s) -> std::optional<std::uint16_t> {
    unsigned v = 0;
    for (char c : s) {
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) {
        return std::nullopt;
      }
      v = v * 16 + static_cast<unsigned>(d);
    }
    return static_cast<std::uint16_t>(v);
  };
  const auto vid = hex(text.substr(0, colon));
  const auto pid = hex(text.substr(colon + 1));
  if (!vid || !pid) {
    return std::nullopt;
  }
  return VidPid{*vid, *pid};
}

SimServer* gServer = nullptr;
UhidFront* gFront = nullptr;

extern "C" void onSignal(int) {
  if (gServer != nullptr) {
    gServer->stop();
  }
  if (gFront != nullptr) {
    gFront->stop();
  }
}

// serve, and with `kernel` uhid.
int serve(const std::vector<std::string>& args, bool kernel) {
  std::string socketPath;
  std::string logPath;
  SimOptions options;
  UhidLayout layout = UhidLayout::kSplit;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i + 1 >= args.size()) {
      return usageError(a + " needs a value");
    }
    const std::string& v = args[++i];
    if (kernel && a == "--layout") {
      const auto parsed = parseUhidLayout(v);
      if (!parsed) {
        return usageError("--layout takes split or shared");
      }
      layout = *parsed;
    } else if (a == "--socket") {
      socketPath = v;
    } else if (a == "--log") {
      logPath = v;
    } else if (a == "--id") {
      const auto id = parseId(v);
      if (!id) {
        return usageError("--id takes VID:PID in hex, as 18F8:0CC0");
      }
      options.id = *id;
    } else if (a == "--device-value") {
      char* end = nullptr;
      const long n = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || n < 0 || n > 15) {
        return usageError("--device-value takes 0..15");
      }
      options.deviceValue = static_cast<std::uint8_t>(n);
    } else {
      return usageError("unknown option '" + a + "'");
    }
  }
  if (socketPath.empty()) {
    return usageError(std::string(kernel ? "uhid" : "serve") + " needs --socket PATH");
  }
  std::FILE* log = stdout;
  if (!logPath.empty()) {
    log = std::fopen(logPath.c_str(), "w");
    if (log == nullptr) {
      std::fprintf(stderr, "quillet-sim: cannot write %s: %s\n", logPath.c_str(), std::strerror(errno));
      return kExitFailed;
    }
  }
  // Whole lines at once, at once: a test or a person reads the log while the mouse runs.
  std::setvbuf(log, nullptr, _IOLBF, 0);
  options.log = [log](const std::string& line) { std::fprintf(log, "%s\n", line.c_str()); };

  auto mouse = SimMouse::create(options);
  SimServer server(mouse);
  std::string error;
  std::unique_ptr<UhidFront> front;
  if (kernel) {
    front = std::make_unique<UhidFront>(mouse, layout, options.id);
    if (!front->start(error)) {
      std::fprintf(stderr, "quillet-sim: %s\n", error.c_str());
      return kExitFailed;
    }
  }
  if (!server.listen(socketPath, error)) {
    std::fprintf(stderr, "quillet-sim: %s\n", error.c_str());
    return kExitFailed;
  }
  gServer = &server;
  gFront = front.get();
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  std::fprintf(stderr, "quillet-sim: serving %04X:%04X on %s%s\n", options.id.vendorId, options.id.productId,
               socketPath.c_str(), kernel ? (layout == UhidLayout::kSplit ? " and uhid (split)" : " and uhid (shared)") : "");
  if (front) {
    // The socket takes the commands; the kernel is answered here until a signal stops both.
    std::thread controls([&server] { server.run(); });
    front->run();
    server.stop();
    controls.join();
  } else {
    server.run();
  }
  gServer = nullptr;
  gFront = nullptr;
  if (log != stdout) {
    std::fclose(log);
  }
  return kExitOk;
}

int send(const std::vector<std::string>& args) {
  std::string socketPath;
  std::string command;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--socket" && socketPath.empty() && command.empty()) {
      if (i + 1 >= args.size()) {
        return usageError("--socket needs a path");
      }
      socketPath = args[++i];
    } else {
      command += (command.empty() ? "" : " ") + args[i];
    }
  }
  if (socketPath.empty() || command.empty()) {
    return usageError("send needs --socket PATH and a command");
  }
  std::string error;
  UnixSocket socket = UnixSocket::connectTo(socketPath, error);
  if (!socket.valid()) {
    std::fprintf(stderr, "quillet-sim: %s\n", error.c_str());
    return kExitFailed;
  }
  const auto reply = socket.request(simwire::FrameType::kControl, simwire::bytesOf(command),
                                    simwire::FrameType::kControlReply, std::chrono::seconds(5));
  const auto decoded = reply ? simwire::decodeControlReply(reply->payload) : std::nullopt;
  if (!decoded) {
    std::fprintf(stderr, "quillet-sim: no answer from the simulated mouse at %s\n", socketPath.c_str());
    return kExitFailed;
  }
  std::FILE* out = decoded->exitCode == kControlOk ? stdout : stderr;
  if (decoded->exitCode != kControlOk) {
    std::fputs("quillet-sim: ", out);
  }
  std::fwrite(decoded->text.data(), 1, decoded->text.size(), out);
  if (decoded->exitCode == kControlUsage) {
    std::fputs(kUsage, stderr);
  }
  return std::fflush(stdout) == 0 ? decoded->exitCode : kExitFailed;
}

}  // namespace
}  // namespace quillet::sim

int main(int argc, char** argv) {
  using namespace quillet::sim;
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    std::fputs(kUsage, args.empty() ? stderr : stdout);
    return args.empty() ? kExitUsage : kExitOk;
  }
  const std::string verb = args[0];
  args.erase(args.begin());
  if (verb == "serve" || verb == "uhid") {
    return serve(args, verb == "uhid");
  }
  if (verb == "send") {
    return send(args);
  }
  return usageError("unknown command '" + verb + "'");
}
