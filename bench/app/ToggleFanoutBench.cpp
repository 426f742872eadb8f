// One My Selection toggle from the inspector, with the library window (grid,
// sidebar, inspector), the tray popover and the settings window open over
// 20,000 works: how far the change spreads. listing_rebuilds counts full
// builds of the library's listing, grid_resets resets of the grid's rows,
// views_refreshed the views (grid, sidebar, inspector, popover, settings)
// that repainted or rebuilt; toggle_ms is the toggle to the painted views.

#include "app/desktop/DesktopController.hpp"
#include "app/inspector/ArtworkDetail.hpp"
#include "app/library/LibraryGrid.hpp"
#include "app/library/LibraryGridView.hpp"
#include "app/library/LibrarySidebar.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/menubar/MenuBarContent.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/LoginItem.hpp"
#include "app/model/SettingsState.hpp"
#include "app/model/WindowManager.hpp"
#include "app/settings/SettingsView.hpp"
#include "bench/app/BenchApplication.hpp"
#include "bench/app/BenchPopover.hpp"
#include "tests/app/desktop/DesktopFakes.hpp"
#include "tests/support/ModelEdits.hpp"
#include "tests/support/OfflineOptions.hpp"
#include "tests/support/fakes/FakeAutostartService.hpp"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <set>

namespace tavolune::bench {

LibraryState realisticLibrary(std::size_t count);

namespace {

// Which of the watched views a paint event lands in.
class PaintWatch final : public QObject {
 public:
  explicit PaintWatch(std::vector<QWidget*> views) : views_(std::move(views)) { qApp->installEventFilter(this); }
  ~PaintWatch() override { qApp->removeEventFilter(this); }
  std::set<QWidget*> painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || !watched->isWidgetType()) return false;
    for (auto* w = static_cast<QWidget*>(watched); w; w = w->parentWidget()) {
      if (std::find(views_.begin(), views_.end(), w) != views_.end()) {
        painted.insert(w);
        break;
      }
    }
    return false;
  }

 private:
  std::vector<QWidget*> views_;
};

void settle() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void BM_ToggleFanout(benchmark::State& state) {
  ensureApp();
  QTemporaryDir dir;
  const std::filesystem::path root = dir.path().toStdString();
  AppModel model(testsupport::offlineOptions(root));
  {
    QEventLoop loop;
    QObject::connect(&model, &AppModel::loadedChanged, &loop, &QEventLoop::quit);
    model.load();
    if (!model.isLoaded()) loop.exec();
  }
  LibraryState library = realisticLibrary(static_cast<std::size_t>(state.range(0)));
  const std::string shown = library.desktopPool().front()->id;
  library.screens["display-1"].currentArtworkID = shown;
  seedLibrary(model, [library = std::move(library)](LibraryState& s) { s = library; });

  testsupport::DesktopFakes fakes;
  testsupport::FakeAutostartService autostart;
  fakes.displays.set({bench::mainDisplay()});
  DesktopController desktop(model, fakes.services(), root / "Wallpapers");
  desktop.refreshScreens(false);
  LoginItem login(autostart, fakes.log);

  WindowManager windowManager;
  MenuBarContent popover(bench::popoverServices(model, desktop, windowManager));
  popover.show();

  SettingsState tab;
  SettingsView settings({.model = model, .desktop = desktop, .login = login, .build = {"1.0", "1", ""}}, tab);
  settings.resize(580, 640);
  settings.show();

  LibraryWindowState windowState;
  LibraryGrid* grid = nullptr;
  ArtworkDetail* inspector = nullptr;
  LibraryWindow::Hosted hosted;
  hosted.grid = [&](LibraryWindow& w) {
    grid = new LibraryGrid(w, {});
    return static_cast<QWidget*>(grid);
  };
  hosted.inspector = [&](LibraryWindow& w, const Artwork& artwork) -> QWidget* {
    inspector = new ArtworkDetail({model, desktop, {model.media().images(), *QThreadPool::globalInstance(), {}}},
                                  w.artworkActions(), artwork);
    return inspector;
  };
  LibraryWindow window({.model = model}, hosted, windowState);
  window.resize(1400, 900);
  window.show();
  settle();
  // A work other than the desktop's, focused: the inspector shows it.
  const std::string toggled = grid->items().at(1) == shown ? grid->items().at(2) : grid->items().at(1);
  windowState.setSelection({toggled});
  windowState.setFocused(toggled);
  window.setShowInspector(true);
  settle();
  if (!inspector) {
    state.SkipWithError("no inspector");
    return;
  }

  int resets = 0;
  QObject::connect(grid->view().model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
  const std::size_t rebuildsBefore = model.listing().rebuilds();
  const int popoverBefore = popover.refreshCount();
  std::size_t views = 0;
  double slowest = 0;
  for (auto _ : state) {
    PaintWatch watch({&grid->view(), &window.sidebar(), inspector, &popover, &settings});
    QElapsedTimer t;
    t.start();
    inspector->selectionButton().click();
    deliverChanges(model);
    QCoreApplication::processEvents();  // the updates the views asked for, painted
    slowest = std::max(slowest, double(t.nsecsElapsed()) / 1e6);
    settle();
    // A popover that read the state again counts even when nothing it shows moved.
    const bool rebuilt = popover.refreshCount() != popoverBefore && !watch.painted.contains(&popover);
    views = std::max(views, watch.painted.size() + (rebuilt ? 1 : 0));
  }
  state.counters["listing_rebuilds"] = double(model.listing().rebuilds() - rebuildsBefore);
  state.counters["grid_resets"] = resets;
  state.counters["views_refreshed"] = double(views);
  state.counters["toggle_ms"] = slowest;
  window.hide();
  popover.hide();
  settings.hide();
  QThreadPool::globalInstance()->waitForDone();
}
BENCHMARK(BM_ToggleFanout)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

}  // namespace
}  // namespace tavolune::bench
