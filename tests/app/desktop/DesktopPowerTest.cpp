#include "tests/app/desktop/DesktopRig.hpp"
#include "tests/support/TinyGif.hpp"

#include "app/stage/ArtStageView.hpp"
#include "tests/support/ModelEdits.hpp"

#include <QTest>

#include <set>

namespace tavolune {
namespace {

using testsupport::DesktopRig;
using testsupport::makeDisplay;
using Kind = ArtStageView::Status::Kind;

const QString A = "display-1";
const QString B = "display-2";

bool waitKind(ArtStageView* stage, Kind kind, int ms = 5000) {
  QSignalSpy spy(stage, &ArtStageView::statusChanged);
  while (stage->status().kind != kind) {
    if (!spy.wait(ms)) return false;
  }
  return true;
}

struct Power : ::testing::Test {
  DesktopRig rig;

  // A work that runs live: an animated GIF, or bytes the stage cannot read.
  Artwork liveGif(const std::string& token, bool readable = true) {
    Artwork a = rig.addWork(token);
    rig.model->media().cache().store(readable ? testsupport::tinyGif() : std::string("not a picture"), *a.imageURI,
                             "image/gif");
    seedLibrary(*rig.model, [id = a.id](LibraryState& s) {
      s.artworks[id].mime = "image/gif";
      s.animatedArtworks.insert(id);
      s.touch();
    });
    return rig.model->state().artworks.at(a.id);
  }

  DesktopController& startPlaying(std::vector<Display> displays) {
    liveGif("1");
    rig.displays.set(std::move(displays));
    auto& c = rig.make();
    c.start();
    for (const auto& s : c.screens()) {
      auto* stage = c.liveStage(s.id);
      EXPECT_TRUE(stage && waitKind(stage, Kind::playing)) << s.id.toStdString();
    }
    return c;
  }

