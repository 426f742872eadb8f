#include "tests/app/desktop/DesktopRig.hpp"
#include "app/stage/ArtStageView.hpp"
#include "tests/support/LoopbackServer.hpp"
#include "tests/support/fakes/FakeSVGRasterizer.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QSemaphore>
#include <QTest>

#include <mutex>
#include <set>
#include <thread>

namespace tavolune {
namespace {

using testsupport::DesktopRig;
using testsupport::makeDisplay;
using namespace std::chrono_literals;

const QString A = "display-1";

// Records which steps each generation's passes ran, and can hold one step
// of one generation until the test lets it go.
struct StepLog {
  std::mutex mutex;
  std::map<std::uint64_t, std::set<StillStage>> ran;
  std::atomic<std::uint64_t> holdGeneration{0};
  StillStage holdAfter = StillStage::set;
  std::atomic<bool> held{false};
  QSemaphore gate;

  auto watcher() {
    return [this](const QString&, std::uint64_t generation, StillStage stage, std::chrono::nanoseconds) {
      {
        std::lock_guard lock(mutex);
        ran[generation].insert(stage);
      }
      if (generation == holdGeneration && stage == holdAfter) {
        held = true;
        gate.acquire();
      }
    };
  }
  std::set<StillStage> of(std::uint64_t generation) {
    std::lock_guard lock(mutex);
    return ran[generation];
  }
};

TEST(DesktopStalePasses, FiveRapidNextsComposeAndEncodeOnlyTheLastPicture) {
  DesktopRig rig;
  StepLog steps;
  rig.stageDone = steps.watcher();
  for (const char* token : {"1", "2", "3", "4"}) rig.addWork(token);
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.start();
  ASSERT_TRUE(rig.waitIdle());
  const auto first = c.renderGeneration(A) + 1;
  for (int i = 0; i < 5; ++i) c.next(A);
  ASSERT_TRUE(rig.waitIdle());
  const auto last = c.renderGeneration(A);
  ASSERT_EQ(last, first + 4);
  for (auto g = first; g < last; ++g) EXPECT_TRUE(steps.of(g).empty()) << "generation " << g;
  EXPECT_EQ(steps.of(last), (std::set<StillStage>{StillStage::decode, StillStage::turn, StillStage::compose,
                                                  StillStage::encode, StillStage::write, StillStage::set}));
  EXPECT_EQ(rig.files(), std::vector<std::string>{c.applied(A)->file.filename().string()});
}

// A pass overtaken right after one step skips the next one, and whatever
// it left on disk goes once the display's passes are over.
TEST(DesktopStalePasses, AnOvertakenPassStopsAtItsNextCheck) {
  const struct {
    StillStage overtakenAfter;
    StillStage skipped;
  } cases[] = {
      {StillStage::turn, StillStage::compose},
      {StillStage::compose, StillStage::encode},
      {StillStage::write, StillStage::set},  // its file is written, then deleted
  };
  for (const auto& t : cases) {
    SCOPED_TRACE(int(t.overtakenAfter));
    DesktopRig rig;
    StepLog steps;
    steps.holdAfter = t.overtakenAfter;
    rig.stageDone = steps.watcher();
    rig.addWork("1");
    rig.addWork("2", MediaKind::image, Qt::green);
    rig.addWork("3", MediaKind::image, Qt::blue);
    rig.displays.set({makeDisplay(A, 1, true)});
    auto& c = rig.make();
    c.start();
    ASSERT_TRUE(rig.waitIdle());
    const auto before = *c.applied(A);
    steps.holdGeneration = c.renderGeneration(A) + 1;
    c.next(A);
    ASSERT_TRUE(QTest::qWaitFor([&] { return steps.held.load(); }, 5000));
    c.next(A);
    steps.gate.release();
    ASSERT_TRUE(rig.waitIdle());
    const auto overtaken = steps.of(steps.holdGeneration);
    EXPECT_TRUE(overtaken.contains(t.overtakenAfter));
    EXPECT_FALSE(overtaken.contains(t.skipped));
    EXPECT_TRUE(steps.of(c.renderGeneration(A)).contains(StillStage::set));
    EXPECT_NE(c.applied(A)->file, before.file);
    EXPECT_EQ(rig.files(), std::vector<std::string>{c.applied(A)->file.filename().string()});
  }
}

// Quitting while a pass's worker is busy: the controller waits for nothing,
// and the worker, going on after, reads nothing of the freed controller.
TEST(DesktopStalePasses, QuittingDuringAPassWaitsForNothing) {
  DesktopRig rig;
  StepLog steps;
  steps.holdAfter = StillStage::decode;
  steps.holdGeneration = 1;
  rig.stageDone = steps.watcher();
  rig.addWork("1");
  rig.displays.set({makeDisplay(A, 1, true)});
  rig.make().start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return steps.held.load(); }, 5000));
  EXPECT_EQ(rig.controller->passesRunning(), 1u);
  std::atomic<bool> gone{false};
  std::thread releaser([&] {
    // Only a safety net: a controller that waited is let go in the end.
    for (int i = 0; i < 20'000 && !gone; ++i) std::this_thread::sleep_for(1ms);
    steps.gate.release();
  });
  rig.controller.reset();
  gone = true;
  EXPECT_FALSE(steps.of(1).contains(StillStage::turn)) << "the controller waited for its pass's worker";
  releaser.join();
  EXPECT_TRUE(QTest::qWaitFor([&] { return steps.of(1).contains(StillStage::turn); }, 5000));
  EXPECT_FALSE(steps.of(1).contains(StillStage::compose));
}

