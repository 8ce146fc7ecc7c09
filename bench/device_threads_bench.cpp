// The device threads' speed:
//   - key event to device command: 1,000 presses and releases of a hold button, each time from
//     the simulator's "<ms> IN …" log line of the event to its "<ms> SET 07 11 …" line of the
//     command, one event at a time; counters p50_ms, p99_ms and max_ms. In-process and over
//     the simulator's socket.
//   - processor time of quilletctl listen left idle for 10 s (user + system time of the child,
//     from wait4): with a mouse at quillet-sim serve, with a simulator socket that is not there,
//     and with the real HID backend on a machine without the mouse. Counter cpu_s.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/device/clock.h"
#include "core/device/device_link.h"
#include "core/device/device_protocol.h"
#include "core/device/device_threads.h"
#include "linux/sim_socket_transport.h"
#include "served_mouse.h"
#include "sim_server.h"
#include "sim_transport.h"
#include "support/process.h"

namespace {

using namespace quillet;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kEvents = 1000;

// The simulator's log as (milliseconds, report) pairs, waited on by the benchmark.
class TimedLog {
 public:
  void add(const std::string& line) {
    const auto space = line.find(' ');
    {
      std::lock_guard lock(mutex_);
      entries_.push_back({std::stod(line.substr(0, space)), line.substr(space + 1)});
    }
    changed_.notify_all();
  }
  // The time of the next entry from `from` on whose report starts with `prefix`; -1 if none
  // comes within a second.
  double waitFor(std::size_t& from, const std::string& prefix) {
    std::unique_lock lock(mutex_);
    double at = -1;
    changed_.wait_for(lock, 1s, [&] {
      for (; from < entries_.size(); ++from) {
        if (entries_[from].second.starts_with(prefix)) {
          at = entries_[from].first;
          ++from;
          return true;
        }
      }
      return false;
    });
    return at;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<double, std::string>> entries_;
};

sim::SimOptions loggingTo(TimedLog& log) {
  sim::SimOptions options;
  options.log = [&log](const std::string& line) { log.add(line); };
  return options;
}

void measureLatency(benchmark::State& state, sim::SimMouse& mouse, TimedLog& log, HidTransport& transport) {
  DeviceLink link(transport);
  SteadyClock clock;
  DeviceProtocol protocol(link, clock);
  if (!link.open()) {
    state.SkipWithError("no simulated mouse");
    return;
  }
  DeviceThreads threads(link, protocol, {});
  DeviceSnapshot snapshot;
  snapshot.isHoldButton[0][2] = 1;
  threads.publish(snapshot);
  threads.start();

  std::vector<double> latencies;
  std::size_t cursor = 0;
  for (auto _ : state) {
    latencies.clear();
    for (int i = 0; i < kEvents; ++i) {
      std::string error;
      const bool pressed = i % 2 == 0;
      if (!(pressed ? mouse.press(2, error) : mouse.release(2, error))) {
        state.SkipWithError(error.c_str());
        return;
      }
      const double in = log.waitFor(cursor, "IN 06 F3");
      const double set = log.waitFor(cursor, pressed ? "SET 07 11 02" : "SET 07 11 00");
      if (in < 0 || set < 0) {
        state.SkipWithError("an event was not served");
        return;
      }
      latencies.push_back(set - in);
    }
  }
  std::sort(latencies.begin(), latencies.end());
  const auto at = [&](double q) { return latencies[static_cast<std::size_t>(q * (latencies.size() - 1))]; };
  state.counters["p50_ms"] = at(0.50);
  state.counters["p99_ms"] = at(0.99);
  state.counters["max_ms"] = latencies.back();
}

void BM_KeyEventToCommandInProcess(benchmark::State& state) {
  TimedLog log;
  auto mouse = sim::SimMouse::create(loggingTo(log));
  auto transport = sim::makeInProcessTransport(mouse);
  measureLatency(state, *mouse, log, *transport);
}

void BM_KeyEventToCommandSocket(benchmark::State& state) {
  TimedLog log;
  auto mouse = sim::SimMouse::create(loggingTo(log));
  bench::withServedMouse(state, mouse, [&](HidTransport& transport) { measureLatency(state, *mouse, log, transport); });
}

// Runs `args` for `seconds` with the environment plus `env`, then SIGTERM; its processor time.
double idleCpuSeconds(const std::vector<std::string>& args, const std::vector<std::string>& env, int seconds,
                      int& exitCode) {
  test::ChildProcess child(args[0], {args.begin() + 1, args.end()},
                           {.env = env, .out = "/dev/null", .err = "/dev/null"});
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  exitCode = child.stop(SIGTERM);
  const rusage& usage = child.usage();
  const auto seconds_of = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

enum class Mouse { kSimulator, kMissingSocket, kRealBackend };

void idleListen(benchmark::State& state, Mouse kind) {
  const bench::ScratchFolder folder;
  const std::string socketPath = (folder.path / "mouse.sock").string();
  const fs::path bin = QUILLET_BIN_DIR;
  fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins", folder.path / "skins", fs::copy_options::recursive);
  auto mouse = sim::SimMouse::create({});
  sim::SimServer server(mouse);
  std::thread serving;
  std::string error;
  if (kind == Mouse::kSimulator) {
    if (!server.listen(socketPath, error)) {
      state.SkipWithError(error.c_str());
      return;
    }
    serving = std::thread([&] { server.run(); });
  }
  std::vector<std::string> env;
  if (kind != Mouse::kRealBackend) {
    env.push_back("QUILLET_SIM=" + socketPath);
  }
  double cpu = 0;
  int exitCode = -1;
  for (auto _ : state) {
    cpu = idleCpuSeconds({(bin / "quilletctl").string(), "--skins", (folder.path / "skins").string(), "listen"}, env,
                         10, exitCode);
  }
  if (serving.joinable()) {
    server.stop();
    serving.join();
  }
  if (exitCode != 0) {
    state.SkipWithError("quilletctl listen did not end with 0");
  }
  state.counters["cpu_s"] = cpu;
}

void BM_ListenIdleWithMouse(benchmark::State& state) { idleListen(state, Mouse::kSimulator); }
void BM_ListenIdleSimulatorAbsent(benchmark::State& state) { idleListen(state, Mouse::kMissingSocket); }
void BM_ListenIdleNoRealMouse(benchmark::State& state) { idleListen(state, Mouse::kRealBackend); }

BENCHMARK(BM_KeyEventToCommandInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_KeyEventToCommandSocket)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ListenIdleWithMouse)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ListenIdleSimulatorAbsent)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_ListenIdleNoRealMouse)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
