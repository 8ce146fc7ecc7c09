// The macro value format, the step list's texts, an edit and its save, and the device images
// at their largest: a full 180-step macro, a group of twelve of them, and the 56 key slots of
// the four profiles each holding a macro.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/device/macro_image.h"
#include "core/device/macro_layout.h"
#include "core/io/messages.h"
#include "core/macro/group_editor.h"
#include "core/macro/group_list.h"
#include "core/macro/macro_file.h"
#include "core/macro/macro_library.h"
#include "core/macro/macro_text.h"
#include "full_macro.h"

namespace {

using namespace quillet;
using bench::fullMacro;
namespace fs = std::filesystem;

// The data a benchmark measures must be there: a write that fails ends the run.
void written(bool ok, const fs::path& file) {
  if (!ok) {
    std::fprintf(stderr, "cannot write %s\n", file.string().c_str());
    std::exit(1);
  }
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

// The whole macro part of a download without the device's pauses: 56 slots with distinct
// library macros read from their group files, the blocks of their descriptors and images.
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
    written(writeAllMacros(folder / (list.names[g] + ".dat"), group), folder);
  }
  written(writeGroupList(folder, list), folder);
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
  for (auto _ : state) {
    const MacroLayout layout = planMacroLayout(functions, deviceFunctions, 0, folder, builtins);
    std::vector<PlannedBlock> descriptors = descriptorBlocks(layout);
    ImageBlocks images = imageBlocks(layout);
    benchmark::DoNotOptimize(descriptors);
    benchmark::DoNotOptimize(images);
  }
  std::error_code ec;
  fs::remove_all(folder, ec);
}
BENCHMARK(BM_LayoutAndWrite56MacroButtons)->Unit(benchmark::kMillisecond);

// The step list's lines of a full macro, as its rebuild makes them (the window's list box is
// bench_window's BM_RebuildStepListOfFullMacro).
void BM_ListStepsOfFullMacro(benchmark::State& state) {
  const Macro m = fullMacro(3);
  for (auto _ : state) {
    StepListing listing = listSteps(m);
    benchmark::DoNotOptimize(listing);
  }
}
BENCHMARK(BM_ListStepsOfFullMacro)->Unit(benchmark::kMicrosecond);

// One edit of the macro shown, in a group of twelve full macros, and its save: the pause after
// its first step changed, then the macro written into the group file (one atomic replacement of
// the file, flushed to disk), as a selection change or a box's edit saves it.
void BM_EditAndSaveOneMacroOfTwelve(benchmark::State& state) {
  std::string pattern = (fs::temp_directory_path() / "quillet-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const fs::path skins = fs::path(pattern) / "skins";
  const MacroFolders folders = MacroFolders::of(skins, kEnglish);
  fs::create_directories(folders.macroFolder);
  MacroGroupList list;
  list.names[0] = "G";
  list.groupCount = 1;
  written(writeGroupList(folders.macroFolder, list), folders.macroFolder);
  OpenGroup group;
  for (int k = 0; k < kGroupMaxMacros; ++k) {
    group.slots[group.count++] = fullMacro(k);
  }
  written(writeAllMacros(folders.macroFolder / "G.dat", group), folders.macroFolder);

  RecordedMessages messages;
  MacroLibrary library(messages);
  AppState app;
  app.appFolder = pattern;
  app.setSkinFolder(skins);
  app.language = kEnglish;
  library.start(app);
  library.selectMacro(5);
  GroupEditor editor(library, messages);
  editor.macroShown();
  int i = 0;
  for (auto _ : state) {
    editor.stepLineEdited(1, std::to_string(100 + i++ % 500) + "ms");
    if (!library.saveCurrentMacro()) {
      state.SkipWithError("the save failed");
      break;
    }
  }
  std::error_code ec;
  fs::remove_all(pattern, ec);
}
BENCHMARK(BM_EditAndSaveOneMacroOfTwelve)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