// A still that never finishes drawing fails as a broken one over its
// limit (the pass ends and the display moves on), and is not drawn again;
// quitting with one stuck waits for it nowhere, and the drawing ends.
TEST(DesktopStalePasses, AnEndlessStillFailsOverItsLimitAndQuittingDoesNotWaitForIt) {
  auto svg = std::make_shared<testsupport::FakeSVGRasterizer>();
  DesktopRig rig([&](AppModel::Options& o) { o.svg = svg; });
  rig.addWork("1");
  Artwork stuck = rig.addWork("2");
  stuck.imageURI = "https://media.test/2.svg";
  const QByteArray endless = testsupport::FakeSVGRasterizer::endlessDocument();
  rig.model->media().cache().store(std::string_view(endless.constData(), std::size_t(endless.size())),
                                   *stuck.imageURI, "image/svg+xml");
  seedLibrary(*rig.model, [stuck](LibraryState& s) {
    s.artworks[stuck.id] = stuck;
    s.touch();
  });
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.show(rig.model->state().artworks.at("tezos:kt1desk:1"));
  c.start();
  ASSERT_TRUE(rig.waitApplied(A));
  ASSERT_TRUE(rig.waitIdle());
  const auto shown = c.applied(A)->file;

  c.show(stuck, A);
  ASSERT_TRUE(QTest::qWaitFor([&] { return svg->stuck() == 1; }, 5000));
  EXPECT_FALSE(c.preparing().empty());
  svg->runOutOfTime();
  ASSERT_TRUE(rig.waitApplied(A));
  ASSERT_TRUE(rig.waitIdle());
  EXPECT_EQ(c.applied(A)->file, shown) << "passed over to the work before";
  EXPECT_EQ(rig.current(A), "tezos:kt1desk:1");
  rig.model->media().images().expireFailures();
  c.show(stuck, A);
  ASSERT_TRUE(rig.waitApplied(A));
  EXPECT_EQ(svg->begun(), 1) << "over its limit for the session";
  const QByteArray another = QByteArray(endless).replace("<svg ", "<svg id='another' ");
  rig.model->media().cache().store(std::string_view(another.constData(), std::size_t(another.size())),
                                   *stuck.imageURI, "image/svg+xml");
  c.show(stuck, A);
  ASSERT_TRUE(QTest::qWaitFor([&] { return svg->stuck() == 1; }, 5000));
  rig.controller.reset();
  rig.model.reset();
  EXPECT_TRUE(svg->waitForStuck(0)) << "the stuck drawing was ended";
}

