// Which work each display shows: the tick, advancing with history and the
// pre-rendered upcoming work, and the commands views call.

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/stage/ArtStageView.hpp"
#include "core/model/Rotation.hpp"

#include <algorithm>

namespace tavolune {

void DesktopController::setCurrent(const std::string& artworkID, const QString& key) {
  const std::string screen = key.toStdString();
  const Date now = timings_.now();
  model.noteShown(screen, artworkID, now);
}

void DesktopController::tick() {
  const double interval = static_cast<double>(model.state().settings.rotationInterval);
  const Date now = timings_.now();
  const auto list = screens_;
  for (const auto& s : list) {
    const auto last = config(s.id).lastChange;
    // A change dated in the future (clock set back, a restored file) would
    // never fall due: count it as due.
    const bool due = !last || *last > now || Rotation::isDue(last, interval, now);
    if (due && !userPaused_) advance(s.id, true);
  }
}

std::vector<std::string> DesktopController::pool(const QString& key) const {
  std::optional<double> aspect;
  if (auto d = display(key)) aspect = double(d->geometry.width()) / std::max(d->geometry.height(), 1);
  std::vector<std::string> ids;
  for (const Artwork* work : model.state().desktopPool(aspect)) ids.push_back(work->id);
  return ids;
}

void DesktopController::advance(const QString& key, bool forward) {
  const auto current = config(key).currentArtworkID;
  auto ids = pool(key);
  // Works found without a still since the last picture are not picked again.
  if (const auto skipped = passedOver_.find(key); skipped != passedOver_.end()) {
    std::erase_if(ids, [&](const std::string& id) { return id != current && skipped->second.contains(id); });
  }
  const auto order = model.state().rotationOrder();
  const std::vector<std::string> recent = history(key);

  auto& d = at(key);
  std::optional<std::string> candidate;
  if (auto upcoming = d.takeUpcoming()) {
    if (std::find(ids.begin(), ids.end(), *upcoming) != ids.end() && *upcoming != current) candidate = upcoming;
  }

  std::optional<std::string> target;
  if (!forward) {
    target = Rotation::previous(ids, current, recent);
    if (!target) return;
    d.forget(*target);
  } else {
    target = candidate ? candidate : Rotation::next(ids, current, order, recent);
    if (!target) return;
    if (current) d.remember(*current);
  }

  if (model.state().settings.sameArtworkOnAllScreens) {
    for (const auto& k : targetKeys(std::nullopt)) {
      setCurrent(*target, k);
      renderScreen(k, false, false);
    }
  } else {
    setCurrent(*target, key);
    renderScreen(key, false, false);
  }
}

void DesktopController::passOver(const QString& key, const std::string& broken) {
  auto& skipped = passedOver_[key];
  skipped.insert(broken);
  const auto ids = pool(key);
  // Once round the pool: with no work left to try, the display keeps its picture.
  if (std::all_of(ids.begin(), ids.end(), [&](const std::string& id) { return skipped.contains(id); })) {
    passedOver_.erase(key);
    return;
  }
  advance(key, true);
}

void DesktopController::next(const std::optional<QString>& key) {
  for (const auto& k : targetKeys(key)) advance(k, true);
}

void DesktopController::previous(const std::optional<QString>& key) {
  for (const auto& k : targetKeys(key)) advance(k, false);
}

void DesktopController::show(const Artwork& artwork, const std::optional<QString>& key) {
  const std::string id = artwork.id;  // the caller's artwork may live in the state we edit
  for (const auto& k : targetKeys(key)) {
    setCurrent(id, k);
    renderScreen(k, false, false);
  }
}

void DesktopController::play(const Uuid& exhibition) {
  model.setActiveExhibition(exhibition);
  const auto works = model.state().desktopPool();
  if (works.empty()) return;
  const Artwork first = *works.front();
  show(first, std::nullopt);
}

void DesktopController::restartLive(const std::optional<QString>& key) {
  for (const auto& k : targetKeys(key)) {
    auto* stage = liveStage(k);
    if (!stage) continue;
    std::optional<Artwork> work = stage->artwork();
    if (!work) work = currentArtwork(k);
    if (!work) continue;
    if (model.state().runsLive(*work)) stage->load(*work);
  }
  applyPower();
}

void DesktopController::setFraming(Framing framing, const std::optional<QString>& key) {
  for (const auto& k : targetKeys(key)) {
    const std::string screen = k.toStdString();
    model.setDisplayFraming(screen, framing);
    renderScreen(k, false, false);
  }
}

void DesktopController::previewCartels() {
  const auto mode = model.state().settings.cartelMode;
  const auto list = screens_;
  for (const auto& s : list) {
    auto d = display(s.id);
    auto work = currentArtwork(s.id);
    if (!d || !work) continue;
    auto& panel = cartelPanel(s.id);
    panel.show(*work, *d, model.state().settings.cartelStyle);
    if (mode != CartelMode::always) panel.scheduleFadeOut(timings_.cartelSeconds);
  }
}

}  // namespace tavolune
