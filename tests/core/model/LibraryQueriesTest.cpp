#include "core/model/LibraryState.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::ids;
using testsupport::work;

std::set<std::string> idSet(const std::vector<const Artwork*>& works) {
  auto v = ids(works);
  return {v.begin(), v.end()};
}

TEST(LibraryQueries, ScopesSplitByWalletRole) {
  LibraryState s;
  auto collector = testsupport::wallet();
  auto artist = testsupport::wallet(WalletRole::artist);
  auto both = work("1", "Both");
  hold(s, collector, {both, work("2", "Collected")});
  hold(s, artist, {both, work("3", "Made")});
  // Holdings of a wallet that was removed count as collection.
  s.ownerships[Uuid::random()][work("4", "Orphan").id] = 1;
  s.artworks[work("4", "Orphan").id] = work("4", "Orphan");

  LibraryFilter collection{.scope = LibraryScope::collection};
  LibraryFilter works{.scope = LibraryScope::works};
  EXPECT_EQ(idSet(s.artworksFor(collection)),
            (std::set<std::string>{"ethereum:0xc0ffee:1", "ethereum:0xc0ffee:2", "ethereum:0xc0ffee:4"}));
  EXPECT_EQ(idSet(s.artworksFor(works)), (std::set<std::string>{"ethereum:0xc0ffee:1", "ethereum:0xc0ffee:3"}));
  EXPECT_EQ(s.count(LibraryFilter{}), 4u);
  EXPECT_EQ(s.count(LibraryFilter{.walletID = artist.id, .scope = LibraryScope::collection}), 2u);
  EXPECT_EQ(s.count(LibraryFilter{.walletID = Uuid::random()}), 0u);
  EXPECT_EQ(s.ownedArtworkIDs().size(), 4u);
}

TEST(LibraryQueries, HiddenOnlyIsTheComplementOfTheVisibleWorks) {
  LibraryState s;
  auto w = testsupport::wallet();
  auto spam = work("2", "Spam");
  spam.isSpam = true;
  auto overridden = work("3", "Was spam");
  overridden.isSpam = true;
  auto other = Artwork::make({.chain = Chain::tezos, .contract = "KT1Hidden", .tokenId = "9", .title = "Hidden coll"});
  hold(s, w, {work("1", "Plain"), spam, overridden, other, work("5", "Hidden one")});
  s.spamOverrides[overridden.id] = false;
  s.spamOverrides[other.id] = false;  // a hidden collection stays hidden whatever the spam verdict
  s.hiddenCollections.insert("tezos:kt1hidden");
  s.hiddenArtworks.insert(work("5", "").id);
  s.ownerships[w.id]["ethereum:0xc0ffee:missing"] = 1;  // not in artworks: never listed

  auto visible = idSet(s.artworksFor({}));
  auto hidden = idSet(s.artworksFor({.hiddenOnly = true}));
  EXPECT_EQ(visible, (std::set<std::string>{"ethereum:0xc0ffee:1", overridden.id}));
  EXPECT_EQ(hidden, (std::set<std::string>{spam.id, other.id, "ethereum:0xc0ffee:5"}));
  EXPECT_FALSE(s.isVisible(other));
  EXPECT_FALSE(s.isSpam(other));
  EXPECT_TRUE(s.isSpam(spam));
}

TEST(LibraryQueries, SearchTrimsBlanksAndIgnoresCase) {
  LibraryState s;
  hold(s, testsupport::wallet(),
       {work("1", "a quiet dune"), work("2", "Other", MediaKind::image, "DUNE"), work("3", "Nothing"),
        work("4", "Caf\u00e9 noir"), work("5", "Line\nbreak")});
  EXPECT_EQ(idSet(s.artworksFor({.search = " \tdune  "})),
            (std::set<std::string>{"ethereum:0xc0ffee:1", "ethereum:0xc0ffee:2"}));
  EXPECT_EQ(s.count({.search = " \t "}), 5u);
  // Canonically equivalent spellings match (decomposed e + acute accent).
  EXPECT_EQ(s.count({.search = "CAFE\u0301"}), 1u);
  // Line breaks are not trimmed from the query.
  EXPECT_EQ(s.count({.search = "\nbreak"}), 1u);
  EXPECT_EQ(s.count({.search = "break\n"}), 0u);
}

