// The macro value format and the device images at their largest: a full 180-step macro, and
// the 56 key slots of the four profiles each holding a macro.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "macro/block_writer.h"
#include "macro/group_list.h"
#include "macro/macro_file.h"
#include "macro/macro_image.h"
#include "platform/messages.h"

namespace {

using namespace quillet;
namespace fs = std::filesystem;

// 180 steps: 50 moves, 5 CPI steps, 5 LED steps with full rows, the rest key presses and
// releases, with a different seed for each macro.
Macro fullMacro(int seed) {
  Macro m;
  setMacroName(m, "full" + std::to_string(seed % 100));
  m.loopCount = 3;
  for (int t = 0; t < kMacroMaxSteps; ++t) {
    MacroEvent& e = m.events[t];
    e.delay = static_cast<std::uint16_t>(10 + (t * 7 + seed) % 500);
    if (t % 3 == 1 && countSteps(m).moves < kMacroMaxMoves) {
      e = {step_type::kMoveRightDown, step_code::kMove, static_cast<std::int16_t>(t % 100), 4, e.delay};
    } else if (t % 30 == 2) {
      e = {step_type::kCpiSet, step_code::kCpi, 4, 0, e.delay};
    } else if (t % 30 == 5) {
      e = {step_type::kLed0, step_code::kLed, static_cast<std::int16_t>(countSteps(m).led), 0, e.delay};
    } else {
      e = {static_cast<std::uint8_t>(t % 2 == 0 ? step_type::kPress : step_type::kRelease),
           static_cast<std::uint8_t>(4 + (t + seed) % 40), 0, 0, e.delay};
    }
    m.eventCount = static_cast<std::uint16_t>(t + 1);
  }
  for (LedRow& row : m.ledRows) {
    row.bytes[0] = kLedRowMaxEntries;
    for (int i = kLedRowHeaderBytes; i < kLedRowBytes; ++i) {
      row.bytes[i] = static_cast<std::uint8_t>(i);
    }
  }
  recountSteps(m);
  return m;
}

void BM_SerialiseAndParseFullMacro(benchmark::State& state) {
  const Macro m = fullMacro(1);
  for (auto _ : state) {
    std::string text = serialiseMacro(m);
    benchmark::DoNotOptimize(text);
    Macro back = parseMacroValue(text);
    benchmark::DoNotOptimize(back);
  }
}
BENCHMARK(BM_SerialiseAndParseFullMacro);

void BM_BuildImagesOf56Macros(benchmark::State& state) {
  std::vector<Macro> macros;
  for (int i = 0; i < kProfileCount * kKeySlotCount; ++i) {
    macros.push_back(fullMacro(i));
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::uint32_t address = device_memory::kImageArea;
    for (const Macro& m : macros) {
      MacroImage image = buildMacroImage(m, address);
      address += static_cast<std::uint32_t>(image.bytes.size());
      bytes += image.bytes.size();
      benchmark::DoNotOptimize(image);
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_BuildImagesOf56Macros);

class NullWriter final : public BlockWriter {
 public:
  bool writeBlock(std::uint16_t, std::span<const std::uint8_t> data) override {
    benchmark::DoNotOptimize(data.data());
    return true;
  }
};

// The whole macro part of a download without the device's pauses: 56 slots with distinct
// library macros read from their group files, descriptors and images through a block writer.
void BM_LayoutAndWrite56MacroButtons(benchmark::State& state) {
  std::string pattern = (fs::temp_directory_path() / "quillet-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const fs::path folder = pattern;
  MacroGroupList list;
  for (int g = 0; g < kMaxGroups; ++g) {
    OpenGroup group;
    for (int k = 0; k < kGroupMaxMacros; ++k) {
      group.slots[group.count++] = fullMacro(g * kGroupMaxMacros + k);
    }
    list.names[list.groupCount++] = "G" + std::to_string(g);
    writeAllMacros(folder / (list.names[g] + ".dat"), group);
  }
  writeGroupList(folder, list);
  // The INI cache trusts a parse on the file's stamp alone once the file is two seconds old;
  // measure the files as a download meets them, long after they were saved.
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));

  SlotFunctionTable functions{};
  SlotDeviceFunctionTable deviceFunctions{};
  for (int p = 0; p < kProfileCount; ++p) {
    for (int s = 0; s < kKeySlotCount; ++s) {
      const int n = p * kKeySlotCount + s;
      functions[p][s] = function_code::libraryMacro(1 + n / kGroupMaxMacros, n % kGroupMaxMacros);
      deviceFunctions[p][s] = kDeviceFunctionMacro;
    }
  }
  const BuiltinMacros builtins;
  NullWriter writer;
  RecordedMessages messages;
  for (auto _ : state) {
    const MacroLayout layout = layoutMacros(functions, deviceFunctions, 0, folder, builtins, writer);
    ImageWriteResult result = writeMacroImages(layout, writer, messages);
    benchmark::DoNotOptimize(result);
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
}
BENCHMARK(BM_LayoutAndWrite56MacroButtons)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
