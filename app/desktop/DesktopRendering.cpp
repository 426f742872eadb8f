// Rendering one display: the signature test, the generation, the still
// task, the live window at desktop level and the wall label.

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/model/AppModel.hpp"
#include "app/stage/ArtStageView.hpp"
#include "app/desktop/PlacementText.hpp"

namespace tavolune {
namespace {

QString number(double v) { return QString::number(v, 'g', 12); }

double aspectOf(const Display& d) { return double(d.geometry.width()) / std::max(d.geometry.height(), 1); }

}  // namespace

QString DesktopController::renderSignature(const Artwork& work, const Placement& placement,
                                           const Display& display) const {
  const auto& state = model.state();
  QString background = QStringLiteral("-");
  if (const auto* profile = state.profile(work); profile && profile->background) {
    const auto& c = *profile->background;
    background = QStringLiteral("%1,%2,%3,1").arg(number(c.r), number(c.g), number(c.b));
  }
  const QRect& g = display.geometry;
  const QString frame =
      QStringLiteral("%1,%2,%3x%4@%5").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()).arg(number(display.scale));
  return QStringList{QString::fromStdString(work.id),
                     placementText(placement),
                     QString::number(state.rotation(work.id)),
                     state.runsLive(work) ? QStringLiteral("true") : QStringLiteral("false"),
                     background,
                     frame,
                     QString::fromStdString(work.imageURI.value_or(""))}
      .join('|');
}

void DesktopController::renderScreen(const QString& key, bool advanceIfMissing, bool onlyIfChanged) {
  const auto d = display(key);
  if (!d) return;
  const ScreenConfig config = this->config(key);
  const auto work = currentArtwork(key);
  if (!work) {
    if (advanceIfMissing && !pool(key).empty()) advance(key, true);
    return;
  }
  const double aspect = aspectOf(*d);
  const Placement placement = model.state().placement(*work, config, aspect, std::nullopt);
  const QString signature = renderSignature(*work, placement, *d);
  auto& target = at(key);
  if (onlyIfChanged && target.sameSignature(signature)) return;
  target.setSignature(signature);
  const std::uint64_t generation = target.beginRender();

  // Counted from now until the fast pass ends, so views see it at once.
  beginPreparing(work->id);
  QTimer::singleShot(0, this, [this, work = *work, placement, key, generation, config] {
    stillTask(work, placement, key, generation, config);
  });
  if (runsLive(*work)) {
    livePath(key, *d, *work, placement, config);
  } else {
    target.closeWindow();
  }
  applyPower();
  showCartel(key);
}

void DesktopController::livePath(const QString& key, const Display& display, const Artwork& work,
                                 const Placement& placement, const ScreenConfig& config) {
  StageWindow* window = liveWindow(key);
  if (!window) {
    auto* stage = new ArtStageView(model.media().fetcher());
    connect(stage, &ArtStageView::statusChanged, this, &DesktopController::liveStatusChanged);
    window = new StageWindow(display, stage, false, services_.windows);
    at(key).setWindow(window);
  }
  window->cover(display);
  auto* stage = qobject_cast<ArtStageView*>(window->stage());
  stage->setFps(30);
  if (stage->artwork() && stage->artwork()->id == work.id) {
    stage->apply(placement);
  } else {
    stage->setAspectLocked(false);
    QImage still = model.media().images().cached(work, 2048);
    if (still.isNull()) still = model.media().images().cached(work, 520);
    stage->setStillImage(still);
    if (!still.isNull() && !stage->aspectLocked()) {
      stage->setAspect(double(still.width()) / std::max(still.height(), 1));
      stage->relayout();
    }
    const auto& state = model.state();
    if (auto colour = seriesBackground(work)) stage->setLayerBackground(*colour);
    if (!state.profile(work) && !state.preferredFraming.contains(work.id)) {
      stage->setFraming(config.framing);
      stage->relayout();
    } else {
      stage->apply(placement);
    }
    stage->load(work);
  }
  window->present();
}

void DesktopController::stillTask(const Artwork& work, const Placement& placement, const QString& key,
                                  std::uint64_t generation, const ScreenConfig& config) {
  applyStaticWallpaper(work, placement, key, generation, false, [this, work, key, generation, config] {
    endPreparing(work.id);
    const auto& state = model.state();
    if (work.mediaKind != MediaKind::generative || runsLive(work) || !isCurrent(key, generation)) return;
    const auto d = display(key);
    if (!d) return;
    const double aspect = aspectOf(*d);
    if (state.profile(work)) {
      applyStaticWallpaper(work, state.placement(work, config, aspect, std::nullopt), key, generation, true);
      return;
    }
    highQualityPass(work, key, generation, config, aspect);
  });
}

void DesktopController::highQualityPass(const Artwork& work, const QString& key, std::uint64_t generation,
                                        const ScreenConfig& config, double aspect) {
  services_.formats.profile(work, true, this, [this, work, key, generation, config, aspect] {
    if (!isCurrent(key, generation) || !display(key)) return;
    const Placement placement = model.state().placement(work, config, aspect, std::nullopt);
    if (auto* stage = liveStage(key); stage && stage->artwork() && stage->artwork()->id == work.id) {
      stage->apply(placement);
      if (auto colour = seriesBackground(work)) stage->setLayerBackground(*colour);
    }
    applyStaticWallpaper(work, placement, key, generation, true);
  });
}

bool DesktopController::runsLive(const Artwork& work) const {
  return model.state().runsLive(work) && services_.windows.atDesktopLevel();
}

std::optional<QColor> DesktopController::seriesBackground(const Artwork& work) const {
  const auto* profile = model.state().profile(work);
  if (!profile || !profile->background) return std::nullopt;
  const auto& c = *profile->background;
  return QColor::fromRgbF(float(c.r), float(c.g), float(c.b), 1.0f);
}

CartelPanel& DesktopController::cartelPanel(const QString& key) {
  auto& d = at(key);
  if (!d.cartel()) d.setCartel(new CartelPanel(services_.windows, services_.compositor));
  return *d.cartel();
}

void DesktopController::showCartel(const QString& key) {
  const auto mode = model.state().settings.cartelMode;
  const auto d = display(key);
  if (!d) return;
  const auto work = currentArtwork(key);
  if (!work) return;
  if (mode == CartelMode::never) {
    if (auto* panel = cartel(key)) panel->fadeOut();
    return;
  }
  auto& panel = cartelPanel(key);
  panel.show(*work, *d, model.state().settings.cartelStyle);
  if (mode != CartelMode::always) panel.scheduleFadeOut(timings_.cartelSeconds);
}

}  // namespace tavolune
