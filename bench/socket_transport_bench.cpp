// Input reports per second from the simulated mouse to the host through the Unix socket
// transport: the simulator queues a batch, the host's device link reads them one by one.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "core/device/device_link.h"
#include "served_mouse.h"

namespace {

using namespace quillet;

void BM_SocketInputReports(benchmark::State& state) {
  auto mouse = sim::SimMouse::create({});
  bench::withServedMouse(state, mouse, [&](HidTransport& transport) {
    DeviceLink link(transport);
    if (!link.open()) {
      state.SkipWithError("no simulated mouse");
    } else {
      constexpr int kBatch = 32;  // within the simulator's queue of 64
      const std::uint8_t report[] = {0x06, 0xF3, 0x80, 0, 0, 0, 0, 0};
      InputReport in;
      std::int64_t reports = 0;
      for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
          mouse->sendInput(report);
        }
        for (int i = 0; i < kBatch; ++i) {
          if (link.readEvent(in, std::chrono::seconds(1)) != ReadStatus::kReport) {
            state.SkipWithError("a report was lost");
            break;
          }
          ++reports;
        }
      }
      state.counters["reports_per_second"] =
          benchmark::Counter(static_cast<double>(reports), benchmark::Counter::kIsRate);
    }
  });
}
BENCHMARK(BM_SocketInputReports)->UseRealTime()->MinTime(1.0);

}  // namespace
