#include "tests/app/desktop/DesktopRig.hpp"

#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/StageWindow.hpp"
#include "tests/support/ModelEdits.hpp"

namespace tavolune {
namespace {

using testsupport::DesktopRig;
using testsupport::makeDisplay;
using namespace std::chrono_literals;

const QString A = "display-1";
const QString B = "display-2";

struct Rotating : ::testing::Test {
  DesktopRig rig;
  Artwork w1 = rig.addWork("1"), w2 = rig.addWork("2"), w3 = rig.addWork("3");

  DesktopController& startOn(std::vector<Display> displays) {
    rig.displays.set(std::move(displays));
    auto& c = rig.make();
    c.start();
    return c;
  }
  void setLastChange(const QString& key, Date when) {
    seedLibrary(*rig.model, [k = key.toStdString(), when](LibraryState& s) {
      s.screens[k].lastChange = when;
      s.touch();
    });
  }
};

TEST_F(Rotating, StartShowsTheFirstWorkAndTheTickAdvancesOnlyDueDisplays) {
  auto& c = startOn({makeDisplay(A, 1, true), makeDisplay(B, 2, false)});
  EXPECT_EQ(rig.current(A), w1.id);  // no work yet: advanced at the first render
  EXPECT_EQ(rig.current(B), w1.id);
  EXPECT_EQ(c.screens().size(), 2u);

  struct Case {
    std::chrono::seconds since;
    bool paused;
    bool advances;
  } cases[] = {
      {3599s, false, false},
      {3600s, false, true},
      {3600s, true, false},
      {-600s, false, true},  // dated in the future: clock set back
  };
  for (const auto& t : cases) {
    setLastChange(A, rig.clock - t.since);
    setLastChange(B, rig.clock);
    c.setUserPaused(t.paused);
    const auto before = rig.current(A);
    c.tick();
    EXPECT_EQ(rig.current(A) != before, t.advances) << t.since.count() << "s paused " << t.paused;
    EXPECT_EQ(rig.current(B), w1.id);
  }
}

TEST_F(Rotating, SameWorkOnAllDisplaysMovesEveryDisplayOnce) {
  auto& c = startOn({makeDisplay(A, 1, true), makeDisplay(B, 2, false)});
  seedLibrary(*rig.model, [](LibraryState& s) { s.settings.sameArtworkOnAllScreens = true; });
  setLastChange(A, rig.clock - 4000s);
  setLastChange(B, rig.clock - 4000s);
  c.tick();
  // A advanced both; B was no longer due.
  EXPECT_EQ(rig.current(A), w2.id);
  EXPECT_EQ(rig.current(B), w2.id);
  EXPECT_EQ(c.history(A), std::vector<std::string>{w1.id});
  EXPECT_TRUE(c.history(B).empty());
  EXPECT_EQ(rig.model->state().screens.at("display-2").lastChange, rig.clock);
}

TEST_F(Rotating, GoingBackWalksTheHistoryAndThenThePool) {
  auto& c = startOn({makeDisplay(A, 1, true)});
  c.next(A);
  c.next(A);
  EXPECT_EQ(rig.current(A), w3.id);
  EXPECT_EQ(c.history(A), (std::vector<std::string>{w1.id, w2.id}));
  c.previous(A);
  EXPECT_EQ(rig.current(A), w2.id);
  c.previous(A);
  EXPECT_EQ(rig.current(A), w1.id);
  EXPECT_TRUE(c.history(A).empty());
  c.previous(A);  // empty history: the work before, wrapping to the last
  EXPECT_EQ(rig.current(A), w3.id);
}

TEST_F(Rotating, UpcomingIsTakenOnlyWhileInThePool) {
  auto& c = startOn({makeDisplay(A, 1, true)});
  auto generative = rig.addWork("0", MediaKind::generative);  // sorts first
  seedLibrary(*rig.model, [](LibraryState& s) { s.screens["display-1"].currentArtworkID = std::nullopt; });
  c.next(A);
  EXPECT_EQ(rig.current(A), generative.id);
  ASSERT_TRUE(rig.waitApplied(A));
  // The pass picked the next work, which is not generative: nothing pending.
  EXPECT_FALSE(c.upcoming(A));

  c.previous(A);  // to w3 (wraps)
  ASSERT_TRUE(rig.waitApplied(A));
  EXPECT_EQ(rig.current(A), w3.id);
  EXPECT_EQ(c.upcoming(A), generative.id);
  rig.model->setHidden({generative.id}, true);  // leaves the pool
  const auto historyBefore = c.history(A);
  c.next(A);
  EXPECT_EQ(rig.current(A), w1.id);
  EXPECT_FALSE(c.upcoming(A));
  EXPECT_EQ(c.history(A).size(), historyBefore.size() + 1);
}

TEST_F(Rotating, HistoryIsCutToItsNewestHundredPastTwoHundred) {
  auto& c = startOn({makeDisplay(A, 1, true)});
  for (int i = 0; i < 200; ++i) c.next(A);
  EXPECT_EQ(c.history(A).size(), 200u);
  const std::string newest = *rig.current(A);
  c.next(A);
  ASSERT_EQ(c.history(A).size(), 101u);
  EXPECT_EQ(c.history(A).back(), newest);
}

TEST_F(Rotating, LibraryChangesAdvanceOnlyTheDisplayThatLostItsWork) {
  auto& c = startOn({makeDisplay(A, 1, true), makeDisplay(B, 2, false)});
  c.show(w2, B);
  EXPECT_TRUE(c.history(B).empty());  // show leaves the history alone
  const auto genA = c.renderGeneration(A), genB = c.renderGeneration(B);
  rig.model->setHidden({w1.id}, true);
  seedDesktopChange(*rig.model);
  EXPECT_EQ(rig.current(A), w2.id);
  EXPECT_GT(c.renderGeneration(A), genA);
  EXPECT_EQ(rig.current(B), w2.id);
  EXPECT_EQ(c.renderGeneration(B), genB);  // nothing it shows changed

  // A quarter turn changes what B shows: rendered again.
  seedLibrary(*rig.model, [id = w2.id](LibraryState& s) { s.rotations[id] = 1; });
  seedDesktopChange(*rig.model);
  EXPECT_EQ(c.renderGeneration(B), genB + 1);
}

TEST_F(Rotating, NewDisplaysTakeTheMainFramingAndGoneOnesLoseTheirWindows) {
  seedLibrary(*rig.model, [](LibraryState& s) {
    s.screens["display-1"] = ScreenConfig(Framing::fill);
    s.animatedArtworks.clear();
  });
  auto& c = startOn({makeDisplay(A, 1, true)});
  rig.displays.set({makeDisplay(A, 1, true), makeDisplay(B, 2, false)});
  QSignalSpy screens(&c, &DesktopController::screensChanged);
  ASSERT_TRUE(screens.wait(2000));  // after the quiet period
  EXPECT_EQ(c.config(B).framing, Framing::fill);
  ASSERT_TRUE(c.cartel(B));

  rig.displays.set({makeDisplay(A, 1, true)});
  rig.displays.set({makeDisplay(A, 1, true)});
  ASSERT_TRUE(screens.wait(2000));
  EXPECT_EQ(screens.count(), 2);  // one refresh for the burst
  EXPECT_FALSE(c.cartel(B));
  EXPECT_TRUE(c.cartel(A));
}

TEST_F(Rotating, PlayShowsTheExhibitionsFirstWorkEverywhere) {
  auto& c = startOn({makeDisplay(A, 1, true), makeDisplay(B, 2, false)});
  const Exhibition late{Uuid::random(), "Late", {w3.id}};
  const Uuid id = late.id;
  seedLibrary(*rig.model, [late](LibraryState& s) {
    s.exhibitions.push_back(late);
    s.touch();
  });
  c.play(id);
  EXPECT_EQ(rig.model->state().activeExhibition, id);
  EXPECT_EQ(rig.current(A), w3.id);
  EXPECT_EQ(rig.current(B), w3.id);
}

}  // namespace
}  // namespace tavolune
