#include "app/desktop/PowerPolicy.hpp"

#include "tests/support/fakes/FakeDisplaySource.hpp"
#include "tests/support/fakes/FakePowerSources.hpp"
#include "tests/support/fakes/FakeSessionWatch.hpp"
#include "tests/support/fakes/FakeWindowCoverage.hpp"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using State = PowerPolicy::State;
using testsupport::FakeDisplaySource;
using testsupport::FakePowerSources;
using testsupport::FakeSessionWatch;
using testsupport::FakeWindowCoverage;

constexpr std::int64_t ownPid = 4242;

Display display(std::uint32_t number, QRect geometry, double scale = 1.0) {
  Display d;
  d.key = QStringLiteral("display-%1").arg(number);
  d.number = number;
  d.geometry = geometry;
  d.available = geometry;
  d.scale = scale;
  return d;
}

const std::vector<Display> twoDisplays{display(7, {0, 0, 1920, 1080}), display(9, {1920, 0, 2560, 1440}, 2.0)};

StackedWindow window(QRect frame) {
  StackedWindow w;
  w.frame = frame;
  w.pid = 1;
  return w;
}

TEST(PowerPolicyReason, FirstConditionWinsInOrder) {
  struct Case {
    State state;
    std::optional<std::uint32_t> display;
    std::optional<QString> reason;
  };
  State all{true, true, true, true, true, true, {7}};
  State covered;
  covered.coveredDisplays = {7};
  const std::vector<Case> cases{
      {all, 7, QStringLiteral("screen locked")},
      {State{false, true, true, false, false, false, {}}, std::nullopt, QStringLiteral("sleeping")},
      {State{false, false, false, true, false, true, {}}, std::nullopt, QStringLiteral("Reduce Motion")},
      {State{false, false, true, true, true, false, {}}, std::nullopt, QStringLiteral("Low Power Mode")},
      {State{false, false, true, false, true, false, {7}}, 7, QStringLiteral("thermal pressure")},
      {State{false, false, true, false, false, false, {7}}, 7, QStringLiteral("battery")},
      {covered, 7, QStringLiteral("full screen")},
      {covered, 9, std::nullopt},
      {covered, std::nullopt, std::nullopt},
      {State{}, 7, std::nullopt},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    FakeSessionWatch session;
    FakePowerSources sources;
    FakeWindowCoverage coverage;
    FakeDisplaySource displays;
    PowerPolicy policy(session, sources, coverage, displays);
    const State& s = cases[i].state;
    session.presetLocked(s.locked);
    sources.set({s.onBattery, s.lowPower, s.thermalSerious, s.reduceMotion});
    displays.set(twoDisplays);
    coverage.stack.windows = s.coveredDisplays.empty() ? std::vector<StackedWindow>{}
                                                       : std::vector<StackedWindow>{window({0, 0, 1920, 1080})};
    policy.setWatchesCoverage(true);
    policy.start({});
    if (s.asleep) session.setAsleep(true);
    QSignalSpy spy(&policy, &PowerPolicy::stateChanged);
    if (!s.coveredDisplays.empty()) {
      ASSERT_TRUE(spy.wait(1000)) << i;
    }
    ASSERT_EQ(policy.state(), s) << i;
    EXPECT_EQ(policy.pauseReason(cases[i].display), cases[i].reason) << i;
  }
}

TEST(PowerPolicyCoverage, WhichWindowsCoverWhichDisplays) {
  const QRect left{0, 0, 1920, 1080};
  auto with = [](StackedWindow w, auto change) {
    change(w);
    return w;
  };
  struct Case {
    const char* what;
    StackedWindow window;
    std::set<std::uint32_t> covered;
  };
  const std::vector<Case> cases{
      {"exact fit", window(left), {7}},
      {"a 1-point gap on one edge", window({1, 0, 1919, 1080}), {7}},
      {"a 2-point gap on every edge", window({2, 2, 1916, 1076}), {7}},
      {"3 points short", window({0, 0, 1917, 1080}), {}},
      {"larger than the display", window({-10, -40, 2000, 1200}), {7}},
      {"both displays", window({0, 0, 4480, 1440}), {7, 9}},
      {"the 2-point inset grows with the scale", window({1924, 4, 2552, 1432}), {9}},
      {"5 pixels on a scale-2 display", window({1925, 0, 2555, 1440}), {}},
      {"alpha 0.9", with(window(left), [](auto& w) { w.opacity = 0.9; }), {}},
      {"alpha 0.91", with(window(left), [](auto& w) { w.opacity = 0.91; }), {7}},
      {"no alpha", with(window(left), [](auto& w) { w.opacity.reset(); }), {7}},
      {"our own window", with(window(left), [](auto& w) { w.pid = ownPid; }), {}},
      {"no pid", with(window(left), [](auto& w) { w.pid.reset(); }), {7}},
      {"another workspace", with(window(left), [](auto& w) { w.workspace = 2; }), {}},
      {"this workspace", with(window(left), [](auto& w) { w.workspace = 1; }), {7}},
      {"all workspaces", with(window(left), [](auto& w) { w.workspace = WindowCoverage::allWorkspaces; }), {7}},
      {"minimised", with(window(left), [](auto& w) { w.hidden = true; }), {}},
      {"a dock", with(window(left), [](auto& w) { w.type = StackedWindow::Type::dock; }), {}},
      {"the desktop", with(window(left), [](auto& w) { w.type = StackedWindow::Type::desktop; }), {}},
      {"a dialog", with(window(left), [](auto& w) { w.type = StackedWindow::Type::dialog; }), {7}},
      {"no geometry", window({}), {}},
  };
  for (auto& c : cases) {
    WindowStack stack;
    stack.currentWorkspace = 1;
    stack.windows = {c.window};
    EXPECT_EQ(PowerPolicy::coveredDisplays(stack, twoDisplays, ownPid), c.covered) << c.what;
  }
  WindowStack noWorkspaces;
  noWorkspaces.windows = {with(window(left), [](auto& w) { w.workspace = 3; })};
  EXPECT_EQ(PowerPolicy::coveredDisplays(noWorkspaces, twoDisplays, ownPid), std::set<std::uint32_t>{7})
      << "a window manager without workspaces";
}

