#include "core/model/SyncResult.hpp"
#include "core/model/LibraryState.hpp"
#include "tests/support/LibraryFixtures.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::hold;
using testsupport::wallet;
using testsupport::work;

std::vector<OwnedArtwork> owning(std::initializer_list<Artwork> works, std::int64_t quantity = 1) {
  std::vector<OwnedArtwork> out;
  for (const auto& a : works) out.push_back({a, quantity});
  return out;
}

std::vector<Artwork> works(int from, int to) {
  std::vector<Artwork> out;
  for (int i = from; i < to; ++i) out.push_back(work(std::to_string(i), "Work " + std::to_string(i)));
  return out;
}

TEST(SyncMerge, CompleteReadReplacesAndReportsTheDifference) {
  LibraryState s;
  auto w = wallet();
  auto other = wallet();
  auto a = work("1", "A"), b = work("2", "B"), c = work("3", "C");
  hold(s, w, {a, b});
  hold(s, other, {b});

  auto diff = s.apply(SyncResult(owning({c}), {}, false), w.id);
  EXPECT_EQ(diff.added, (std::unordered_set<std::string>{c.id}));
  EXPECT_EQ(diff.removed, (std::unordered_set<std::string>{a.id, b.id}));
  EXPECT_FALSE(s.artworks.contains(a.id));  // nobody holds it any more
  EXPECT_TRUE(s.artworks.contains(b.id));   // the other wallet still does

  diff = s.apply(SyncResult({}, {}, false), w.id);
  EXPECT_TRUE(s.ownerships.at(w.id).empty());
  EXPECT_EQ(diff.removed, (std::unordered_set<std::string>{c.id}));
  EXPECT_FALSE(s.artworks.contains(c.id));
}

TEST(SyncMerge, PartialReadKeepsHoldingsOnlyWhenItFoundFewer) {
  LibraryState s;
  auto w = wallet();
  auto ten = works(0, 10);
  for (const auto& a : ten) hold(s, w, {a});
  auto fresh = work("99", "New");

  std::vector<OwnedArtwork> three{{ten[0], 5}, {ten[1], 1}, {fresh, 1}};
  auto diff = s.apply(SyncResult(three, {"Base: network error"}, true), w.id);
  EXPECT_EQ(s.ownerships.at(w.id).size(), 11u);
  EXPECT_EQ(s.ownerships.at(w.id).at(ten[0].id), 5);
  EXPECT_EQ(diff.added, (std::unordered_set<std::string>{fresh.id}));
  EXPECT_TRUE(diff.removed.empty());

  // As many as before: the partial read replaces.
  std::vector<OwnedArtwork> all;
  for (int i = 0; i < 11; ++i) all.push_back({work(std::to_string(200 + i), "x"), 1});
  diff = s.apply(SyncResult(all, {}, true), w.id);
  EXPECT_EQ(s.ownerships.at(w.id).size(), 11u);
  EXPECT_EQ(diff.removed.size(), 11u);
  EXPECT_EQ(s.artworks.size(), 11u);
}

TEST(SyncMerge, QuantitiesAddUpAndDetailsAreKept) {
  LibraryState s;
  auto w = wallet();
  auto stored = work("1", "Old title", MediaKind::image, "Ada");
  stored.collection = "Dunes";
  stored.aspectRatio = 1.5;
  hold(s, w, {stored});

  auto bare = work("1", "New title");
  s.apply(SyncResult({{bare, 1}, {bare, 2}}, {}, false), w.id);
  const auto& merged = s.artworks.at(bare.id);
  EXPECT_EQ(s.ownerships.at(w.id).at(bare.id), 3);
  EXPECT_EQ(merged.title, "New title");
  EXPECT_EQ(merged.artist, "Ada");
  EXPECT_EQ(merged.collection, "Dunes");
  EXPECT_EQ(merged.aspectRatio, 1.5);

  // Absurd quantities saturate instead of overflowing.
  s.apply(SyncResult({{bare, INT64_MAX}, {bare, 5}}, {}, false), w.id);
  EXPECT_EQ(s.ownerships.at(w.id).at(bare.id), INT64_MAX);
}

