#include "model/LibraryState.hpp"
#include "text/Text.hpp"

#include <algorithm>
#include <string_view>

namespace tavolune {

bool LibraryState::isSpam(const Artwork& artwork) const {
  if (auto it = spamOverrides.find(artwork.id); it != spamOverrides.end()) return it->second;
  return artwork.isSpam;
}

namespace {

bool isHidden(const LibraryState& s, const Artwork& artwork) {
  if (s.hiddenArtworks.contains(artwork.id)) return true;
  return !s.hiddenCollections.empty() && s.hiddenCollections.contains(artwork.collectionKey());
}

}  // namespace

bool LibraryState::isVisible(const Artwork& artwork) const { return !isHidden(*this, artwork) && !isSpam(artwork); }

ArtworkIDSet LibraryState::ownedArtworkIDs() const {
  ArtworkIDSet ids;
  for (const auto& [wallet, holdings] : ownerships) {
    for (const auto& [id, quantity] : holdings) ids.insert(id);
  }
  return ids;
}

std::unordered_set<Uuid> LibraryState::artistWalletIDs() const {
  std::unordered_set<Uuid> ids;
  for (const auto& w : wallets) {
    if (w.role == WalletRole::artist) ids.insert(w.id);
  }
  return ids;
}

ArtworkIDSet LibraryState::collectionArtworkIDs() const {
  const auto artists = artistWalletIDs();
  ArtworkIDSet ids;
  for (const auto& [wallet, holdings] : ownerships) {
    if (artists.contains(wallet)) continue;
    for (const auto& [id, quantity] : holdings) ids.insert(id);
  }
  return ids;
}

ArtworkIDSet LibraryState::worksArtworkIDs() const {
  const auto artists = artistWalletIDs();
  ArtworkIDSet ids;
  for (const auto& [wallet, holdings] : ownerships) {
    if (!artists.contains(wallet)) continue;
    for (const auto& [id, quantity] : holdings) ids.insert(id);
  }
  return ids;
}

const RenderProfile* LibraryState::profile(const Artwork& artwork) const {
  if (renderProfiles.empty()) return nullptr;
  auto it = renderProfiles.find(artwork.seriesKey());
  return it == renderProfiles.end() ? nullptr : &it->second;
}

int LibraryState::rotation(const std::string& artworkID) const {
  auto it = rotations.find(artworkID);
  if (it == rotations.end()) return 0;
  // Low two bits: -1 is three quarter turns, not -1.
  return static_cast<int>(static_cast<std::uint64_t>(it->second) & 3u);
}

std::optional<ArtworkShape> LibraryState::shape(const Artwork& artwork) const {
  std::optional<double> r;
  const RenderProfile* p = profile(artwork);
  if (p && p->layout.isFixed()) {
    r = p->layout.ratio;
  } else if (p && p->layout.isResponsive()) {
    return ArtworkShape::responsive();
  } else {
    r = artwork.aspectRatio;
  }
  if (!r || !(*r > 0)) return std::nullopt;
  if (hasOddTurns(artwork.id)) r = 1 / *r;
  return ArtworkShape::ratio(*r);
}

namespace {

// Ids a filter starts from, pointing into the ownership maps.
struct TextPtrHash {
  std::size_t operator()(const std::string* s) const noexcept { return std::hash<std::string>{}(*s); }
};
struct TextPtrEqual {
  bool operator()(const std::string* a, const std::string* b) const noexcept { return *a == *b; }
};
using IDViews = std::unordered_set<const std::string*, TextPtrHash, TextPtrEqual>;

IDViews candidateViews(const LibraryState& s, const LibraryFilter& filter) {
  IDViews ids;
  auto addAll = [&ids](const Holdings& holdings) {
    for (const auto& [id, quantity] : holdings) ids.insert(&id);
  };
  if (filter.walletID) {
    if (auto it = s.ownerships.find(*filter.walletID); it != s.ownerships.end()) {
      ids.reserve(it->second.size());
      addAll(it->second);
    }
    return ids;
  }
  std::unordered_set<Uuid> artists;
  if (filter.scope) artists = s.artistWalletIDs();
  std::size_t total = 0;
  for (const auto& [wallet, holdings] : s.ownerships) total += holdings.size();
  ids.reserve(total);
  for (const auto& [wallet, holdings] : s.ownerships) {
    if (filter.scope == LibraryScope::collection && artists.contains(wallet)) continue;
    if (filter.scope == LibraryScope::works && !artists.contains(wallet)) continue;
    addAll(holdings);
  }
  return ids;
}

bool matchesSearch(const Artwork& a, const std::string& query) {
  if (query.empty()) return true;
  if (text::containsCanonically(text::lowercased(a.title), query)) return true;
  if (a.artist && text::containsCanonically(text::lowercased(*a.artist), query)) return true;
  return a.collection && text::containsCanonically(text::lowercased(*a.collection), query);
}

// The cheap exact tests run first; all tests are pure, so order does not
// change the answer.
bool matchesFilter(const LibraryState& s, const Artwork& a, const LibraryFilter& f, const std::string& query) {
  if (f.onDesktopOnly && !s.onDesktop.contains(a.id)) return false;
  if (f.chain && a.chain != *f.chain) return false;
  if (f.platform && a.platform != *f.platform) return false;
  if (f.mediaKind && a.mediaKind != *f.mediaKind) return false;
  if (f.artist && a.artist != f.artist) return false;
  if (f.collection && a.collection != f.collection) return false;
  if (isHidden(s, a)) {
    if (!f.hiddenOnly) return false;
  } else if (s.isSpam(a) != f.hiddenOnly) {
    return false;
  }
  if (f.format && !matches(*f.format, s.shape(a), f.screenAspect)) return false;
  return matchesSearch(a, query);
}

}  // namespace

std::vector<const Artwork*> LibraryState::matching(const LibraryFilter& filter) const {
  const IDViews ids = candidateViews(*this, filter);
  const std::string query = text::composed(text::lowercased(text::trimHorizontalWhitespace(filter.search)));
  std::vector<const Artwork*> out;
  auto consider = [&](const std::string& id) {
    auto it = artworks.find(id);
    if (it != artworks.end() && matchesFilter(*this, it->second, filter, query)) out.push_back(&it->second);
  };
  if (filter.exhibitionID) {
    const Exhibition* e = exhibition(*filter.exhibitionID);
    if (!e) return out;
    for (const auto& id : e->artworkIDs) {
      if (ids.contains(&id)) consider(id);
    }
  } else if (filter.recentOnly) {
    for (const auto& id : recentlyShown) {
      if (ids.contains(&id)) consider(id);
    }
  } else {
    out.reserve(ids.size());
    for (const std::string* id : ids) consider(*id);
  }
  return out;
}

std::vector<const Artwork*> LibraryState::artworksFor(const LibraryFilter& filter) const {
  auto out = matching(filter);
  if (!filter.recentOnly && !filter.exhibitionID) sortByDisplayOrder(out);
  return out;
}

std::size_t LibraryState::count(const LibraryFilter& filter) const { return matching(filter).size(); }

namespace {

// Generative works form the first class; every other kind the second, so
// that the order is a strict weak ordering.
int kindClass(const Artwork& a) { return a.mediaKind == MediaKind::generative ? 0 : 1; }

std::string artistKey(const Artwork& a) { return a.artist ? text::composed(*a.artist) : std::string("~"); }

int compareRest(const Artwork& a, const Artwork& b) {
  // Byte order of UTF-8 is the order of the scalar values.
  if (int c = artistKey(a).compare(artistKey(b)); c != 0) return c;
  if (int c = text::naturalCompare(a.title, b.title); c != 0) return c;
  return a.id.compare(b.id);
}

}  // namespace

bool LibraryState::displayOrder(const Artwork& a, const Artwork& b) {
  if (kindClass(a) != kindClass(b)) return kindClass(a) < kindClass(b);
  return compareRest(a, b) < 0;
}

void LibraryState::sortByDisplayOrder(std::vector<const Artwork*>& works) {
  // The artist keys are composed once rather than at every comparison.
  struct Keyed {
    int kind;
    std::string artist;
    const Artwork* work;
  };
  std::vector<Keyed> keyed;
  keyed.reserve(works.size());
  for (const auto* w : works) keyed.push_back({kindClass(*w), artistKey(*w), w});
  std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
    if (a.kind != b.kind) return a.kind < b.kind;
    if (int c = a.artist.compare(b.artist); c != 0) return c < 0;
    if (int c = text::naturalCompare(a.work->title, b.work->title); c != 0) return c < 0;
    return a.work->id < b.work->id;
  });
  for (std::size_t i = 0; i < works.size(); ++i) works[i] = keyed[i].work;
}

}  // namespace tavolune