TEST(DesktopStalePasses, ANewerRenderCancelsTheFetch) {
  testsupport::LoopbackServer server;
  server.on("GET", "/ipfs/QmSlow", testsupport::CannedResponse::text("never mind").after(30s));
  DesktopRig rig([&](AppModel::Options& o) { o.services.gateways = {server.baseURL()}; });
  const auto quick = rig.addWork("1");
  Artwork slow = Artwork::make({.chain = Chain::tezos, .contract = "KT1Desk", .tokenId = "2", .title = "Slow",
                                .mediaKind = MediaKind::image, .imageURI = "ipfs://QmSlow"});
  seedLibrary(*rig.model, [slow, quick, w = rig.wallet](LibraryState& s) {
    s.artworks[slow.id] = slow;
    s.ownerships[w][slow.id] = 1;
    s.screens["display-1"].currentArtworkID = quick.id;
    s.touch();
  });
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.start();
  ASSERT_TRUE(rig.waitIdle());
  c.show(slow, A);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !server.requests("GET", "/ipfs/QmSlow").empty(); }, 5000));
  EXPECT_TRUE(c.isPreparing(slow.id));
  c.show(quick, A);
  // Over long before the server would answer.
  EXPECT_TRUE(QTest::qWaitFor([&] { return !c.isPreparing(slow.id); }, 5000));
  ASSERT_TRUE(rig.waitIdle());
  EXPECT_EQ(rig.current(A), quick.id);
}

TEST(DesktopStalePasses, OnePreRenderPendingPerDisplayAndNoneForAGoneDisplay) {
  DesktopRig rig;
  rig.prerenderWait = 400ms;
  auto& c = rig.startWithTwo(A, MediaKind::generative);
  c.next(A);
  ASSERT_TRUE(rig.waitApplied(A));
  ASSERT_EQ(c.upcoming(A), "tezos:kt1desk:2");
  const auto measured = [&] {
    return std::count(rig.formats.profileCalls.begin(), rig.formats.profileCalls.end(), "tezos:kt1desk:2");
  };
  const auto before = measured();
  // Two more pictures within the wait: each would start a pre-render.
  c.setFraming(Framing::fill, A);
  ASSERT_TRUE(rig.waitApplied(A));
  c.setFraming(Framing::fit, A);
  ASSERT_TRUE(rig.waitApplied(A));
  ASSERT_TRUE(QTest::qWaitFor([&] { return measured() > before; }, 3000));
  QTest::qWait(600);  // room for any other pending one to fire
  EXPECT_EQ(measured(), before + 1);

  // The display goes during the wait: nothing is rendered for it.
  c.setFraming(Framing::passePartout, A);
  ASSERT_TRUE(rig.waitApplied(A));
  rig.displays.set({});
  c.refreshScreens(false);
  QTest::qWait(600);
  EXPECT_EQ(measured(), before + 1);
}

TEST(DesktopStalePasses, AFailedStageGetsThePlaceholderToo) {
  DesktopRig rig;
  // Its video is nowhere to be had: the stage fails; its image is in the cache.
  Artwork video = rig.addWork("1", MediaKind::video);
  seedLibrary(*rig.model, [id = video.id](LibraryState& s) {
    s.artworks[id].animationURI = "ipfs://QmNowhere";
    s.animatedArtworks.insert(id);
    s.touch();
  });
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.start();
  auto* stage = c.liveStage(A);
  ASSERT_TRUE(stage);
  ASSERT_TRUE(QTest::qWaitFor([&] { return stage->status().kind == ArtStageView::Status::Kind::failed; }, 5000))
      << int(stage->status().kind);
  ASSERT_TRUE(rig.waitIdle());
  // A render of the failed stage: the page is kept, the picture is put over the matte.
  stage->setStillImage(QImage());
  c.setFraming(Framing::fill, A);
  ASSERT_TRUE(rig.waitApplied(A));
  EXPECT_EQ(stage->status().kind, ArtStageView::Status::Kind::failed);
  EXPECT_FALSE(stage->stillImage().isNull());
}

}  // namespace
}  // namespace tavolune
