// A work running inside a view: its still at once, its status in a corner
// a turn later, and stills that land only for the work still shown.
#include "app/inspector/LiveArtView.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/stage/GifView.hpp"
#include "app/stage/PlayerView.hpp"
#include "tests/app/inspector/InspectorRig.hpp"
#include "tests/app/render/TestImages.hpp"
#include "tests/app/stage/StageFixture.hpp"

#include <QFile>
#include <QMediaPlayer>

namespace tavolune {
namespace {

using Kind = ArtStageView::Status::Kind;

using testsupport::gifBytes;

class LiveArtViewTest : public testsupport::InspectorRig {
 protected:
  // An animated GIF whose bytes the stage finds in the media cache.
  Artwork gif(const std::string& token) {
    Artwork a = kind(token, MediaKind::image, "https://media.test/" + token + ".gif");
    model->media().cache().store(gifBytes, *a.imageURI, "image/gif");
    return a;
  }
  std::unique_ptr<LiveArtView> view() {
    auto v = std::make_unique<LiveArtView>(*model, services().images);
    v->resize(320, 200);
    v->show();
    return v;
  }
  static bool waitStatus(LiveArtView& v, Kind kind) {
    QSignalSpy spy(&v, &LiveArtView::statusChanged);
    while (v.status().kind != kind) {
      if (!spy.wait(10'000)) return false;
    }
    return true;
  }
};

TEST_F(LiveArtViewTest, StillAtOnceThenStatusInTheCorner) {
  const Artwork a = gif("1");
  put(a, 520, testing::solid(40, 20, Qt::red));
  source->serve(*a.imageURI, testing::solid(64, 64, Qt::blue));
  source->hold(*a.imageURI);
  auto v = view();
  v->setArtwork(a);
  EXPECT_EQ(v->stage().stillImage().size(), QSize(40, 20));  // the cached copy, at once
  EXPECT_DOUBLE_EQ(v->stage().aspect(), 2.0);
  // Reports arrive a turn later, never inside the call.
  EXPECT_EQ(v->status().kind, Kind::idle);
  ASSERT_TRUE(waitStatus(*v, Kind::loading));
  EXPECT_TRUE(v->showsSpinner());
  ASSERT_TRUE(waitStatus(*v, Kind::playing));
  EXPECT_FALSE(v->showsSpinner());
  EXPECT_TRUE(v->failureText().isEmpty());
  ASSERT_NE(v->stage().gifView(), nullptr);

  // The same work again restarts nothing.
  QSignalSpy reports(v.get(), &LiveArtView::statusChanged);
  v->setArtwork(a);
  QCoreApplication::processEvents();
  EXPECT_EQ(reports.count(), 0);

  // A larger still that arrives while playing changes only the background.
  source->release(*a.imageURI);
  settle();
  EXPECT_EQ(v->stage().stillImage().size(), QSize(40, 20));
  EXPECT_EQ(v->stage().layerBackground(), WallpaperComposer::edgeColor(testing::solid(64, 64, Qt::blue)));
}

TEST_F(LiveArtViewTest, AFailureKeepsTheStillAndSaysWhy) {
  Artwork page = kind("1", MediaKind::generative);  // no page to run
  page.animationURI.reset();
  put(page, 1600, testing::solid(30, 30, Qt::green));
  auto v = view();
  v->setArtwork(page);
  ASSERT_TRUE(waitStatus(*v, Kind::failed));
  EXPECT_EQ(v->failureText(), "Showing still: no page to display");
  EXPECT_TRUE(v->stage().stillVisible());
  EXPECT_FALSE(v->showsSpinner());
}

TEST_F(LiveArtViewTest, AStillLandsOnlyOnItsOwnWork) {
  const Artwork a = gif("1");
  const Artwork b = gif("2");
  source->hold(*a.imageURI);
  source->setIgnoresStop(true);  // a's answer comes however late
  source->serve(*a.imageURI, testing::solid(50, 50, Qt::red));
  auto v = view();
  v->setArtwork(a);
  ASSERT_TRUE(source->waitForFetches(*a.imageURI));
  v->setArtwork(b);  // before a's still arrives
  source->release(*a.imageURI);
  settle();
  EXPECT_TRUE(v->stage().stillImage().isNull()) << "a's still landed on b";

  // A work that does not run live: the stage has no work of its own, so
  // the fetched still is not applied.
  const Artwork still = kind("3", MediaKind::image);
  source->serve(*still.imageURI, testing::solid(10, 10, Qt::yellow));
  v->setArtwork(still);
  settle();
  EXPECT_EQ(v->stage().status().kind, Kind::idle);
  EXPECT_TRUE(v->stage().stillImage().isNull());
}

TEST_F(LiveArtViewTest, AStillForAViewThatIsGoneIsDropped) {
  const Artwork a = gif("1");
  source->hold(*a.imageURI);
  source->setIgnoresStop(true);
  source->serve(*a.imageURI, testing::solid(50, 50, Qt::red));
  auto v = view();
  v->setArtwork(a);
  ASSERT_TRUE(source->waitForFetches(*a.imageURI));
  const std::shared_ptr<const ResultMailbox> results = v->results();
  v.reset();
  // The still arrives after the view went: it must find the way closed.
  const bool refused = !results->isOpen();
  EXPECT_TRUE(refused) << "the late still would land on the deleted view";
  if (!refused) source->setIgnoresStop(false);  // never let it post to freed memory
  source->release(*a.imageURI);
  settle();
  EXPECT_FALSE(pipeline.cached(a, LiveArtView::stillPixels).isNull()) << "the late still did come";
}

TEST_F(LiveArtViewTest, VideoIsPaintedNotANativeWindow) {
  QFile clip(QStringLiteral(TAVOLUNE_APP_TEST_DATA "/clip.mp4"));
  ASSERT_TRUE(clip.open(QIODevice::ReadOnly));
  Artwork video = kind("1", MediaKind::video);
  video.animationURI = "https://media.test/clip.mp4";
  model->media().cache().store(clip.readAll().toStdString(), *video.animationURI, "video/mp4");
  auto v = view();
  v->setArtwork(video);
  ASSERT_TRUE(waitStatus(*v, Kind::playing));
  if (!PlayerView::usesNativeWindow()) GTEST_SKIP() << "this Qt's video widget is not native";
  EXPECT_EQ(v->stage().playerView(), nullptr);
  for (const auto* child : v->findChildren<QWidget*>()) {
    EXPECT_FALSE(child->testAttribute(Qt::WA_NativeWindow) || child->inherits("QWindowContainer"))
        << child->metaObject()->className();
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return !v->stage().videoFrame().isNull(); }, 10'000));
}

}  // namespace
}  // namespace tavolune