  void setPower(PowerReadings readings) {
    rig.power.set(readings);
    rig.controller->power().poll();
  }
};

TEST_F(Power, TheMenuPauseHoldsEveryDisplayAndReleasesAfterTheDelay) {
  auto& c = startPlaying({makeDisplay(A, 1, true), makeDisplay(B, 2, false, QRect(320, 0, 320, 180))});
  auto* a = c.liveStage(A);
  auto* b = c.liveStage(B);
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(c.isLivePlaying());

  // Paused, then back within the delay: the same content carries on, no reload.
  for (const bool paused : {true, false}) {
    c.setUserPaused(paused);
    c.applyPower();
    for (const auto& key : {A, B}) {
      EXPECT_EQ(c.liveStage(key)->status().kind, paused ? Kind::paused : Kind::playing);
      EXPECT_EQ(c.hasReleaseTask(key), paused);
    }
    EXPECT_EQ(c.isLivePlaying(), !paused);
  }

  // Paused past the delay: the content goes, the paused picture stays.
  c.setUserPaused(true);
  c.applyPower();
  ASSERT_TRUE(QTest::qWaitFor([&] { return a->isReleased() && b->isReleased(); }, 5000));
  EXPECT_EQ(a->status().kind, Kind::paused);
  EXPECT_TRUE(c.hasReleaseTask(A));  // a task that ran stays until the resume

  // The resume loads both works again.
  c.setUserPaused(false);
  c.applyPower();
  for (auto* stage : {a, b}) {
    EXPECT_EQ(stage->status().kind, Kind::loading);
    EXPECT_FALSE(stage->isReleased());
  }
  for (auto* stage : {a, b}) EXPECT_TRUE(waitKind(stage, Kind::playing));
  EXPECT_FALSE(c.hasReleaseTask(A));
  EXPECT_TRUE(c.isLivePlaying());
}

TEST_F(Power, TheScreenSaverAndThePolicyPauseToo) {
  auto& c = startPlaying({makeDisplay(A, 1, true)});
  auto* stage = c.liveStage(A);

  c.setScreenSaverShowing(true);
  EXPECT_EQ(stage->status().kind, Kind::paused);
  EXPECT_FALSE(c.isLivePlaying());
  c.setScreenSaverShowing(false);
  EXPECT_EQ(stage->status().kind, Kind::playing);
  EXPECT_TRUE(c.isLivePlaying());

  // On battery the work stays paused when the saver goes.
  setPower({.onBattery = true});
  EXPECT_EQ(stage->status().kind, Kind::paused);
  c.setScreenSaverShowing(true);
  c.setScreenSaverShowing(false);
  EXPECT_EQ(stage->status().kind, Kind::paused);
  EXPECT_TRUE(c.hasReleaseTask(A));
  setPower({});
  EXPECT_EQ(stage->status().kind, Kind::playing);
  EXPECT_FALSE(c.hasReleaseTask(A));
}

TEST_F(Power, AReleaseTaskBelongsToItsWindow) {
  auto& c = startPlaying({makeDisplay(A, 1, true)});
  c.setUserPaused(true);
  c.applyPower();
  ASSERT_TRUE(c.hasReleaseTask(A));

  // The display goes while the task waits: the next pass drops the task.
  rig.displays.set({});
  c.refreshScreens(false);
  EXPECT_FALSE(c.liveWindow(A));
  c.applyPower();
  EXPECT_FALSE(c.hasReleaseTask(A));

  // Gone and back with no pass between: the new window gets its own count.
  rig.displays.set({makeDisplay(A, 1, true)});
  c.refreshScreens(true);
  ASSERT_TRUE(c.hasReleaseTask(A));
  rig.displays.set({});
  c.refreshScreens(false);
  rig.displays.set({makeDisplay(A, 1, true)});
  c.refreshScreens(true);
  auto* stage = c.liveStage(A);
  ASSERT_TRUE(stage);
  EXPECT_EQ(stage->status().kind, Kind::paused);
  EXPECT_TRUE(QTest::qWaitFor([&] { return stage->isReleased(); }, 5000));
}

TEST_F(Power, LiveIsPlayingWhileAWindowRunsEvenWhenItsWorkFailed) {
  liveGif("1", false);
  rig.displays.set({makeDisplay(A, 1, true)});
  auto& c = rig.make();
  c.start();
  auto* stage = c.liveStage(A);
  ASSERT_TRUE(stage);
  EXPECT_TRUE(c.isLivePlaying());  // loading
  ASSERT_TRUE(waitKind(stage, Kind::failed));
  // The window runs on, showing its still: the tray still plays, and the
  // menu says why the still shows once the still is prepared.
  EXPECT_TRUE(c.isLivePlaying());
  const QString why = "Showing still: " + stage->status().message;
  EXPECT_TRUE(QTest::qWaitFor([&] { return c.statusLine() == why; }, 5000)) << c.statusLine().toStdString();
  c.applyPower();
  EXPECT_TRUE(c.isLivePlaying());
  c.setUserPaused(true);
  c.applyPower();
  EXPECT_FALSE(c.isLivePlaying());
}

struct IdleMeasuring : Power {
  std::vector<std::string> generative(int count) {
    std::vector<std::string> ids;
    for (int i = 0; i < count; ++i) ids.push_back(rig.addWork("g" + std::to_string(i), MediaKind::generative).id);
    return ids;
  }
  std::vector<std::string> unmeasured() const {
    std::vector<std::string> ids;
    for (const Artwork* a : rig.model->state().unmeasuredSeries()) ids.push_back(a->id);
    return ids;
  }
  // Answers the pending measurement; true when the run asks for another.
  bool answerAndWaitNext() {
    const auto asked = rig.formats.profileCalls.size();
    rig.formats.finishProfiles();
    EXPECT_EQ(rig.formats.profileCalls.size(), asked);  // the next waits the gap
    return QTest::qWaitFor([&] { return rig.formats.profileCalls.size() > asked || !rig.controller->isMeasuringIdle(); },
                           5000) &&
           rig.formats.profileCalls.size() > asked;
  }
};

TEST_F(IdleMeasuring, FiveSeriesOnlyAfterMoreThan180Seconds) {
  generative(7);
  const auto series = unmeasured();
  ASSERT_EQ(series.size(), 7u);
  auto& c = rig.make();

  rig.idle.seconds = 180;
  c.measureWhileIdle();
  EXPECT_TRUE(rig.formats.profileCalls.empty());
  EXPECT_FALSE(c.isMeasuringIdle());

  rig.idle.seconds = 181;
  c.measureWhileIdle();
  ASSERT_EQ(rig.formats.profileCalls.size(), 1u);
  // A probe that hangs: the next run does not measure beside it.
  c.measureWhileIdle();
  EXPECT_EQ(rig.formats.profileCalls.size(), 1u);

  for (int i = 1; i < 5; ++i) ASSERT_TRUE(answerAndWaitNext()) << i;
  EXPECT_FALSE(answerAndWaitNext());
  EXPECT_FALSE(c.isMeasuringIdle());
  EXPECT_EQ(rig.formats.profileCalls, std::vector<std::string>(series.begin(), series.begin() + 5));
}

TEST_F(IdleMeasuring, ARunStopsWhenTheComputerMayNotMeasure) {
  generative(3);
  auto& c = rig.make();
  c.start();  // no display: nothing renders, the policy follows the session
  rig.idle.seconds = 600;
  struct Case {
    const char* name;
    std::function<void()> stop, undo;
  };
  const std::vector<Case> cases{
      {"battery", [&] { setPower({.onBattery = true}); }, [&] { setPower({}); }},
      {"low power", [&] { setPower({.lowPower = true}); }, [&] { setPower({}); }},
      {"thermal", [&] { setPower({.thermalSerious = true}); }, [&] { setPower({}); }},
      {"asleep",
       [&] {
         rig.session.setAsleep(true);
         c.power().poll();
       },
       [&] {
         rig.session.setAsleep(false);
         c.power().poll();
       }},
      {"input", [&] { rig.idle.seconds = 2; }, [&] { rig.idle.seconds = 600; }},
      {"analysis", [&] { rig.model->formats().analyzeCollection(); }, [&] {
         rig.model->formats().setAnalysisStopRequested(true);
         while (rig.probes && !rig.probes->up().empty()) rig.probes->answer(std::optional<RenderProfile>());
       }},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    rig.formats.profileCalls.clear();
    // Stopped between two series...
    c.measureWhileIdle();
    ASSERT_EQ(rig.formats.profileCalls.size(), 1u);
    test.stop();
    EXPECT_FALSE(answerAndWaitNext());
    EXPECT_FALSE(c.isMeasuringIdle());
    // ...and no run starts meanwhile.
    c.measureWhileIdle();
    EXPECT_EQ(rig.formats.profileCalls.size(), 1u);
    test.undo();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.model->formats().analysisProgress(); }, 5000));
  }
}