class PowerPolicyTest : public ::testing::Test {
 protected:
  FakeSessionWatch session;
  FakePowerSources sources;
  FakeWindowCoverage coverage;
  FakeDisplaySource displays;
  PowerPolicy policy{session, sources, coverage, displays};
};

TEST_F(PowerPolicyTest, ThePollRestsWhileNoLiveWorkIsWatched) {
  policy.start({});
  EXPECT_EQ(policy.currentPollInterval(), PowerPolicy::restingPollInterval);
  const int before = sources.refreshes;
  sources.set({true, false, false, false});
  policy.setWatchesCoverage(true);
  EXPECT_EQ(policy.currentPollInterval(), PowerPolicy::pollInterval);
  EXPECT_GT(sources.refreshes, before) << "a live work starting reads everything at once";
  EXPECT_TRUE(policy.state().onBattery);
  policy.setWatchesCoverage(false);
  EXPECT_EQ(policy.currentPollInterval(), PowerPolicy::restingPollInterval);
}

TEST_F(PowerPolicyTest, PublishesOnlyChangesFromThePollButEveryNotification) {
  sources.set({true, false, false, false});
  QSignalSpy spy(&policy, &PowerPolicy::stateChanged);
  policy.start({});
  ASSERT_EQ(spy.count(), 1);
  EXPECT_TRUE(policy.state().onBattery);
  for (int i = 0; i < 5; ++i) policy.poll();
  EXPECT_EQ(spy.count(), 1) << "five unchanged polls publish nothing";
  EXPECT_GE(sources.refreshes, 6) << "each poll starts a new read of what has no signal";
  EXPECT_GE(session.refreshes, 6);

  sources.set({false, true, false, false});
  policy.poll();
  ASSERT_EQ(spy.count(), 2);
  EXPECT_FALSE(policy.state().onBattery);
  EXPECT_TRUE(policy.state().lowPower);

  session.setLocked(true);
  session.setLocked(true);
  EXPECT_EQ(spy.count(), 4) << "a lock report publishes even when already locked";
  EXPECT_TRUE(policy.state().locked);
  session.setLocked(false);
  EXPECT_FALSE(policy.state().locked);
  // The poll keeps what the notifications set.
  session.setAsleep(true);
  policy.poll();
  EXPECT_TRUE(policy.state().asleep);
}

TEST_F(PowerPolicyTest, PowerReportsCountAtOnceWhileThePollRests) {
  policy.start({});
  ASSERT_EQ(policy.currentPollInterval(), PowerPolicy::restingPollInterval);
  QSignalSpy spy(&policy, &PowerPolicy::stateChanged);
  const int refreshes = sources.refreshes;
  sources.set({true, false, false, false});  // the charger is unplugged
  EXPECT_EQ(spy.count(), 1);
  EXPECT_EQ(policy.pauseReason(), QStringLiteral("battery"));
  sources.set({true, false, false, false});
  EXPECT_EQ(spy.count(), 1) << "an unchanged report publishes nothing";
  EXPECT_EQ(sources.refreshes, refreshes) << "a report starts no new read";
}

TEST_F(PowerPolicyTest, ALockBeforeStartIsSeenAtStart) {
  session.presetLocked(true);
  policy.start({});
  EXPECT_TRUE(policy.state().locked);
  EXPECT_EQ(policy.pauseReason(), QStringLiteral("screen locked"));
}

TEST_F(PowerPolicyTest, CoverageIsAskedForOnlyWhileWatched) {
  displays.set(twoDisplays);
  coverage.stack.windows = {window({0, 0, 1920, 1080})};
  policy.start({});
  policy.poll();
  EXPECT_EQ(coverage.fetches, 0);
  EXPECT_TRUE(policy.state().coveredDisplays.empty());

  QSignalSpy spy(&policy, &PowerPolicy::stateChanged);
  policy.setWatchesCoverage(true);  // asks at once
  EXPECT_EQ(coverage.fetches, 1);
  ASSERT_TRUE(spy.wait(1000));
  EXPECT_EQ(policy.state().coveredDisplays, std::set<std::uint32_t>{7});
  EXPECT_EQ(policy.pauseReason(7), QStringLiteral("full screen"));

  // An answer that arrives after watching stopped is dropped, and the next poll clears the set.
  policy.poll();
  policy.setWatchesCoverage(false);
  QCoreApplication::processEvents();
  EXPECT_EQ(policy.state().coveredDisplays, std::set<std::uint32_t>{7});
  policy.poll();
  EXPECT_TRUE(policy.state().coveredDisplays.empty());
  EXPECT_EQ(coverage.fetches, 2);
}

}  // namespace
}  // namespace tavolune
