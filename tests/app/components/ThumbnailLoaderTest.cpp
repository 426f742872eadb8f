#include "app/components/ThumbnailLoader.hpp"

#include "tests/app/components/ComponentsRig.hpp"
#include "tests/app/render/TestImages.hpp"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using namespace tavolune::testing;
using Status = ThumbnailLoader::Status;
using namespace std::chrono_literals;

constexpr int px = 520;

QString keyOf(int n) { return QString::fromStdString(ThumbnailLoader::key(work(n).id, px)); }

TEST(ThumbnailLoader, ManyAsksForOneStillMakeOneFetchOffTheMainThreadAndOneNote) {
  ComponentsRig rig;
  ThumbnailLoader loader(rig.pipeline, rig.noter());
  rig.source->serve(uriOf(1), solid(60, 30, red));
  rig.source->hold(uriOf(1));
  for (int i = 0; i < 5; ++i) loader.request(work(1), px);
  EXPECT_EQ(loader.status(work(1), px), Status::loading);
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1)));
  QSignalSpy changed(&loader, &ThumbnailLoader::thumbnailChanged);
  rig.source->release(uriOf(1));
  ASSERT_TRUE(changed.wait());
  EXPECT_EQ(changed.at(0).at(0).toString(), keyOf(1));
  EXPECT_EQ(loader.status(work(1), px), Status::ready);
  EXPECT_EQ(loader.cached(work(1), px).size(), QSize(60, 30));
  loader.request(work(1), px);  // scrolled back: from memory
  EXPECT_EQ(rig.source->count(uriOf(1)), 1);
  EXPECT_EQ(rig.source->countOnThread(std::this_thread::get_id()), 0);
  ASSERT_EQ(rig.notes.size(), 1u);
  EXPECT_EQ(rig.notes[0].second, QSize(60, 30));
}

TEST(ThumbnailLoader, CellsThatLeaveTheViewAreNotFetchedAndRunningOnesStop) {
  ComponentsRig rig;
  ThumbnailLoader loader(rig.pipeline, rig.noter(), {.threads = 1});
  for (int n = 1; n <= 5; ++n) {
    rig.source->serve(uriOf(n), solid(20, 20, green));
    rig.source->hold(uriOf(n));
    loader.request(work(n), px);
  }
  // The first starts at once; the others wait for its slot.
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1)));
  EXPECT_EQ(loader.running(), 1);
  EXPECT_EQ(loader.queued(), 4u);
  loader.cancelAllExcept({ThumbnailLoader::key(work(2).id, px), ThumbnailLoader::key(work(4).id, px)});
  // The stopped fetch frees its slot at once; the newest request (what
  // scrolled in last) takes it.
  EXPECT_EQ(loader.queued(), 1u);
  EXPECT_EQ(loader.running(), 1);
  EXPECT_EQ(loader.status(work(1), px), Status::missing);
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.source->count(uriOf(4)) == 1; }));
  EXPECT_EQ(rig.source->count(uriOf(2)), 0);
  QSignalSpy changed(&loader, &ThumbnailLoader::thumbnailChanged);
  rig.source->release(uriOf(4));
  rig.source->release(uriOf(2));
  ASSERT_TRUE(changed.wait());
  if (changed.count() < 2) {
    ASSERT_TRUE(changed.wait());
  }
  EXPECT_EQ(changed.count(), 2) << "a cancelled load is no failure";
  EXPECT_EQ(rig.source->count(), 3);
  for (int n : {3, 5}) EXPECT_EQ(rig.source->count(uriOf(n)), 0) << n;
  EXPECT_EQ(loader.running(), 0);

  // cancel() of one queued cell, and a cell asked for again after it left.
  rig.source->hold(uriOf(6));
  loader.request(work(6), px);
  loader.request(work(3), px);
  loader.request(work(5), px);
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(6)));
  loader.cancel(work(3).id, px);
  EXPECT_EQ(loader.status(work(3), px), Status::missing);
  EXPECT_EQ(loader.status(work(5), px), Status::loading);
  EXPECT_EQ(loader.status(work(4), px), Status::ready);
}

