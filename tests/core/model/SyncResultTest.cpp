#include "core/model/SyncResult.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace tavolune;

namespace {

OwnedArtwork work(std::string token, bool spam = false, std::int64_t quantity = 1) {
  return {Artwork::make({.chain = Chain::base, .contract = "0xABC", .tokenId = std::move(token), .isSpam = spam}),
          quantity};
}

TEST(SyncResult, ThreeFieldInitLeavesTheRestEmpty) {
  SyncResult r({work("1"), work("2", true), work("3")}, {"Bitcoin: network error"}, true);
  EXPECT_EQ(r.visibleCount(), 2u);
  EXPECT_TRUE(r.partial);
  EXPECT_EQ(r.errors.size(), 1u);
  EXPECT_TRUE(r.unchecked.empty());
  EXPECT_TRUE(r.discovered.empty());
  EXPECT_TRUE(r.failedChains.empty());
  EXPECT_EQ(SyncResult().visibleCount(), 0u);
}

TEST(SyncResult, ChainsLeftUnreadAreUncheckedOrFailed) {
  SyncResult r;
  r.unchecked = {Chain::base};
  r.failedChains = {Chain::polygon};
  EXPECT_TRUE(r.wasLeftUnread(Chain::base));
  EXPECT_TRUE(r.wasLeftUnread(Chain::polygon));
  EXPECT_FALSE(r.wasLeftUnread(Chain::ethereum));
}

TEST(OwnedArtwork, EqualityAndHashCoverEveryField) {
  std::hash<OwnedArtwork> hash;
  EXPECT_EQ(work("1"), work("1"));
  EXPECT_EQ(hash(work("1")), hash(work("1")));
  EXPECT_NE(work("1"), work("1", false, 2));
  EXPECT_NE(work("1"), work("1", true));
  EXPECT_NE(hash(work("1")), hash(work("1", false, 2)));
  std::unordered_set<OwnedArtwork> set{work("1"), work("1"), work("2")};
  EXPECT_EQ(set.size(), 2u);
}

}  // namespace
