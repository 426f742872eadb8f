// A rotation to a 4000 x 4000 JPEG on a 5120 x 2880 display: from the
// advance to the picture handed to the desktop, with the memory cache cold,
// or with the next generative work's still already rendered. Also the
// longest stall of the GUI thread meanwhile.

#include "bench/app/DesktopBenchRig.hpp"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QThreadPool>
#include <QTimer>

#include <benchmark/benchmark.h>

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
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "jpeg", 92);
  return bytes;
}

void rotationTick(benchmark::State& state, bool prerendered) {
  DesktopBenchRig rig;
  AppModel& model = *rig.model;
  auto& formats = rig.formats;
  const QByteArray jpeg = sourceJPEG();
  const Uuid wallet = Uuid::random();
  std::vector<std::string> ids;
  // A work per iteration: each advance meets a cold memory cache.
  for (int i = 0; i < 10; ++i) {
    Artwork a = Artwork::make({.chain = Chain::tezos, .contract = "KT1Bench", .tokenId = std::to_string(i),
                               .title = "Work", .mediaKind = prerendered ? MediaKind::generative : MediaKind::image,
                               .imageURI = "https://media.test/" + std::to_string(i) + ".jpg"});
    model.cache().store(std::string_view(jpeg.constData(), std::size_t(jpeg.size())), *a.imageURI, "image/jpeg");
    if (prerendered) {
      QImage still(2880, 2880, QImage::Format_RGB32);  // a square work, fitted
      still.fill(QColor(40, 60, 80));
      formats.stills[a.id] = still;
      formats.cached[a.id] = true;
    }
    ids.push_back(a.id);
    model.edit([a, wallet](LibraryState& s) {
      s.artworks[a.id] = a;
      s.ownerships[wallet][a.id] = 1;
      s.settings.rotationOrder = PlaybackOrder::sequential;
      s.touch();
    });
  }
  Display d;
  d.key = "display-1";
  d.number = 1;
  d.isMain = true;
  d.geometry = d.available = QRect(0, 0, 5120, 2880);
  rig.displays.set({d});
  DesktopController::Timings timings;
  timings.prerenderWait = std::chrono::hours(1);
  DesktopController controller(model, rig.services(), rig.root / "Wallpapers", timings);

  double maxStall = 0;
  for (auto _ : state) {
    QEventLoop loop;
    QObject::connect(&controller, &DesktopController::wallpaperApplied, &loop, &QEventLoop::quit);
    QElapsedTimer gap;
    QTimer beat;
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, &loop, [&] {
      maxStall = std::max(maxStall, double(gap.nsecsElapsed()) / 1e6);
      gap.restart();
    });
    gap.start();
    beat.start();
    controller.next(QStringLiteral("display-1"));
    loop.exec();
    // The pass's cleaning and bookkeeping end on the loop too.
    QEventLoop settle;
    QTimer::singleShot(0, &settle, &QEventLoop::quit);
    settle.exec();
  }
  state.counters["max_stall_ms"] = maxStall;
  QThreadPool::globalInstance()->waitForDone();
}

void BM_RotationTick_5K_cold(benchmark::State& state) { rotationTick(state, false); }
void BM_RotationTick_5K_prerendered(benchmark::State& state) { rotationTick(state, true); }

BENCHMARK(BM_RotationTick_5K_cold)->Name("BM_RotationTick/5K/cold")->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(8);
BENCHMARK(BM_RotationTick_5K_prerendered)
    ->Name("BM_RotationTick/5K/prerendered")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(8);

}  // namespace
}  // namespace tavolune::bench
