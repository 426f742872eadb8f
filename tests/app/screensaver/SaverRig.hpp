#pragma once
// A screen saver over a loaded app model with fake displays, idle clock,
// inhibitors, focus and power readings behind a real power policy; stills
// come from a fake media source, the fades and periods are short and the
// clock is the test's own. GUI thread only.

#include "app/desktop/PowerPolicy.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/screensaver/SaverWindow.hpp"
#include "app/screensaver/ScreenSaver.hpp"
#include "app/stage/ArtStageView.hpp"
#include "tests/app/desktop/DesktopRig.hpp"
#include "tests/support/fakes/FakeActiveWindow.hpp"
#include "tests/support/fakes/FakeDisplayInhibitors.hpp"
#include "tests/support/fakes/FakeIdleClock.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

namespace tavolune::testsupport {

inline ScreenSaver::Timings shortSaverTimings(std::function<ScreenSaver::Clock::time_point()> now) {
  using std::chrono::milliseconds;
  ScreenSaver::Timings t;
  t.watch = milliseconds(20);
  t.rotate = milliseconds(60'000);  // rotations are the test's to make
  t.slideshowRotate = milliseconds(45'000);
  t.fadeIn = milliseconds(30);
  t.fadeOut = milliseconds(30);
  t.dismissFade = milliseconds(30);
  t.now = std::move(now);
  return t;
}

struct SaverRig {
  DesktopRig desk;
  FakeIdleClock idle;
  FakeDisplayInhibitors inhibitors;
  FakeActiveWindow focus;
  std::shared_ptr<FakeImageSource> media = std::make_shared<FakeImageSource>();
  ImagePipeline pipeline{media};
  PowerPolicy power{desk.session, desk.power, desk.coverage, desk.displays};
  ScreenSaver::Clock::time_point clock = ScreenSaver::Clock::now();
  std::unique_ptr<ScreenSaver> saver;

  // adjust: changes to the model's options (gateways, say).
  explicit SaverRig(int displays = 1, DesktopWindows* windows = nullptr, DisplaySource* source = nullptr,
                    std::optional<ScreenSaver::Timings> timings = std::nullopt,
                    const std::function<void(AppModel::Options&)>& adjust = {})
      : desk(adjust) {
    std::vector<Display> list;
    for (int i = 0; i < displays; ++i) {
      list.push_back(makeDisplay(QStringLiteral("display-%1").arg(i + 1), std::uint32_t(i + 1), i == 0,
                                 QRect(320 * i, 0, 320, 180)));
    }
    desk.displays.set(list);
    power.start([this] { return desk.model->state().settings; });
    saver = std::make_unique<ScreenSaver>(
        *desk.model, power, ImageServices{pipeline, *QThreadPool::globalInstance(), {}},
        ScreenSaver::Services{source ? *source : desk.displays, idle, inhibitors, focus,
                              windows ? *windows : desk.windows},
        timings ? *timings : shortSaverTimings([this] { return clock; }));
  }
  ~SaverRig() {
    saver.reset();
    QThreadPool::globalInstance()->waitForDone();
  }

  // A work in the library whose still the fake media source serves.
  Artwork addWork(const std::string& token, MediaKind kind = MediaKind::image, QColor colour = Qt::red) {
    Artwork a = desk.addWork(token, kind, colour);
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(colour);
    media->serve(*a.imageURI, image);
    return a;
  }
  Uuid exhibition(const std::vector<Artwork>& works) {
    std::vector<std::string> ids;
    for (const auto& w : works) ids.push_back(w.id);
    const Uuid id = Uuid::random();
    seedLibrary(*desk.model, [e = Exhibition{id, "Show", ids}](LibraryState& s) { s.exhibitions.push_back(e); });
    return id;
  }
  void setDelay(double seconds) {
    seedLibrary(*desk.model, [seconds](LibraryState& s) { s.settings.screenSaverDelay = seconds; });
  }
  void setAnimation(AnimationPolicy policy) {
    seedLibrary(*desk.model, [policy](LibraryState& s) { s.settings.animation = policy; });
  }
  void setLowPower(bool on) {
    desk.power.set({.lowPower = on});
    power.poll();
  }
  // Past the grace period and the activity watch's first seconds.
  void later() { clock += std::chrono::seconds(3); }

  SaverWindow& window(std::size_t i = 0) { return *saver->windows().at(i); }
  ArtStageView& stage(std::size_t i = 0) { return *window(i).stage(); }
  // The colour of the still a window shows, or nothing.
  std::optional<QColor> still(std::size_t i = 0) {
    const QImage& image = stage(i).stillImage();
    if (!stage(i).stillVisible() || image.isNull()) return std::nullopt;
    return image.pixelColor(image.width() / 2, image.height() / 2);
  }
  bool waitStill(QColor colour, std::size_t i = 0, int ms = 5000) {
    return QTest::qWaitFor([&] { return saver->isShowing() && still(i) == colour; }, ms);
  }

  // Input as the saver's windows receive it.
  void move(QPoint global, std::size_t i = 0) {
    QWidget* target = window(i).window();
    QMouseEvent event(QEvent::MouseMove, QPointF(target->mapFromGlobal(global)), QPointF(global), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  void click(std::size_t i = 0) {
    QWidget* target = window(i).window();
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(target->mapToGlobal(QPoint(5, 5))),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
  }
  void key(int code, std::size_t i = 0) {
    QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(window(i).window(), &event);
  }
  void wheel(std::size_t i = 0) {
    QWidget* target = window(i).window();
    QWheelEvent event(QPointF(5, 5), QPointF(target->mapToGlobal(QPoint(5, 5))), QPoint(), QPoint(0, 120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
  }
};

}  // namespace tavolune::testsupport
