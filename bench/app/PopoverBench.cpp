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
#include "bench/app/BenchApplication.hpp"
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

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>

namespace tavolune::bench {

LibraryState realisticLibrary(std::size_t count);

namespace {

void BM_PopoverModelChange(benchmark::State& state) {
  ensureApp();
  QTemporaryDir dir;
  const std::filesystem::path root = dir.path().toStdString();
  AppModel::Options o;
  o.storeURL = root / "library.json";
  o.cacheDirectory = root / "Media";
  o.services.gateways = {};
  AppModel model(o);
  {
    QEventLoop loop;
    QObject::connect(&model, &AppModel::loadedChanged, &loop, &QEventLoop::quit);
    model.load();
    if (!model.isLoaded()) loop.exec();
  }
  LibraryState library = realisticLibrary(static_cast<std::size_t>(state.range(0)));
  // No selection: the rotation count walks the whole collection, the dearest case.
  library.onDesktop.clear();
  const std::string shown = library.desktopPool().front()->id;
  library.screens["display-1"].currentArtworkID = shown;
  seedLibrary(model, [library = std::move(library)](LibraryState& s) { s = library; });

  testsupport::FakeDisplaySource displays;
  testsupport::FakeSessionWatch session;
  testsupport::FakePowerSources power;
  testsupport::FakeWindowCoverage coverage;
  testsupport::FakeSystemLog log;
  testsupport::FakeWallpaperBackend wallpapers(log);
  testsupport::FakeDesktopWindows windows;
  testsupport::FakeCompositor compositor;
  testsupport::FakeWorkspaceWatch workspace;
  testsupport::FakeDesktopFormats formats;
  Display d;
  d.key = "display-1";
  d.number = 1;
  d.isMain = true;
  d.geometry = d.available = QRect(0, 0, 2560, 1440);
  displays.set({d});
  DesktopController desktop(model,
                            {displays, session, power, coverage, wallpapers, windows, compositor, workspace, formats},
                            root / "Wallpapers");
  desktop.refreshScreens(false);

  WindowManager windowManager;
  MenuBarContent content({.model = model,
                          .desktop = desktop,
                          .windows = windowManager,
                          .images = {model.images(), *QThreadPool::globalInstance(), {}},
                          .build = {},
                          .updater = {},
                          .sendFeedback = {},
                          .showScreenSaver = {},
                          .quit = {},
                          .statusLine = [] { return QStringLiteral("Showing a still"); }});
  content.show();
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
  QThreadPool::globalInstance()->waitForDone();
}
BENCHMARK(BM_PopoverModelChange)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolune::bench
