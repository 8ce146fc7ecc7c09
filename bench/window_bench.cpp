// Main window benchmarks under the offscreen platform: the paint of each page on a hover change
// with the pictures kept (as the window paints) and with them decoded at every paint, start-up
// to the first paint, the resident memory after start-up, the window's paints while Apply
// writes eight macro buttons into the simulated mouse, and the processor time of the lighting
// page left open, per period, the step list's rebuild, and the time from a key event to its
// step while recording.
#include <QApplication>
#include <QElapsedTimer>
#include <QPaintEvent>

#include <benchmark/benchmark.h>

#include <time.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

#include <QKeyEvent>
#include "core/io/messages.h"
#include "core/macro/macro_text.h"
#include "full_macro.h"
#include "gui/app/quillet_dlg.h"
#include "gui/pages/macro_page.h"
#include "sim_mouse.h"
#include "sim_transport.h"
#include "window_skins.h"

namespace quillet {
namespace {

using bench::messages;
using bench::skinsCopy;

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

// Records when the window paints.
class PaintClock : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      times.push_back(std::chrono::steady_clock::now());
    }
    return QObject::eventFilter(watched, event);
  }
  std::vector<std::chrono::steady_clock::time_point> times;
};

// Apply with a library macro on each of profile 1's eight buttons, into the simulated mouse in
// this process, while something asks the window to repaint every 16 ms (as a hover or a
// progress change does). The time is the download's wall time; longest_paint_gap_ms is the
// longest time between two paints meanwhile, overhead_pct the wall time over the 10 ms per
// block and 10 ms at the end that the protocol mandates.
void BM_ApplyEightMacroButtons(benchmark::State& state) {
  auto mouse = sim::SimMouse::create(sim::SimOptions{});
  auto session = std::make_unique<HidDeviceSession>(sim::makeInProcessTransport(mouse), mouse, messages(), nullptr);
  auto dlg = std::make_unique<CQuilletDlg>(messages(), std::move(session));
  dlg->initDialog(QUILLET_BIN_DIR, skinsCopy(), false);
  dlg->show();
  for (int b = 0; b < kButtonCount; ++b) {
    dlg->settings().buttonFunction[0][b] = function_code::libraryMacro(1, b);
  }
  PaintClock paints;
  dlg->installEventFilter(&paints);
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, dlg.get(), [&] { dlg->update(); });
  double longestGapMs = 0;
  double mandatedMs = 0;
  double wallMs = 0;
  for (auto _ : state) {
    paints.times.clear();
    QEventLoop loop;
    std::size_t blocks = 0;
    const QMetaObject::Connection done = QObject::connect(dlg.get(), &CQuilletDlg::applied, &loop, &QEventLoop::quit);
    const QMetaObject::Connection tick = QObject::connect(&ticker, &QTimer::timeout, dlg.get(), [&] {
      blocks = std::max(blocks, dlg->applyProgress().total);
    });
    ticker.start(16);
    const auto start = std::chrono::steady_clock::now();
    dlg->downloadSettings();
    loop.exec();
    const auto end = std::chrono::steady_clock::now();
    ticker.stop();
    QObject::disconnect(done);
    QObject::disconnect(tick);
    const double ms = std::chrono::duration<double, std::milli>(end - start).count();
    state.SetIterationTime(ms / 1000.0);
    wallMs += ms;
    mandatedMs = 10.0 * static_cast<double>(blocks) + 10.0;
    auto last = start;
    for (const auto t : paints.times) {
      longestGapMs = std::max(longestGapMs, std::chrono::duration<double, std::milli>(t - last).count());
      last = t;
    }
    state.counters["blocks"] = static_cast<double>(blocks);
  }
  const double meanMs = wallMs / static_cast<double>(state.iterations());
  state.counters["longest_paint_gap_ms"] = longestGapMs;
  state.counters["mandated_ms"] = mandatedMs;
  state.counters["overhead_pct"] = 100.0 * (meanMs - mandatedMs) / mandatedMs;
}
BENCHMARK(BM_ApplyEightMacroButtons)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The processor time of the whole process (every thread) in seconds.
double processCpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The lighting page left open for 10 s with nothing moving, at period state.range(0): the
// process's processor time meanwhile (cpu_s), and how often the window painted (paints).
void BM_LightingPageOpen10s(benchmark::State& state) {
  auto dlg = startWindow();
  dlg->show();
  dlg->settings().ledPeriod = static_cast<std::uint8_t>(state.range(0));
  dlg->switchPage(pageNumber(Page::Lighting));
  QApplication::processEvents();
  for (auto _ : state) {
    const int paintsBefore = dlg->paints();
    const double before = processCpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = processCpuSeconds() - before;
    state.SetIterationTime(cpu);
    state.counters["cpu_s"] = cpu;
    state.counters["paints"] = dlg->paints() - paintsBefore;
  }
  dlg->switchPage(pageNumber(Page::Main));
}
BENCHMARK(BM_LightingPageOpen10s)->DenseRange(0, 5)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// The macro page's step list rebuilt for a full 180-step macro (359 lines): the texts, the list
// box filled with redrawing off, the selection, the LED list and the loop-count box, as every
// step command and edit does.
void BM_RebuildStepListOfFullMacro(benchmark::State& state) {
  auto dlg = startWindow();
  dlg->switchPage(pageNumber(Page::Macro));
  MacroPage& page = dlg->macroPage();
  Macro* shown = page.editor().current();
  if (shown == nullptr) {
    state.SkipWithError("the shipped group has no macro");
    return;
  }
  *shown = bench::fullMacro(7);
  page.editor().macroShown();
  for (auto _ : state) {
    page.showSteps();
    benchmark::DoNotOptimize(page.stepList()->count());
  }
  if (page.stepList()->count() != stepLineCount(kMacroMaxSteps)) {
    state.SkipWithError("the list does not hold every line");
  }
}
BENCHMARK(BM_RebuildStepListOfFullMacro)->Unit(benchmark::kMillisecond);

