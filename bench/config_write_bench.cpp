// Wall time of the configuration area's block writes with the real clock: one 1-byte block at
// 0x0001 and fifteen 8-byte blocks at 0x0008..0x0078, sixteen blocks whose pauses alone take
// 16 x 2 x 5 ms = 160 ms. Measured against the simulated mouse in this process and over its socket.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <thread>

#include "core/device/clock.h"
#include "core/device/device_link.h"
#include "core/device/device_protocol.h"
#include "served_mouse.h"
#include "sim_transport.h"

namespace {

using namespace quillet;

constexpr double kMandatedMs = 160.0;

bool writeConfigurationArea(DeviceProtocol& protocol) {
  const std::array<std::uint8_t, 1> first = {0x22};
  bool ok = protocol.writeBlock(0x0001, first);
  std::array<std::uint8_t, 8> row{};
  for (std::uint16_t address = 0x0008; address <= 0x0078; address += 8) {
    row.fill(static_cast<std::uint8_t>(address));
    ok = protocol.writeBlock(address, row) && ok;
  }
  return ok;
}

void measure(benchmark::State& state, HidTransport& transport) {
  DeviceLink link(transport);
  SteadyClock clock;
  DeviceProtocol protocol(link, clock);
  if (!link.open()) {
    state.SkipWithError("no simulated mouse");
    return;
  }
  for (auto _ : state) {
    if (!writeConfigurationArea(protocol)) {
      state.SkipWithError("a block write failed");
      break;
    }
  }
  state.counters["mandated_ms"] = kMandatedMs;
}

void BM_ConfigurationWriteInProcess(benchmark::State& state) {
  auto mouse = sim::SimMouse::create({});
  auto transport = sim::makeInProcessTransport(mouse);
  measure(state, *transport);
}

void BM_ConfigurationWriteSocket(benchmark::State& state) {
  bench::withServedMouse(state, sim::SimMouse::create({}), [&](HidTransport& transport) { measure(state, transport); });
}

BENCHMARK(BM_ConfigurationWriteInProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);
BENCHMARK(BM_ConfigurationWriteSocket)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

}  // namespace
