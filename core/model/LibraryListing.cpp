#include "core/model/LibraryListing.hpp"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

namespace tavolune {
namespace {

void add(std::size_t (&tally)[2][2], const LibraryListing::Work& w) {
  ++tally[w.hiddenOrSpam][0];
  if (w.onDesktop) ++tally[w.hiddenOrSpam][1];
}

}  // namespace

void LibraryListing::build(const LibraryState& s) {
  state_ = &s;
  revision_ = s.revision();
  activeExhibition_ = s.activeExhibition;

  // The owned works, each once, with the wallets that hold them.
  const auto artists = s.artistWalletIDs();
  std::unordered_map<std::string_view, std::uint32_t> slotOf;  // later: the position
  slotOf.reserve(s.artworks.size());
  std::vector<const Artwork*> owned;
  std::vector<char> collected;
  std::vector<char> made;
  for (const auto& [wallet, holdings] : s.ownerships) {
    const bool artist = artists.contains(wallet);
    Holder& h = holders_.emplace_back(Holder{wallet, {}, {}});
    h.positions.reserve(holdings.size());
    for (const auto& [id, quantity] : holdings) {
      auto it = s.artworks.find(id);
      if (it == s.artworks.end()) continue;
      auto [slot, added] = slotOf.try_emplace(it->first, static_cast<std::uint32_t>(owned.size()));
      if (added) {
        owned.push_back(&it->second);
        collected.push_back(false);
        made.push_back(false);
      }
      (artist ? made : collected)[slot->second] = true;
      h.positions.push_back(slot->second);
    }
  }

  std::vector<const Artwork*> ordered = owned;
  LibraryState::sortByDisplayOrder(ordered);
  std::vector<std::uint32_t> positionOfSlot(owned.size());
  for (std::uint32_t p = 0; p < ordered.size(); ++p) {
    auto& slot = slotOf.at(ordered[p]->id);
    positionOfSlot[slot] = p;
    slot = p;
  }

  works_.reserve(ordered.size());
  inCollection_.resize(ordered.size());
  inWorks_.resize(ordered.size());
  seriesOf_.assign(ordered.size(), absent);
  std::unordered_map<std::string, std::uint32_t> series;
  for (std::uint32_t p = 0; p < ordered.size(); ++p) {
    works_.push_back(Work::describe(s, *ordered[p], {}));
    searchTexts_.add(works_.back().searchText);
    works_.back().searchText = {};
    if (ordered[p]->mediaKind != MediaKind::generative) continue;
    auto [it, added] = series.try_emplace(ordered[p]->seriesKey(), static_cast<std::uint32_t>(seriesKeys_.size()));
    if (added) seriesKeys_.push_back(it->first);
    seriesOf_[p] = it->second;
  }
  for (std::uint32_t slot = 0; slot < owned.size(); ++slot) {
    const std::uint32_t p = positionOfSlot[slot];
    inCollection_[p] = collected[slot] != 0;
    inWorks_[p] = made[slot] != 0;
  }
  for (auto& h : holders_) {
    for (auto& p : h.positions) p = positionOfSlot[p];
    std::sort(h.positions.begin(), h.positions.end());
  }
  indexIds();
  tally();
  listOrdered(s);
  checkProfiles(s);
  listUnmeasured();
}

void LibraryListing::tally() {
  for (Tally* t : {&all_, &collection_, &artistWorks_}) std::fill(&(*t)[0][0], &(*t)[0][0] + 4, 0);
  for (std::uint32_t p = 0; p < works_.size(); ++p) {
    add(all_, works_[p]);
    if (inCollection_[p]) add(collection_, works_[p]);
    if (inWorks_[p]) add(artistWorks_, works_[p]);
  }
  for (auto& h : holders_) {
    std::fill(&h.tally[0][0], &h.tally[0][0] + 4, 0);
    for (auto p : h.positions) add(h.tally, works_[p]);
  }
}

void LibraryListing::recount(std::uint32_t position, int by) {
  const Work& w = works_[position];
  const auto bump = [&](Tally& t) {
    auto& marks = t[w.hiddenOrSpam];
    by > 0 ? ++marks[0] : --marks[0];
    if (w.onDesktop) by > 0 ? ++marks[1] : --marks[1];
  };
  bump(all_);
  if (inCollection_[position]) bump(collection_);
  if (inWorks_[position]) bump(artistWorks_);
  for (auto& h : holders_) {
    if (std::binary_search(h.positions.begin(), h.positions.end(), position)) bump(h.tally);
  }
}

void LibraryListing::indexIds() {
  for (const auto& w : works_) ids_.add(w.artwork->id);
  index_.build(std::uint32_t(works_.size()), [&](std::uint32_t p) { return ids_[p]; });
}

std::uint32_t LibraryListing::position(std::string_view id) const {
  return index_.find(id, [&](std::uint32_t p) { return ids_[p]; });
}

void LibraryListing::listOrdered(const LibraryState& s) {
  auto positions = [&](const std::vector<std::string>& ids) {
    std::vector<std::uint32_t> out;
    out.reserve(ids.size());
    for (const auto& id : ids) out.push_back(position(id));
    return out;
  };
  exhibitions_.clear();
  for (const auto& e : s.exhibitions) exhibitions_.emplace_back(e.id, positions(e.artworkIDs));
  recent_ = positions(s.recentlyShown);
  activeExhibition_ = s.activeExhibition;
}

void LibraryListing::checkProfiles(const LibraryState& s) {
  profiled_.resize(seriesKeys_.size());
  for (std::size_t k = 0; k < seriesKeys_.size(); ++k) profiled_[k] = s.renderProfiles.contains(seriesKeys_[k]);
}

void LibraryListing::listUnmeasured() {
  // One work per series still to be measured, those in the selection first.
  unmeasured_.clear();
  std::vector<char> seen(seriesKeys_.size());
  std::vector<const Artwork*> rest;
  for (std::uint32_t p = 0; p < works_.size(); ++p) {
    const std::uint32_t k = seriesOf_[p];
    const Work& w = works_[p];
    if (k == absent || w.hiddenOrSpam || profiled_[k] || seen[k]) continue;
    seen[k] = true;
    (w.onDesktop ? unmeasured_ : rest).push_back(w.artwork);
  }
  unmeasured_.insert(unmeasured_.end(), rest.begin(), rest.end());
}

void LibraryListing::amend(const LibraryState& s, const std::vector<std::string_view>& changed, Changed what) {
  state_ = &s;
  revision_ = s.revision();
  last_.valid = false;
  if (what.ordered) listOrdered(s);
  const Work::Needs needs{.hidden = what.hidden,
                         .onDesktop = what.onDesktop && !what.allOnDesktop,
                         .shape = what.shape,
                         .searchText = false};
  bool marks = false;
  // The unmeasured list changes with works of series still unmeasured.
  bool unmeasured = what.shape;
  const bool counted = what.hidden || what.onDesktop;
  // A few works are taken out of the counts and put back; many, counted anew.
  const bool few = changed.size() * 8 < works_.size();
  for (const auto id : changed) {
    const std::uint32_t p = position(id);
    if (p == absent) continue;
    Work& w = works_[p];
    marks = true;
    unmeasured = unmeasured || (seriesOf_[p] != absent && !profiled_[seriesOf_[p]]);
    if (counted && few) recount(p, -1);
    if (what.allOnDesktop) w.onDesktop = *what.allOnDesktop;
    if (needs.hidden || needs.onDesktop || needs.shape) {
      const Work fresh = Work::describe(s, *w.artwork, needs);
      if (needs.hidden) w.hiddenOrSpam = fresh.hiddenOrSpam;
      if (needs.onDesktop) w.onDesktop = fresh.onDesktop;
      if (needs.shape) w.shape = fresh.shape;
    }
    if (counted && few) recount(p, 1);
  }
  if (!marks) return;
  if (counted && !few) tally();
  if (what.shape) checkProfiles(s);
  if (unmeasured) listUnmeasured();
}

const LibraryListing& LibraryListing::update(const LibraryState& state) {
  if (!isCurrent(state)) {
    const std::size_t rebuilds = rebuilds_;
    *this = LibraryListing(state);
    rebuilds_ = rebuilds + 1;
  }
  return *this;
}

const LibraryListing::Holder* LibraryListing::holder(const Uuid& wallet) const {
  auto it = std::find_if(holders_.begin(), holders_.end(), [&](const Holder& h) { return h.wallet == wallet; });
  return it == holders_.end() ? nullptr : &*it;
}

bool LibraryListing::passes(std::uint32_t p, const LibraryFilter& filter, std::string_view query) const {
  return works_[p].passes(filter, query, searchTexts_[p]);
}

template <class Visit>
void LibraryListing::forEachMatch(const LibraryFilter& f, std::string_view query, Visit&& visit) const {
  const Holder* wallet = nullptr;
  if (f.walletID) {
    wallet = holder(*f.walletID);
    if (!wallet) return;
  }
  auto consider = [&](std::uint32_t p) {
    if (passes(p, f, query)) visit(p);
  };
  auto isCandidate = [&](std::uint32_t p) {
    if (wallet) return std::binary_search(wallet->positions.begin(), wallet->positions.end(), p);
    if (f.scope == LibraryScope::collection) return bool(inCollection_[p]);
    if (f.scope == LibraryScope::works) return bool(inWorks_[p]);
    return true;
  };
  // An ordered list keeps its order and its repeats.
  auto walkListed = [&](const std::vector<std::uint32_t>& listed) {
    for (auto p : listed) {
      if (p != absent && isCandidate(p)) consider(p);
    }
  };
  if (f.exhibitionID) {
    auto it = std::find_if(exhibitions_.begin(), exhibitions_.end(),
                           [&](const auto& e) { return e.first == *f.exhibitionID; });
    if (it != exhibitions_.end()) walkListed(it->second);
  } else if (f.recentOnly) {
    walkListed(recent_);
  } else if (wallet) {
    for (auto p : wallet->positions) consider(p);
  } else {
    for (std::uint32_t p = 0; p < works_.size(); ++p) {
      if (isCandidate(p)) consider(p);
    }
  }
}

// From the last answer when it can tell.
const std::vector<std::uint32_t>& LibraryListing::positionsFor(const LibraryFilter& filter) const {
  std::string query = searchQuery(filter.search);
  LibraryFilter rest = filter;
  rest.search.clear();
  if (last_.valid && last_.filter == rest) {
    if (query == last_.query) return last_.positions;
    if (query.find(last_.query) != std::string::npos) {
      // A field that holds the longer query holds the shorter one: the
      // matches are among the last ones, in the same order.
      std::erase_if(last_.positions, [&](std::uint32_t p) { return !passes(p, filter, query); });
      last_.query = std::move(query);
      return last_.positions;
    }
  }
  last_.valid = false;
  last_.positions.clear();
  forEachMatch(filter, query, [&](std::uint32_t p) { last_.positions.push_back(p); });
  last_ = {true, std::move(rest), std::move(query), std::move(last_.positions)};
  return last_.positions;
}

std::vector<const Artwork*> LibraryListing::artworksFor(const LibraryFilter& filter) const {
  const auto& positions = positionsFor(filter);
  std::vector<const Artwork*> out;
  out.reserve(positions.size());
  for (const auto p : positions) out.push_back(works_[p].artwork);
  return out;
}

std::optional<std::size_t> LibraryListing::tallied(const LibraryFilter& f, std::string_view query) const {
  // Only the wallet, scope, visibility and selection criteria are tallied.
  if (f.exhibitionID || f.recentOnly || f.chain || f.platform || f.mediaKind || f.artist || f.collection || f.format ||
      !query.empty()) {
    return std::nullopt;
  }
  const Tally* t = &all_;
  if (f.walletID) {
    const Holder* h = holder(*f.walletID);
    if (!h) return 0;
    t = &h->tally;
  } else if (f.scope == LibraryScope::collection) {
    t = &collection_;
  } else if (f.scope == LibraryScope::works) {
    t = &artistWorks_;
  }
  return (*t)[f.hiddenOnly][f.onDesktopOnly];
}

std::size_t LibraryListing::count(const LibraryFilter& filter) const {
  if (auto n = tallied(filter, searchQuery(filter.search))) return *n;
  return positionsFor(filter).size();
}

std::size_t LibraryListing::desktopPoolCount() const {
  if (activeExhibition_) {
    LibraryFilter shown;
    shown.exhibitionID = activeExhibition_;
    if (auto n = count(shown); n > 0) return n;
  }
  if (auto n = all_[0][1]; n > 0) return n;
  if (auto n = collection_[0][0]; n > 0) return n;
  return artistWorks_[0][0];
}

}  // namespace tavolune
