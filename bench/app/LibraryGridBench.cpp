// The library grid over 20,000 works, offscreen, with stills from a fake
// gateway that answers real JPEG bytes after 5 to 50 ms.
#include "app/components/ArtworkTile.hpp"
#include "app/components/ThumbnailLoader.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/library/LibraryGrid.hpp"
#include "app/library/LibraryGridView.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/library/SelectionBar.hpp"
#include "app/menubar/MenuBarContent.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/LoginItem.hpp"
#include "app/model/SettingsState.hpp"
#include "app/model/WindowManager.hpp"
#include "app/render/ImagePipeline.hpp"
#include "app/settings/SettingsView.hpp"
#include "core/persistence/LibraryStore.hpp"

#include "bench/app/BenchApplication.hpp"
#include "bench/app/BenchPopover.hpp"
#include "bench/app/MotionFrames.hpp"
#include "tests/app/desktop/DesktopFakes.hpp"
#include "tests/support/ModelEdits.hpp"
#include "tests/support/OfflineOptions.hpp"
#include "tests/support/fakes/FakeAutostartService.hpp"

#include <QBuffer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QSettings>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace tavolune::bench {

LibraryState realisticLibrary(std::size_t count);

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// CPU time of the calling thread: what the main thread spent, whatever
// else the machine runs.
double threadMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, std::size_t(p * double(v.size())))];
}

// JPEG bytes of a few real pictures after 5...50 ms; counts fetches on the
// main thread and fetches still running for works far from the view.
class SlowJpegSource final : public ImageSource {
 public:
  SlowJpegSource() : main_(std::this_thread::get_id()) {
    for (int i = 0; i < 4; ++i) {
      QImage image(640 - i * 60, 420 + i * 50, QImage::Format_RGB32);
      QPainter p(&image);
      p.fillRect(image.rect(), QColor::fromHsv(i * 80, 160, 200));
      p.setPen(Qt::white);
      for (int y = 0; y < image.height(); y += 9) p.drawLine(0, y, image.width(), image.height() - y);
      p.end();
      QBuffer buffer(&jpegs_[i]);
      buffer.open(QIODevice::WriteOnly);
      image.save(&buffer, "jpeg", 85);
    }
  }
  FetchedMedia fetch(const std::string& uri, std::chrono::milliseconds, std::stop_token stop) override {
    if (std::this_thread::get_id() == main_) ++onMain;
    ++fetches;
    const auto delay = std::chrono::milliseconds(5 + int(std::hash<std::string>{}(uri) % 46));
    {
      std::unique_lock lock(mutex_);
      ++active_[uri];
      std::condition_variable_any wake;
      wake.wait_for(lock, stop, delay, [] { return false; });
      if (--active_[uri] == 0) active_.erase(uri);
    }
    if (stop.stop_requested()) throw std::runtime_error("cancelled");
    return {jpegs_[std::hash<std::string>{}(uri) % 4], "image/jpeg"};
  }
  std::vector<std::string> active() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [uri, n] : active_) out.push_back(uri);
    return out;
  }
  std::atomic<int> onMain{0};
  std::atomic<int> fetches{0};

 private:
  std::thread::id main_;
  QByteArray jpegs_[4];
  mutable std::mutex mutex_;
  std::map<std::string, int> active_;
};

// The windows open beside the library window: the tray popover and the
// settings window on its General tab, over a desktop of one display.
struct OtherViews {
  testsupport::DesktopFakes fakes;
  testsupport::FakeAutostartService autostart;
  DesktopController desktop;
  LoginItem login{autostart, fakes.log};
  WindowManager windows;
  MenuBarContent popover;
  SettingsState tab;
  SettingsView settings;

  OtherViews(AppModel& model, const fs::path& root)
      : desktop(model, oneDisplay(fakes), root / "Wallpapers"),
        popover(popoverServices(model, desktop, windows)),
        settings({.model = model, .desktop = desktop, .login = login, .build = {"1.0", "1", ""}}, tab) {
    desktop.refreshScreens(false);
    popover.show();
    settings.resize(580, 640);
    settings.show();
  }
  static DesktopController::Services oneDisplay(testsupport::DesktopFakes& fakes) {
    fakes.displays.set({mainDisplay()});
    return fakes.services();
  }
};

