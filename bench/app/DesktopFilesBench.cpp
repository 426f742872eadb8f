// What the desktop leaves behind and how it copes: the wallpaper files after
// many rotations with bursts of rapid advances, a storm of display changes
// on a private Xvfb, and how often a fast pass finds the still that
// pre-rendering made.

#include "app/desktop/DesktopFormats.hpp"
#include "app/platform/linux/X11DisplaySource.hpp"
#include "bench/app/DesktopBenchRig.hpp"
#include "tests/app/platform/PrivateDesktop.hpp"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <map>
#include <set>

namespace tavolune::bench {
namespace {

QByteArray flatPNG(int index) {
  QImage image(640, 480, QImage::Format_RGB32);
  image.fill(QColor::fromHsv((index * 37) % 360, 200, 200));
  return encodedImage(image, "png");
}

DesktopController::Timings quickTimings() {
  DesktopController::Timings t;
  t.screensDebounce = std::chrono::milliseconds(1000);
  t.prerenderWait = std::chrono::hours(1);
  t.cartelSeconds = 0.2;
  return t;
}

// 200 rotations over two displays, a fifth of them single advances and the
// rest in bursts of five rapid advances; then the files on disk.
void BM_WallpaperFiles(benchmark::State& state) {
  const int rotations = int(state.range(0));
  int filesMax = 0, filesMin = 0, temporaries = 0, bursts = 0;
  for (auto _ : state) {
    DesktopBenchRig rig;
    for (int i = 0; i < 12; ++i) rig.addWork(i, MediaKind::image, flatPNG(i), "image/png");
    const QString keys[] = {QStringLiteral("display-1"), QStringLiteral("display-2")};
    rig.displays.set({benchDisplay(keys[0], 1, QRect(0, 0, 1280, 720)),
                      benchDisplay(keys[1], 2, QRect(1280, 0, 1280, 720), false)});
    UnmeasuredFormats formats;
    auto& c = rig.make(rig.displays, rig.wallpapers, formats, quickTimings());
    c.start();
    spinUntil([&] { return c.preparing().empty(); });
    bursts = 0;
    for (int done = 0, turn = 0; done < rotations; ++turn) {
      const QString& key = keys[turn % 2];
      const int count = (bursts < 20 && turn % 2 == 0) ? 5 : 1;
      for (int i = 0; i < count; ++i) c.next(key);
      bursts += count == 5 ? 1 : 0;
      done += count;
      spinUntil([&] { return c.preparing().empty(); });
    }
    filesMax = std::max(rig.filesOf(keys[0]), rig.filesOf(keys[1]));
    filesMin = std::min(rig.filesOf(keys[0]), rig.filesOf(keys[1]));
    temporaries = rig.temporaries();
  }
  state.counters["files_per_display"] = filesMax;
  state.counters["files_per_display_min"] = filesMin;
  state.counters["temporaries"] = temporaries;
  state.counters["bursts"] = bursts;
}

// Display changes at a steady pace on a private X server, read through the
// real RandR display source: monitors added and removed.
void BM_DisplayStorm(benchmark::State& state) {
  const int changes = int(state.range(0));
  double refreshes = 0, stray = 0, settleMs = 0, left = 0;
  ensureApp();  // the server's start is watched on the event loop
  for (auto _ : state) {
    testsupport::PrivateXServer x(QStringLiteral("3840x1080x24"));
    if (!x.ok()) {
      state.SkipWithError("Xvfb did not start");
      return;
    }
    DesktopBenchRig rig;
    for (int i = 0; i < 6; ++i) rig.addWork(i, MediaKind::image, flatPNG(i), "image/png");
    X11DisplaySource displays(x.display());
    UnmeasuredFormats formats;
    auto& c = rig.make(displays, rig.wallpapers, formats, quickTimings());
    c.start();
    spinUntil([&] { return c.preparing().empty(); });

    std::vector<qint64> refreshTimes;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&c, &DesktopController::screensChanged, &c, [&] { refreshTimes.push_back(clock.elapsed()); });
    std::set<QString> seen;
    const auto note = [&] {
      for (const auto& d : displays.displays()) seen.insert(d.key);
    };
    note();
    // 5 s: a change every 100 ms; each added monitor goes again two changes later.
    for (int i = 0; i < changes; ++i) {
      const QString name = QStringLiteral("STORM%1").arg(i / 2);
      const QString geometry = QStringLiteral("1280/339x1080/286+%1+0").arg((i / 2 % 3) * 1280);
      if (i % 2 == 0) {
        x.xrandr({QStringLiteral("--setmonitor"), name, geometry, QStringLiteral("none")});
      } else {
        x.xrandr({QStringLiteral("--delmonitor"), name});
      }
      const qint64 slotEnd = (i + 1) * 100;
      spinUntil([&] {
        note();
        return clock.elapsed() >= slotEnd;
      });
    }
    const qint64 stormEnd = clock.elapsed();
    // The quiet period, then the renders of the one refresh.
    spinUntil([&] { return !refreshTimes.empty() && refreshTimes.back() > stormEnd; }, 5000);
    const bool settled = spinUntil([&] { return c.preparing().empty(); }, 10000);
    settleMs = double(clock.elapsed() - stormEnd);
    left = settled ? 0 : double(c.preparing().size());
    spinUntil([&] { return clock.elapsed() > stormEnd + 2500; }, 5000);
    refreshes = double(refreshTimes.size());
    state.counters["displays_seen"] = double(seen.size());
    std::set<QString> connected;
    for (const auto& d : displays.displays()) connected.insert(d.key);
    stray = 0;
    for (const auto& key : seen) {
      if (!connected.contains(key) && (c.cartel(key) || c.liveWindow(key))) ++stray;
    }
  }
  state.counters["refreshes"] = refreshes;
  state.counters["stray_windows"] = stray;
  state.counters["settle_ms"] = settleMs;
  state.counters["preparing_left"] = left;
}

// Rendered stills by work and size; counts how many fast passes (which only
// look) found theirs.
class RenderingFormats final : public DesktopFormats {
 public:
  void profile(const Artwork&, bool, QObject* context, std::function<void()> done) override {
    QTimer::singleShot(0, context, std::move(done));
  }
  void renderedStill(const Artwork& artwork, QSize pixelSize, double, bool computeIfMissing, QObject* context,
                     std::function<void(QImage)> done) override {
    const std::string key = artwork.id + "@" + std::to_string(pixelSize.width()) + "x" +
                            std::to_string(pixelSize.height());
    const bool found = rendered.contains(key);
    if (computeIfMissing) {
      rendered.insert(key);
      ++computed[artwork.id];
    } else {
      ++fastAsks;
      fastHits += found ? 1 : 0;
    }
    QImage still;
    if (found || computeIfMissing) {
      still = QImage(pixelSize, QImage::Format_RGB32);
      still.fill(Qt::darkCyan);
    }
    QTimer::singleShot(0, context, [done = std::move(done), still] { done(still); });
  }