TEST(ThumbnailLoader, AFailureIsRememberedThenRetriedAfterItsTimeOrOnALibraryChange) {
  ComponentsRig rig;
  ThumbnailLoader loader(rig.pipeline, rig.noter(), {.threads = 2, .retryAfter = 150ms});
  QSignalSpy changed(&loader, &ThumbnailLoader::thumbnailChanged);
  loader.request(work(1), px);
  ASSERT_TRUE(changed.wait());
  EXPECT_EQ(loader.status(work(1), px), Status::failed);
  loader.request(work(1), px);  // every repaint asks again
  EXPECT_EQ(loader.ask(work(1), px), Status::failed);
  EXPECT_EQ(rig.source->count(uriOf(1)), 1);

  // The failure expires: the cell is told to ask again.
  rig.source->serve(uriOf(1), solid(30, 30, blue));
  ASSERT_TRUE(changed.wait());
  EXPECT_EQ(changed.count(), 2);
  EXPECT_EQ(loader.status(work(1), px), Status::missing);
  loader.request(work(1), px);
  ASSERT_TRUE(changed.wait());
  EXPECT_EQ(loader.status(work(1), px), Status::ready);

  // retryFailed() forgets failures at once. A painter's ask starts a load.
  EXPECT_EQ(loader.ask(work(2), px), Status::loading);
  EXPECT_EQ(loader.ask(work(2), px), Status::loading);
  ASSERT_TRUE(changed.wait());
  ASSERT_EQ(loader.status(work(2), px), Status::failed);
  const int before = changed.count();
  loader.retryFailed();
  EXPECT_EQ(changed.count(), before + 1);
  EXPECT_EQ(loader.status(work(2), px), Status::missing);
  EXPECT_TRUE(rig.notes.size() == 1u && rig.notes[0].first == work(1).id);
}

// Closing the window: the loader goes at once, even with a fetch that goes
// on after its stop, and that fetch, ending later, reaches nothing of it.
TEST(ThumbnailLoader, DestroyedWhileFetchingStopsAndWaitsForNothing) {
  ComponentsRig rig;
  rig.source->setIgnoresStop(true);
  rig.source->hold(uriOf(1));
  auto loader = std::make_unique<ThumbnailLoader>(rig.pipeline, rig.noter());
  loader->request(work(1), px);
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1)));
  loader.reset();
  EXPECT_EQ(rig.pipeline.requests()->underWay(), 1u) << "gone before its fetch ended";
  rig.source->release(uriOf(1));
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.pipeline.requests()->underWay() == 0; }, 5000));
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(rig.notes.empty());
}

// A still that never finishes drawing, scrolled away and back more often
// than there are slots: each cancel frees its slot at once and ends the
// drawing; over its limit it fails, and another work with the same
// document fails without being drawn.
TEST(ThumbnailLoader, AnEndlessSVGGivesItsSlotBackWhenCancelledAndFailsOverItsLimit) {
  ComponentsRig rig;
  ThumbnailLoader loader(rig.pipeline, rig.noter(), {.threads = 1});
  for (int n : {1, 2}) rig.source->serve(uriOf(n), testsupport::FakeSVGRasterizer::endlessDocument(), "image/svg+xml");
  for (int round = 0; round < 3; ++round) {
    loader.request(work(1), px);
    ASSERT_TRUE(rig.svg->waitForStuck(1)) << round;
    loader.cancel(work(1).id, px);
    EXPECT_EQ(loader.running(), 0) << round;
    ASSERT_TRUE(rig.svg->waitForStuck(0)) << round;
  }
  QSignalSpy changed(&loader, &ThumbnailLoader::thumbnailChanged);
  loader.request(work(1), px);
  ASSERT_TRUE(rig.svg->waitForStuck(1));
  rig.svg->runOutOfTime();
  ASSERT_TRUE(changed.wait());
  EXPECT_EQ(loader.status(work(1), px), Status::failed);
  loader.request(work(2), px);
  ASSERT_TRUE(changed.wait());
  EXPECT_EQ(loader.status(work(2), px), Status::failed);
  EXPECT_EQ(rig.svg->begun(), 4);
}

}  // namespace
}  // namespace tavolune
