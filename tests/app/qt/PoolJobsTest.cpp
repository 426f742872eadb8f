#include "app/qt/PoolJobs.hpp"

#include <QSemaphore>
#include <QTest>

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace tavolune {
namespace {

using namespace std::chrono_literals;

// Results reach the owner on its thread; stopping waits for nothing, drops
// the result of the job under way and never begins a job queued behind it.
TEST(PoolJobs, DeliversOnTheOwnersThreadAndStopWaitsForNothing) {
  QObject owner;
  QThreadPool pool;
  pool.setMaxThreadCount(1);
  PoolJobs jobs(&owner, &pool);

  std::thread::id deliveredOn;
  int delivered = 0;
  jobs.run([] { return 42; }, [&](int value) {
    deliveredOn = std::this_thread::get_id();
    delivered = value;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return delivered != 0; }, 5000));
  EXPECT_EQ(delivered, 42);
  EXPECT_EQ(deliveredOn, std::this_thread::get_id());

  QSemaphore began, gate;
  std::atomic<bool> finished{false}, queuedRan{false};
  bool lateDelivery = false;
  jobs.run(
      [&] {
        began.release();
        gate.acquire();
        finished = true;
      },
      [&] { lateDelivery = true; });
  jobs.start([&] { queuedRan = true; });  // behind the first: the pool has one thread
  ASSERT_TRUE(began.tryAcquire(1, 5000));
  EXPECT_EQ(jobs.running(), 1u);
  jobs.stop();
  EXPECT_TRUE(jobs.isStopped());
  EXPECT_FALSE(finished) << "stop() waited for the running job";
  gate.release();
  pool.waitForDone();
  EXPECT_TRUE(finished);
  QCoreApplication::processEvents();
  EXPECT_FALSE(queuedRan);
  EXPECT_FALSE(lateDelivery);
  EXPECT_EQ(jobs.running(), 0u);
}

}  // namespace
}  // namespace tavolune