// Recording: from a key event delivered to the window to its step in the macro and its lines
// in the step list, for every step of a full recording (55 keys pressed and released, the
// 110 steps a recording holds). Reported: the mean, and the 99th percentile over all events.
void BM_KeyEventToRecordedStep(benchmark::State& state) {
  auto dlg = startWindow();
  dlg->switchPage(pageNumber(Page::Macro));
  MacroPage& page = dlg->macroPage();
  std::vector<double> micros;
  std::uint32_t stamp = 1000;
  bool recorded = true;
  for (auto _ : state) {
    page.toggleRecording();
    if (!page.recording()) {
      state.SkipWithError("the recording did not start");
      return;
    }
    for (int k = 0; k < kRecordMaxPresses; ++k) {
      for (const bool down : {true, false}) {
        // Letters and digits in turn: evdev 16..25 (Q..P) and 30..38 (A..L).
        const unsigned evdev = k % 2 ? 16 + static_cast<unsigned>(k % 10) : 30 + static_cast<unsigned>(k % 9);
        QKeyEvent event(down ? QEvent::KeyPress : QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, evdev + 8, 0, 0,
                        QString());
        event.setTimestamp(stamp += 37);
        const auto before = std::chrono::steady_clock::now();
        QApplication::sendEvent(dlg.get(), &event);
        const auto after = std::chrono::steady_clock::now();
        micros.push_back(std::chrono::duration<double, std::micro>(after - before).count());
      }
    }
    recorded = recorded && page.editor().recorder().recordedCount() == kRecordMaxSteps &&
               page.stepList()->count() == stepLineCount(kRecordMaxSteps);
    page.toggleRecording();
  }
  if (!recorded) {
    state.SkipWithError("not every key became a step");
    return;
  }
  std::sort(micros.begin(), micros.end());
  double sum = 0;
  for (const double m : micros) {
    sum += m;
  }
  state.counters["events"] = static_cast<double>(micros.size());
  state.counters["mean_us"] = sum / static_cast<double>(micros.size());
  state.counters["p99_us"] = micros[micros.size() * 99 / 100];
  state.counters["max_us"] = micros.back();
}
BENCHMARK(BM_KeyEventToRecordedStep)->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) { return quillet::bench::runWindowBenchmarks(argc, argv); }
