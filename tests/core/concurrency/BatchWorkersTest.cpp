#include "core/concurrency/BatchWorkers.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <stdexcept>
#include <thread>

using namespace tavolune;

namespace {

TEST(BatchWorkers, RunsEveryIndexOfABatchAtOnce) {
  BatchWorkers workers(4);
  // Each body waits for all four: the batch would hang unless they overlap.
  std::barrier meet(4);
  std::vector<std::thread::id> ids(4);
  auto errors = workers.run(4, [&](std::size_t i) {
    ids[i] = std::this_thread::get_id();
    meet.arrive_and_wait();
  });
  EXPECT_EQ(errors.size(), 4u);
  EXPECT_EQ(ids[0], std::this_thread::get_id());  // the caller takes index 0
  for (std::size_t i = 1; i < 4; ++i) EXPECT_NE(ids[i], ids[0]);
}

TEST(BatchWorkers, ReusesItsThreadsForBatchesOfAnyWidth) {
  BatchWorkers workers(4);
  std::atomic<int> calls{0};
  std::vector<int> hits(4, 0);
  for (std::size_t n : {4u, 1u, 3u, 0u, 2u, 4u}) {
    auto errors = workers.run(n, [&](std::size_t i) {
      ++calls;
      ++hits[i];
    });
    EXPECT_EQ(errors.size(), n);
  }
  EXPECT_EQ(calls.load(), 14);
  EXPECT_EQ(hits, (std::vector<int>{5, 4, 3, 2}));
  EXPECT_THROW(workers.run(5, [](std::size_t) {}), std::invalid_argument);
}

TEST(BatchWorkers, ReturnsWhatEachBodyThrowsAtItsIndex) {
  BatchWorkers workers(3);
  auto errors = workers.run(3, [](std::size_t i) {
    if (i != 1) throw std::runtime_error("body " + std::to_string(i));
  });
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_TRUE(errors[0]);
  EXPECT_FALSE(errors[1]);
  try {
    std::rethrow_exception(errors[2]);
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "body 2");
  }
  // A failed batch leaves the workers usable.
  std::atomic<int> calls{0};
  workers.run(3, [&](std::size_t) { ++calls; });
  EXPECT_EQ(calls.load(), 3);
}

}  // namespace
