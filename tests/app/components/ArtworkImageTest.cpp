#include "app/components/ArtworkImage.hpp"
#include "app/components/LoadingPlaceholder.hpp"
#include "app/components/ThumbnailLoader.hpp"

#include "tests/app/components/ComponentsRig.hpp"
#include "tests/app/render/TestImages.hpp"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavolune {
namespace {

using namespace tavolune::testing;
using Showing = ArtworkImage::Showing;

TEST(ArtworkImage, CachedStillShowsInTheFirstFrameWithoutFetchOrFade) {
  ComponentsRig rig;
  const Artwork a = work(1);
  rig.put(a, 240, solid(240, 240, red));
  ArtworkImage view(rig.services());
  view.resize(120, 120);
  view.setArtwork(a, 240);
  view.show();
  EXPECT_EQ(view.showing(), Showing::still);
  EXPECT_FALSE(view.isFading());
  EXPECT_TRUE(colorNear(view.grab().toImage(), 60, 60, red, 4));
  EXPECT_EQ(rig.source->count(), 0);
  ASSERT_EQ(rig.notes.size(), 1u);
  EXPECT_EQ(rig.notes[0].first, a.id);
}

TEST(ArtworkImage, LoadsOffTheMainThreadOnlyOnceShownThenFadesIn) {
  ComponentsRig rig;
  const Artwork a = work(1, 2.0);
  rig.source->serve(uriOf(1), solid(64, 32, blue));
  rig.source->hold(uriOf(1));
  ArtworkImage view(rig.services());
  view.resize(200, 200);
  view.setArtwork(a, 240);
  EXPECT_EQ(rig.source->count(), 0) << "a hidden view loads nothing";
  view.show();
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1)));
  EXPECT_EQ(rig.source->countOnThread(std::this_thread::get_id()), 0);
  // Loading: a placeholder twice as wide as high.
  EXPECT_EQ(view.showing(), Showing::placeholder);
  const QRectF ph = LoadingPlaceholder::fitted(view.rect(), a.aspectRatio);
  EXPECT_EQ(ph.size(), QSizeF(200, 100));

  QSignalSpy finished(&view, &ArtworkImage::loadFinished);
  rig.source->release(uriOf(1));
  ASSERT_TRUE(finished.wait());
  EXPECT_TRUE(finished.at(0).at(0).toBool());
  EXPECT_EQ(view.showing(), Showing::still);
  EXPECT_TRUE(view.isFading());
  EXPECT_EQ(rig.notes.size(), 1u);
}

TEST(ArtworkImage, ALateStillOfThePreviousWorkNeverReplacesTheCurrentOne) {
  ComponentsRig rig;
  rig.pool.setMaxThreadCount(1);  // the late load lands before the new one
  rig.source->setIgnoresStop(true);
  rig.source->serve(uriOf(1), solid(40, 40, red));
  rig.source->serve(uriOf(2), solid(40, 40, green));
  rig.source->hold(uriOf(1));
  ArtworkImage view(rig.services());
  view.resize(100, 100);
  view.show();
  view.setArtwork(work(1), 240);
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1)));

  // A third work was shown and is cached: it appears at once.
  const Artwork cachedWork = work(3);
  rig.put(cachedWork, 240, solid(40, 40, yellow));
  view.setArtwork(cachedWork, 240);
  EXPECT_TRUE(colorNear(view.grab().toImage(), 50, 50, yellow, 4));

  QSignalSpy finished(&view, &ArtworkImage::loadFinished);
  view.setArtwork(work(2), 240);
  EXPECT_EQ(view.showing(), Showing::placeholder) << "nothing of another work stays on screen";
  rig.source->release(uriOf(1));
  ASSERT_TRUE(finished.wait());
  EXPECT_EQ(finished.count(), 1) << "the stale result is dropped silently";
  EXPECT_TRUE(colorNear(view.shownStill(), 5, 5, green, 4));
  // Notes only for what was shown: the cached third work and the second.
  ASSERT_EQ(rig.notes.size(), 2u);
  EXPECT_EQ(rig.notes[1].first, work(2).id);
}

TEST(ArtworkImage, ALargerSizeOfTheSameWorkKeepsTheSmallerStillMeanwhile) {
  ComponentsRig rig;
  const Artwork a = work(1);
  rig.put(a, 240, solid(240, 240, red));
  rig.source->serve(uriOf(1), solid(900, 900, red));
  rig.source->hold(uriOf(1));
  ArtworkImage view(rig.services());
  view.show();
  view.setArtwork(a, 240);
  view.setArtwork(a, 900);
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1)));
  EXPECT_EQ(view.shownStill().width(), 240);
  QSignalSpy finished(&view, &ArtworkImage::loadFinished);
  rig.source->release(uriOf(1));
  ASSERT_TRUE(finished.wait());
  EXPECT_EQ(view.shownStill().width(), 900);
}

