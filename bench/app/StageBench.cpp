// The live stage under a real web engine (run under Xvfb): time to first
// frame, renderer memory, the cost of a paused page, and main-thread stalls
// while the scheme serves files.
#include "bench/app/BenchApplication.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/ArtRuntime.hpp"
#include "app/stage/ArtStageView.hpp"
#include "bench/app/WebBench.hpp"
#include "tests/app/stage/StageFixture.hpp"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWebEngineView>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tavolune::bench {
namespace {

using testsupport::CannedResponse;

constexpr const char* cid = testsupport::stageCID;

const char* animatedPage = R"(<html><body style="margin:0;background:#222">
<canvas id=c width=800 height=600></canvas><script>
var g = document.getElementById('c').getContext('2d'), n = 0;
function draw() { n++; for (var i = 0; i < 200; i++) { g.fillStyle = 'hsl(' + ((n + i) % 360) + ',70%,50%)';
  g.fillRect((i * 37 + n) % 800, (i * 53) % 600, 40, 40); } requestAnimationFrame(draw); }
draw();
</script></body></html>)";

// The shared stage fixture with the animated page in its cache.
struct Media : testsupport::StageMedia {
  Media() { seed("index.html", animatedPage, "text/html"); }
};

Artwork liveWork() {
  Artwork a;
  a.id = "bench:live";
  a.mediaKind = MediaKind::generative;
  a.animationURI = "ipfs://" + std::string(cid) + "/index.html";
  return a;
}

std::unique_ptr<ArtStageView> playingStage(Media& media) {
  auto stage = std::make_unique<ArtStageView>(media.fetcher);
  stage->resize(800, 600);
  stage->show();
  stage->load(liveWork());
  waitUntil([&] { return stage->status().kind == ArtStageView::Status::Kind::playing; }, 30'000);
  return stage;
}

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

// The web engine's helper processes: every descendant of this process
// (renderers are children of the engine's zygote, not of us).
std::vector<pid_t> engineProcesses() {
  std::vector<std::pair<pid_t, pid_t>> parents;
  for (const auto& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    bool ok = false;
    const pid_t pid = entry.toInt(&ok);
    if (!ok) continue;
    QFile stat("/proc/" + entry + "/stat");
    if (!stat.open(QIODevice::ReadOnly)) continue;
    const QByteArray text = stat.readAll();
    const auto fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() > 2) parents.emplace_back(pid, pid_t(fields[1].toInt()));
  }
  std::vector<pid_t> out{getpid()};
  for (std::size_t i = 0; i < out.size(); ++i) {
    for (const auto& [pid, parent] : parents) {
      if (parent == out[i]) out.push_back(pid);
    }
  }
  out.erase(out.begin());
  return out;
}

double pssMiB(pid_t pid) {
  QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : file.readAll().split('\n')) {
    if (line.startsWith("Pss:")) return line.mid(4).trimmed().split(' ').first().toDouble() / 1024.0;
  }
  return 0;
}

double enginePssMiB() {
  double total = 0;
  for (pid_t pid : engineProcesses()) total += pssMiB(pid);
  return total;
}

// CPU seconds (user + system) of this process and its engine helpers.
double cpuSeconds() {
  auto of = [](pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return 0.0;
    const QByteArray text = stat.readAll();
    const auto fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
  };
  double total = of(getpid());
  for (pid_t pid : engineProcesses()) total += of(pid);
  return total;
}

// The longest gap between ticks of a 1 ms timer beyond its interval.
struct StallMeter {
  QTimer timer;
  QElapsedTimer clock;
  qint64 last = 0;
  qint64 worst = 0;
  StallMeter() {
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(1);
    QObject::connect(&timer, &QTimer::timeout, [this] {
      const qint64 now = clock.nsecsElapsed();
      worst = std::max(worst, now - last);
      last = now;
    });
    clock.start();
    timer.start();
  }
  double worstMs() const { return double(worst) / 1e6 - 1.0; }
};

