// Power on the desktop: pausing, resuming and releasing live windows, the
// idle measuring of unmeasured series, and the one-line status text.

#include "app/desktop/DesktopController.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/model/AppModel.hpp"
#include "app/stage/ArtStageView.hpp"

namespace tavolune {
namespace {

using Kind = ArtStageView::Status::Kind;

}  // namespace

// Live means some window was resumed in this pass, whatever its stage's
// status (one that failed shows its still, and counts).
void DesktopController::applyPower() {
  power_.setWatchesCoverage(liveWindowCount() > 0);
  bool playing = false;
  for (auto& [key, d] : displays_) {
    auto* stage = d.stage();
    if (!stage) {
      d.dropRelease();
      continue;
    }
    const auto shown = display(key);
    const bool pause = userPaused_ || screenSaverShowing_ ||
                       power_.pauseReason(shown ? std::optional(shown->number) : std::nullopt).has_value();
    if (!pause) {
      d.dropRelease();
      stage->resume();
      playing = true;
      continue;
    }
    stage->pause();
    // The count runs from the window's first pause; a task left by an earlier
    // window of this display would never release this one.
    if (d.releasesWindow(d.window())) continue;
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::CoarseTimer);
    timer->setInterval(timings_.releaseDelay);
    connect(timer.get(), &QTimer::timeout, this, [weak = QPointer<StageWindow>(d.window())] {
      if (!weak) return;
      auto* paused = qobject_cast<ArtStageView*>(weak->stage());
      if (paused && paused->status().kind == Kind::paused) paused->release();
    });
    timer->start();
    d.setRelease(std::move(timer));
  }
  setLivePlaying(playing);
}

void DesktopController::setScreenSaverShowing(bool showing) {
  if (showing == screenSaverShowing_) return;
  screenSaverShowing_ = showing;
  applyPower();
}

// --- idle measuring ---

void DesktopController::startIdleMeasuring() {
  measureTimer_ = std::make_unique<QTimer>();
  measureTimer_->setTimerType(Qt::VeryCoarseTimer);
  measureTimer_->setInterval(timings_.measureEvery);
  connect(measureTimer_.get(), &QTimer::timeout, this, [this] { measureWhileIdle(); });
  measureTimer_->start();
}

void DesktopController::measureWhileIdle() {
  // A probe that takes long must not let the next run measure beside it.
  if (measuringIdle_ || model.formats().analysisProgress()) return;
  auto works = std::make_shared<std::vector<Artwork>>();
  for (const Artwork* work : model.state().unmeasuredSeries()) {
    if (works->size() == measureBatch) break;
    works->push_back(*work);
  }
  if (works->empty()) return;
  measuringIdle_ = true;
  measureNext(std::move(works), 0);
}

void DesktopController::measureNext(std::shared_ptr<std::vector<Artwork>> works, std::size_t next) {
  if (next >= works->size() || !mayMeasure()) {
    measuringIdle_ = false;
    return;
  }
  services_.formats.profile((*works)[next], true, this, [this, works, next] {
    QTimer::singleShot(timings_.measureGap, Qt::CoarseTimer, this, [this, works, next] { measureNext(works, next + 1); });
  });
}

// Only while the user is away, on mains power, cool and awake, and never
// beside the user's own analysis of the collection.
bool DesktopController::mayMeasure() const {
  const auto& state = power_.state();
  if (state.onBattery || state.lowPower || state.thermalSerious || state.asleep) return false;
  if (model.formats().analysisProgress()) return false;
  return services_.idle.secondsSinceLastInput() > measureAfterIdleSeconds;
}

// --- status ---

QString DesktopController::statusLine() const {
  const auto key = mainKey();
  if (!key) return QStringLiteral("No display");
  if (!preparing_.empty()) return QStringLiteral("Preparing the artwork\u2026");
  const auto work = currentArtwork(*key);
  if (!work) return QStringLiteral("No artwork");
  const auto& state = model.state();
  if (state.settings.animation == AnimationPolicy::never) return QStringLiteral("Static \u00b7 high-quality render");
  if (!work->isLive()) return QStringLiteral("Static \u00b7 image");
  if (!state.shouldAnimate(*work)) return QStringLiteral("Static \u00b7 still render (animation not selected)");
  if (!state.runsLive(*work)) return QStringLiteral("Static \u00b7 still render (turned artwork)");
  if (!runsLive(*work)) return QStringLiteral("Static \u00b7 still render (no desktop level on this session)");
  // A work that failed shows its still: say why, as the library's card does.
  if (const auto* stage = liveStage(*key); stage && stage->status().kind == ArtStageView::Status::Kind::failed) {
    return QStringLiteral("Showing still: ") + stage->status().message;
  }
  if (userPaused_) return QStringLiteral("Live \u00b7 paused");
  std::optional<std::uint32_t> mainNumber;
  for (const auto& s : screens_) {
    if (s.isMain) {
      mainNumber = s.displayID;
      break;
    }
  }
  if (auto reason = power_.pauseReason(mainNumber)) return QStringLiteral("Live \u00b7 paused (%1)").arg(*reason);
  return QStringLiteral("Live \u00b7 %1 fps").arg(liveFps);
}

}  // namespace tavolune
