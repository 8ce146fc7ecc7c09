// Wall time of the whole settings download with the real clock, against the pauses the protocol
// mandates: 10 ms per block write (5 ms before the commit, 5 ms before the end) and 10 ms at the
// download's end. Counters: blocks, mandated_ms and overhead_pct = (wall - mandated) / mandated.
// The shipped settings with plain buttons only (the configuration area and nothing else), and
// with eight library macros on the eight buttons of profile 1. In-process and over the socket.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "core/device/block_writer.h"
#include "core/device/clock.h"
#include "core/device/device_link.h"
#include "core/device/device_protocol.h"
#include "core/device/download.h"
#include "core/io/messages.h"
#include "core/macro/macro_library.h"
#include "core/settings/settings_file.h"
#include "served_mouse.h"
#include "sim_transport.h"

namespace {

using namespace quillet;
namespace fs = std::filesystem;

// Counts the blocks on their way to the protocol.
class CountingWriter final : public BlockWriter {
 public:
  explicit CountingWriter(DeviceProtocol& protocol) : protocol_(protocol) {}
  bool writeBlock(std::uint16_t address, std::span<const std::uint8_t> data) override {
    ++blocks;
    return protocol_.writeBlock(address, data);
  }
  int blocks = 0;

 private:
  DeviceProtocol& protocol_;
};

// A private copy of the shipped skins and the built-in macros, removed afterwards.
struct Workspace {
  Workspace() {
    if (!folder.path.empty()) {
      root = folder.path;
      fs::copy(fs::path(QUILLET_SOURCE_DIR) / "skins", root / "skins", fs::copy_options::recursive);
      fs::copy_file(fs::path(QUILLET_SOURCE_DIR) / "data" / kBuiltinMacroFileName, root / kBuiltinMacroFileName);
    }
  }
  const bench::ScratchFolder folder;
  fs::path root;
};

enum class Buttons { kPlain, kEightMacros };

void measure(benchmark::State& state, HidTransport& transport, Buttons buttons) {
  Workspace workspace;
  if (workspace.root.empty()) {
    state.SkipWithError("no temporary folder");
    return;
  }
  RecordedMessages messages;
  AppState app;
  app.appFolder = workspace.root;
  app.setSkinFolder(workspace.root / "skins");
  ProfileSettings settings;
  loadStartupSettings(app, settings);
  MacroLibrary library(messages);
  library.start(app);
  for (int p = 0; p < kProfileCount; ++p) {
    for (int b = 0; b < kButtonCount; ++b) {
      settings.buttonFunction[p][b] = b % 6 + 1;  // the basic functions: no descriptor, no image
    }
  }
  if (buttons == Buttons::kEightMacros) {
    for (int b = 0; b < kButtonCount; ++b) {
      settings.buttonFunction[0][b] = function_code::libraryMacro(1, b);  // the eight macros of group 1
    }
  }

  DeviceLink link(transport);
  SteadyClock clock;
  DeviceProtocol protocol(link, clock);
  if (!link.open()) {
    state.SkipWithError("no simulated mouse");
    return;
  }
  DownloadState downloadState;
  int blocks = 0;
  double wallMs = 0;
  for (auto _ : state) {
    CountingWriter writer(protocol);
    // No desktop and no file writes: the mouse's part of the download alone.
    DownloadContext download{
        settings, app, downloadState, library, writer, [&protocol] { return protocol.endDownload(); }, nullptr,
        messages, {},  false};
    const auto start = std::chrono::steady_clock::now();
    const DownloadResult result = downloadSettings(download);
    wallMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (!result.completed) {
      state.SkipWithError("the download stopped");
      return;
    }
    blocks = writer.blocks;
  }
  const double mandatedMs = 10.0 * blocks + 10.0;
  const double meanMs = wallMs / static_cast<double>(state.iterations());
  state.counters["blocks"] = blocks;
  state.counters["mandated_ms"] = mandatedMs;
  state.counters["overhead_pct"] = 100.0 * (meanMs - mandatedMs) / mandatedMs;
}

void inProcess(benchmark::State& state, Buttons buttons) {
  auto mouse = sim::SimMouse::create({});
  auto transport = sim::makeInProcessTransport(mouse);
  measure(state, *transport, buttons);
}

void overSocket(benchmark::State& state, Buttons buttons) {
  bench::withServedMouse(state, sim::SimMouse::create({}),
                         [&](HidTransport& transport) { measure(state, transport, buttons); });
}

void BM_DownloadConfigurationInProcess(benchmark::State& state) { inProcess(state, Buttons::kPlain); }
void BM_DownloadEightMacrosInProcess(benchmark::State& state) { inProcess(state, Buttons::kEightMacros); }
void BM_DownloadConfigurationSocket(benchmark::State& state) { overSocket(state, Buttons::kPlain); }
void BM_DownloadEightMacrosSocket(benchmark::State& state) { overSocket(state, Buttons::kEightMacros); }

BENCHMARK(BM_DownloadConfigurationInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_DownloadEightMacrosInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DownloadConfigurationSocket)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);
BENCHMARK(BM_DownloadEightMacrosSocket)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
