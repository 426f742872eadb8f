#include "app/library/LibraryWindow.hpp"
#include "app/library/LibrarySidebar.hpp"
#include "app/library/SidebarRow.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/WindowManager.hpp"
#include "core/persistence/LibraryStore.hpp"

#include "bench/app/BenchApplication.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QApplication>
#include <QElapsedTimer>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace tavolune::bench {

LibraryState realisticLibrary(std::size_t count);

namespace {

namespace fs = std::filesystem;

struct LoadedLibrary {
  fs::path root;
  std::unique_ptr<AppModel> model;
  explicit LoadedLibrary(std::size_t works) {
    root = fs::temp_directory_path() / ("tavolune-librarybench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(root.string()));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    LibraryStore(root / "library.json").save(realisticLibrary(works));
    AppModel::Options o;
    o.storeURL = root / "library.json";
    o.cacheDirectory = root / "Media";
    model = std::make_unique<AppModel>(o);
    model->load();
    while (!model->isLoaded()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  ~LoadedLibrary() {
    model.reset();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
};

// showLibrary() to the first frame painted with the sidebar's counts, then
// closed again. A fresh library revision makes every open a first open.
void openAndClose(benchmark::State& state, bool freshRevision) {
  bench::ensureApp();
  LoadedLibrary library(static_cast<std::size_t>(state.range(0)));
  WindowManager windows;
  LibraryWindow::registerWith(windows, {.model = *library.model}, {});
  windows.showLibrary();  // warms fonts and styles
  windows.close(QStringLiteral("library"));
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  for (auto _ : state) {
    if (freshRevision) {
      state.PauseTiming();
      seedLibrary(*library.model, [](LibraryState&) {});
      state.ResumeTiming();
    }
    QWidget* window = windows.showLibrary();
    const QImage frame = window->grab().toImage();
    auto* content = window->findChild<LibraryWindow*>();
    benchmark::DoNotOptimize(frame.constBits());
    if (!content || !content->sidebar().row(SidebarItem::all())->count()) state.SkipWithError("no counts");
    state.PauseTiming();
    windows.close(QStringLiteral("library"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    state.ResumeTiming();
  }
}

void BM_LibraryWindowOpen(benchmark::State& state) { openAndClose(state, true); }
void BM_LibraryWindowReopen(benchmark::State& state) { openAndClose(state, false); }

BENCHMARK(BM_LibraryWindowOpen)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_LibraryWindowReopen)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace tavolune::bench
