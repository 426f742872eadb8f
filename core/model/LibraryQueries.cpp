#include "core/model/LibraryListing.hpp"
#include "core/model/LibraryState.hpp"
#include "core/text/Text.hpp"

#include <algorithm>
#include <string_view>

namespace tavolune {

bool LibraryState::isSpam(const Artwork& artwork) const {
  if (spamOverrides.empty()) return artwork.isSpam;
  if (auto it = spamOverrides.find(artwork.id); it != spamOverrides.end()) return it->second;
  return artwork.isSpam;
}

namespace {

// Whether key is "<chain>:<contract lower-cased>" for this work, without
// building the key (an ASCII contract compares case-insensitively as is).
bool isCollectionKeyOf(std::string_view key, const Artwork& a) {
  for (unsigned char c : a.contract) {
    if (c >= 0x80) return key == a.collectionKey();
  }
  const std::string_view chain = rawValue(a.chain);
  if (key.size() != chain.size() + 1 + a.contract.size() || !key.starts_with(chain) || key[chain.size()] != ':') {
    return false;
  }
  std::string_view contract = key.substr(chain.size() + 1);
  for (std::size_t i = 0; i < contract.size(); ++i) {
    char c = a.contract[i];
    char lower = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (contract[i] != lower) return false;
  }
  return true;
}

bool inHiddenCollection(const LibraryState& s, const Artwork& artwork) {
  if (s.hiddenCollections.empty()) return false;
  if (s.hiddenCollections.size() > 8) return s.hiddenCollections.contains(artwork.collectionKey());
  for (const auto& key : s.hiddenCollections) {
    if (isCollectionKeyOf(key, artwork)) return true;
  }
  return false;
}

bool isHidden(const LibraryState& s, const Artwork& artwork) {
  return s.hiddenArtworks.contains(artwork.id) || inHiddenCollection(s, artwork);
}

}  // namespace

bool LibraryState::isVisible(const Artwork& artwork) const { return !isHidden(*this, artwork) && !isSpam(artwork); }

LibraryListing::Work LibraryListing::Work::describe(const LibraryState& s, const Artwork& a, Needs needs) {
  Work w;
  w.artwork = &a;
  if (needs.hidden) w.hiddenOrSpam = isHidden(s, a) || s.isSpam(a);
  if (needs.onDesktop) w.onDesktop = s.onDesktop.contains(a.id);
  if (needs.shape) w.shape = s.shape(a);
  if (needs.searchText) {
    // What a lower-cased, composed query can be found in, field by field.
    auto append = [&](const std::string& field) { w.searchText += text::composed(text::lowercased(field)); };
    append(a.title);
    w.titleEnd = static_cast<std::uint32_t>(w.searchText.size());
    if (a.artist) append(*a.artist);
    w.artistEnd = static_cast<std::uint32_t>(w.searchText.size());
    if (a.collection) append(*a.collection);
  }
  return w;
}

std::string LibraryListing::searchQuery(std::string_view search) {
  return text::composed(text::lowercased(text::trimHorizontalWhitespace(search)));
}

bool LibraryListing::Work::passes(const LibraryFilter& f, std::string_view query, std::string_view fields) const {
  // The cheap tests first; all are pure, so the order does not change the answer.
  if (hiddenOrSpam != f.hiddenOnly) return false;
  if (f.onDesktopOnly && !onDesktop) return false;
  const Artwork& a = *artwork;
  if (f.chain && a.chain != *f.chain) return false;
  if (f.platform && a.platform != *f.platform) return false;
  if (f.mediaKind && a.mediaKind != *f.mediaKind) return false;
  if (f.artist && a.artist != f.artist) return false;
  if (f.collection && a.collection != f.collection) return false;
  if (f.format && !matches(*f.format, shape, f.screenAspect)) return false;
  if (query.empty()) return true;
  return fields.substr(0, titleEnd).find(query) != std::string_view::npos ||
         fields.substr(titleEnd, artistEnd - titleEnd).find(query) != std::string_view::npos ||
         fields.substr(artistEnd).find(query) != std::string_view::npos;
}

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

// The holdings a filter draws its candidates from.
std::vector<const Holdings*> candidateHoldings(const LibraryState& s, const LibraryFilter& filter) {
  std::vector<const Holdings*> out;
  if (filter.walletID) {
    if (auto it = s.ownerships.find(*filter.walletID); it != s.ownerships.end()) out.push_back(&it->second);
    return out;
  }
  std::unordered_set<Uuid> artists;
  if (filter.scope) artists = s.artistWalletIDs();
  for (const auto& [wallet, holdings] : s.ownerships) {
    if (filter.scope == LibraryScope::collection && artists.contains(wallet)) continue;
    if (filter.scope == LibraryScope::works && !artists.contains(wallet)) continue;
    out.push_back(&holdings);
  }
  return out;
}

bool heldBy(const std::vector<const Holdings*>& holdings, const std::string& id) {
  for (const auto* h : holdings) {
    if (h->contains(id)) return true;
  }
  return false;
}

}  // namespace

