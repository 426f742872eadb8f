// The off-screen probe and the model's formats under a real web engine (run
// under Xvfb): a measurement and a still against the waits they are built
// from, probe memory over repeated stills, and bulk measuring from a
// loopback gateway.
#include "app/model/AppModel.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/LayoutProbe.hpp"
#include "bench/app/WebBench.hpp"
#include "tests/app/stage/StageFixture.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <atomic>
#include <functional>
#include <thread>

namespace tavolune::bench {
namespace {

using testsupport::CannedResponse;

const char* fastPage = R"html(<html><body style="margin:0;background:#123">
<canvas width=800 height=600 style="display:block;background:#c84"></canvas></body></html>)html";
const char* flaggedPage = R"html(<html><body style="margin:0;background:rgb(0,120,200)">
<script>requestAnimationFrame(function () { window.__tavoluneRendered = true; });</script></body></html>)html";

// Resident memory of this process and every engine helper under it, MiB.
double residentMiB() {
  auto rss = [](const QString& pid) {
    QFile status("/proc/" + pid + "/status");
    if (!status.open(QIODevice::ReadOnly)) return 0.0;
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0.0;
  };
  std::vector<std::pair<QString, QString>> parents;
  for (const auto& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    QFile stat("/proc/" + entry + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray text = stat.readAll();
    const auto fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 2) parents.emplace_back(entry, QString::fromLatin1(fields[1]));
  }
  std::vector<QString> tree{QString::number(getpid())};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    for (const auto& [pid, parent] : parents) {
      if (parent == tree[i]) tree.push_back(pid);
    }
  }
  double total = 0;
  for (const auto& pid : tree) total += rss(pid);
  return total;
}

Artwork pageWork(const std::string& path) {
  Artwork a;
  a.id = "bench:" + path;
  a.mediaKind = MediaKind::generative;
  a.animationURI = "ipfs://" + std::string(testsupport::stageCID) + "/" + path;
  return a;
}

