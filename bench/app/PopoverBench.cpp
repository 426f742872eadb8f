// One change of the library as the open tray popover sees it: the edit, its
// signal and the popover reading the state again (header, controls, summary,
// status row), with 20,000 works. The change is a setting, which leaves the
// works in rotation as they were; the counter pool_change_ms is a change
// that moves them (a work hidden), whose count the model makes off this
// thread.

#include "app/desktop/DesktopController.hpp"
#include "app/menubar/MenuBarContent.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/WindowManager.hpp"
#include "app/style/Motion.hpp"
#include "bench/app/BenchApplication.hpp"
#include "bench/app/BenchModel.hpp"
#include "bench/app/BenchPopover.hpp"
#include "bench/app/MotionFrames.hpp"
#include "tests/support/fakes/FakeCompositor.hpp"
#include "tests/support/fakes/FakeDesktopFormats.hpp"
#include "tests/support/fakes/FakeDesktopWindows.hpp"
#include "tests/support/fakes/FakeDisplaySource.hpp"
#include "tests/support/fakes/FakePowerSources.hpp"
#include "tests/support/fakes/FakeSessionWatch.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"
#include "tests/support/fakes/FakeWallpaperBackend.hpp"
#include "tests/support/fakes/FakeWindowCoverage.hpp"
#include "tests/support/fakes/FakeWorkspaceWatch.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>

namespace tavolune::bench {

LibraryState realisticLibrary(std::size_t count);

namespace {

// A loaded model of n works, a desktop controller on one fake display, and
// the popover on screen.
struct PopoverBench {
  explicit PopoverBench(std::size_t works) {
    ensureApp();
    const std::filesystem::path root = dir.path().toStdString();
    model = loadedModel(root);
    LibraryState library = realisticLibrary(works);
    // No selection: the rotation count walks the whole collection, the dearest case.
    library.onDesktop.clear();
    const std::string shown = library.desktopPool().front()->id;
    library.screens["display-1"].currentArtworkID = shown;
    seedLibrary(*model, [library = std::move(library)](LibraryState& s) { s = library; });
    Display d;
    d.key = "display-1";
    d.number = 1;
    d.isMain = true;
    d.geometry = d.available = QRect(0, 0, 2560, 1440);
    displays.set({d});
    desktop = std::make_unique<DesktopController>(
        *model, DesktopController::Services{displays, session, power, coverage, wallpapers, windows, compositor,
                                            workspace, formats},
        root / "Wallpapers");
    desktop->refreshScreens(false);
    content = std::make_unique<MenuBarContent>(popoverServices(*model, *desktop, windowManager));
    content->show();
  }
  ~PopoverBench() {
    content.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  QTemporaryDir dir;
  std::unique_ptr<AppModel> model;
  testsupport::FakeDisplaySource displays;
  testsupport::FakeSessionWatch session;
  testsupport::FakePowerSources power;
  testsupport::FakeWindowCoverage coverage;
  testsupport::FakeSystemLog log;
  testsupport::FakeWallpaperBackend wallpapers{log};
  testsupport::FakeDesktopWindows windows;
  testsupport::FakeCompositor compositor;
  testsupport::FakeWorkspaceWatch workspace;
  testsupport::FakeDesktopFormats formats;
  std::unique_ptr<DesktopController> desktop;
  WindowManager windowManager;
  std::unique_ptr<MenuBarContent> content;
};

void BM_PopoverModelChange(benchmark::State& state) {
  PopoverBench b(static_cast<std::size_t>(state.range(0)));
  AppModel& model = *b.model;
  MenuBarContent& content = *b.content;
  const int before = content.refreshCount();

  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    seedLibrary(model, [flip](LibraryState& s) { s.settings.rotationInterval = flip ? 1800 : 3600; });
  }
  if (content.refreshCount() - before != int(state.iterations())) state.SkipWithError("the popover did not follow");

  const std::string hidden = model.state().desktopPool().back()->id;
  QElapsedTimer poolChange;
  poolChange.start();
  seedLibrary(model, [hidden](LibraryState& s) { s.hiddenArtworks.insert(hidden); });
  state.counters["pool_change_ms"] = double(poolChange.nsecsElapsed()) / 1e6;
  content.hide();
}
BENCHMARK(BM_PopoverModelChange)->Arg(20000)->Unit(benchmark::kMillisecond);

// The work on the main display changes while the popover shows: the old
// picture leaves and the new one enters, scaled and faded over 0.35 s.
// Each frame's main-thread time.
void BM_PopoverMotion(benchmark::State& state) {
  PopoverBench b(static_cast<std::size_t>(state.range(0)));
  QWidget* picture = b.content->findChild<QWidget*>(QStringLiteral("picture"));
  auto* next = b.content->findChild<QAbstractButton*>(QStringLiteral("next"));
  if (!picture || !next) {
    state.SkipWithError("no picture or next button");
    return;
  }
  QCoreApplication::processEvents();
  const auto moving = [&] { return !b.content->findChildren<ScaleFadeEffect*>().isEmpty(); };
  std::vector<double> frames;
  for (auto _ : state) {
    next->click();
    if (!moving()) state.SkipWithError("the work change did not play");
    motionFrames(b.content.get(), moving, frames);
  }
  state.counters["frames"] = double(frames.size());
  state.counters["frame_p95_ms"] = framePercentile(frames, 0.95);
  state.counters["frame_max_ms"] = framePercentile(frames, 1.0);
}
BENCHMARK(BM_PopoverMotion)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace tavolune::bench