TEST(ArtworkImage, AFailedStillShowsTheFallbackAndIsRetried) {
  ComponentsRig rig;
  ArtworkImage view(rig.services());
  view.resize(160, 160);
  view.show();
  QSignalSpy finished(&view, &ArtworkImage::loadFinished);
  view.setArtwork(work(1, std::nullopt, MediaKind::generative), 240);
  ASSERT_TRUE(finished.wait());
  EXPECT_FALSE(finished.at(0).at(0).toBool());
  EXPECT_EQ(view.showing(), Showing::failed);
  // The symbol and title are drawn: dark ink on the middle band.
  const QImage shot = view.grab().toImage();
  int ink = 0;
  for (int y = 40; y < 120; ++y)
    for (int x = 20; x < 140; ++x) ink += luminance(shot, x, y) < luminance(shot, 2, 2) - 40;
  EXPECT_GT(ink, 20);

  // The next library change retries at once.
  rig.source->serve(uriOf(1), solid(50, 50, green));
  view.retryFailed();
  ASSERT_TRUE(finished.wait());
  EXPECT_TRUE(finished.at(1).at(0).toBool());
  EXPECT_EQ(view.showing(), Showing::still);
  EXPECT_EQ(rig.source->count(uriOf(1)), 2);
  view.retryFailed();  // nothing failed: nothing fetched
  EXPECT_EQ(rig.source->count(uriOf(1)), 2);

  // Without one, the timer retries.
  view.setRetryDelay(std::chrono::milliseconds(20));
  view.setArtwork(work(2), 240);
  ASSERT_TRUE(finished.wait());
  EXPECT_EQ(view.showing(), Showing::failed);
  rig.source->serve(uriOf(2), solid(50, 50, blue));
  // Retries that began before the media was there fail again.
  for (int tries = 0; tries < 20 && !finished.last().at(0).toBool(); ++tries) ASSERT_TRUE(finished.wait());
  EXPECT_TRUE(finished.last().at(0).toBool());
  EXPECT_TRUE(colorNear(view.shownStill(), 5, 5, blue, 4));
}

TEST(ArtworkImage, ExpiredFailuresReloadWhatFailedInEveryViewAndTheGridsLoaderOnce) {
  ComponentsRig rig;
  rig.source->serve(uriOf(2), solid(40, 40, blue));
  ArtworkImage failing(rig.services());
  ArtworkImage loaded(rig.services());
  ThumbnailLoader loader(rig.pipeline, rig.noter(), {.threads = 1});
  QSignalSpy failingDone(&failing, &ArtworkImage::loadFinished);
  QSignalSpy loadedDone(&loaded, &ArtworkImage::loadFinished);
  QSignalSpy thumbnails(&loader, &ThumbnailLoader::thumbnailChanged);
  const auto arrived = [](QSignalSpy& spy) { return !spy.isEmpty() || spy.wait(); };
  for (ArtworkImage* view : {&failing, &loaded}) {
    view->resize(100, 100);
    view->show();
  }
  failing.setArtwork(work(1), 240);
  loaded.setArtwork(work(2), 240);
  loader.request(work(3), 520);
  ASSERT_TRUE(arrived(failingDone) && arrived(loadedDone) && arrived(thumbnails));
  ASSERT_EQ(failing.showing(), Showing::failed);
  ASSERT_EQ(loaded.showing(), Showing::still);

  // The media is back; the loader still remembers the failure.
  rig.source->serve(uriOf(1), solid(40, 40, green));
  rig.source->serve(uriOf(3), solid(40, 40, green));
  loader.request(work(3), 520);  // a repaint of its cell
  EXPECT_EQ(loader.status(work(3), 520), ThumbnailLoader::Status::failed);

  // Each failed load runs again, once however often failures expire while
  // it runs; what loaded is not fetched again.
  rig.source->hold(uriOf(1));
  const qsizetype cellsTold = thumbnails.count();
  rig.pipeline.expireFailures();
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1), 2));
  EXPECT_EQ(loader.status(work(3), 520), ThumbnailLoader::Status::missing);
  EXPECT_EQ(thumbnails.count(), cellsTold + 1);  // its cell asks again
  rig.pipeline.expireFailures();
  rig.source->release(uriOf(1));
  ASSERT_TRUE(failingDone.wait());
  EXPECT_TRUE(failingDone.last().at(0).toBool());
  EXPECT_EQ(failing.showing(), Showing::still);
  EXPECT_EQ(rig.source->count(uriOf(1)), 2);
  EXPECT_EQ(rig.source->count(uriOf(2)), 1);
  EXPECT_EQ(loadedDone.count(), 1);
}

TEST(ArtworkImage, AResultForADestroyedViewDoesNothing) {
  ComponentsRig rig;
  rig.source->setIgnoresStop(true);
  rig.source->serve(uriOf(1), solid(40, 40, red));
  rig.source->hold(uriOf(1));
  auto view = std::make_unique<ArtworkImage>(rig.services());
  view->show();
  view->setArtwork(work(1), 240);
  ASSERT_TRUE(rig.source->waitForFetches(uriOf(1)));
  view.reset();
  rig.source->release(uriOf(1));
  rig.pool.waitForDone();
  QCoreApplication::sendPostedEvents();
  EXPECT_TRUE(rig.notes.empty());
}

TEST(ArtworkImage, FallbackSymbolsAndPlaceholderShapes) {
  EXPECT_STREQ(ArtworkImage::kindSymbol(MediaKind::generative), "sparkles");
  EXPECT_STREQ(ArtworkImage::kindSymbol(MediaKind::video), "play.rectangle");
  EXPECT_STREQ(ArtworkImage::kindSymbol(MediaKind::image), "photo");
  EXPECT_STREQ(ArtworkImage::kindSymbol(MediaKind::other), "doc");
  const QRectF area(0, 0, 200, 100);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<std::pair<std::optional<double>, QRectF>> cases{
      {2.0, {0, 0, 200, 100}},      {std::nullopt, {50, 0, 100, 100}}, {0.5, {75, 0, 50, 100}},
      {nan, {50, 0, 100, 100}},     {0.0, {50, 0, 100, 100}},          {-3.0, {50, 0, 100, 100}},
      {4.0, {0, 25, 200, 50}},
  };
  for (const auto& [aspect, want] : cases) EXPECT_EQ(LoadingPlaceholder::fitted(area, aspect), want);
}

}  // namespace
}  // namespace tavolune