void BM_StageFirstFrame(benchmark::State& state) {
  ensureApp();
  Media media;
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    auto first = playingStage(media);
    state.counters["fresh_process_s"] = double(clock.nsecsElapsed()) / 1e9;
    first.reset();
    std::vector<double> seconds;
    for (int i = 0; i < 10; ++i) {
      clock.restart();
      auto stage = playingStage(media);
      seconds.push_back(double(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["cached_p50_s"] = percentile(seconds, 0.5);
    state.counters["cached_p95_s"] = percentile(seconds, 0.95);
    state.SetIterationTime(percentile(seconds, 0.5));
  }
}
BENCHMARK(BM_StageFirstFrame)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_StageMemory(benchmark::State& state) {
  ensureApp();
  Media media;
  for (auto _ : state) {
    std::vector<std::unique_ptr<ArtStageView>> stages;
    for (int count : {1, 2, 4}) {
      while (int(stages.size()) < count) stages.push_back(playingStage(media));
      waitUntil([] { return false; }, 1000);
      state.counters["pss_MiB_" + std::to_string(count)] = enginePssMiB();
    }
    stages.resize(1);
    waitUntil([] { return false; }, 2000);
    const double before = enginePssMiB();
    for (int i = 0; i < 20; ++i) {
      stages[0]->stop();
      stages[0]->load(liveWork());
      waitUntil([&] { return stages[0]->status().kind == ArtStageView::Status::Kind::playing; }, 30'000);
    }
    waitUntil([] { return false; }, 2000);
    const double after = enginePssMiB();
    state.counters["pss_MiB_1_before_cycles"] = before;
    state.counters["pss_MiB_1_after_20_cycles"] = after;
    state.counters["growth_pct"] = before > 0 ? (after - before) / before * 100 : 0;
  }
}
BENCHMARK(BM_StageMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_StagePaused(benchmark::State& state) {
  ensureApp();
  Media media;
  const int window = 10'000;
  for (auto _ : state) {
    auto stage = playingStage(media);
    double start = cpuSeconds();
    waitUntil([] { return false; }, window);
    state.counters["playing_cpu_pct"] = (cpuSeconds() - start) / (window / 1000.0) * 100;
    stage->pause();
    waitUntil([] { return false; }, 500);
    start = cpuSeconds();
    waitUntil([] { return false; }, window);
    state.counters["paused_cpu_pct"] = (cpuSeconds() - start) / (window / 1000.0) * 100;
  }
}
BENCHMARK(BM_StagePaused)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_StageSchemeStall(benchmark::State& state) {
  ensureApp();
  Media media;
  const std::string file(100 * 1024, 'x');
  for (int i = 0; i < 200; ++i) media.cache->store(file, "ipfs/" + std::string(cid) + "/f" + std::to_string(i), "text/plain");
  media.gateway.otherwise([](const auto&) { return CannedResponse::text("slow").after(std::chrono::seconds(3)); });
  for (auto _ : state) {
    QWebEngineView view;
    auto* page = ArtRuntime::configuration(media.fetcher, &view);
    view.setPage(page);
    view.resize(400, 300);
    view.show();
    bool loaded = false;
    QObject::connect(page, &QWebEnginePage::loadFinished, [&](bool) { loaded = true; });
    page->loadArtwork(QUrl(QStringLiteral("tavolune://local/ipfs/%1/index.html").arg(cid)));
    waitUntil([&] { return loaded; }, 30'000);

    auto run = [&](const QString& script, const QString& doneCheck) {
      StallMeter meter;
      page->runJavaScript(script);
      auto done = std::make_shared<bool>(false);
      waitUntil(
          [&] {
            page->runJavaScript(doneCheck, [done](const QVariant& v) { *done = v.toBool(); });
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            return *done;
          },
          30'000);
      return meter.worstMs();
    };
    state.counters["stall_ms_idle_page"] = run("window.t0 = Date.now()", "Date.now() - window.t0 > 2000");
    // The same burst of requests without our scheme: the engine's own share.
    state.counters["stall_ms_200_blob"] =
        run("window.b = 0; const blob = URL.createObjectURL(new Blob(['x'.repeat(102400)]));"
            "for (let i = 0; i < 200; i++) { const x = new XMLHttpRequest();"
            "x.open('GET', blob); x.onloadend = () => b++; x.send(); }",
            "window.b === 200");
    state.counters["stall_ms_200_cached"] =
        run("window.n = 0; for (let i = 0; i < 200; i++) { const x = new XMLHttpRequest();"
            "x.open('GET', 'f' + i); x.onloadend = () => n++; x.send(); }",
            "window.n === 200");
    state.counters["stall_ms_8_slow"] =
        run("window.m = 0; for (let i = 0; i < 8; i++) { const x = new XMLHttpRequest();"
            "x.open('GET', 'slow' + i); x.onloadend = () => m++; x.send(); }",
            "window.m === 8");
  }
}
BENCHMARK(BM_StageSchemeStall)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tavolune::bench
