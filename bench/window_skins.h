#pragma once
// What the window benchmarks start the window from: a copy of the build's skins with the survey
// answered (so that the window starts at its main page), made once per process, and a message
// service that keeps what the window says; and their main.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/io/messages.h"
#include "core/survey/survey_record.h"

namespace quillet::bench {

inline std::filesystem::path skinsCopy() {
  static const std::filesystem::path dir = [] {
    std::filesystem::path d = std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    std::filesystem::copy(std::filesystem::path(QUILLET_BIN_DIR) / "skins", d / "skins",
                          std::filesystem::copy_options::recursive);
    if (!survey::markSurveyAnswered(d / "skins" / "config" / "ConfigFile.ini")) {
      std::abort();  // the window would start at the survey form, which is not what is measured
    }
    return d / "skins";
  }();
  return dir;
}

inline RecordedMessages& messages() {
  static RecordedMessages m;
  return m;
}

// The main of a window benchmark: the benchmarks in an off-screen application, then the copy of
// the skins removed.
inline int runWindowBenchmarks(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(skinsCopy().parent_path(), ec);
  return 0;
}

}  // namespace quillet::bench