TEST(LibraryQueries, ExactCriteria) {
  LibraryState s;
  auto a = work("1", "One", MediaKind::video, "Ana");
  a.collection = "Dunes";
  auto b = work("2", "Two", MediaKind::image, "ana");
  b.platform = Platform::fxhash;
  hold(s, testsupport::wallet(), {a, b, work("3", "Three")});
  s.onDesktop = {b.id};
  EXPECT_EQ(ids(s.artworksFor({.artist = "Ana"})), std::vector<std::string>{a.id});
  EXPECT_EQ(ids(s.artworksFor({.artist = "ANA"})), std::vector<std::string>{});
  EXPECT_EQ(ids(s.artworksFor({.collection = "Dunes"})), std::vector<std::string>{a.id});
  EXPECT_EQ(ids(s.artworksFor({.platform = Platform::fxhash})), std::vector<std::string>{b.id});
  EXPECT_EQ(ids(s.artworksFor({.mediaKind = MediaKind::video})), std::vector<std::string>{a.id});
  EXPECT_EQ(ids(s.artworksFor({.onDesktopOnly = true})), std::vector<std::string>{b.id});
  EXPECT_EQ(s.count({.chain = Chain::tezos}), 0u);
}

TEST(LibraryQueries, FormatsAndShapes) {
  auto shape = [](double r) { return std::optional<ArtworkShape>(ArtworkShape::ratio(r)); };
  EXPECT_TRUE(matches(FormatFilter::square, shape(0.9), 1.6));
  EXPECT_TRUE(matches(FormatFilter::square, shape(1.1), 1.6));
  EXPECT_FALSE(matches(FormatFilter::landscape, shape(1.1), 1.6));
  EXPECT_TRUE(matches(FormatFilter::portrait, shape(0.89), 1.6));
  EXPECT_TRUE(matches(FormatFilter::fitsScreen, shape(1.5), 1.6));
  EXPECT_TRUE(matches(FormatFilter::fitsScreen, shape(1.78), 1.6));
  EXPECT_FALSE(matches(FormatFilter::fitsScreen, shape(1.33), 1.6));
  EXPECT_TRUE(matches(FormatFilter::fitsScreen, ArtworkShape::responsive(), 1.6));
  EXPECT_FALSE(matches(FormatFilter::square, ArtworkShape::responsive(), 1.6));
  EXPECT_FALSE(matches(FormatFilter::fitsScreen, std::nullopt, 1.6));
  EXPECT_EQ(label(FormatFilter::fitsScreen), "Fits My Screen");

  LibraryState s;
  auto fixed = work("1", "Fixed", MediaKind::generative);
  fixed.animationURI = "onchfs://aa/index.html";
  auto responsive = work("2", "Responsive", MediaKind::generative);
  responsive.animationURI = "onchfs://bb/index.html";
  auto plain = work("3", "No shape");
  auto zero = work("4", "Zero");
  zero.aspectRatio = 0;
  hold(s, testsupport::wallet(), {fixed, responsive, plain, zero});
  s.renderProfiles[fixed.seriesKey()] = {ArtLayout::fixed(0.5), std::nullopt, now()};
  s.renderProfiles[responsive.seriesKey()] = {ArtLayout::responsive(), std::nullopt, now()};
  s.rotations[fixed.id] = 1;
  EXPECT_EQ(s.shape(fixed), ArtworkShape::ratio(2.0));
  s.rotations[fixed.id] = -1;  // three quarter turns: still odd
  EXPECT_EQ(s.shape(fixed), ArtworkShape::ratio(2.0));
  s.rotations[fixed.id] = -2;
  EXPECT_EQ(s.shape(fixed), ArtworkShape::ratio(0.5));
  s.rotations[fixed.id] = 1;
  EXPECT_EQ(s.shape(responsive), ArtworkShape::responsive());
  EXPECT_FALSE(s.shape(plain));
  EXPECT_FALSE(s.shape(zero));
  EXPECT_EQ(ids(s.artworksFor({.format = FormatFilter::landscape})), std::vector<std::string>{fixed.id});
  EXPECT_EQ(ids(s.artworksFor({.format = FormatFilter::fitsScreen, .screenAspect = 2.0})),
            (std::vector<std::string>{fixed.id, responsive.id}));
  EXPECT_EQ(s.count({.format = FormatFilter::portrait}), 0u);
}

