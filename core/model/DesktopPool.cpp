#include "core/model/LibraryListing.hpp"
#include "core/model/LibraryState.hpp"

#include <algorithm>
#include <cmath>

namespace tavolune {
namespace {

bool isOwned(const LibraryState& s, const std::string& id) {
  return std::any_of(s.ownerships.begin(), s.ownerships.end(),
                     [&](const auto& entry) { return entry.second.contains(id); });
}

LibraryFilter scopeFilter(LibraryScope scope) {
  LibraryFilter f;
  f.scope = scope;
  return f;
}

}  // namespace

std::vector<const Artwork*> LibraryState::selectionPool() const {
  std::vector<const Artwork*> out;
  for (const auto& id : onDesktop) {
    auto it = artworks.find(id);
    if (it != artworks.end() && isOwned(*this, id) && isVisible(it->second)) out.push_back(&it->second);
  }
  return out;
}

std::vector<const Artwork*> LibraryState::desktopPool() const {
  if (const Exhibition* e = shownExhibition()) {
    LibraryFilter f;
    f.exhibitionID = e->id;
    return artworksFor(f);
  }
  auto selection = selectionPool();
  if (!selection.empty()) {
    sortByDisplayOrder(selection);
    return selection;
  }
  auto collection = artworksFor(scopeFilter(LibraryScope::collection));
  if (!collection.empty()) return collection;
  return artworksFor(scopeFilter(LibraryScope::works));
}

std::vector<const Artwork*> LibraryState::desktopPool(std::optional<double> screenAspect) const {
  auto pool = desktopPool();
  if (!screenAspect || !settings.onlyFitsScreen) return pool;
  std::vector<const Artwork*> fitting;
  for (const auto* a : pool) {
    if (matches(FormatFilter::fitsScreen, shape(*a), *screenAspect)) fitting.push_back(a);
  }
  return fitting.empty() ? pool : fitting;
}

std::size_t LibraryState::desktopPoolCount() const {
  if (const Exhibition* e = shownExhibition()) {
    LibraryFilter f;
    f.exhibitionID = e->id;
    return count(f);
  }
  if (auto n = selectionPool().size(); n > 0) return n;
  if (auto n = count(scopeFilter(LibraryScope::collection)); n > 0) return n;
  return count(scopeFilter(LibraryScope::works));
}

bool LibraryState::hasDesktopPool() const {
  // The two scopes together hold every owned work.
  for (const auto& [wallet, holdings] : ownerships) {
    for (const auto& [id, quantity] : holdings) {
      auto it = artworks.find(id);
      if (it != artworks.end() && isVisible(it->second)) return true;
    }
  }
  return false;
}

bool LibraryState::shouldAnimate(const Artwork& artwork) const {
  if ((artwork.mediaKind == MediaKind::image || artwork.mediaKind == MediaKind::other) &&
      !artwork.isAnimatedImage()) {
    return false;
  }
  switch (settings.animation) {
    case AnimationPolicy::never: return false;
    case AnimationPolicy::selected: return animatedArtworks.contains(artwork.id);
    case AnimationPolicy::all: return true;
  }
  return false;
}

bool LibraryState::runsLive(const Artwork& artwork) const {
  // A turned work is always shown as a still.
  return shouldAnimate(artwork) && rotation(artwork.id) == 0;
}

Placement LibraryState::basePlacement(const Artwork& artwork, const ScreenConfig& screen, double screenAspect,
                                      std::optional<double> imageRatio) const {
  std::optional<Framing> preferred;
  if (auto it = preferredFraming.find(artwork.id); it != preferredFraming.end()) preferred = it->second;
  const RenderProfile* p = profile(artwork);
  if (p && p->layout.isResponsive() && preferred != Framing::passePartout) return Placement::fullBleed();
  double ratio = 1.0;
  if (p && p->layout.isFixed()) {
    ratio = p->layout.ratio;
  } else if (artwork.aspectRatio) {
    ratio = *artwork.aspectRatio;
  } else if (imageRatio) {
    ratio = *imageRatio;
  }
  if (hasOddTurns(artwork.id)) ratio = 1 / std::max(ratio, 0.01);
  Framing framing;
  if (preferred) {
    framing = *preferred;
  } else if (!p || p->layout.isUnknown()) {
    framing = screen.framing;
  } else {
    framing = std::abs(ratio - screenAspect) / screenAspect <= formats::screenTolerance ? Framing::fill
                                                                                        : Framing::passePartout;
  }
  return Placement::framed(ratio, framing);
}

Placement LibraryState::placement(const Artwork& artwork, const ScreenConfig& screen, double screenAspect,
                                  std::optional<double> imageRatio) const {
  Placement base = basePlacement(artwork, screen, screenAspect, imageRatio);
  if (settings.frame == FrameStyle::none) return base;
  if (const auto* framed = base.as<Placement::Framed>()) return Placement::inFrame(settings.frame, framed->ratio);
  if (base.as<Placement::FullBleed>()) return Placement::inFrame(settings.frame, std::nullopt);
  return base;
}

std::vector<const Artwork*> LibraryState::unmeasuredSeries() const {
  // The listing walks the works in display order, so the first of a series
  // is the one it meets first.
  return LibraryListing(*this).unmeasuredSeries();
}

void LibraryState::noteShown(const std::string& artworkID) {
  touch();
  std::erase(recentlyShown, artworkID);
  recentlyShown.insert(recentlyShown.begin(), artworkID);
  if (recentlyShown.size() > recentLimit) recentlyShown.resize(recentLimit);
}

}  // namespace tavolune
