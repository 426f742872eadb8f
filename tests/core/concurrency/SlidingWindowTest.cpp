#include "core/concurrency/SlidingWindow.hpp"
#include "tests/support/Crowd.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <set>
#include <stdexcept>

namespace tavolune {
namespace {

using namespace std::chrono_literals;

TEST(SlidingWindow, RunsEveryIndexOnceNeverMoreThanTheWidthAtOnce) {
  testsupport::Crowd crowd(8);
  auto values = slidingWindow<int>(40, 8, [&](std::size_t i, std::stop_token) -> std::optional<int> {
    crowd.pass();
    return static_cast<int>(i);
  });
  ASSERT_EQ(values.size(), 40u);
  EXPECT_EQ(std::set<int>(values.begin(), values.end()).size(), 40u);
  EXPECT_EQ(crowd.peak(), 8);
}

TEST(SlidingWindow, ResultsComeInTheOrderJobsFinishAndEmptyOnesAreLeftOut) {
  // Index 0 holds its slot until the other slot has come to index 3, so
  // index 1 finishes first on any machine.
  std::mutex m;
  std::condition_variable cv;
  bool lastStarted = false;
  auto values = slidingWindow<int>(4, 2, [&](std::size_t i, std::stop_token) -> std::optional<int> {
    std::unique_lock lock(m);
    if (i == 0) cv.wait_for(lock, 30s, [&] { return lastStarted; });
    if (i == 3) lastStarted = true;
    cv.notify_all();
    if (i == 2) return std::nullopt;
    return static_cast<int>(i);
  });
  ASSERT_EQ(values.size(), 3u);
  EXPECT_EQ(values.front(), 1);
}

TEST(SlidingWindow, ANewJobStartsAsSoonAsOneFinishes) {
  // Job 0 waits for all the others: only a window (not batches) lets the
  // second slot work through jobs 1 to 8 while job 0 still runs.
  std::mutex m;
  std::condition_variable cv;
  int othersDone = 0;
  bool sawAllOthers = false;
  auto values = slidingWindow<int>(9, 2, [&](std::size_t i, std::stop_token) -> std::optional<int> {
    std::unique_lock lock(m);
    if (i == 0) {
      sawAllOthers = cv.wait_for(lock, 5s, [&] { return othersDone == 8; });
    } else {
      ++othersDone;
      cv.notify_all();
    }
    return static_cast<int>(i);
  });
  EXPECT_TRUE(sawAllOthers);
  EXPECT_EQ(values.size(), 9u);
}

TEST(SlidingWindow, EdgeCountsAndWidths) {
  int calls = 0;
  auto none = slidingWindow<int>(0, 8, [&](std::size_t, std::stop_token) -> std::optional<int> {
    ++calls;
    return 1;
  });
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(calls, 0);
  // A width of zero still makes progress, one at a time.
  auto one = slidingWindow<int>(3, 0, [](std::size_t i, std::stop_token) -> std::optional<int> { return int(i); });
  EXPECT_EQ(one, (std::vector<int>{0, 1, 2}));
}

TEST(SlidingWindow, AStopRequestStartsNoNewJob) {
  std::stop_source source;
  std::atomic<int> started{0};
  auto values = slidingWindow<int>(
      100, 2,
      [&](std::size_t, std::stop_token token) -> std::optional<int> {
        if (++started == 4) source.request_stop();
        std::this_thread::sleep_for(1ms);
        return token.stop_requested() ? std::nullopt : std::optional<int>(1);
      },
      source.get_token());
  EXPECT_LE(started.load(), 5);
  EXPECT_LT(values.size(), 4u);
}

TEST(SlidingWindow, TheFirstFailureStopsTheRestAndIsRethrown) {
  std::atomic<int> started{0};
  EXPECT_THROW(slidingWindow<int>(100, 4,
                                  [&](std::size_t i, std::stop_token) -> std::optional<int> {
                                    ++started;
                                    if (i == 5) throw std::runtime_error("boom");
                                    std::this_thread::sleep_for(1ms);
                                    return 1;
                                  }),
               std::runtime_error);
  EXPECT_LT(started.load(), 100);
}

}  // namespace
}  // namespace tavolune
