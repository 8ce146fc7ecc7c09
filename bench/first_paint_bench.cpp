// The first paint of each page and of each kind of popup, the first time it is shown, under the
// offscreen platform. Every iteration starts a new window and lets it sit idle for 300 ms after
// its first paint (a person cannot click sooner), then times, untimed set-up aside:
//   BM_FirstPagePaint/p/h the click on page p's tab (1 advanced, 2 macro, 3 lighting), the switch
//                         and its paint; h = 1 when the pointer rested on the tab for 100 ms
//                         first, as it does on its way to a click, h = 0 for a click out of the blue;
//   BM_FirstPopupPaint/k  opening a first-level menu of kind k (0..7) with its paint;
//   BM_FirstCascadePaint  the button-function list's sub-menu, then a group's macro menu;
//   BM_FirstWarningPaint  the warning dialog made and drawn.
// The goal is one frame, 16 ms, for each. QT_SCALE_FACTOR=2 in the environment measures the same
// at a device pixel ratio of 2.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/io/messages.h"
#include "gui/app/quillet_dlg.h"
#include "gui/widgets/warning_dlg.h"
#include "window_skins.h"

namespace quillet {
namespace {

using bench::messages;
using bench::skinsCopy;

void idle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// A window as a person meets it: started, shown, painted, and left alone for 300 ms.
std::unique_ptr<CQuilletDlg> shownWindow() {
  auto dlg = std::make_unique<CQuilletDlg>(messages(), std::make_unique<NullDeviceSession>(messages()));
  const std::filesystem::path skins = skinsCopy();
  dlg->initDialog(AppFolders{QUILLET_BIN_DIR, skins, skins, false}, false);
  dlg->show();
  dlg->repaint();
  idle(300);
  return dlg;
}

std::vector<PopupRow> rowsOf(int count) {
  std::vector<PopupRow> rows;
  for (int i = 0; i < count; ++i) {
    rows.push_back(PopupRow{QStringLiteral("Row %1").arg(i + 1), QColor(40 * i % 256, 80, 160)});
  }
  return rows;
}

void closeWindow(std::unique_ptr<CQuilletDlg>& dlg) {
  dlg->popups().closeAll();
  dlg.reset();
  QApplication::processEvents();
}

void send(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

void BM_FirstPagePaint(benchmark::State& state) {
  const auto page = static_cast<std::uint8_t>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto dlg = shownWindow();
    const SkinButton& tab = dlg->layouts().main[static_cast<std::size_t>(frame_region::kFirstTab + page)];
    const QPoint onTab(tab.x + tab.width / 2, tab.y + tab.height / 2);
    if (state.range(1) != 0) {
      send(dlg.get(), QEvent::MouseMove, onTab, Qt::NoButton, Qt::NoButton);
      idle(100);
    }
    state.ResumeTiming();
    QElapsedTimer t;
    t.start();
    send(dlg.get(), QEvent::MouseButtonPress, onTab, Qt::LeftButton, Qt::LeftButton);
    send(dlg.get(), QEvent::MouseButtonRelease, onTab, Qt::LeftButton, Qt::NoButton);
    dlg->repaint();
    state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    state.PauseTiming();
    closeWindow(dlg);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstPagePaint)
    ->ArgsProduct({{1, 2, 3}, {0, 1}})
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void BM_FirstPopupPaint(benchmark::State& state) {
  const auto kind = static_cast<MenuKind>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto dlg = shownWindow();
    const QPoint origin = dlg->mapToGlobal(QPoint(0, 0));
    state.ResumeTiming();
    QElapsedTimer t;
    t.start();
    CMenuDlg* menu = dlg->popups().openMenu(kind, ScreenRect{origin.x() + 300, origin.y() + 120, 200, 360},
                                            dlg->pictures(), dlg->uiFont(), rowsOf(10));
    menu->repaint();
    state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    state.PauseTiming();
    closeWindow(dlg);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstPopupPaint)
    ->DenseRange(0, kMenuKindCount - 1)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// The sub-menu and the macro menu open while the function list is already shown.
void BM_FirstCascadePaint(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto dlg = shownWindow();
    const QPoint origin = dlg->mapToGlobal(QPoint(0, 0));
    CMenuDlg* menu =
        dlg->popups().openMenu(MenuKind::ButtonFunction, ScreenRect{origin.x() + 300, origin.y() + 120, 200, 360},
                               dlg->pictures(), dlg->uiFont(), rowsOf(10));
    menu->repaint();
    idle(50);
    state.ResumeTiming();
    QElapsedTimer t;
    t.start();
    CSubMenuDlg* sub = dlg->popups().openSubMenu(9, ScreenRect{origin.x() + 500, origin.y() + 120, 300, 400},
                                                 dlg->pictures(), dlg->uiFont(), rowsOf(4));
    sub->repaint();
    MacSelMenuDlg* macros = dlg->popups().openMacroMenu(0, ScreenRect{origin.x() + 700, origin.y() + 120, 300, 400},
                                                        dlg->pictures(), dlg->uiFont(), rowsOf(12));
    macros->repaint();
    state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    state.PauseTiming();
    closeWindow(dlg);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstCascadePaint)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_FirstWarningPaint(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto dlg = shownWindow();
    state.ResumeTiming();
    QElapsedTimer t;
    t.start();
    {
      WarningDlg warning(dlg.get(), dlg->layouts().warning, dlg->pictures(), dlg->uiFont());
      benchmark::DoNotOptimize(warning.render().constBits());
    }
    state.SetIterationTime(static_cast<double>(t.nsecsElapsed()) / 1e9);
    state.PauseTiming();
    closeWindow(dlg);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FirstWarningPaint)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillet

int main(int argc, char** argv) { return quillet::bench::runWindowBenchmarks(argc, argv); }
