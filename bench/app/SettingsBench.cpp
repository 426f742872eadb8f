// The settings window: its first open on the Display tab with the five
// frame previews drawn, and a framing card or a frame style clicked to the
// new desktop picture on a 1920 x 1080 display with the work's image
// cached. Also counts the library-changed calls per change and per refresh.

#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/LoginItem.hpp"
#include "app/model/SettingsState.hpp"
#include "app/settings/DisplaySettings.hpp"
#include "app/settings/FrameCard.hpp"
#include "app/settings/FramesSettings.hpp"
#include "app/settings/FramingCard.hpp"
#include "app/settings/SettingsView.hpp"
#include "bench/app/BenchApplication.hpp"
#include "bench/app/BenchModel.hpp"
#include "tests/support/fakes/FakeAutostartService.hpp"
#include "tests/support/fakes/FakeCompositor.hpp"
#include "tests/support/fakes/FakeDesktopFormats.hpp"
#include "tests/support/fakes/FakeDesktopWindows.hpp"
#include "tests/support/fakes/FakeDisplaySource.hpp"
#include "tests/support/fakes/FakePowerSources.hpp"
#include "tests/support/fakes/FakeSessionWatch.hpp"
#include "tests/support/fakes/FakeSystemLog.hpp"
#include "tests/support/fakes/FakeWallpaperBackend.hpp"
#include "tests/support/fakes/FakeWindowCoverage.hpp"
#include "tests/support/fakes/FakeWorkspaceWatch.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QBuffer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace tavolune::bench {
namespace {

// A loaded model with one cached 1600 x 1200 work, a started controller on
// one 1920 x 1080 display showing it, and a login item.
struct Desk {
  QTemporaryDir dir;
  testsupport::FakeDisplaySource displays;
  testsupport::FakeSessionWatch session;
  testsupport::FakePowerSources power;
  testsupport::FakeWindowCoverage coverage;
  testsupport::FakeSystemLog log;
  testsupport::FakeWallpaperBackend wallpapers{log};
  testsupport::FakeDesktopWindows windows;
  testsupport::FakeCompositor compositor;
  testsupport::FakeWorkspaceWatch workspace;
  testsupport::FakeDesktopFormats formats;
  testsupport::FakeAutostartService autostart;
  std::unique_ptr<AppModel> model;
  std::unique_ptr<DesktopController> controller;
  std::unique_ptr<LoginItem> login;
  int libraryChanges = 0;

  Desk() {
    const std::filesystem::path root = dir.path().toStdString();
    model = loadedModel(root);

    QImage image(1600, 1200, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
      auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) row[x] = qRgb(x & 255, y & 255, (x + y) & 255);
    }
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpeg", 90);
    const Artwork a = Artwork::make({.chain = Chain::tezos, .contract = "KT1Bench", .tokenId = "1", .title = "Work",
                                     .mediaKind = MediaKind::image, .imageURI = "https://media.test/1.jpg"});
    model->media().cache().store(std::string_view(jpeg.constData(), std::size_t(jpeg.size())), *a.imageURI,
                                 "image/jpeg");
    const Uuid wallet = Uuid::random();
    seedLibrary(*model, [a, wallet](LibraryState& s) {
      s.artworks[a.id] = a;
      s.ownerships[wallet][a.id] = 1;
      s.touch();
    });
    Display d;
    d.key = "display-1";
    d.number = 1;
    d.isMain = true;
    d.geometry = d.available = QRect(0, 0, 1920, 1080);
    displays.set({d});
    controller = std::make_unique<DesktopController>(
        *model,
        DesktopController::Services{displays, session, power, coverage, wallpapers, windows, compositor, workspace,
                                    formats},
        root / "Wallpapers");
    login = std::make_unique<LoginItem>(autostart, log);
    waitFor([&] { controller->start(); });
    settle();
    QObject::connect(model.get(), &AppModel::libraryChanged, [this](const LibraryChange& change) {
      if (change.desktop) ++libraryChanges;
    });
  }

  ~Desk() {
    controller.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  SettingsServices services() {
    return {.model = *model, .desktop = *controller, .login = *login, .build = {"1.0", "1", ""}};
  }

  // Runs the action and waits for the next desktop picture.
  void waitFor(const std::function<void()>& action) {
    QEventLoop loop;
    QObject::connect(controller.get(), &DesktopController::wallpaperApplied, &loop, &QEventLoop::quit);
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    action();
    loop.exec();
  }
  // Until no pass of the display runs (the high-quality one ends too).
  void settle() {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (controller->preparing().empty()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(10'000, &loop, &QEventLoop::quit);
    loop.exec();
  }
};

void BM_SettingsOpen(benchmark::State& state) {
  ensureApp();
  Desk desk;
  SettingsState tab;
  tab.setTab(SettingsTab::display);
  for (auto _ : state) {
    SettingsView view(desk.services(), tab);
    view.resize(580, 640);
    view.show();
    view.grab();  // painted
    // The strip's cards off to the right are drawn as well.
    for (FrameCard* card : view.display()->frames()->cards()) card->grab();
    benchmark::DoNotOptimize(FrameCard::previewsDrawn());
  }
  state.counters["previews"] = double(FrameCard::previewsDrawn());
}

void framingToPicture(benchmark::State& state, bool frames) {
  ensureApp();
  Desk desk;
  DisplaySettings tab(*desk.model, *desk.controller);
  tab.resize(580, 560);
  tab.show();
  int changes = 0;
  for (auto _ : state) {
    const int before = desk.libraryChanges;
    if (frames) {
      const auto& cards = tab.frames()->cards();
      const FrameStyle next = desk.model->state().settings.frame == FrameStyle::galleryWhite ? FrameStyle::blackFloat
                                                                                             : FrameStyle::galleryWhite;
      desk.waitFor([&] { cards[std::size_t(next)]->click(); });
    } else {
      const std::size_t next = tab.framing() == Framing::fill ? 0 : 1;
      desk.waitFor([&] { tab.framingCards()[next]->click(); });
    }
    changes += desk.libraryChanges - before;
    state.PauseTiming();
    desk.settle();
    state.ResumeTiming();
  }
  const int beforeRefresh = desk.libraryChanges;
  for (int i = 0; i < 20; ++i) tab.load();
  state.counters["library_changed_per_change"] = double(changes) / double(state.iterations());
  state.counters["library_changed_per_refresh"] = double(desk.libraryChanges - beforeRefresh) / 20.0;
}

void BM_FramingToPicture_framing(benchmark::State& state) { framingToPicture(state, false); }
void BM_FramingToPicture_frame(benchmark::State& state) { framingToPicture(state, true); }

BENCHMARK(BM_SettingsOpen)->Name("BM_SettingsOpen/first")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_SettingsOpen)->Name("BM_SettingsOpen/again")->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_FramingToPicture_framing)
    ->Name("BM_FramingToPicture/framing")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(8);
BENCHMARK(BM_FramingToPicture_frame)
    ->Name("BM_FramingToPicture/frame")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(8);

}  // namespace
}  // namespace tavolune::bench
