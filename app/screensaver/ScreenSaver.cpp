// Arming, showing, presenting, rotating and dismissing; the choice of works
// and the input are in ScreenSaverChoice.cpp and ScreenSaverInput.cpp.

#include "app/screensaver/ScreenSaver.hpp"

#include "app/desktop/PowerPolicy.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/model/AppModel.hpp"
#include "app/platform/ActiveWindow.hpp"
#include "app/platform/DisplayInhibitors.hpp"
#include "app/platform/DisplaySource.hpp"
#include "app/platform/IdleClock.hpp"
#include "app/screensaver/SaverWindow.hpp"
#include "app/stage/ArtStageView.hpp"
#include "core/model/ScreenConfig.hpp"

#include <QApplication>
#include <QCursor>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace tavolune {
namespace {

// Qt has no tolerance setting: the coarser timer types stay within it.
Qt::TimerType timerTypeFor(double wait, double tolerance) {
  if (tolerance >= 1.0) return Qt::VeryCoarseTimer;  // whole seconds
  if (tolerance >= wait * 0.05) return Qt::CoarseTimer;
  return Qt::PreciseTimer;
}

int milliseconds(double seconds) { return int(std::lround(seconds * 1000)); }

}  // namespace

ScreenSaver::ScreenSaver(AppModel& model, PowerPolicy& power, ImageServices images, Services services,
                         Timings timings, QObject* parent)
    : QObject(parent),
      model_(model),
      power_(power),
      images_(std::move(images)),
      services_(services),
      timings_(std::move(timings)) {
  idleTimer_.setSingleShot(true);
  connect(&idleTimer_, &QTimer::timeout, this, [this] {
    arming_.reset();
    checkIdle();
  });
  watchTimer_.setTimerType(Qt::CoarseTimer);
  connect(&watchTimer_, &QTimer::timeout, this, &ScreenSaver::watch);
  connect(&rotateTimer_, &QTimer::timeout, this, &ScreenSaver::rotate);
}

ScreenSaver::~ScreenSaver() {
  mailbox_->close();
  if (filtering_) qApp->removeEventFilter(this);
  for (auto& w : windows_) w->releaseInput();
}

// --- arming ---------------------------------------------------------------

void ScreenSaver::start() {
  if (started_) return;
  started_ = true;
  connect(&power_, &PowerPolicy::stateChanged, this, [this](const PowerPolicy::State& state) {
    if (state.locked || state.asleep) dismiss();
  });
  // Windows placed for displays that moved or went away.
  connect(&services_.displays, &DisplaySource::displaysChanged, this, &ScreenSaver::dismiss);
  connect(&model_, &AppModel::libraryChanged, this, [this](const LibraryChange& change) {
    if (change.settings) delaySettingChanged();
  });
  delaySettingChanged();
}

void ScreenSaver::delaySettingChanged() {
  const double now = delay();
  if (lastDelay_ == now) return;
  lastDelay_ = now;
  arm();
}

double ScreenSaver::delay() const { return model_.state().settings.screenSaverDelay; }

std::optional<ScreenSaver::Arming> ScreenSaver::armed() const {
  return idleTimer_.isActive() ? arming_ : std::nullopt;
}

void ScreenSaver::arm(std::optional<double> after) {
  idleTimer_.stop();
  arming_.reset();
  ++armGeneration_;  // an inhibitor answer still on its way is void
  const double d = delay();
  if (!(d > 0) || showing_) return;
  double wait = after ? *after : d - services_.idle.secondsSinceLastInput();
  if (!std::isfinite(wait)) wait = timings_.longestWait;
  wait = std::clamp(wait, timings_.minimumWait, std::max(timings_.longestWait, timings_.minimumWait));
  const Arming a{wait, std::min(wait * 0.1, 10.0)};
  arming_ = a;
  idleTimer_.setTimerType(timerTypeFor(a.wait, a.tolerance));
  idleTimer_.start(milliseconds(a.wait));
}

void ScreenSaver::checkIdle() {
  idleTimer_.stop();
  arming_.reset();
  const double idle = services_.idle.secondsSinceLastInput();
  const double d = delay();
  if (showing_ || !(d > 0)) return;
  if (idle < d) {
    arm();
    return;
  }
  const auto blocked = [this] { return power_.state().locked || power_.state().asleep; };
  if (blocked()) {
    arm(timings_.blockedRecheck);
    return;
  }
  const std::uint64_t generation = ++armGeneration_;
  services_.inhibitors.check(this, [this, generation, blocked](bool inhibited) {
    if (generation != armGeneration_ || showing_) return;
    if (inhibited || blocked()) {
      arm(timings_.blockedRecheck);
      return;
    }
    show();
  });
}

// --- showing --------------------------------------------------------------

void ScreenSaver::show() {
  if (showing_) return;
  const auto displays = services_.displays.displays();
  if (displays.empty()) return;
  showing_ = true;
  idleTimer_.stop();
  arming_.reset();
  ++armGeneration_;
  shownAt_ = timings_.now();
  previousWindow_.reset();
  if (const auto focused = services_.activeWindow.focused(); focused && !focused->ours) previousWindow_ = focused->id;

  windows_.clear();
  for (const Display& d : displays) {
    windows_.push_back(std::make_unique<SaverWindow>(d, model_.media().fetcher(), services_.windows));
  }
  for (auto& w : windows_) {
    w->present();
    present(nextArtwork(w->frameSize()), *w);
    fadeIn(*w);
  }
  // The first window takes the focus and holds the keyboard and pointer.
  windows_.front()->present();
  for (auto& w : windows_) w->setCursorHidden(true);
  cursorHidden_ = true;
  lastPointer_ = QCursor::pos();
  qApp->installEventFilter(this);
  filtering_ = true;

  if (slideshow_) {
    watchTimer_.stop();  // a slideshow is watched by its viewer, not for input
  } else {
    watchTimer_.start(int(timings_.watch.count()));
  }
  rotateTimer_.start(int((slideshow_ ? timings_.slideshowRotate : timings_.rotate).count()));
  emit showingChanged(true);
}