struct GridBench {
  fs::path root;
  std::unique_ptr<AppModel> model;
  std::shared_ptr<SlowJpegSource> source = std::make_shared<SlowJpegSource>();
  std::unique_ptr<ImagePipeline> pipeline = std::make_unique<ImagePipeline>(source);
  LibraryWindowState state;
  std::unique_ptr<LibraryWindow> window;
  std::unique_ptr<OtherViews> others;
  LibraryGrid* grid = nullptr;
  int edits = 0;
  int changed = 0;

  explicit GridBench(std::size_t works, LibraryState library = {}) {
    ensureApp();
    root = fs::temp_directory_path() / ("tavolune-gridbench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(root.string()));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    LibraryStore(root / "library.json").save(works ? realisticLibrary(works) : library);
    model = std::make_unique<AppModel>(testsupport::offlineOptions(root));
    model->load();
    while (!model->isLoaded()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QObject::connect(model.get(), &AppModel::libraryChanged, [this](const LibraryChange& change) {
      ++edits;
      if (change.desktop) ++changed;
    });
  }
  void open(QSize size, double tile) {
    LibraryWindow::Hosted hosted;
    hosted.grid = [this](LibraryWindow& w) {
      LibraryGrid::Services s;
      s.pipeline = pipeline.get();
      grid = new LibraryGrid(w, std::move(s));
      return static_cast<QWidget*>(grid);
    };
    window = std::make_unique<LibraryWindow>(LibraryWindow::Services{.model = *model}, hosted, state);
    window->setTileSize(tile);
    window->resize(size);
    window->show();
    // Past the column reflow.
    const auto until = Clock::now() + std::chrono::milliseconds(300);
    while (Clock::now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  void openOthers() { others = std::make_unique<OtherViews>(*model, root); }
  ~GridBench() {
    window.reset();
    others.reset();
    model.reset();
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void spinFor(std::chrono::milliseconds d) {
    const auto until = Clock::now() + d;
    while (Clock::now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
};

// Frames at 60 Hz, each moving half a screen (a fast fling): setting the
// scroll position, painting what scrolled in and handling what arrived
// count as the frame's main-thread time.
// Resident memory of the process, in MiB.
double residentMiB() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return double(resident) * double(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

void fling(benchmark::State& state, QSize size, double tile, int passes) {
  GridBench b(std::size_t(state.range(0)));
  const double before = residentMiB();
  b.open(size, tile);
  std::vector<double> afterPass;
  LibraryGridView& view = b.grid->view();
  QScrollBar* bar = view.verticalScrollBar();
  std::vector<double> frames, wall;
  double settle = 0, farActive = 0;
  for (auto _ : state) {
    frames.clear();
    wall.clear();
    const int step = view.viewport()->height() / 2;
    for (int pass = 0; pass < passes; ++pass) {
    bar->setValue(0);
    if (pass > 0) afterPass.push_back(residentMiB());
    for (int v = 0; v <= bar->maximum() + step; v += step) {
      const auto t0 = Clock::now();
      const double c0 = threadMs();
      bar->setValue(std::min(v, bar->maximum()));
      QCoreApplication::processEvents();
      frames.push_back(threadMs() - c0);
      wall.push_back(ms(Clock::now() - t0));
      std::this_thread::sleep_until(t0 + std::chrono::microseconds(16667));
    }
    }
    afterPass.push_back(residentMiB());
    // Stopped: every visible tile shows its still, and nothing far runs.
    const auto stop = Clock::now();
    auto allShown = [&] {
      const auto [first, last] = view.visibleRows();
      for (int r = std::max(0, first); r <= last; ++r) {
        const Artwork& a = b.model->state().artworks.at(b.grid->items()[std::size_t(r)]);
        if (b.grid->loader().cached(a, ArtworkTile::maxPixel).isNull()) return false;
      }
      return true;
    };
    while (!allShown() && Clock::now() - stop < std::chrono::seconds(3)) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    settle = ms(Clock::now() - stop);
    const auto [first, last] = view.visibleRows();
    const int screen = last - first + 1;
    std::unordered_map<std::string, int> rowOf;
    for (std::size_t r = 0; r < b.grid->items().size(); ++r) rowOf[b.grid->items()[r]] = int(r);
    farActive = 0;
    for (const auto& [id, a] : b.model->state().artworks) {
      (void)id;
      const auto it = rowOf.find(a.id);
      if (it == rowOf.end()) continue;
      const bool far = it->second < first - screen || it->second > last + screen;
      for (const auto& uri : b.source->active()) {
        if (far && (a.thumbnailURI == uri || a.imageURI == uri)) ++farActive;
      }
    }
  }
  if (b.source->onMain > 0) state.SkipWithError("fetched on the main thread");
  state.counters["frames"] = double(frames.size());
  state.counters["rss_growth_mib"] = afterPass.back() - before;
  if (afterPass.size() >= 2) {
    state.counters["second_pass_growth_pct"] = 100.0 * (afterPass.back() - afterPass.front()) / afterPass.front();
  }
  state.counters["frame_p95_ms"] = percentile(frames, 0.95);
  state.counters["frame_max_ms"] = percentile(frames, 1.0);
  state.counters["wall_p95_ms"] = percentile(wall, 0.95);
  state.counters["wall_max_ms"] = percentile(wall, 1.0);
  state.counters["settle_ms"] = settle;
  state.counters["fetches"] = b.source->fetches.load();
  state.counters["main_thread_fetches"] = b.source->onMain.load();
  state.counters["far_fetches_running"] = farActive;
}

void BM_GridScroll(benchmark::State& state) { fling(state, {1180, 760}, 170, 1); }
// Twice through, for the memory a second pass adds.
void BM_GridScrollLarge(benchmark::State& state) { fling(state, {1920, 1080}, 110, 2); }
BENCHMARK(BM_GridScroll)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_GridScrollLarge)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The selection bar's entrance with the grid's padding, then a column change
// (the tile-size spring), on a 1920x1080 grid at tile 110 whose visible
// stills have loaded: each frame's main-thread time.
void BM_GridMotion(benchmark::State& state) {
  GridBench b(std::size_t(state.range(0)));
  b.open({1920, 1080}, 110);
  LibraryGridView& view = b.grid->view();
  const auto stillsShown = [&] {
    const auto [first, last] = view.visibleRows();
    for (int r = std::max(0, first); r <= last; ++r) {
      const Artwork& a = b.model->state().artworks.at(b.grid->items()[std::size_t(r)]);
      if (b.grid->loader().cached(a, ArtworkTile::maxPixel).isNull()) return false;
    }
    return first >= 0;
  };
  const auto until = Clock::now() + std::chrono::seconds(10);
  while (!stillsShown() && Clock::now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  // The ratios the stills taught the model, and its save, are behind us.
  for (int quiet = -1; quiet != b.edits && Clock::now() < until + std::chrono::seconds(10);) {
    quiet = b.edits;
    b.spinFor(std::chrono::milliseconds(2500));
  }
  const auto moving = [&] { return view.isMoving() || !b.grid->findChildren<ScaleFadeEffect*>().isEmpty(); };
  std::vector<double> frames;
  int columns = 0;
  for (auto _ : state) {
    frames.clear();
    b.state.setSelection({b.grid->items()[3]});
    motionFrames(view.viewport(), moving, frames);
    state.counters["bar_frames"] = double(frames.size());
    const int before = view.columnCount();
    b.window->setTileSize(150);
    motionFrames(view.viewport(), moving, frames);
    columns = before - view.columnCount();
  }
  if (columns <= 0) state.SkipWithError("the columns did not change");
  state.counters["frames"] = double(frames.size());
  state.counters["frame_p95_ms"] = framePercentile(frames, 0.95);
  state.counters["frame_max_ms"] = framePercentile(frames, 1.0);
}
BENCHMARK(BM_GridMotion)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// Five letters typed into the search field; each to its repainted grid.
void BM_SearchKeystroke(benchmark::State& state) {
  GridBench b(std::size_t(state.range(0)));
  b.open({1180, 760}, 170);
  QLineEdit* search = b.window->findChild<QLineEdit*>();
  std::vector<double> times;
  int sidebarRecounts = 0;
  for (auto _ : state) {
    search->setText({});
    LibraryFilter f = b.window->filter();
    f.search.clear();
    b.window->setFilter(f);
    const std::uint64_t revision = b.model->state().revision();
    for (const char c : std::string("night")) {
      const auto t0 = Clock::now();
      QKeyEvent key(QEvent::KeyPress, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(QChar(c)));
      QCoreApplication::sendEvent(search, &key);
      b.grid->view().viewport()->repaint();
      times.push_back(ms(Clock::now() - t0));
    }
    sidebarRecounts += b.model->state().revision() != revision;
  }
  state.counters["keystroke_p95_ms"] = percentile(times, 0.95);
  state.counters["keystroke_max_ms"] = percentile(times, 1.0);
  state.counters["library_revisions"] = sidebarRecounts;
}
BENCHMARK(BM_SearchKeystroke)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

// Ctrl+A and "s" over the collection, Delete on 1,000, one toggle, with the
// popover and the settings window open too: each to the repainted views,
// one edit of the library (the saves coalesce, so the edits are what each
// save replays) and one library-changed call.
void BM_GridEdit(benchmark::State& state) {
  GridBench b(std::size_t(state.range(0)));
  b.openOthers();
  b.open({1180, 760}, 170);
  LibraryGridView& view = b.grid->view();
  auto press = [&](int key, Qt::KeyboardModifiers m, const QString& text) {
    QKeyEvent e(QEvent::KeyPress, key, m, text);
    QCoreApplication::sendEvent(&view, &e);
    view.viewport()->repaint();
  };
  double selectS = 0, del = 0, toggle = 0;
  int worstEdits = 0, worstChanged = 0, works = 0;
  auto measure = [&](const std::function<void()>& edit, double& out) {
    const int edits = b.edits, changed = b.changed;
    const auto t0 = Clock::now();
    edit();
    // The views follow the model's report of the turn, then paint.
    deliverChanges(*b.model);
    view.viewport()->repaint();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    out = std::max(out, ms(Clock::now() - t0));
    // Counted before the spin: ratios noted from decoded thumbnails are edits too.
    worstEdits = std::max(worstEdits, b.edits - edits);
    b.spinFor(std::chrono::milliseconds(3500));  // past the save delay and the write
    worstChanged = std::max(worstChanged, b.changed - changed);
  };
  for (auto _ : state) {
    works = int(b.grid->items().size());
    measure([&] {
      press(Qt::Key_A, Qt::ControlModifier, QStringLiteral("\x01"));
      press(Qt::Key_S, {}, QStringLiteral("s"));
    }, selectS);
    measure([&] {
      IdSet thousand(b.grid->items().begin(), b.grid->items().begin() + 1000);
      b.state.setFocused(b.grid->items().front());
      b.state.setSelection(std::move(thousand));
      press(Qt::Key_Delete, {}, {});
    }, del);
    measure([&] {
      b.state.setSelection({b.grid->items().front()});
      press(Qt::Key_S, {}, QStringLiteral("s"));
    }, toggle);
  }
  state.counters["listed"] = works;
  state.counters["select_all_s_ms"] = selectS;
  state.counters["delete_1000_ms"] = del;
  state.counters["toggle_ms"] = toggle;
  state.counters["library_edits_per_edit"] = worstEdits;
  state.counters["library_changed_per_edit"] = worstChanged;
}
BENCHMARK(BM_GridEdit)->Arg(20000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
}  // namespace tavolune::bench
