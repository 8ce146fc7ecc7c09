// Main window benchmarks under the offscreen platform: the paint of each page on a hover change
// with the pictures kept (as the window paints) and with them decoded at every paint, start-up
// to the first paint, and the resident memory after start-up.
#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/quillet_dlg.h"
#include "platform/messages.h"

namespace quillet {
namespace {

std::filesystem::path skinsCopy() {
  static const std::filesystem::path dir = [] {
    std::filesystem::path d = std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d);
    std::filesystem::copy(std::filesystem::path(QUILLET_BIN_DIR) / "skins", d / "skins",
                          std::filesystem::copy_options::recursive);
    return d / "skins";
  }();
  return dir;
}

RecordedMessages& messages() {
  static RecordedMessages m;
  return m;
}

std::unique_ptr<CQuilletDlg> startWindow() {
  auto dlg = std::make_unique<CQuilletDlg>(messages(), std::make_unique<NullDeviceSession>(messages()));
  const std::filesystem::path skins = skinsCopy();
  dlg->initDialog(AppFolders{QUILLET_BIN_DIR, skins, skins, false}, false);
  return dlg;
}

// One paint after a hover change on page `state.range(0)`; range(1) = 1 decodes the page's
// three pictures first, as a renderer without kept pictures must.
void BM_PaintOnHoverChange(benchmark::State& state) {
  auto dlg = startWindow();
  dlg->switchPage(static_cast<std::uint8_t>(state.range(0)));
  const bool decode = state.range(1) != 0;
  const auto files = SkinPictures::pageFiles(static_cast<std::uint8_t>(state.range(0)));
  for (auto _ : state) {
    if (decode) {
      // The page's idle, hovered and pressed pictures read from disk, as at every paint of a
      // renderer that keeps nothing.
      for (const char* file : files) {
        QImage image(QString::fromStdString((skinsCopy() / file).string()));
        benchmark::DoNotOptimize(image.constBits());
      }
    }
    benchmark::DoNotOptimize(dlg->compose().constBits());
  }
}
BENCHMARK(BM_PaintOnHoverChange)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->Unit(benchmark::kMicrosecond);

void BM_StartupToFirstPaint(benchmark::State& state) {
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    auto dlg = startWindow();
    dlg->show();
    dlg->repaint();
    state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
  }
  std::ifstream statm("/proc/self/statm");
  long pages = 0;
  long resident = 0;
  statm >> pages >> resident;
  state.counters["resident_MiB"] = static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1 << 20);
}
BENCHMARK(BM_StartupToFirstPaint)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(quillet::skinsCopy().parent_path(), ec);
  return 0;
}