  std::set<std::string> rendered;
  std::map<std::string, int> computed;
  int fastAsks = 0, fastHits = 0;
};

void BM_PrerenderHitRate(benchmark::State& state) {
  const int advances = int(state.range(0));
  double hitRate = 0;
  for (auto _ : state) {
    DesktopBenchRig rig;
    for (int i = 0; i < 8; ++i) rig.addWork(i, MediaKind::generative, flatPNG(i), "image/png");
    const QString key = QStringLiteral("display-1");
    rig.displays.set({benchDisplay(key, 1, QRect(0, 0, 960, 540))});
    RenderingFormats formats;
    auto timings = quickTimings();
    timings.prerenderWait = std::chrono::milliseconds(30);
    auto& c = rig.make(rig.displays, rig.wallpapers, formats, timings);
    c.start();
    const auto prerendered = [&] {
      const auto next = c.upcoming(key);
      return c.preparing().empty() && next && formats.computed[*next] > 0;
    };
    spinUntil(prerendered);
    formats.fastAsks = formats.fastHits = 0;
    for (int i = 0; i < advances; ++i) {
      // Each stays on screen until its follower is rendered, as between ticks.
      formats.computed.clear();
      c.next(key);
      spinUntil(prerendered);
    }
    hitRate = formats.fastAsks ? double(formats.fastHits) / formats.fastAsks : 0;
    state.counters["fast_passes"] = formats.fastAsks;
  }
  state.counters["hit_rate"] = hitRate;
}

BENCHMARK(BM_WallpaperFiles)->Name("BM_WallpaperFiles")->Arg(200)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_DisplayStorm)->Name("BM_DisplayStorm")->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_PrerenderHitRate)->Name("BM_PrerenderHitRate")->Arg(50)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace tavolune::bench
