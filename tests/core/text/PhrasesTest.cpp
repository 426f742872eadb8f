#include "core/text/Phrases.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace tavolune::text {
namespace {

TEST(Phrases, RelativeTimeTakesTheLargestWholeUnit) {
  struct Row {
    double seconds;
    const char* expected;
  };
  const Row rows[] = {
      {0, "now"},
      {-30, "30 seconds ago"},
      {-300, "5 minutes ago"},
      {-3 * 3600 - 59, "3 hours ago"},
      {-30 * 3600, "yesterday"},
      {-3 * 86400, "3 days ago"},
      {-8 * 86400, "last week"},
      {-400 * 86400, "last year"},
      {7200, "in 2 hours"},
      {std::numeric_limits<double>::quiet_NaN(), "now"},
  };
  for (const auto& row : rows) EXPECT_EQ(relativeTime(row.seconds, "en_US"), row.expected) << row.seconds;
}

TEST(Phrases, NumericRelativeTimeNamesNoDayAndReadsZeroAsPast) {
  EXPECT_EQ(relativeTime(0, "en_US", RelativeStyle::numeric), "0 seconds ago");
  EXPECT_EQ(relativeTime(-30 * 3600, "en_US", RelativeStyle::numeric), "1 day ago");
  EXPECT_EQ(relativeTime(-8 * 86400, "en_US", RelativeStyle::numeric), "1 week ago");
  EXPECT_EQ(relativeTime(7200, "en_US", RelativeStyle::numeric), "in 2 hours");
}

TEST(Phrases, AndListInStandardWidth) {
  EXPECT_EQ(andList({}, "en_US"), "");
  EXPECT_EQ(andList({"Base"}, "en_US"), "Base");
  EXPECT_EQ(andList({"Base", "Polygon"}, "en_US"), "Base and Polygon");
  EXPECT_EQ(andList({"Base", "Optimism", "Polygon"}, "en_US"), "Base, Optimism, and Polygon");
}

}  // namespace
}  // namespace tavolune::text