TEST_F(Power, TheStatusLineNamesTheMainDisplaysState) {
  const Artwork image = rig.addWork("1");
  const Artwork video = rig.addWork("2", MediaKind::video);
  auto& c = rig.make();
  EXPECT_EQ(c.statusLine(), "No display");

  rig.displays.set({makeDisplay(B, 2, false, QRect(320, 0, 320, 180)), makeDisplay(A, 1, true)});
  c.refreshScreens(false);
  EXPECT_EQ(c.statusLine(), "No artwork");

  struct Row {
    std::string work;
    AnimationPolicy animation;
    bool selected;
    int turns;
    bool paused;
    PowerReadings power;
    QString text;
  };
  const std::vector<Row> rows{
      {video.id, AnimationPolicy::never, true, 0, false, {}, "Static · high-quality render"},
      {image.id, AnimationPolicy::all, false, 0, false, {}, "Static · image"},
      {video.id, AnimationPolicy::selected, false, 0, false, {}, "Static · still render (animation not selected)"},
      {video.id, AnimationPolicy::selected, true, 1, false, {}, "Static · still render (turned artwork)"},
      {video.id, AnimationPolicy::selected, true, 0, true, {.onBattery = true}, "Live · paused"},
      {video.id, AnimationPolicy::all, false, 0, false, {.onBattery = true}, "Live · paused (battery)"},
      {video.id, AnimationPolicy::all, false, 0, false, {.lowPower = true}, "Live · paused (Low Power Mode)"},
      {video.id, AnimationPolicy::selected, true, 0, false, {}, "Live · 30 fps"},
  };
  for (const auto& row : rows) {
    seedLibrary(*rig.model, [row, key = A.toStdString()](LibraryState& s) {
      s.screens[key].currentArtworkID = row.work;
      s.settings.animation = row.animation;
      s.animatedArtworks.clear();
      if (row.selected) s.animatedArtworks.insert(row.work);
      s.rotations.clear();
      if (row.turns) s.rotations[row.work] = row.turns;
    });
    c.setUserPaused(row.paused);
    setPower(row.power);
    EXPECT_EQ(c.statusLine(), row.text);
  }

  // A still under way on the second display, the main one ready.
  c.beginPreparing(image.id);
  EXPECT_EQ(c.statusLine(), "Preparing the artwork…");
  c.endPreparing(image.id);
  EXPECT_EQ(c.statusLine(), "Live · 30 fps");
}

}  // namespace
}  // namespace tavolune
