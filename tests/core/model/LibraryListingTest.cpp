#include "core/model/LibraryListing.hpp"
#include "core/text/Text.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <unordered_set>
#include <utility>

namespace tavolune {
namespace {

using testsupport::ids;

// Small random libraries that use every member a query reads, with texts
// that differ only in case, accents or composition.
class RandomLibrary {
 public:
  explicit RandomLibrary(unsigned seed) : rng_(seed) {}

  template <class T>
  const T& pick(const std::vector<T>& items) {
    return items[std::uniform_int_distribution<std::size_t>(0, items.size() - 1)(rng_)];
  }
  bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  LibraryState make() {
    LibraryState s;
    for (int w = 1 + below(4); w > 0; --w) s.wallets.push_back(testsupport::wallet(chance(0.3) ? WalletRole::artist : WalletRole::collector));
    std::vector<Uuid> holders;
    for (const auto& w : s.wallets) holders.push_back(w.id);
    holders.push_back(Uuid::random());  // holdings of a removed wallet
    std::vector<std::string> all;
    for (int i = below(60); i > 0; --i) {
      Artwork a = Artwork::make({.chain = chance(0.7) ? Chain::ethereum : Chain::tezos,
                                 .contract = pick(contracts),
                                 .tokenId = std::to_string(below(200)),
                                 .title = pick(titles) + (chance(0.5) ? " #" + std::to_string(below(12)) : ""),
                                 .artist = chance(0.8) ? std::optional(pick(artists)) : std::nullopt,
                                 .collection = chance(0.6) ? std::optional(pick(titles)) : std::nullopt,
                                 .platform = chance(0.5) ? Platform::fxhash : Platform::generic,
                                 .mediaKind = static_cast<MediaKind>(below(4))});
      if (a.mediaKind == MediaKind::generative) a.editionNumber = "1";
      if (chance(0.7)) a.aspectRatio = pick(std::vector<double>{0, 0.5, 0.9, 1.0, 1.5, 1.6, 2.0});
      a.isSpam = chance(0.1);
      all.push_back(a.id);
      for (const auto& h : holders) {
        if (chance(0.4)) s.ownerships[h][a.id] = 1;
      }
      if (a.mediaKind == MediaKind::generative && chance(0.4)) {
        s.renderProfiles[a.seriesKey()] = {chance(0.5) ? ArtLayout::fixed(0.5) : ArtLayout::responsive(), std::nullopt,
                                           now()};
      }
      s.artworks[a.id] = std::move(a);
    }
    all.push_back("ethereum:0xgone:1");
    s.ownerships[holders.front()][all.back()] = 1;  // held but not stored
    for (const auto& id : all) {
      if (chance(0.1)) s.hiddenArtworks.insert(id);
      if (chance(0.1)) s.spamOverrides[id] = chance(0.5);
      if (chance(0.3)) s.onDesktop.insert(id);
      if (chance(0.1)) s.rotations[id] = below(4);
      if (chance(0.2)) s.recentlyShown.push_back(id);
    }
    if (chance(0.3)) s.hiddenCollections.insert("tezos:kt1b");
    for (int e = below(3); e > 0; --e) {
      std::vector<std::string> works;
      for (int i = below(10); i > 0; --i) works.push_back(all.empty() ? "none" : pick(all));
      s.exhibitions.push_back({Uuid::random(), "Show", works});  // repeats kept
    }
    if (!s.exhibitions.empty() && chance(0.5)) s.activeExhibition = pick(s.exhibitions).id;
    return s;
  }

  LibraryFilter filter(const LibraryState& s) {
    LibraryFilter f;
    if (chance(0.2)) f.walletID = chance(0.8) && !s.wallets.empty() ? pick(s.wallets).id : Uuid::random();
    if (chance(0.4)) f.scope = chance(0.5) ? LibraryScope::collection : LibraryScope::works;
    if (chance(0.15)) f.chain = chance(0.5) ? Chain::ethereum : Chain::tezos;
    if (chance(0.15)) f.platform = Platform::fxhash;
    if (chance(0.15)) f.mediaKind = static_cast<MediaKind>(below(4));
    if (chance(0.1)) f.artist = pick(artists);
    if (chance(0.1)) f.collection = pick(titles);
    if (chance(0.5)) f.search = pick(searches);
    f.hiddenOnly = chance(0.3);
    f.onDesktopOnly = chance(0.2);
    if (chance(0.15)) f.exhibitionID = chance(0.8) && !s.exhibitions.empty() ? pick(s.exhibitions).id : Uuid::random();
    f.recentOnly = chance(0.15);
    if (chance(0.25)) f.format = static_cast<FormatFilter>(below(4));
    if (chance(0.3)) f.screenAspect = 2.0;
    return f;
  }

