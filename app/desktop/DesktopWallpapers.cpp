// Still desktop pictures: each pass's steps (StillPass) run in turn, on a
// worker or on the GUI thread; the picture is set, the display's older files
// cleaned, and the display's next generative work pre-rendered.

#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/platform/WallpaperBackend.hpp"
#include "app/stage/ArtStageView.hpp"
#include "core/model/Rotation.hpp"

#include <set>
#include <system_error>
#include <utility>

namespace tavolune {

namespace fs = std::filesystem;

void DesktopController::applyStaticWallpaper(const Artwork& work, const Placement& placement, const QString& key,
                                             std::uint64_t generation, bool highQuality, std::function<void()> done) {
  auto& target = at(key);
  target.passStarted();
  const auto d = display(key);
  const auto& state = model.state();
  StillPass::Request request{.work = work,
                             .placement = placement,
                             .key = key,
                             .generation = generation,
                             .highQuality = highQuality,
                             .pixels = d ? d->geometry.size() : QSize(),
                             .scale = d ? d->scale : 1.0,
                             .turns = state.rotation(work.id),
                             .background = seriesBackground(work),
                             .folder = wallpaperDir_};
  auto pass = std::make_shared<StillPass>(std::move(request), target.generationCell(), target.fetchToken(),
                                          model.media().images().requests(), timings_.stageDone);
  if (!d || pass->stale()) return finishPass(pass, done);

  // A generative still asks for its rendered still first: when there is one,
  // the decoded image is not needed at all (a still pass never runs live).
  if (work.mediaKind == MediaKind::generative && !runsLive(work)) {
    const auto& r = pass->request();
    services_.formats.renderedStill(work, StillPass::renderSize(placement, r.pixels, r.turns), r.scale, highQuality,
                                    this, [this, pass, done](QImage still) {
                                      pass->setStill(std::move(still));
                                      if (pass->hasStill() || pass->request().highQuality) {
                                        return composePass(pass, done);
                                      }
                                      decodePass(pass, done);
                                    });
    return;
  }
  decodePass(pass, done);
}

void DesktopController::decodePass(Pass pass, PassDone done) {
  if (pass->stale()) return finishPass(pass, done);
  jobs_.run([pass] { pass->decode(); }, [this, pass, done] { decoded(pass, done); });
}

void DesktopController::decoded(Pass pass, PassDone done) {
  if (pass->stale()) return finishPass(pass, done);
  const auto& work = pass->request().work;
  // A work whose still can't be read would blank the display for its whole
  // turn; one that could not be fetched may answer later and is kept. A
  // generative work's high-quality pass may still render it.
  if (pass->undecodable() && !pass->hasStill() && work.mediaKind != MediaKind::generative && !runsLive(work)) {
    const QString key = pass->request().key;
    const std::string broken = work.id;
    finishPass(pass, done);
    if (config(key).currentArtworkID == broken) passOver(key, broken);
    return;
  }
  // A stage still loading, or failed, shows this picture over its matte.
  if (auto* stage = liveStage(pass->request().key); stage && stage->artwork() && stage->artwork()->id == work.id) {
    stage->setLayerBackground(pass->matte());
    const auto kind = stage->status().kind;
    const QImage& turned = pass->turned();
    if (!turned.isNull() &&
        (kind == ArtStageView::Status::Kind::loading || kind == ArtStageView::Status::Kind::failed)) {
      stage->setStillImage(turned);
      if (!stage->aspectLocked()) {
        stage->setAspect(double(turned.width()) / std::max(turned.height(), 1));
        stage->relayout();
      }
    }
  }
  composePass(pass, done);
}

void DesktopController::composePass(Pass pass, PassDone done) {
  if (pass->stale() || !pass->canCompose()) return finishPass(pass, done);
  jobs_.run([pass] { pass->compose(); }, [this, pass, done] { setPass(pass, done); });
}

void DesktopController::setPass(Pass pass, PassDone done) {
  const auto& r = pass->request();
  const auto d = display(r.key);
  if (!pass->written() || pass->stale() || !d) return finishPass(pass, done);
  WallpaperRequest request{*d, services_.displays.displays(), QString::fromStdString(pass->file().string()),
                           pass->matte(), pass->takePicture()};
  const auto asked = std::chrono::steady_clock::now();
  services_.wallpapers.setPicture(
      std::move(request), this, [this, pass, done, asked](WallpaperBackend::Outcome outcome) {
        const auto& r = pass->request();
        if (timings_.stageDone)
          timings_.stageDone(r.key, r.generation, StillStage::set, std::chrono::steady_clock::now() - asked);
        if (!outcome) {
          passedOver_.erase(r.key);
          // The back end already logged a refusal.
          at(r.key).setApplied({pass->file(), StillPass::colourText(pass->matte())});
          emit wallpaperApplied(r.key);
          if (!pass->stale()) {
            cleanWallpapers(r.key, pass->file());
            prerenderUpcoming(r.key);
          }
        }
        finishPass(pass, done);
      });
}

void DesktopController::finishPass(const Pass& pass, const PassDone& done) {
  // When the display's last pass ends, only the applied picture stays: stale
  // passes' files go with it.
  const QString& key = pass->request().key;
  auto& d = at(key);
  if (d.passEnded()) cleanWallpapers(key, d.applied() ? d.applied()->file : fs::path());
  if (done) done();
}

void DesktopController::cleanWallpapers(const QString& key, const fs::path& keeping) {
  const std::string prefix = key.toStdString() + "-";
  std::error_code error;
  for (fs::directory_iterator it(wallpaperDir_, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.rfind(prefix, 0) != 0 || it->path() == keeping) continue;
    // "display-1-…" must not take "display-12-…" along: the rest is the hash.
    const std::string rest = name.substr(prefix.size());
    if (rest.size() != 20 || rest.substr(16) != ".jpg") continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

void DesktopController::removeStrayWallpapers() {
  std::set<std::string> keys;
  for (const auto& s : screens_) keys.insert(s.id.toStdString());
  std::error_code error;
  for (fs::directory_iterator it(wallpaperDir_, error), end; !error && it != end; it.increment(error)) {
    const std::string name = it->path().filename().string();
    bool remove = name.starts_with(".") && name.ends_with(".part");
    // "<key>-<16 hex>.jpg" of a display no longer connected.
    if (name.size() > 21 && name.ends_with(".jpg") && name[name.size() - 21] == '-' && !name.starts_with("spanned-")) {
      remove = !keys.contains(name.substr(0, name.size() - 21));
    }
    if (!remove) continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

void DesktopController::prerenderUpcoming(const QString& key) {
  const auto d = display(key);
  if (!d) return;
  const ScreenConfig config = this->config(key);
  const auto& state = model.state();
  const auto next = Rotation::next(pool(key), config.currentArtworkID, state.rotationOrder(), history(key));
  if (!next) return;
  auto it = state.artworks.find(*next);
  if (it == state.artworks.end() || it->second.mediaKind != MediaKind::generative) return;
  auto& target = at(key);
  target.setUpcoming(*next);
  // At most one pending per display: a newer one supersedes it.
  auto token = target.newPrerender();
  const Artwork work = it->second;
  QTimer::singleShot(timings_.prerenderWait, this, [this, key, work, token] {
    if (!at(key).takePrerender(token)) return;
    // Only while it is still the display's next work and the display is there.
    if (upcoming(key) != work.id || !display(key)) return;
    const auto& s = power_.state();
    if (s.onBattery || s.thermalSerious || s.lowPower) return;
    services_.formats.profile(work, true, this, [this, key, work] {
      const auto d = display(key);
      if (!d || upcoming(key) != work.id) return;
      const Placement placement = model.state().placement(
          work, this->config(key), double(d->geometry.width()) / std::max(d->geometry.height(), 1), std::nullopt);
      services_.formats.renderedStill(
          work, StillPass::renderSize(placement, d->geometry.size(), model.state().rotation(work.id)), d->scale, true,
          this, [](QImage) {});
    });
  });
}

}  // namespace tavolune