TEST(LibraryQueries, ExhibitionAndRecentFiltersKeepTheirOrder) {
  LibraryState s;
  auto w = testsupport::wallet();
  hold(s, w, {work("1", "A"), work("2", "B"), work("3", "C")});
  const std::string a = work("1", "").id, b = work("2", "").id, c = work("3", "").id;
  Exhibition e{Uuid::random(), "Show", {c, "gone", a, c}};
  s.exhibitions.push_back(e);
  s.hiddenArtworks.insert(b);
  EXPECT_EQ(ids(s.artworksFor({.exhibitionID = e.id})), (std::vector<std::string>{c, a, c}));
  EXPECT_TRUE(s.artworksFor({.exhibitionID = Uuid::random()}).empty());
  s.recentlyShown = {c, b, "gone", a};
  EXPECT_EQ(ids(s.artworksFor({.recentOnly = true})), (std::vector<std::string>{c, a}));
}

TEST(LibraryQueries, DisplayOrder) {
  auto gen = work("1", "Zed", MediaKind::generative, "Zoe");
  auto video = work("2", "Alpha", MediaKind::video, "Abe");
  EXPECT_TRUE(LibraryState::displayOrder(gen, video));
  EXPECT_FALSE(LibraryState::displayOrder(video, gen));
  EXPECT_TRUE(LibraryState::displayOrder(work("3", "x", MediaKind::video, "A"), work("4", "x", MediaKind::video, "Z")));
  EXPECT_TRUE(LibraryState::displayOrder(work("5", "x", MediaKind::video, "zz"), work("6", "x", MediaKind::video)));
  EXPECT_TRUE(LibraryState::displayOrder(work("7", "Piece 2"), work("8", "Piece 10")));
  EXPECT_TRUE(LibraryState::displayOrder(work("9", "apple"), work("10", "Banana")));
  // Equal in every other respect: the id decides, both ways consistently.
  auto p = work("11", "Same", MediaKind::image, "Ann");
  auto q = work("12", "Same", MediaKind::image, "Ann");
  EXPECT_NE(LibraryState::displayOrder(p, q), LibraryState::displayOrder(q, p));
  // Different non-generative kinds are one class: artist then title decide.
  EXPECT_TRUE(LibraryState::displayOrder(work("13", "t", MediaKind::image, "A"), work("14", "t", MediaKind::video, "B")));
  EXPECT_TRUE(LibraryState::displayOrder(work("15", "t", MediaKind::video, "A"), work("16", "t", MediaKind::image, "B")));
}

TEST(LibraryQueries, SortIsDeterministicWhateverTheArrivalOrder) {
  std::vector<Artwork> store;
  const MediaKind kinds[] = {MediaKind::image, MediaKind::video, MediaKind::other, MediaKind::generative};
  for (int i = 0; i < 300; ++i) {
    std::optional<std::string> artist;
    if (i % 4) artist = std::string(1, static_cast<char>('A' + i % 3));
    store.push_back(work(std::to_string(i), "T" + std::to_string(i % 5), kinds[i % 4], artist));
  }
  std::vector<const Artwork*> base;
  for (const auto& a : store) base.push_back(&a);
  auto first = base;
  LibraryState::sortByDisplayOrder(first);
  std::mt19937 rng(7);
  for (int round = 0; round < 5; ++round) {
    auto shuffled = base;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    LibraryState::sortByDisplayOrder(shuffled);
    EXPECT_EQ(ids(shuffled), ids(first));
  }
  for (std::size_t i = 0; i + 1 < first.size(); ++i) {
    EXPECT_TRUE(LibraryState::displayOrder(*first[i], *first[i + 1]));
    EXPECT_FALSE(LibraryState::displayOrder(*first[i + 1], *first[i]));
  }
  EXPECT_EQ(first.front()->mediaKind, MediaKind::generative);
}

}  // namespace
}  // namespace tavolune