// Seconds from load to loadFinished of the page in a plain web view.
double loadSeconds(testsupport::StageMedia& media, const std::string& path, QSize size) {
  QWebEngineView view;
  auto* page = ArtRuntime::configuration(media.fetcher, &view);
  view.setPage(page);
  view.resize(size);
  view.show();
  bool finished = false;
  QObject::connect(page, &QWebEnginePage::loadFinished, &view, [&](bool) { finished = true; });
  QElapsedTimer clock;
  clock.start();
  page->loadArtwork(QUrl(QString::fromStdString(testsupport::StageMedia::local(path))));
  waitUntil([&] { return finished; }, 20'000);
  return double(clock.nsecsElapsed()) / 1e9;
}

void BM_ProbeMeasure(benchmark::State& state) {
  ensureApp();
  testsupport::StageMedia media;
  media.seed("fast.html", fastPage, "text/html");
  const double load = loadSeconds(media, "fast.html", QSize(1600, 1000));
  double worst = 0;
  for (auto _ : state) {
    LayoutProbe probe(media.fetcher);
    bool answered = false;
    QElapsedTimer clock;
    clock.start();
    probe.measure(pageWork("fast.html"), SeriesFormats::measureSettleSeconds,
                  [&](std::optional<RenderProfile>) { answered = true; });
    waitUntil([&] { return answered; }, 60'000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    worst = std::max(worst, seconds);
    state.SetIterationTime(seconds);
    if (probe.samples().size() != 2) state.SkipWithError("a viewport gave no sample");
  }
  const double bound = 2 * (load + SeriesFormats::measureSettleSeconds);
  state.counters["bound_s"] = bound;
  state.counters["worst_over_bound"] = worst / bound;
}
BENCHMARK(BM_ProbeMeasure)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RenderStill(benchmark::State& state) {
  ensureApp();
  testsupport::StageMedia media;
  media.seed("flagged.html", flaggedPage, "text/html");
  const QSize size(1920, 1080);
  const double load = loadSeconds(media, "flagged.html", size);
  double worst = 0, peak = 0, afterFirst = 0, afterLast = 0;
  int probes = 0;
  for (auto _ : state) {
    bool answered = false;
    bool rendered = false;
    {
      LayoutProbe probe(media.fetcher);
      QElapsedTimer clock;
      clock.start();
      probe.renderStill(pageWork("flagged.html"), size, 1, SeriesFormats::stillMaxWaitSeconds,
                        [&](ProbeService::Still s) {
                          answered = true;
                          rendered = s.ending == ProbeService::Ending::rendered && s.image.size() == size;
                        });
      QElapsedTimer sampled;
      sampled.start();
      waitUntil([&] { return answered; }, 60'000, [&] {
        if (sampled.elapsed() < 100) return;  // reading /proc costs a few ms
        sampled.restart();
        peak = std::max(peak, residentMiB());
      });
      const double seconds = double(clock.nsecsElapsed()) / 1e9;
      worst = std::max(worst, seconds);
      state.SetIterationTime(seconds);
    }
    if (!rendered) state.SkipWithError("no still from the flag");
    // Let the torn-down page and its renderer go.
    state.PauseTiming();
    waitUntil([] { return false; }, 1500);
    const double now = residentMiB();
    if (++probes == 1) afterFirst = now;
    afterLast = now;
    state.ResumeTiming();
  }
  const double bound = load + 1.6;
  state.counters["bound_s"] = bound;
  state.counters["worst_over_bound"] = worst / bound;
  state.counters["peak_MiB"] = peak;
  state.counters["after_first_MiB"] = afterFirst;
  state.counters["after_last_MiB"] = afterLast;
}
BENCHMARK(BM_RenderStill)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_MeasureFormats(benchmark::State& state) {
  ensureApp();
  const auto count = std::size_t(state.range(0));
  QImage thumb(240, 160, QImage::Format_RGB32);
  thumb.fill(Qt::darkCyan);
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  thumb.save(&buffer, "png");

  testsupport::LoopbackServer gateway;
  std::atomic<int> now{0}, most{0};
  gateway.otherwise([&](const auto&) {
    const int n = ++now;
    for (int seen = most; n > seen && !most.compare_exchange_weak(seen, n);) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // a gateway's latency
    --now;
    return CannedResponse{.status = 200, .body = png.toStdString(), .contentType = "image/png"};
  });

  double writes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir dir;
    AppModel::Options o;
    o.storeURL = dir.path().toStdString() + "/library.json";
    o.cacheDirectory = dir.path().toStdString() + "/Media";
    o.services.gateways = {gateway.baseURL()};
    AppModel model(std::move(o));
    model.load();
    waitUntil([&] { return model.isLoaded(); }, 10'000);
    const Wallet w = Wallet::make(Uuid::random(), "w", "0xabc", "0xabc", std::nullopt, ChainFamily::evm);
    seedLibrary(model, [w, count](LibraryState& s) {
      s.wallets.push_back(w);
      for (std::size_t i = 0; i < count; ++i) {
        Artwork a = Artwork::make({.chain = Chain::ethereum, .contract = "0xbench", .tokenId = std::to_string(i),
                                   .title = "Work " + std::to_string(i), .mediaKind = MediaKind::image});
        a.thumbnailURI = "ipfs://QmBenchThumb" + std::to_string(i);
        s.artworks[a.id] = a;
        s.ownerships[w.id][a.id] = 1;
      }
      s.touch();
    });
    int edits = 0;
    QObject::connect(&model, &AppModel::libraryChanged, &model, [&] { ++edits; });
    bool done = false;
    state.ResumeTiming();
    model.formats().measureFormats([&] { done = true; });
    waitUntil([&] { return done; }, 120'000);
    state.PauseTiming();
    writes = edits;
    state.ResumeTiming();
  }
  state.counters["most_in_flight"] = most.load();
  state.counters["writes"] = writes;
  state.counters["expected_writes"] = double((count + SeriesFormats::formatBatch - 1) / SeriesFormats::formatBatch);
}
BENCHMARK(BM_MeasureFormats)->Arg(500)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolune::bench
