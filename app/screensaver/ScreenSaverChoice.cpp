// Which work a saver window shows next: the desktop pool (generative works
// first when live works may run, the recent ones avoided), or the next work
// of the slideshow's exhibition.

#include "app/screensaver/ScreenSaver.hpp"

#include "app/desktop/PowerPolicy.hpp"
#include "app/model/AppModel.hpp"
#include "core/model/LibraryFilter.hpp"
#include "core/model/Rotation.hpp"

namespace tavolune {

bool ScreenSaver::canRunLive() const {
  if (model_.state().settings.animation == AnimationPolicy::never) return false;
  return !power_.pauseReason(std::nullopt);
}

void ScreenSaver::setSlideshow(std::optional<Uuid> exhibition) {
  if (exhibition) {
    slideshow_ = Slideshow{*exhibition, std::nullopt};
  } else {
    slideshow_.reset();
  }
}

std::optional<Artwork> ScreenSaver::nextArtwork(QSize frame) {
  const LibraryState& state = model_.state();
  const auto lookUp = [&state](const std::optional<std::string>& id) -> std::optional<Artwork> {
    if (!id) return std::nullopt;
    const auto it = state.artworks.find(*id);
    if (it == state.artworks.end()) return std::nullopt;
    return it->second;
  };

  if (slideshow_) {
    LibraryFilter filter;
    filter.exhibitionID = slideshow_->exhibition;
    std::vector<std::string> ids;
    for (const Artwork* a : state.artworksFor(filter)) ids.push_back(a->id);
    auto id = Rotation::next(ids, slideshow_->last, PlaybackOrder::sequential, {});
    if (!id) return std::nullopt;
    slideshow_->last = id;
    return lookUp(id);
  }

  const double aspect = double(frame.width()) / std::max(frame.height(), 1);
  const auto pool = state.desktopPool(aspect);
  std::vector<std::string> candidates;
  if (canRunLive()) {
    for (const Artwork* a : pool) {
      if (a->mediaKind == MediaKind::generative) candidates.push_back(a->id);
    }
  }
  if (candidates.empty()) {
    for (const Artwork* a : pool) candidates.push_back(a->id);
  }
  const std::vector<std::string> avoiding(recent_.begin(), recent_.end());
  const std::optional<std::string> after = recent_.empty() ? std::nullopt : std::optional(recent_.back());
  auto id = Rotation::next(candidates, after, PlaybackOrder::shuffle, avoiding);
  if (!id) return std::nullopt;
  recent_.push_back(*id);
  while (recent_.size() > recentLimit) recent_.pop_front();
  return lookUp(id);
}

}  // namespace tavolune
