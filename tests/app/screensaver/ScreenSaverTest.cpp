#include "tests/app/screensaver/SaverRig.hpp"
#include "tests/support/TinyGif.hpp"

#include <QSignalSpy>

#include <climits>
#include <map>
#include <set>

namespace tavolune {
namespace {

using testsupport::SaverRig;

TEST(ScreenSaver, ArmsFromTheDelayAndTheIdleTime) {
  struct Case {
    double delay;
    double idle;
    std::optional<double> wait;
    double tolerance;
  };
  for (const Case& c : {Case{300, 298, 5, 0.5},       // never less than 5 s
                        Case{600, 0, 600, 10},        // a tenth, at most 10 s
                        Case{100, 40, 60, 6},
                        Case{1e9, 0, 86'400, 10},     // one day a timer, then again
                        Case{1e300, 0, 86'400, 10},
                        Case{0, 5000, std::nullopt, 0}}) {  // never by itself
    SCOPED_TRACE(c.delay);
    SaverRig rig;
    rig.idle.seconds = c.idle;
    rig.setDelay(c.delay);
    rig.saver->start();
    const auto armed = rig.saver->armed();
    ASSERT_EQ(armed.has_value(), c.wait.has_value());
    if (!armed) continue;
    EXPECT_DOUBLE_EQ(armed->wait, *c.wait);
    EXPECT_DOUBLE_EQ(armed->tolerance, c.tolerance);
  }
}

TEST(ScreenSaver, FollowsTheDelaySettingAndRearmsALongDelayDayByDay) {
  SaverRig rig;
  rig.saver->start();
  EXPECT_FALSE(rig.saver->armed());
  const int reads = rig.idle.reads;
  rig.setDelay(1e9);
  ASSERT_TRUE(rig.saver->armed());
  EXPECT_EQ(rig.saver->armed()->wait, 86'400);
  // Another edit that leaves the delay alone does not re-arm.
  rig.idle.seconds = 100;
  rig.setAnimation(AnimationPolicy::all);
  EXPECT_EQ(rig.idle.reads, reads + 1);
  // The day passed: the rest of the delay, again capped.
  rig.idle.seconds = 86'400;
  rig.saver->checkIdle();
  EXPECT_FALSE(rig.saver->isShowing());
  ASSERT_TRUE(rig.saver->armed());
  EXPECT_EQ(rig.saver->armed()->wait, 86'400);
  rig.setDelay(0);
  EXPECT_FALSE(rig.saver->armed());
  rig.saver->show();  // the menu still can
  EXPECT_TRUE(rig.saver->isShowing());
}

TEST(ScreenSaver, CheckIdleShowsOnlyWhenIdleLongEnoughAndNothingBlocks) {
  enum class Block { none, shortIdle, locked, asleep, inhibited };
  for (Block block : {Block::shortIdle, Block::locked, Block::asleep, Block::inhibited, Block::none}) {
    SCOPED_TRACE(int(block));
    SaverRig rig;
    rig.addWork("1");
    rig.setDelay(300);
    rig.idle.seconds = block == Block::shortIdle ? 200 : 400;
    if (block == Block::locked) rig.desk.session.setLocked(true);
    if (block == Block::asleep) rig.desk.session.setAsleep(true);
    rig.inhibitors.inhibited = block == Block::inhibited;
    rig.saver->start();
    QSignalSpy showing(rig.saver.get(), &ScreenSaver::showingChanged);
    rig.saver->checkIdle();
    if (block == Block::none) {
      ASSERT_TRUE(showing.wait(2000));
      EXPECT_TRUE(rig.saver->isShowing());
      EXPECT_FALSE(rig.saver->armed());
      continue;
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.saver->armed().has_value(); }, 2000));
    EXPECT_FALSE(rig.saver->isShowing());
    EXPECT_DOUBLE_EQ(rig.saver->armed()->wait, block == Block::shortIdle ? 100 : 60);
    EXPECT_EQ(rig.inhibitors.checks, block == Block::inhibited ? 1 : 0);
  }
}

TEST(ScreenSaver, ShowCoversEveryDisplayAndDismissGivesTheFocusBack) {
  SaverRig rig(2);
  rig.addWork("1", MediaKind::image, Qt::blue);
  rig.setDelay(600);
  rig.focus.focus = FocusedWindow{42, false};
  rig.saver->start();
  QSignalSpy showing(rig.saver.get(), &ScreenSaver::showingChanged);
  rig.saver->show();
  ASSERT_EQ(showing.count(), 1);
  EXPECT_TRUE(showing.at(0).at(0).toBool());
  EXPECT_FALSE(rig.saver->armed());
  ASSERT_EQ(rig.saver->windows().size(), 2u);
  std::vector<QPointer<StageWindow>> windows;
  for (std::size_t i = 0; i < 2; ++i) {
    StageWindow* w = rig.window(i).window();
    windows.emplace_back(w);
    EXPECT_EQ(w->geometry(), QRect(320 * int(i), 0, 320, 180));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->interactive());
    EXPECT_TRUE(w->windowFlags() & Qt::X11BypassWindowManagerHint);
    EXPECT_EQ(w->cursor().shape(), Qt::BlankCursor);
    ASSERT_TRUE(rig.waitStill(Qt::blue, i));
  }
  // The mat comes from the picture however late it arrived.
  EXPECT_EQ(rig.stage(0).layerBackground(), rig.stage(1).layerBackground());
  EXPECT_NE(rig.stage(0).layerBackground(),
            rig.desk.model->formats().matte(rig.desk.model->state().artworks.begin()->second));
  EXPECT_TRUE(QTest::qWaitFor([&] { return rig.window(1).opacity() == 1.0; }, 2000));
  EXPECT_GE(rig.desk.windows.count(testsupport::FakeDesktopWindows::Call::shown), 2);
  EXPECT_TRUE(rig.saver->watching());
  EXPECT_EQ(rig.saver->rotateInterval(), std::chrono::milliseconds(60'000));

  rig.saver->dismiss();
  EXPECT_FALSE(rig.saver->isShowing());
  EXPECT_FALSE(showing.at(1).at(0).toBool());
  EXPECT_EQ(rig.focus.activated, std::vector<std::uint32_t>{42});
  EXPECT_FALSE(rig.saver->watching());
  EXPECT_FALSE(rig.saver->rotating());
  EXPECT_TRUE(rig.saver->armed()) << "dismissing arms again";
  EXPECT_GE(rig.desk.windows.count(testsupport::FakeDesktopWindows::Call::release), 2);

  // Shown again at once (a slideshow starts so): the old windows going
  // away after their fade must not let the new ones' input go.
  rig.focus.focus = FocusedWindow{7, true};
  rig.saver->show();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !windows[0] && !windows[1]; }, 2000)) << "deleted after the fade";
  const auto& calls = rig.desk.windows.calls;
  const auto last = std::find_if(calls.rbegin(), calls.rend(), [](const auto& c) { return c.kind != c.prepare; });
  EXPECT_EQ(last->kind, testsupport::FakeDesktopWindows::Call::shown);
  // Our own window had the focus: nothing to give back.
  rig.saver->dismiss();
  EXPECT_EQ(rig.focus.activated.size(), 1u);
}

TEST(ScreenSaver, NoDisplayNoSaver) {
  SaverRig rig;
  rig.desk.displays.set({});
  rig.saver->show();
  EXPECT_FALSE(rig.saver->isShowing());
}

// The saver runs beside a started desktop controller, wired as in main. A
// library change (a wallet's sync while the user is away, here a hidden work:
// the same path) makes the controller refresh its screens but must leave the
// saver up; a change of displays, a lock and display sleep end it.
TEST(ScreenSaver, LockSleepAndDisplayChangesDismissButLibraryChangesDoNot) {
  enum class Change { lock, sleep, displays, library };
  struct Case {
    const char* what;
    Change change;
    bool dismisses;
    bool refreshesScreens;
  };
  for (const Case& c : {Case{"lock", Change::lock, true, false}, Case{"sleep", Change::sleep, true, false},
                        Case{"displays", Change::displays, true, true},
                        Case{"library", Change::library, false, true}}) {
    SCOPED_TRACE(c.what);
    SaverRig rig;
    rig.addWork("1");
    const Artwork other = rig.addWork("2");
    DesktopController& desktop = rig.desk.make();
    QObject::connect(rig.saver.get(), &ScreenSaver::showingChanged, &desktop,
                     &DesktopController::setScreenSaverShowing);
    desktop.start();
    rig.saver->start();
    rig.saver->show();
    ASSERT_TRUE(rig.saver->isShowing());
    const auto windows = rig.saver->windows();
    QSignalSpy refreshed(&desktop, &DesktopController::screensChanged);
    QSignalSpy showing(rig.saver.get(), &ScreenSaver::showingChanged);
    switch (c.change) {
      case Change::lock: rig.desk.session.setLocked(true); break;
      case Change::sleep: rig.desk.session.setAsleep(true); break;
      case Change::displays: rig.desk.displays.set({testsupport::makeDisplay("other", 9, true)}); break;
      case Change::library: rig.desk.model->setHidden({other.id}, true); break;
    }
    EXPECT_EQ(rig.saver->isShowing(), !c.dismisses);
    // The controller saw the change (a display change after its debounce).
    if (c.refreshesScreens) {
      EXPECT_TRUE(!refreshed.isEmpty() || refreshed.wait(2000));
    }
    if (!c.dismisses) {
      EXPECT_FALSE(showing.wait(300)) << "nor a moment later";
      EXPECT_EQ(rig.saver->windows(), windows) << "the same windows stay up";
      EXPECT_TRUE(desktop.screenSaverShowing());
    }
  }
}

TEST(ScreenSaver, InputAfterTheGracePeriodEndsItButAJiggleDoesNot) {
  enum class Input { move2, move3, click, key, wheel };
  for (Input input : {Input::move2, Input::move3, Input::click, Input::key, Input::wheel}) {
    SCOPED_TRACE(int(input));
    SaverRig rig;
    rig.addWork("1");
    rig.saver->show();
    const QPoint base = QCursor::pos();
    auto send = [&](QPoint& at) {
      switch (input) {
        case Input::move2: rig.move(at += QPoint(1, 1)); break;
        case Input::move3: rig.move(at += QPoint(2, -1)); break;
        case Input::click: rig.click(); break;
        case Input::key: rig.key(Qt::Key_A); break;
        case Input::wheel: rig.wheel(); break;
      }
    };
    QPoint at = base;
    send(at);  // within the first 1.5 s
    EXPECT_TRUE(rig.saver->isShowing());
    rig.clock += std::chrono::milliseconds(1600);
    send(at);
    EXPECT_EQ(rig.saver->isShowing(), input == Input::move2);
    // A jiggle ends nothing, but shows the cursor.
    if (input == Input::move2) {
      EXPECT_NE(rig.window(0).window()->cursor().shape(), Qt::BlankCursor);
    }
  }
}

TEST(ScreenSaver, SlideshowKeysStepTheExhibitionAndOtherInputEndsIt) {
  SaverRig rig(2);
  const auto a = rig.addWork("1", MediaKind::image, Qt::red);
  const auto b = rig.addWork("2", MediaKind::image, Qt::green);
  const auto c = rig.addWork("3", MediaKind::image, Qt::blue);
  const Uuid show = rig.exhibition({a, b, c});
  for (int ending = 0; ending < 2; ++ending) {
    SCOPED_TRACE(ending);
    rig.saver->setSlideshow(show);
    rig.saver->show();
    // Consecutive works on the two displays.
    ASSERT_TRUE(rig.waitStill(Qt::red, 0));
    ASSERT_TRUE(rig.waitStill(Qt::green, 1));
    EXPECT_FALSE(rig.saver->watching());
    EXPECT_EQ(rig.saver->rotateInterval(), std::chrono::milliseconds(45'000));
    rig.later();
    rig.move(QCursor::pos() + QPoint(300, 200));  // the pointer moves freely
    rig.wheel();
    EXPECT_TRUE(rig.saver->isShowing());
    EXPECT_NE(rig.window(0).window()->cursor().shape(), Qt::BlankCursor);
    rig.key(Qt::Key_Right);
    ASSERT_TRUE(rig.waitStill(Qt::blue, 0));
    ASSERT_TRUE(rig.waitStill(Qt::red, 1));
    rig.key(Qt::Key_Space);
    ASSERT_TRUE(rig.waitStill(Qt::green, 0));
    EXPECT_TRUE(rig.saver->rotating());
    if (ending == 0) rig.key(Qt::Key_Escape);
    if (ending == 1) rig.click(1);
    EXPECT_FALSE(rig.saver->isShowing());
    EXPECT_FALSE(rig.saver->slideshow()) << "a slideshow lasts one showing";
  }
}

TEST(ScreenSaver, ActivityWatchEndsItOnUnseenInputButNotAtFirst) {
  SaverRig rig;
  rig.addWork("1");
  rig.idle.seconds = 0.2;  // input the windows never saw
  rig.saver->show();
  QSignalSpy showing(rig.saver.get(), &ScreenSaver::showingChanged);
  EXPECT_FALSE(showing.wait(150)) << "not in the first 2 s";
  rig.later();
  ASSERT_TRUE(showing.wait(2000));
  EXPECT_FALSE(rig.saver->isShowing());
}

TEST(ScreenSaver, ChoosesFromThePoolAvoidingRecentWorks) {
  SaverRig rig;
  for (int i = 0; i < 80; ++i) rig.addWork(std::to_string(i));
  std::vector<std::string> picks;
  for (int i = 0; i < 120; ++i) picks.push_back(rig.saver->nextArtwork(QSize(1920, 1080))->id);
  EXPECT_EQ(rig.saver->recent().size(), ScreenSaver::recentLimit);
  EXPECT_EQ(rig.saver->recent().back(), picks.back());
  // The half of the pool shown last is never chosen again at once.
  for (std::size_t i = 40; i < picks.size(); ++i) {
    for (std::size_t j = i - 40; j < i; ++j) ASSERT_NE(picks[i], picks[j]) << i << " " << j;
  }
}

// Two candidates each: avoiding the work just shown makes the picks alternate
// between exactly the works the rule allows.
TEST(ScreenSaver, PrefersGenerativeWorksWhileLiveWorksMayRun) {
  struct Case {
    const char* what;
    AnimationPolicy animation;
    bool lowPower;
    std::vector<std::string> works;  // tokens; "gen…" are generative
    std::set<std::string> chosen;    // the tokens the picks alternate between
  };
  for (const Case& c : {Case{"clear", AnimationPolicy::selected, false, {"still", "gen1", "gen2"}, {"gen1", "gen2"}},
                        Case{"no generative", AnimationPolicy::selected, false, {"still1", "still2"}, {"still1", "still2"}},
                        Case{"low power", AnimationPolicy::selected, true, {"still", "gen"}, {"still", "gen"}},
                        Case{"live never", AnimationPolicy::never, false, {"still", "gen"}, {"still", "gen"}}}) {
    SCOPED_TRACE(c.what);
    SaverRig rig;
    std::map<std::string, std::string> tokens;  // by artwork id
    for (const auto& token : c.works) {
      const auto kind = token.starts_with("gen") ? MediaKind::generative : MediaKind::image;
      tokens[rig.addWork(token, kind).id] = token;
    }
    rig.setAnimation(c.animation);
    rig.setLowPower(c.lowPower);
    EXPECT_EQ(rig.saver->canRunLive(), !c.lowPower && c.animation != AnimationPolicy::never);
    std::vector<std::string> picks;
    for (int i = 0; i < 12; ++i) {
      const auto work = rig.saver->nextArtwork(QSize(1920, 1080));
      ASSERT_TRUE(work) << i;
      picks.push_back(tokens.at(work->id));
    }
    EXPECT_EQ(std::set<std::string>(picks.begin(), picks.end()), c.chosen);
    for (std::size_t i = 1; i < picks.size(); ++i) EXPECT_NE(picks[i], picks[i - 1]) << "pick " << i;
  }
}

TEST(ScreenSaver, LiveWorksShowAsStillsUnderLowPower) {
  SaverRig rig;
  rig.addWork("gen", MediaKind::generative, Qt::magenta);
  rig.setLowPower(true);
  rig.saver->show();
  ASSERT_TRUE(rig.waitStill(Qt::magenta));
  EXPECT_FALSE(rig.stage().artwork()) << "nothing loads live";
  rig.saver->dismiss();

  rig.setLowPower(false);
  rig.saver->show();
  ASSERT_TRUE(rig.stage().artwork());
  EXPECT_EQ(rig.stage().artwork()->title, "Work gen");
  EXPECT_EQ(rig.stage().fps(), ScreenSaver::liveFps);
}

// Not in memory, the picture is fetched to stand in while the work loads or
// after it failed, without stopping it.
TEST(ScreenSaver, ALiveWorkGetsItsPictureBeneath) {
  SaverRig rig;
  rig.addWork("gen", MediaKind::generative, Qt::magenta);
  rig.saver->show();
  ASSERT_TRUE(rig.stage().artwork());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !rig.stage().stillImage().isNull(); }, 5000));
  EXPECT_EQ(rig.stage().stillImage().pixelColor(0, 0), QColor(Qt::magenta));
  EXPECT_TRUE(rig.stage().artwork()) << "still live";
}

// A picture that comes once the work plays still goes beneath it, for a
// failure that may come later.
TEST(ScreenSaver, APictureAfterTheWorkPlaysWaitsBeneathIt) {
  SaverRig rig;
  Artwork gif = rig.addWork("gif", MediaKind::image, Qt::magenta);
  rig.desk.model->media().cache().store(testsupport::tinyGif(), *gif.imageURI, "image/gif");
  seedLibrary(*rig.desk.model, [id = gif.id](LibraryState& s) {
    s.artworks[id].mime = "image/gif";
    s.touch();
  });
  rig.media->hold(*gif.imageURI);
  rig.saver->show();
  ArtStageView& stage = rig.stage();
  QSignalSpy status(&stage, &ArtStageView::statusChanged);
  while (stage.status().kind != ArtStageView::Status::Kind::playing) ASSERT_TRUE(status.wait(5000));
  ASSERT_TRUE(stage.stillImage().isNull());
  rig.media->release(*gif.imageURI);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !stage.stillImage().isNull(); }, 5000));
  EXPECT_EQ(stage.stillImage().pixelColor(0, 0), QColor(Qt::magenta));
  EXPECT_FALSE(stage.stillVisible()) << "the playing work stays in sight";
  EXPECT_EQ(stage.status().kind, ArtStageView::Status::Kind::playing);
}

