#include "core/model/Rotation.hpp"
#include "core/base/SecureRandom.hpp"

#include <gtest/gtest.h>

#include <map>

namespace tavolune {
namespace {

using V = std::vector<std::string>;
using Rotation::next;
using Rotation::previous;

TEST(Rotation, ShuffleAvoidsTheCurrentAndRecentWorks) {
  auto pickFirst = [](std::size_t) { return std::size_t{0}; };
  auto pickLast = [](std::size_t n) { return n - 1; };
  EXPECT_EQ(next({"A", "B", "C", "D"}, "A", PlaybackOrder::shuffle, {"B", "C"}, pickFirst), "D");
  EXPECT_EQ(next({"A", "B", "C", "D"}, "A", PlaybackOrder::shuffle, {"B", "C"}, pickLast), "D");
  EXPECT_EQ(next({"A", "B"}, "A", PlaybackOrder::shuffle, {"B"}, pickFirst), "B");
  EXPECT_EQ(next({"A"}, "A", PlaybackOrder::shuffle, {}, pickFirst), "A");
  EXPECT_EQ(next({}, "A", PlaybackOrder::shuffle, {}), std::nullopt);
  // Only the newest pool/2 history entries count as recent.
  EXPECT_EQ(next({"A", "B", "C", "D", "E"}, std::nullopt, PlaybackOrder::shuffle, {"A", "B", "C", "D"}, pickFirst), "A");
}

TEST(Rotation, ShuffleIsUniformWithTheSecureGenerator) {
  std::map<std::string, int> seen;
  for (int i = 0; i < 4000; ++i) ++seen[*next({"A", "B", "C"}, "A", PlaybackOrder::shuffle, {})];
  EXPECT_EQ(seen.count("A"), 0u);
  // Expected 2000 each; 5 standard deviations is about 160.
  EXPECT_NEAR(seen["B"], 2000, 200);
  EXPECT_NEAR(seen["C"], 2000, 200);

  std::map<std::uint64_t, int> buckets;
  for (int i = 0; i < 6000; ++i) ++buckets[SecureRandom::below(3)];
  EXPECT_EQ(buckets.size(), 3u);
  for (const auto& [value, count] : buckets) EXPECT_NEAR(count, 2000, 250) << value;
  EXPECT_THROW(SecureRandom::below(0), std::invalid_argument);
}

TEST(Rotation, SequentialWraps) {
  const V pool{"A", "B", "C"};
  EXPECT_EQ(next(pool, "C", PlaybackOrder::sequential, {}), "A");
  EXPECT_EQ(next(pool, "A", PlaybackOrder::sequential, {}), "B");
  EXPECT_EQ(next(pool, "Z", PlaybackOrder::sequential, {}), "A");
  EXPECT_EQ(next(pool, std::nullopt, PlaybackOrder::sequential, {}), "A");
}

TEST(Rotation, PreviousWalksTheHistoryThenThePool) {
  const V pool{"A", "B", "C"};
  EXPECT_EQ(previous(pool, "C", {"A", "B", "C"}), "B");
  EXPECT_EQ(previous(pool, "C", {"C"}), "B");
  EXPECT_EQ(previous(pool, "A", {"X"}), "C");
  EXPECT_EQ(previous(pool, std::nullopt, {}), "C");
  EXPECT_EQ(previous({}, "A", {"A"}), std::nullopt);
}

TEST(Rotation, DueAfterTheIntervalAndIntervalsTable) {
  const Date t = *iso8601::parse("2024-05-01T12:00:00Z");
  EXPECT_FALSE(Rotation::isDue(t - std::chrono::seconds(3599), 3600, t));
  EXPECT_TRUE(Rotation::isDue(t - std::chrono::seconds(3600), 3600, t));
  EXPECT_TRUE(Rotation::isDue(std::nullopt, 3600, t));
  ASSERT_EQ(Rotation::intervals.size(), 8u);
  EXPECT_EQ(Rotation::intervals[3].label, "1 hour");
  EXPECT_EQ(Rotation::intervals[3].seconds, 3600);
  EXPECT_EQ(Rotation::intervals.back().seconds, 604800);
}

}  // namespace
}  // namespace tavolune