std::vector<const Artwork*> LibraryState::matching(const LibraryFilter& filter) const {
  const auto holdings = candidateHoldings(*this, filter);
  const std::string query = LibraryListing::searchQuery(filter.search);
  const auto needs = LibraryListing::Work::needsOf(filter, query);
  auto keep = [&](const Artwork& a) { return LibraryListing::Work::describe(*this, a, needs).passes(filter, query); };
  std::vector<const Artwork*> out;
  if (holdings.empty()) return out;
  // Ids from an ordered list: kept when a candidate wallet holds them.
  auto considerListed = [&](const std::string& id) {
    if (!heldBy(holdings, id)) return;
    auto it = artworks.find(id);
    if (it != artworks.end() && keep(it->second)) out.push_back(&it->second);
  };
  if (filter.exhibitionID) {
    const Exhibition* e = exhibition(*filter.exhibitionID);
    if (!e) return out;
    for (const auto& id : e->artworkIDs) considerListed(id);
  } else if (filter.recentOnly) {
    for (const auto& id : recentlyShown) considerListed(id);
  } else if (filter.onDesktopOnly && onDesktop.size() < artworks.size()) {
    // Only the selection can match: walk it instead of the whole library.
    for (const auto& id : onDesktop) considerListed(id);
  } else {
    std::size_t held = 0;
    for (const auto* h : holdings) held += h->size();
    if (held < artworks.size()) {
      // Walk the holdings, each id once: skip ids an earlier wallet holds.
      for (std::size_t k = 0; k < holdings.size(); ++k) {
        for (const auto& [id, quantity] : *holdings[k]) {
          bool seen = false;
          for (std::size_t j = 0; j < k && !seen; ++j) seen = holdings[j]->contains(id);
          if (seen) continue;
          auto it = artworks.find(id);
          if (it != artworks.end() && keep(it->second)) out.push_back(&it->second);
        }
      }
    } else {
      // The owned works are the stored works that a candidate wallet holds;
      // walking the store visits each once without building an id set.
      out.reserve(artworks.size());
      for (const auto& [id, artwork] : artworks) {
        if (heldBy(holdings, id) && keep(artwork)) out.push_back(&artwork);
      }
    }
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
  // Kind and artist first, with the artist keys composed once; titles are
  // compared by collation keys, made only where kind and artist tie.
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
    return a.artist < b.artist;
  });
  struct Titled {
    std::string key;
    const Artwork* work;
  };
  std::vector<Titled> run;
  for (std::size_t begin = 0; begin < keyed.size();) {
    std::size_t end = begin + 1;
    while (end < keyed.size() && keyed[end].kind == keyed[begin].kind && keyed[end].artist == keyed[begin].artist) ++end;
    if (end - begin > 1) {
      run.clear();
      for (std::size_t i = begin; i < end; ++i) run.push_back({text::naturalSortKey(keyed[i].work->title), keyed[i].work});
      std::sort(run.begin(), run.end(), [](const Titled& a, const Titled& b) {
        if (int c = a.key.compare(b.key); c != 0) return c < 0;
        if (int c = a.work->title.compare(b.work->title); c != 0) return c < 0;
        return a.work->id < b.work->id;
      });
      for (std::size_t i = begin; i < end; ++i) keyed[i].work = run[i - begin].work;
    }
    begin = end;
  }
  for (std::size_t i = 0; i < works.size(); ++i) works[i] = keyed[i].work;
}

}  // namespace tavolune
