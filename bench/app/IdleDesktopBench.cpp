// Idle is idle: the desktop controller with stills on two displays (and,
// in the second case, a live GIF beside them) and the screen saver armed,
// left alone for a minute of real time. Reports the process's CPU time per
// 10 minutes, the main thread's wakeups (voluntary context switches) and the
// timer events it handled, per minute. TAVOLUNE_IDLE_SECONDS shortens the
// minute.

#include "app/screensaver/ScreenSaver.hpp"
#include "app/settings/ScreenSaverSettings.hpp"
#include "app/settings/Setting.hpp"
#include "bench/app/DesktopBenchRig.hpp"
#include "tests/support/TinyGif.hpp"
#include "tests/support/fakes/FakeActiveWindow.hpp"
#include "tests/support/fakes/FakeDisplayInhibitors.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QBuffer>
#include <QEvent>
#include <QEventLoop>
#include <QFile>
#include <QThreadPool>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <set>

namespace tavolune::bench {
namespace {

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The main thread's voluntary context switches: each is a sleep, so each
// later wake-up counts once.
long mainThreadSwitches() {
  QFile status(QStringLiteral("/proc/thread-self/status"));
  if (!status.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("voluntary_ctxt_switches:")) return line.mid(24).trimmed().toLong();
  }
  return 0;
}

struct TimerCounter final : QObject {
  long timers = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Timer) ++timers;
    return false;
  }
};

void run(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

void idleDesktop(benchmark::State& state, bool withLive) {
  DesktopBenchRig rig;
  AppModel& model = *rig.model;
  const Uuid wallet = Uuid::random();
  std::vector<Display> list;
  const int count = withLive ? 3 : 2;
  for (int i = 0; i < count; ++i) {
    const bool live = withLive && i == count - 1;
    Artwork a = Artwork::make({.chain = Chain::tezos, .contract = "KT1Idle", .tokenId = std::to_string(i),
                               .title = "Work", .mediaKind = MediaKind::image,
                               .imageURI = "https://media.test/" + std::to_string(i) + (live ? ".gif" : ".png")});
    if (live) {
      a.mime = "image/gif";
      model.media().cache().store(testsupport::tinyGif(), *a.imageURI, "image/gif");
    } else {
      QImage image(1600, 900, QImage::Format_RGB32);
      image.fill(QColor(30 + 60 * i, 80, 120));
      QByteArray png;
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      image.save(&buffer, "png");
      model.media().cache().store(std::string_view(png.constData(), std::size_t(png.size())), *a.imageURI, "image/png");
    }
    seedLibrary(model, [a, wallet, live, i](LibraryState& s) {
      s.artworks[a.id] = a;
      s.ownerships[wallet][a.id] = 1;
      if (live) s.animatedArtworks.insert(a.id);
      s.settings.rotationOrder = PlaybackOrder::sequential;
      // Shown just now: the minute's rotation tick finds nothing due.
      auto& screen = s.screens["display-" + std::to_string(i + 1)];
      screen.currentArtworkID = a.id;
      screen.lastChange = now();
      s.touch();
    });
    Display d;
    d.key = QStringLiteral("display-%1").arg(i + 1);
    d.number = std::uint32_t(i + 1);
    d.isMain = i == 0;
    d.geometry = d.available = QRect(1920 * i, 0, 1920, 1080);
    list.push_back(d);
  }
  rig.displays.set(list);
  DesktopController::Timings timings;
  timings.cartelSeconds = 0.5;
  timings.prerenderWait = std::chrono::milliseconds(500);
  DesktopController controller(model, rig.services(), rig.wallpaperDir(), timings);
  {
    std::set<QString> applied;
    QEventLoop loop;
    QObject::connect(&controller, &DesktopController::wallpaperApplied, &loop, [&](const QString& key) {
      applied.insert(key);
      if (int(applied.size()) == count) loop.quit();
    });
    controller.start();
    loop.exec();
  }
  // Built and started as main does; its delay set as the settings window
  // sets it, to the longest choice, so it stays armed through the quiet
  // minute and only its idle watch counts.
  testsupport::FakeDisplayInhibitors inhibitors;
  testsupport::FakeActiveWindow focus;
  ScreenSaver saver(model, controller.power(),
                    ImageServices{model.media().images(), *QThreadPool::globalInstance(), {}},
                    ScreenSaver::Services{rig.displays, rig.idle, inhibitors, focus, rig.windows});
  QObject::connect(&saver, &ScreenSaver::showingChanged, &controller, &DesktopController::setScreenSaverShowing);
  saver.start();
  setting(model, &AppSettings::screenSaverDelay, ScreenSaverSettings::delays.back().seconds);
  if (!saver.armed()) {
    state.SkipWithError("the screen saver is not armed");
    return;
  }
  // Labels fade, pre-renders and the save end before the quiet minute.
  run(3000);
  QThreadPool::globalInstance()->waitForDone();

  const int seconds = qEnvironmentVariableIsSet("TAVOLUNE_IDLE_SECONDS")
                          ? qEnvironmentVariableIntValue("TAVOLUNE_IDLE_SECONDS")
                          : 60;
  TimerCounter counter;
  QCoreApplication::instance()->installEventFilter(&counter);
  double cpu = 0;
  long switches = 0;
  for (auto _ : state) {
    const double cpu0 = cpuSeconds();
    const long switches0 = mainThreadSwitches();
    run(seconds * 1000);
    cpu = cpuSeconds() - cpu0;
    switches = mainThreadSwitches() - switches0;
  }
  QCoreApplication::instance()->removeEventFilter(&counter);
  const double minutes = seconds / 60.0;
  state.counters["cpu_s_per_10min"] = cpu / minutes * 10;
  state.counters["wakeups_per_min"] = double(switches) / minutes;
  state.counters["timer_events_per_min"] = double(counter.timers) / minutes;
  state.counters["live_playing"] = controller.isLivePlaying() ? 1 : 0;
  state.counters["saver_armed"] = saver.armed() && !saver.isShowing() ? 1 : 0;
  controller.shutdown();
}

void BM_IdleDesktop(benchmark::State& state) { idleDesktop(state, false); }
void BM_IdleDesktop_live(benchmark::State& state) { idleDesktop(state, true); }

BENCHMARK(BM_IdleDesktop)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_IdleDesktop_live)->Name("BM_IdleDesktop/liveGIF")->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace
}  // namespace tavolune::bench
