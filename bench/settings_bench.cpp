// One load and one save of the shipped settings file, with the INI parse cache and without it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <chrono>
#include <filesystem>
#include <thread>

#include "core/io/ini.h"
#include "core/settings/settings_file.h"

namespace {

namespace fs = std::filesystem;

// A scratch copy of the shipped settings file, removed at exit.
struct Scratch {
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "quillet-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::abort();
    }
    folder = pattern;
    fs::create_directories(folder / "config");
    fs::copy_file(fs::path(QUILLET_SOURCE_DIR) / "skins" / "config" / "config.ini", folder / "config" / "config.ini");
    app.setSkinFolder(folder);
    // A file changed within the last two seconds is verified against its bytes at every read
    // (file times are too coarse to trust alone); let the copy settle so the cached figure is
    // the steady state.
    std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  fs::path folder;
  quillet::AppState app;
  quillet::ProfileSettings settings;
};

Scratch& scratch() {
  static Scratch s;
  return s;
}

void loadSettings(benchmark::State& state) {
  Scratch& s = scratch();
  quillet::ini::setCacheEnabled(state.range(0) != 0);
  for (auto _ : state) {
    quillet::loadSettings(s.app.configPath, 1, false, s.settings, s.app);
    benchmark::DoNotOptimize(s.settings);
  }
  quillet::ini::setCacheEnabled(true);
}

// Each save changes one value, so that every iteration really replaces the file (a save that
// changes nothing leaves the file alone).
void saveSettings(benchmark::State& state) {
  Scratch& s = scratch();
  quillet::ini::setCacheEnabled(state.range(0) != 0);
  quillet::loadSettings(s.app.configPath, 1, false, s.settings, s.app);
  for (auto _ : state) {
    s.settings.fireTime = s.settings.fireTime == 50 ? 51 : 50;
    if (!quillet::saveSettings(s.app.configPath, 1, s.settings, s.app)) {
      state.SkipWithError("save failed");
    }
  }
  quillet::ini::setCacheEnabled(true);
}

}  // namespace

BENCHMARK(loadSettings)->ArgName("cache")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK(saveSettings)->ArgName("cache")->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
