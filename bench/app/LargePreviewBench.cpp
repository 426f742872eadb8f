#include "app/inspector/LargePreview.hpp"
#include "app/library/LibraryWindow.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"

#include "bench/app/BenchApplication.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QElapsedTimer>
#include <QKeyEvent>
#include <QSettings>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <algorithm>
#include <filesystem>

namespace tavolune::bench {
namespace {

namespace fs = std::filesystem;

// An arrow step in the large preview, from the key press to the next
// preview painted. Arg 1: every neighbour's still is in memory; the step
// should repaint within a frame. Arg 0: nothing is cached and every fetch
// takes 200 ms on the pool; the step must not wait for it (the placeholder
// shows), so its time stays a frame's too.
void BM_LargePreviewStep(benchmark::State& state) {
  ensureApp();
  const bool cached = state.range(0) == 1;
  const fs::path root = fs::temp_directory_path() / ("tavolune-previewbench-" + std::to_string(::getpid()));
  fs::create_directories(root);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(root.string()));
  QSettings::setDefaultFormat(QSettings::IniFormat);
  {
    AppModel::Options o;
    o.storeURL = root / "library.json";
    o.cacheDirectory = root / "Media";
    AppModel model(o);
    model.load();
    while (!model.isLoaded()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);

    auto source = std::make_shared<testsupport::FakeImageSource>();
    ImagePipeline pipeline(source);
    QThreadPool pool;
    LibraryWindowState windowState;
    const Wallet owner = Wallet::make(Uuid::random(), "w", "tz1", "tz1", std::nullopt, ChainFamily::tezos);
    std::vector<Artwork> works;
    // Cached: as many as the memory cache keeps whole at once, so that no
    // step finds its still evicted and shows the placeholder instead.
    const int count = cached ? int(ImagePipeline::memoryCostLimit / (2400 * 1600 * 4)) - 1 : 40;
    for (int i = 0; i < count; ++i) {
      works.push_back(Artwork::make({.chain = Chain::tezos, .contract = "KT1Bench", .tokenId = std::to_string(i),
                                     .title = "Work " + std::to_string(i), .mediaKind = MediaKind::image,
                                     .imageURI = "https://media.test/" + std::to_string(i) + ".png"}));
      QImage still(2400, 1600, QImage::Format_RGB32);
      still.fill(QColor::fromHsv(i * 9 % 360, 160, 200));
      if (cached) {
        pipeline.memory().insert(ImagePipeline::cacheKey(works.back(), LargePreview::stillPixels), still,
                                 still.sizeInBytes());
      } else {
        source->serve(*works.back().imageURI, still);
      }
    }
    std::vector<std::string> listed;
    for (const auto& a : works) listed.push_back(a.id);
    windowState.setListed(std::move(listed));
    source->setLatency(std::chrono::milliseconds(200));
    seedLibrary(model, [owner, works](LibraryState& s) {
      s.wallets.push_back(owner);
      for (const auto& a : works) {
        s.artworks[a.id] = a;
        s.ownerships[owner.id][a.id] = 1;
      }
    });

    LibraryWindow::Hosted hosted;
    hosted.largePreview = [&](LibraryWindow& window, const Artwork& artwork) -> QWidget* {
      return new LargePreview({model, {pipeline, pool, {}}, {}}, window.windowState(), artwork);
    };
    LibraryWindow window({.model = model}, hosted, windowState);
    window.resize(1180, 760);
    window.show();
    windowState.setBigPreview(works.front().id);
    QCoreApplication::processEvents();

    int step = +1;
    QElapsedTimer worst;
    double worstMs = 0;
    std::vector<double> steps;
    for (auto _ : state) {
      const auto& shown = *windowState.bigPreview();
      if (shown == works.back().id) step = -1;
      if (shown == works.front().id) step = +1;
      worst.start();
      QKeyEvent press(QEvent::KeyPress, step > 0 ? Qt::Key_Right : Qt::Key_Left, Qt::NoModifier);
      QCoreApplication::sendEvent(window.largePreview(), &press);
      window.largePreview()->repaint();  // the new preview, painted now
      steps.push_back(worst.nsecsElapsed() / 1e6);
      worstMs = std::max(worstMs, steps.back());
      state.PauseTiming();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      QCoreApplication::processEvents();
      state.ResumeTiming();
    }
    state.counters["worst_ms"] = worstMs;
    std::nth_element(steps.begin(), steps.begin() + std::ptrdiff_t(steps.size() / 2), steps.end());
    state.counters["median_ms"] = steps[steps.size() / 2];
    pool.clear();
    pool.waitForDone();
  }
  std::error_code ec;
  fs::remove_all(root, ec);
}
BENCHMARK(BM_LargePreviewStep)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(60);

}  // namespace
}  // namespace tavolune::bench
