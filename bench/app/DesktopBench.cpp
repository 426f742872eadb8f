// A rotation to a 4000 x 4000 JPEG on a 5120 x 2880 display of a private
// Xvfb, set through the X11 root-window back end: from the advance to the
// picture confirmed, with the memory cache cold, or with the next generative
// work's still already rendered. Each step of the pass is timed, and the
// longest stall of the GUI thread meanwhile is kept.

#include "app/platform/linux/RootWallpaper.hpp"
#include "app/platform/linux/X11DisplaySource.hpp"
#include "bench/app/DesktopBenchRig.hpp"
#include "tests/app/platform/PrivateDesktop.hpp"

#include <QElapsedTimer>
#include <QFile>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace tavolune::bench {
namespace {

QByteArray sourceJPEG() {
  if (const QByteArray path = qgetenv("TAVOLUNE_BENCH_IMAGE"); !path.isEmpty()) {
    QFile file(QString::fromLocal8Bit(path));
    if (file.open(QIODevice::ReadOnly)) return file.readAll();
  }
  QImage image(4000, 4000, QImage::Format_RGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      row[x] = qRgb((x / 16) & 255, (y / 16) & 255, int(128 + 90 * std::sin((x + y) * 0.003)));
    }
  }
  return encodedImage(image, "jpeg", 92);
}

constexpr std::array<std::pair<StillStage, const char*>, 6> stageNames{{{StillStage::decode, "decode_ms"},
                                                                       {StillStage::turn, "turn_ms"},
                                                                       {StillStage::compose, "compose_ms"},
                                                                       {StillStage::encode, "encode_ms"},
                                                                       {StillStage::write, "write_ms"},
                                                                       {StillStage::set, "set_ms"}}};

void rotationTick(benchmark::State& state, bool prerendered) {
  ensureApp();
  testsupport::PrivateRootDisplay x(QStringLiteral("5120x2880x24"));
  if (!x.ok()) {
    state.SkipWithError("Xvfb did not start");
    return;
  }
  DesktopBenchRig rig;
  X11DisplaySource displays(x.display());
  if (displays.displays().empty()) {
    state.SkipWithError("no display on the private X server");
    return;
  }
  const Display display = displays.displays().front();
  RootWallpaper backend(rig.log);
  auto& formats = rig.formats;

  const QByteArray jpeg = sourceJPEG();
  const QSize screen = display.geometry.size();  // pixels
  // A work per advance: each one meets a cold memory cache.
  for (int i = 0; i < 12; ++i) {
    const Artwork a = rig.addWork(i, prerendered ? MediaKind::generative : MediaKind::image, jpeg, "image/jpeg");
    if (prerendered) {
      // Already rendered at the size the pass asks for.
      const Placement placement = rig.model->state().placement(
          a, ScreenConfig(Framing::fit), double(display.geometry.width()) / display.geometry.height(), std::nullopt);
      QImage still(StillPass::renderSize(placement, screen, 0), QImage::Format_RGB32);
      still.fill(QColor(40, 60, 80));
      formats.stills[a.id] = still;
      formats.cached[a.id] = true;
    }
  }

  std::array<std::atomic<std::int64_t>, 6> stageNanos{};
  DesktopController::Timings timings;
  timings.prerenderWait = std::chrono::hours(1);
  timings.stageDone = [&](const QString&, std::uint64_t, StillStage stage, std::chrono::nanoseconds took) {
    stageNanos[std::size_t(stage)] += took.count();
  };
  auto& controller = rig.make(displays, backend, formats, timings);
  controller.start();
  if (!spinUntil([&] { return controller.applied(display.key).has_value() && controller.preparing().empty(); }, 60000)) {
    state.SkipWithError("the first picture was not set");
    return;
  }
  for (auto& n : stageNanos) n = 0;

  double maxStall = 0;
  std::vector<double> seconds;
  for (auto _ : state) {
    QEventLoop loop;
    QObject::connect(&controller, &DesktopController::wallpaperApplied, &loop, &QEventLoop::quit);
    QElapsedTimer gap, took;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, &loop, [&] {
      maxStall = std::max(maxStall, double(gap.nsecsElapsed()) / 1e6);
      gap.restart();
    });
    gap.start();
    took.start();
    beat.start();
    controller.next(display.key);
    loop.exec();
    seconds.push_back(double(took.nsecsElapsed()) / 1e9);
    state.SetIterationTime(seconds.back());
    // The pass's cleaning and bookkeeping end on the loop too.
    spinUntil([&] { return controller.preparing().empty(); });
  }
  const double n = double(std::max<std::size_t>(seconds.size(), 1));
  for (const auto& [stage, name] : stageNames) state.counters[name] = double(stageNanos[std::size_t(stage)]) / 1e6 / n;
  std::sort(seconds.begin(), seconds.end());
  state.counters["median_ms"] = seconds.empty() ? 0 : seconds[seconds.size() / 2] * 1000;
  state.counters["max_stall_ms"] = maxStall;
  state.counters["refused"] = double(rig.log.lines().size());
}

void BM_RotationTick_5K_cold(benchmark::State& state) { rotationTick(state, false); }
void BM_RotationTick_5K_prerendered(benchmark::State& state) { rotationTick(state, true); }

BENCHMARK(BM_RotationTick_5K_cold)
    ->Name("BM_RotationTick/5K/cold")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(9);
BENCHMARK(BM_RotationTick_5K_prerendered)
    ->Name("BM_RotationTick/5K/prerendered")
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(9);

}  // namespace
}  // namespace tavolune::bench