 private:
  std::mt19937 rng_;
  const std::vector<std::string> contracts{"0xA1", "0xa1", "0xB2", "KT1B"};
  const std::vector<std::string> titles{"Dune", "dune 10", "Dune 2", "Caf\u00e9", "CAFE\u0301", "Tide", "\u212Aelvin", ""};
  const std::vector<std::string> artists{"Ana", "ana", "Zo\u00eb", "Zoe\u0308", "~", "Bob"};
  const std::vector<std::string> searches{" dune ", "DUNE", "caf\u00e9", "cafe\u0301", "e\u0301", "\t", "kelvin",
                                          "k", "zo\u00eb", " #1", "10", "nothing", "ana"};
};

// The search rule as written down: the trimmed, lower-cased query found in
// the lower-cased title, artist or collection, canonically equivalent
// characters taken as equal.
bool searchFinds(const Artwork& a, const std::string& search) {
  const std::string query = text::lowercased(text::trimHorizontalWhitespace(search));
  auto in = [&](const std::optional<std::string>& field) {
    return field && text::containsCanonically(text::lowercased(*field), query);
  };
  return in(a.title) || in(a.artist) || in(a.collection);
}

TEST(LibraryListing, AnswersEqualTheStateForRandomLibrariesAndFilters) {
  std::size_t answered = 0;  // non-empty answers, so that the cases are not trivial
  for (unsigned seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE(seed);
    RandomLibrary random(seed);
    const LibraryState s = random.make();
    const LibraryListing listing(s);
    EXPECT_EQ(listing.desktopPoolCount(), s.desktopPoolCount());
    for (int round = 0; round < 10; ++round) {
      const LibraryFilter f = random.filter(s);
      const auto expected = s.artworksFor(f);
      ASSERT_EQ(ids(listing.artworksFor(f)), ids(expected)) << "search \"" << f.search << "\"";
      EXPECT_EQ(listing.count(f), expected.size());
      answered += !expected.empty();
      // Both answer the search as the rule says.
      LibraryFilter unsearched = f;
      unsearched.search.clear();
      std::vector<const Artwork*> found;
      for (const auto* a : s.artworksFor(unsearched)) {
        if (searchFinds(*a, f.search)) found.push_back(a);
      }
      EXPECT_EQ(ids(expected), ids(found));
      // Typed a character at a time, then cleared: each answer may narrow the one before.
      LibraryFilter typed = f;
      for (std::size_t n = 1; n <= f.search.size() + 1; ++n) {
        if (n < f.search.size() && (f.search[n] & 0xC0) == 0x80) continue;  // inside a character
        typed.search = f.search.substr(0, n % (f.search.size() + 1));
        ASSERT_EQ(ids(listing.artworksFor(typed)), ids(s.artworksFor(typed))) << "typed \"" << typed.search << "\"";
      }
      // The sidebar's filters, answered from the tallies.
      LibraryFilter row{.walletID = f.walletID, .scope = f.scope, .hiddenOnly = f.hiddenOnly,
                        .onDesktopOnly = f.onDesktopOnly};
      EXPECT_EQ(listing.count(row), s.count(row));
    }
  }
  EXPECT_GT(answered, 200u);
}

// Edits that add or remove no work, amended in place: the answers equal
// the state's as they would after a new build.
TEST(LibraryListing, AmendedInPlaceAfterMarksAndListsChange) {
  std::size_t answered = 0;
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    RandomLibrary random(seed);
    LibraryState s = random.make();
    LibraryListing listing(s);
    std::vector<std::string> all;
    for (const auto& [id, a] : s.artworks) all.push_back(id);
    for (int round = 0; round < 6 && !all.empty(); ++round) {
      std::vector<std::string_view> changed;
      // Told exactly what changed, or (some rounds) that anything may have.
      LibraryListing::Changed what{.hidden = false, .onDesktop = false, .shape = false, .ordered = false};
      for (int n = 1 + random.below(4); n > 0; --n) {
        const std::string& id = random.pick(all);
        changed.push_back(id);
        switch (random.below(5)) {
          case 0:
            if (!s.hiddenArtworks.erase(id)) s.hiddenArtworks.insert(id);
            what.hidden = true;
            break;
          case 1:
            if (!s.onDesktop.erase(id)) s.onDesktop.insert(id);
            what.onDesktop = true;
            break;
          case 2:
            s.spamOverrides[id] = random.chance(0.5);
            what.hidden = true;
            break;
          case 3:
            s.artworks.at(id).aspectRatio = random.chance(0.5) ? std::optional<double>(1.5) : std::nullopt;
            what.shape = true;
            break;
          default:
            s.renderProfiles.erase(s.artworks.at(id).seriesKey());
            what.shape = true;
            break;
        }
      }
      if (random.chance(0.5)) {
        s.recentlyShown.push_back(random.pick(all));
        what.ordered = true;
      }
      if (!s.exhibitions.empty() && random.chance(0.5)) {
        s.exhibitions.front().artworkIDs.push_back(random.pick(all));
        what.ordered = true;
      }
      if (!s.exhibitions.empty() && random.chance(0.3)) {
        s.activeExhibition = s.activeExhibition ? std::nullopt : std::optional(s.exhibitions.back().id);
        what.ordered = true;
      }
      if (random.chance(0.3)) what = {};
      if (random.chance(0.2)) {
        // All named works put in, or taken out of, the selection together.
        const bool in = random.chance(0.5);
        for (const auto id : changed) in ? void(s.onDesktop.emplace(id)) : void(s.onDesktop.erase(std::string(id)));
        what.onDesktop = true;
        what.allOnDesktop = in;
      }
      s.touch();
      listing.amend(s, changed, what);
      ASSERT_TRUE(listing.isCurrent(s));
      EXPECT_EQ(listing.desktopPoolCount(), s.desktopPoolCount());
      EXPECT_EQ(ids(listing.unmeasuredSeries()), ids(s.unmeasuredSeries()));
      for (int f = 0; f < 8; ++f) {
        const LibraryFilter filter = random.filter(s);
        const auto expected = s.artworksFor(filter);
        ASSERT_EQ(ids(listing.artworksFor(filter)), ids(expected));
        LibraryFilter row{.walletID = filter.walletID, .scope = filter.scope, .hiddenOnly = filter.hiddenOnly,
                          .onDesktopOnly = filter.onDesktopOnly};
        EXPECT_EQ(listing.count(row), s.count(row));
        answered += !expected.empty();
      }
    }
  }
  EXPECT_GT(answered, 100u);
}

TEST(LibraryListing, UnmeasuredSeriesTakesTheFirstWorkOfEachSeriesSelectionFirst) {
  for (unsigned seed = 100; seed < 160; ++seed) {
    SCOPED_TRACE(seed);
    const LibraryState s = RandomLibrary(seed).make();
    const auto series = LibraryListing(s).unmeasuredSeries();
    // The first unmeasured work of each series in display order.
    std::vector<const Artwork*> selected, rest;
    std::unordered_set<std::string> seen;
    for (const auto* a : s.artworksFor({.mediaKind = MediaKind::generative})) {
      if (s.profile(*a) || !seen.insert(a->seriesKey()).second) continue;
      (s.onDesktop.contains(a->id) ? selected : rest).push_back(a);
    }
    selected.insert(selected.end(), rest.begin(), rest.end());
    EXPECT_EQ(ids(series), ids(selected));
    EXPECT_EQ(ids(s.unmeasuredSeries()), ids(selected));
  }
}

TEST(LibraryListing, RebuildsAfterEveryChangeAndOnlyThen) {
  LibraryState s;
  auto w = testsupport::wallet();
  testsupport::hold(s, w, {testsupport::work("1", "A"), testsupport::work("2", "B", MediaKind::generative)});
  s.touch();
  const std::string a = testsupport::work("1", "").id;
  LibraryListing listing;
  EXPECT_FALSE(listing.isCurrent(s));
  EXPECT_EQ(listing.update(s).count({}), 2u);

  // Reads leave the revision alone.
  const Uuid show = s.createExhibition("Show", {a});
  s.activeExhibition = show;
  s.touch();
  listing.update(s);
  (void)std::as_const(s).exhibition(show);
  (void)s.desktopPool();
  (void)s.unmeasuredSeries();
  EXPECT_TRUE(listing.isCurrent(s));
  EXPECT_EQ(listing.desktopPoolCount(), 1u);

  const std::vector<std::pair<const char*, std::function<void()>>> edits{
      {"noteShown", [&] { s.noteShown(a); }},
      {"exhibition edit", [&] { s.exhibition(show)->artworkIDs.clear(); }},
      {"add to exhibition", [&] { s.add({a}, show); }},
      {"remove from exhibition", [&] { s.remove({a}, show); }},
      {"move in exhibition", [&] { s.move({a}, show, std::nullopt); }},
      {"delete exhibition", [&] { s.deleteExhibition(show); }},
      {"direct write and touch",
       [&] {
         s.hiddenArtworks.insert(a);
         s.touch();
       }},
      {"copy assignment", [&] { s = LibraryState(s); }},
      {"remove wallet", [&] { s.removeWallet(w.id); }},
  };
  for (const auto& [name, edit] : edits) {
    SCOPED_TRACE(name);
    listing.update(s);
    edit();
    EXPECT_FALSE(listing.isCurrent(s));
    EXPECT_EQ(listing.update(s).count({}), s.count({}));
    EXPECT_EQ(ids(listing.artworksFor({.recentOnly = true})), ids(s.artworksFor({.recentOnly = true})));
  }
  EXPECT_EQ(listing.count({}), 0u);

  // A copy or a moved-from state is another state.
  testsupport::hold(s, w, {testsupport::work("3", "C")});
  s.touch();
  listing.update(s);
  LibraryState copy = s;
  EXPECT_NE(copy.revision(), s.revision());
  EXPECT_FALSE(listing.isCurrent(copy));
  LibraryState moved = std::move(s);
  EXPECT_FALSE(listing.isCurrent(s));
  EXPECT_EQ(listing.update(moved).count({}), 1u);
}

}  // namespace
}  // namespace tavolune