void ScreenSaver::present(const std::optional<Artwork>& work, SaverWindow& window) {
  const std::uint64_t token = window.newRequest();
  ArtStageView& stage = *window.stage();
  if (!work) {
    window.newFetch();
    stage.showStill(std::nullopt);
    stage.setLayerBackground(Qt::black);
    return;
  }
  ScreenConfig config;
  config.framing = mainFraming();
  const Placement placement = model_.state().placement(*work, config, window.aspect(), std::nullopt);
  const QImage cached = images_.pipeline.cached(*work, stillPixels);
  stage.setLayerBackground(model_.formats().matte(*work, cached));
  stage.apply(placement);
  if (canRunLive() && work->isLive()) {
    window.newFetch();
    stage.setFps(liveFps);
    stage.setStillImage(cached);
    if (!cached.isNull() && !stage.aspectLocked()) {
      stage.setAspect(double(cached.width()) / std::max(cached.height(), 1));
      stage.relayout();
    }
    stage.load(*work);
    // A work that cannot draw shows its picture instead.
    if (cached.isNull()) fetchStill(*work, window, token, true);
    return;
  }
  stage.showStill(cached.isNull() ? std::nullopt : std::optional<QImage>(cached));
  if (cached.isNull()) fetchStill(*work, window, token);
}

void ScreenSaver::fetchStill(const Artwork& work, SaverWindow& window, std::uint64_t token, bool live) {
  const std::stop_token stop = window.newFetch();
  images_.pool.start([pipeline = images_.pipeline.requests(), work, stop, mailbox = mailbox_, target = &window, token, live, this] {
    QImage image = pipeline->image(work, stillPixels, false, stop);
    if (image.isNull() || stop.stop_requested()) return;
    mailbox->post([this, work, target, token, live, image = std::move(image)] {
      // Only onto the window's newest work, while the saver still shows it.
      if (!showing_ || !owns(target) || !target->isCurrent(token)) return;
      ArtStageView& stage = *target->stage();
      // The mat from the picture, as when it was in memory at once.
      stage.setLayerBackground(model_.formats().matte(work, image));
      if (!live) {
        stage.showStill(image);
        return;
      }
      // Beneath a work that already plays too: it shows if the work fails later.
      stage.setStillImage(image);
      if (!stage.aspectLocked()) {
        stage.setAspect(double(image.width()) / std::max(image.height(), 1));
        stage.relayout();
      }
    });
  });
}

void ScreenSaver::fadeIn(SaverWindow& window) { window.fade(1.0, timings_.fadeIn, this); }

void ScreenSaver::rotate() {
  for (auto& w : windows_) {
    auto work = nextArtwork(w->frameSize());
    SaverWindow* target = w.get();
    const std::uint64_t token = target->newRequest();
    target->fade(0.0, timings_.fadeOut, this, [this, target, token, work = std::move(work)] {
      // A dismiss, a newer step or another showing may have come first.
      if (!showing_ || !owns(target) || !target->isCurrent(token)) return;
      present(work, *target);
      fadeIn(*target);
    });
  }
}

bool ScreenSaver::owns(const SaverWindow* window) const {
  return std::any_of(windows_.begin(), windows_.end(), [window](const auto& w) { return w.get() == window; });
}

std::vector<SaverWindow*> ScreenSaver::windows() const {
  std::vector<SaverWindow*> out;
  for (const auto& w : windows_) out.push_back(w.get());
  return out;
}

Framing ScreenSaver::mainFraming() const {
  const auto displays = services_.displays.displays();
  const auto main = std::find_if(displays.begin(), displays.end(), [](const Display& d) { return d.isMain; });
  const Display* chosen = main != displays.end() ? &*main : (displays.empty() ? nullptr : &displays.front());
  if (!chosen) return Framing::fit;
  const auto& screens = model_.state().screens;
  const auto it = screens.find(chosen->key.toStdString());
  return it == screens.end() ? Framing::fit : it->second.framing;
}

// --- dismissing -----------------------------------------------------------

void ScreenSaver::dismiss() {
  if (!showing_) return;
  showing_ = false;
  slideshow_.reset();
  watchTimer_.stop();
  rotateTimer_.stop();
  if (filtering_) {
    qApp->removeEventFilter(this);
    filtering_ = false;
  }
  cursorHidden_ = false;
  for (auto& w : windows_) {
    SaverWindow* target = w.get();
    target->releaseInput();
    target->setCursorHidden(false);
    target->newRequest();
    target->newFetch();
    closing_.push_back(std::move(w));
    // Each window holds a stage and maybe a page: gone once faded out.
    target->fade(0.0, timings_.dismissFade, this, [this, target] {
      const auto it = std::find_if(closing_.begin(), closing_.end(), [target](const auto& c) { return c.get() == target; });
      if (it == closing_.end()) return;
      closing_.erase(it);
      // Hiding it let the keyboard and pointer go: a saver shown meanwhile takes them back.
      if (showing_) windows_.front()->present();
    });
  }
  windows_.clear();
  if (previousWindow_) services_.activeWindow.activate(*previousWindow_);
  previousWindow_.reset();
  emit showingChanged(false);
  arm();
}

}  // namespace tavolune