TEST(SyncMerge, WalletBookkeeping) {
  LibraryState s;
  auto collector = wallet();
  collector.discoveredSeries = std::vector<std::string>{"Kept"};
  auto artist = wallet(WalletRole::artist);
  artist.discoveredSeries = std::vector<std::string>{"Old"};
  s.wallets = {collector, artist};

  SyncResult result({}, {"Tezos: timed out", "Base: not found"}, false);
  result.unchecked = {Chain::base};
  result.discovered = {"Series"};
  const auto before = now();
  s.apply(result, collector.id);
  const auto& c = s.wallets[0];
  EXPECT_EQ(c.lastError, "Tezos: timed out \u00B7 Base: not found");
  EXPECT_EQ(c.uncheckedChains, std::vector<Chain>{Chain::base});
  EXPECT_EQ(c.discoveredSeries, std::vector<std::string>{"Kept"});
  ASSERT_TRUE(c.lastSync);
  EXPECT_GE(*c.lastSync, before);
  EXPECT_LE(*c.lastSync, now());

  s.apply(SyncResult({}, {}, false), artist.id);
  EXPECT_FALSE(s.wallets[1].discoveredSeries.has_value());
  EXPECT_FALSE(s.wallets[1].lastError.has_value());
  EXPECT_FALSE(s.wallets[1].uncheckedChains.has_value());

}

TEST(SyncMerge, ChainsLeftUnreadKeepTheirEarlierHoldings) {
  LibraryState s;
  auto w = wallet();
  auto onEthereum = work("1", "E");
  auto onBase = Artwork::make({.chain = Chain::base, .contract = "0xB", .tokenId = "1", .title = "B"});
  auto onPolygon = Artwork::make({.chain = Chain::polygon, .contract = "0xC", .tokenId = "1", .title = "P"});
  hold(s, w, {onEthereum, onBase, onPolygon});

  // Base was rate-limited and Polygon failed: only Ethereum was really read.
  SyncResult result({}, {"Base: rate limited", "Polygon: network error"}, false);
  result.unchecked = {Chain::base};
  result.failedChains = {Chain::polygon};
  auto diff = s.apply(result, w.id);
  EXPECT_TRUE(s.ownerships.at(w.id).contains(onBase.id));
  EXPECT_TRUE(s.ownerships.at(w.id).contains(onPolygon.id));
  EXPECT_TRUE(s.artworks.contains(onBase.id));
  EXPECT_EQ(diff.removed, (std::unordered_set<std::string>{onEthereum.id}));

  // A later complete read drops them as usual.
  diff = s.apply(SyncResult({}, {}, false), w.id);
  EXPECT_EQ(diff.removed.size(), 2u);
}

TEST(SyncMerge, RemovingWallets) {
  LibraryState s;
  auto first = wallet(), second = wallet();
  auto shared = work("1", "Shared"), own = work("2", "Own");
  hold(s, first, {shared, own});
  hold(s, second, {shared});
  s.hiddenArtworks.insert(own.id);

  s.removeWallet(first.id);
  EXPECT_EQ(s.wallets.size(), 1u);
  EXPECT_FALSE(s.ownerships.contains(first.id));
  EXPECT_TRUE(s.artworks.contains(shared.id));
  EXPECT_FALSE(s.artworks.contains(own.id));
  EXPECT_TRUE(s.hiddenArtworks.contains(own.id));  // the user's choice stays

  s.removeWallet(second.id);
  EXPECT_TRUE(s.artworks.empty());
  s.removeWallet(Uuid::random());  // unknown: nothing happens
  EXPECT_TRUE(s.wallets.empty());
}

}  // namespace
}  // namespace tavolune

namespace tavolune {
namespace {

TEST(SyncMerge, AWalletNoLongerInTheLibraryGetsNothingBack) {
  LibraryState s;
  auto w = testsupport::wallet();
  auto a = testsupport::work("1", "A");
  testsupport::hold(s, w, {a});
  s.removeWallet(w.id);
  const auto before = s.encode();

  auto diff = s.apply(SyncResult(owning({a}), {}, false), w.id);
  EXPECT_TRUE(diff.added.empty());
  EXPECT_TRUE(diff.removed.empty());
  EXPECT_FALSE(s.ownerships.contains(w.id));
  EXPECT_FALSE(s.artworks.contains(a.id));
  EXPECT_EQ(s.encode(), before);
}

}  // namespace
}  // namespace tavolune
