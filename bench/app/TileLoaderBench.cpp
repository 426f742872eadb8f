#include "app/components/ThumbnailLoader.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QImage>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tavolune::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Results come back through the event loop.
void ensureApplication() {
  static int argc = 1;
  static char name[] = "tavolune_bench";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

void spinUntil(const std::function<bool()>& done) {
  const auto limit = Clock::now() + std::chrono::seconds(30);
  while (!done() && Clock::now() < limit) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

struct Grid {
  std::shared_ptr<testsupport::FakeImageSource> source = std::make_shared<testsupport::FakeImageSource>();
  ImagePipeline pipeline{source};
  std::vector<Artwork> works;
  int notes = 0;
  ThumbnailLoader loader{pipeline, [this](const Artwork&, const QImage&) { ++notes; }};

  explicit Grid(int count) {
    const QByteArray png = testsupport::FakeImageSource::png(QImage(64, 64, QImage::Format_RGB32));
    source->setLatency(std::chrono::milliseconds(2));  // a fast gateway
    for (int i = 0; i < count; ++i) {
      const std::string uri = "https://media.test/" + std::to_string(i) + ".png";
      source->serve(uri, png, "image/png");
      works.push_back(Artwork::make({.contract = "0xbench", .tokenId = std::to_string(i), .title = "Tile", .imageURI = uri}));
    }
  }
  // Every cell asks as it is painted, several times while it stays in view.
  double requestAll(int repeats) {
    const auto t0 = Clock::now();
    for (int r = 0; r < repeats; ++r)
      for (const Artwork& a : works) loader.request(a, 520);
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
  }
};

// 200 cells scroll into view and straight out again; then 200 scroll in and
// stay until loaded. Counters: fetches that still began after the scroll
// away (at most the pool's threads), fetches on the main thread, the most
// fetches of one key while the cells stayed, and the main thread's cost of
// the requests.
void BM_TileLoader(benchmark::State& state) {
  ensureApplication();
  const int count = int(state.range(0));
  const auto mainThread = std::this_thread::get_id();
  double afterScroll = 0, onMain = 0, perKey = 0, requestUs = 0, notes = 0;
  for (auto _ : state) {
    {
      Grid passing(count);
      requestUs += passing.requestAll(2);
      passing.loader.cancelAllExcept({});
      spinUntil([&] { return passing.loader.running() == 0; });
      afterScroll += passing.source->count();
      onMain += passing.source->countOnThread(mainThread);
    }
    Grid staying(count);
    int changed = 0;
    QObject::connect(&staying.loader, &ThumbnailLoader::thumbnailChanged, [&] { ++changed; });
    requestUs += staying.requestAll(3);
    spinUntil([&] { return changed >= count; });
    perKey = std::max(perKey, double(staying.source->mostPerURI()));
    onMain += staying.source->countOnThread(mainThread);
    notes += staying.notes;
  }
  const double n = double(state.iterations());
  state.counters["fetched_after_scroll_away"] = afterScroll / n;
  state.counters["main_thread_fetches"] = onMain;
  state.counters["max_fetches_per_key"] = perKey;
  state.counters["ratio_notes"] = notes / n;
  state.counters["request_us"] = requestUs / n;
}
BENCHMARK(BM_TileLoader)->Arg(200)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace tavolune::bench
