// The screen saver on two 1920 x 1080 displays with the works' stills in the
// memory cache: from the idle check that finds the delay reached to every
// display covered with its work, and from a key press to every window gone
// after its fade (default fades).

#include "app/desktop/PowerPolicy.hpp"
#include "app/model/AppModel.hpp"
#include "app/screensaver/SaverWindow.hpp"
#include "app/screensaver/ScreenSaver.hpp"
#include "app/stage/ArtStageView.hpp"
#include "app/desktop/StageWindow.hpp"
#include "bench/app/BenchApplication.hpp"
#include "bench/app/BenchModel.hpp"
#include "tests/support/fakes/FakeActiveWindow.hpp"
#include "tests/support/fakes/FakeDesktopWindows.hpp"
#include "tests/support/fakes/FakeDisplayInhibitors.hpp"
#include "tests/support/fakes/FakeDisplaySource.hpp"
#include "tests/support/fakes/FakeIdleClock.hpp"
#include "tests/support/fakes/FakeImageSource.hpp"
#include "tests/support/fakes/FakePowerSources.hpp"
#include "tests/support/fakes/FakeSessionWatch.hpp"
#include "tests/support/fakes/FakeWindowCoverage.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QPointer>
#include <QTemporaryDir>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <algorithm>

namespace tavolune::bench {
namespace {

template <class Predicate>
bool spinUntil(Predicate done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

struct SaverBench {
  QTemporaryDir dir;
  std::unique_ptr<AppModel> model;
  testsupport::FakeDisplaySource displays;
  testsupport::FakeSessionWatch session;
  testsupport::FakePowerSources power;
  testsupport::FakeWindowCoverage coverage;
  testsupport::FakeIdleClock idle;
  testsupport::FakeDisplayInhibitors inhibitors;
  testsupport::FakeActiveWindow focus;
  testsupport::FakeDesktopWindows windows;
  std::shared_ptr<testsupport::FakeImageSource> media = std::make_shared<testsupport::FakeImageSource>();
  ImagePipeline pipeline{media};
  std::unique_ptr<PowerPolicy> policy;
  std::unique_ptr<ScreenSaver> saver;
  ScreenSaver::Clock::time_point clock = ScreenSaver::Clock::now();

  SaverBench() {
    ensureApp();
    const std::filesystem::path root = dir.path().toStdString();
    model = loadedModel(root);
    const Uuid wallet = Uuid::random();
    for (int i = 0; i < 20; ++i) {
      Artwork a = Artwork::make({.chain = Chain::tezos, .contract = "KT1Saver", .tokenId = std::to_string(i),
                                 .title = "Work", .mediaKind = MediaKind::image,
                                 .imageURI = "https://media.test/" + std::to_string(i) + ".png"});
      QImage image(2048, 1365, QImage::Format_RGB32);
      image.fill(QColor(20 + 10 * i, 80, 120));
      media->serve(*a.imageURI, image);
      (void)pipeline.image(a, ScreenSaver::stillPixels, false);  // into the memory cache
      seedLibrary(*model, [a, wallet](LibraryState& s) {
        s.artworks[a.id] = a;
        s.ownerships[wallet][a.id] = 1;
        s.settings.screenSaverDelay = 300;
      });
    }
    std::vector<Display> list;
    for (int i = 0; i < 2; ++i) {
      Display d;
      d.key = QStringLiteral("display-%1").arg(i + 1);
      d.number = std::uint32_t(i + 1);
      d.isMain = i == 0;
      d.geometry = d.available = QRect(1920 * i, 0, 1920, 1080);
      list.push_back(d);
    }
    displays.set(list);
    policy = std::make_unique<PowerPolicy>(session, power, coverage, displays);
    ScreenSaver::Timings t;
    t.now = [this] { return clock; };
    saver = std::make_unique<ScreenSaver>(*model, *policy, ImageServices{pipeline, *QThreadPool::globalInstance(), {}},
                                          ScreenSaver::Services{displays, idle, inhibitors, focus, windows}, t);
    saver->start();
  }
  ~SaverBench() {
    saver.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  bool covered() const {
    if (!saver->isShowing()) return false;
    for (SaverWindow* w : saver->windows()) {
      if (!w->window()->isVisible() || !w->stage()->stillVisible()) return false;
    }
    return true;
  }
  // Shown, and then dismissed by a key after the grace period; true once
  // every window is gone.
  bool keyEnds() {
    std::vector<QPointer<StageWindow>> shown;
    for (SaverWindow* w : saver->windows()) shown.emplace_back(w->window());
    clock += std::chrono::seconds(2);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(shown.front(), &key);
    return spinUntil([&] { return std::all_of(shown.begin(), shown.end(), [](auto& w) { return !w; }); });
  }
};

void BM_SaverShow(benchmark::State& state) {
  SaverBench b;
  for (auto _ : state) {
    b.idle.seconds = 400;
    QElapsedTimer t;
    t.start();
    b.saver->checkIdle();
    if (!spinUntil([&] { return b.covered(); })) state.SkipWithError("not covered");
    state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    b.keyEnds();
  }
}
BENCHMARK(BM_SaverShow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SaverDismiss(benchmark::State& state) {
  SaverBench b;
  for (auto _ : state) {
    b.saver->show();
    spinUntil([&] { return b.covered(); });
    QElapsedTimer t;
    t.start();
    if (!b.keyEnds()) state.SkipWithError("still showing");
    state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
  }
}
BENCHMARK(BM_SaverDismiss)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace tavolune::bench