TEST(ScreenSaver, AnEmptyPoolLeavesTheWindowsBlack) {
  SaverRig rig;
  rig.saver->show();
  ASSERT_TRUE(rig.saver->isShowing());
  EXPECT_FALSE(rig.still());
  EXPECT_FALSE(rig.stage().artwork());
  EXPECT_EQ(rig.stage().layerBackground(), QColor(Qt::black));
  rig.saver->rotate();
  EXPECT_TRUE(rig.saver->isShowing());
}

// A rotation whose fade ends after the dismiss must not load its work into
// the window that is fading away.
TEST(ScreenSaver, ARotationEndingAfterDismissLoadsNothing) {
  auto timings = testsupport::shortSaverTimings(&ScreenSaver::Clock::now);
  timings.fadeOut = std::chrono::milliseconds(0);  // its end is queued before the dismiss
  timings.dismissFade = std::chrono::milliseconds(200);
  SaverRig rig(1, nullptr, nullptr, timings);
  const auto still = rig.addWork("1");
  const auto live = rig.addWork("gen", MediaKind::generative);
  rig.saver->setSlideshow(rig.exhibition({still, live}));
  rig.saver->show();
  ArtStageView* stage = &rig.stage();
  QPointer<StageWindow> window = rig.window().window();
  QSignalSpy loads(stage, &ArtStageView::statusChanged);
  rig.saver->rotate();
  rig.saver->dismiss();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window; }, 3000));
  EXPECT_EQ(loads.count(), 0);
}

// A still fetched for the work shown before must not cover the next one.
TEST(ScreenSaver, ALateStillOfThePreviousWorkIsDropped) {
  SaverRig rig;
  const auto first = rig.addWork("1", MediaKind::image, Qt::red);
  const auto second = rig.addWork("2", MediaKind::image, Qt::green);
  rig.media->hold(*first.imageURI);
  rig.media->setIgnoresStop(true);
  rig.saver->setSlideshow(rig.exhibition({first, second}));
  rig.saver->show();
  ASSERT_TRUE(rig.media->waitForFetches(*first.imageURI));
  rig.saver->rotate();
  ASSERT_TRUE(rig.waitStill(Qt::green));
  rig.media->release(*first.imageURI);
  QThreadPool::globalInstance()->waitForDone();
  QCoreApplication::processEvents();
  EXPECT_EQ(rig.still(), QColor(Qt::green));
}

}  // namespace
}  // namespace tavolune
