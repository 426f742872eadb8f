#include "app/style/Motion.hpp"

#include "tests/support/fakes/FakePowerSources.hpp"

#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gmock/gmock.h>

#include <cmath>
#include <numbers>

namespace tavolune {
namespace {

struct ReducedMotion {
  explicit ReducedMotion(bool on) { MotionPreferences::shared().setReduced(on); }
  ~ReducedMotion() { MotionPreferences::shared().setReduced(false); }
};

TEST(Motion, SpringFollowsTheOscillatorAndSettles) {
  struct Row {
    const char* name;
    Spring spring;
    bool overshoots;
  };
  const Row rows[] = {
      {"under-damped", {0.25, 0.5}, true},
      {"grid columns", {0.42, 0.86}, true},
      {"critically damped", {0.3, 1.0}, false},
      {"over-damped", {0.3, 1.6}, false},
  };
  for (const Row& row : rows) {
    const double k = std::pow(2 * std::numbers::pi / row.spring.response, 2);
    const double c = 4 * std::numbers::pi * row.spring.dampingFraction / row.spring.response;
    const Spring::Sample start = row.spring.at(0, 1, 0);
    EXPECT_NEAR(start.x, 1, 1e-9) << row.name;
    EXPECT_NEAR(start.v, 0, 1e-9) << row.name;
    double lowest = 1;
    for (double t = 0.01; t < 2; t += 0.01) {
      const double h = 1e-5;
      const Spring::Sample s = row.spring.at(t, 1, 0);
      const double a = (row.spring.at(t + h, 1, 0).v - row.spring.at(t - h, 1, 0).v) / (2 * h);
      ASSERT_NEAR(a + c * s.v + k * s.x, 0, 1e-3 * k) << row.name << " at " << t;
      ASSERT_NEAR(s.v, (row.spring.at(t + h, 1, 0).x - row.spring.at(t - h, 1, 0).x) / (2 * h), 1e-4 * k)
          << row.name;
      lowest = std::min(lowest, s.x);
    }
    EXPECT_EQ(lowest < -1e-4, row.overshoots) << row.name;
    const double settle = row.spring.settleTime(1e-3);
    EXPECT_GT(settle, 0.05) << row.name;
    EXPECT_LT(settle, 2.0) << row.name;
    for (double t = settle; t < settle + 1; t += 0.01) ASSERT_LE(std::abs(row.spring.at(t, 1).x), 1e-3) << row.name;
  }
}

TEST(Motion, ValueReachesItsTargetAndStopsTicking) {
  struct Row {
    const char* name;
    Curve curve;
  };
  const Row rows[] = {{"spring", Curve::springOf(0.25, 0.85)}, {"ease-out", Curve::timed(0.35, Ease::out)}};
  for (const Row& row : rows) {
    MotionValue v(0);
    QSignalSpy settled(&v, &MotionValue::settled);
    v.animateTo(90, row.curve);
    EXPECT_TRUE(v.isMoving()) << row.name;
    ASSERT_TRUE(settled.wait(5000)) << row.name;
    EXPECT_EQ(v.value(), 90) << row.name;
    EXPECT_EQ(v.state(), QAbstractAnimation::Stopped) << row.name << ": no timer at rest";
    v.animateTo(90, row.curve);
    EXPECT_FALSE(v.isMoving()) << row.name << ": already there";
  }
}

TEST(Motion, ReducedMotionMakesMovementsInstantAndFadesShort) {
  const ReducedMotion reduced(true);
  MotionValue move(0);
  move.animateTo(1, Curve::springOf(0.42, 0.86));
  EXPECT_FALSE(move.isMoving());
  EXPECT_EQ(move.value(), 1);

  MotionValue fade(0);
  fade.animateTo(1, Curve::timed(0.35, Ease::out), MotionKind::fade);
  ASSERT_TRUE(fade.isMoving());
  fade.setCurrentTime(int(MotionPreferences::reducedFadeSeconds * 1000) + 1);
  EXPECT_FALSE(fade.isMoving());
  EXPECT_EQ(fade.value(), 1);
}

TEST(Motion, PreferencesFollowThePowerSources) {
  testsupport::FakePowerSources power;
  MotionPreferences::shared().follow(power);
  PowerReadings r;
  r.reduceMotion = true;
  power.set(r);
  EXPECT_TRUE(MotionPreferences::shared().reduced());
  r.reduceMotion = false;
  power.set(r);
  EXPECT_FALSE(MotionPreferences::shared().reduced());
}

TEST(Motion, RetargetingMidwayKeepsPositionAndVelocity) {
  MotionValue v(0);
  v.animateTo(100, Curve::springOf(0.35, 0.85));
  v.setCurrentTime(80);
  const double at = v.value();
  const double speed = v.velocity();
  ASSERT_GT(at, 5);
  ASSERT_GT(speed, 0);
  v.animateTo(0, Curve::springOf(0.35, 0.85));
  EXPECT_EQ(v.value(), at);
  v.setCurrentTime(8);
  // Still heading on for a moment, as a body with that speed would.
  EXPECT_GT(v.value(), at);
  EXPECT_LT(v.value() - at, speed * 0.008 * 1.5);
}

TEST(Motion, HiddenOwnerLandsAtOnce) {
  QWidget window;
  MotionValue v(0);
  v.setOwner(&window);
  v.animateTo(1, Curve::springOf(0.25, 0.85), MotionKind::fade);
  EXPECT_FALSE(v.isMoving());
  EXPECT_EQ(v.value(), 1);

  window.show();
  v.animateTo(0, Curve::springOf(0.25, 0.85));
  ASSERT_TRUE(v.isMoving());
  window.hide();
  v.setCurrentTime(16);
  EXPECT_FALSE(v.isMoving()) << "a window that goes away takes no more frames";
  EXPECT_EQ(v.value(), 0);
}

TEST(Motion, CountRollsToItsNewValue) {
  QWidget owner;
  owner.resize(80, 20);
  owner.show();
  RollingNumber count(&owner);
  count.jumpTo(98);
  EXPECT_FALSE(count.isRolling());
  count.set(102, Curve::springOf(0.5, 0.85));
  EXPECT_TRUE(count.isRolling());
  EXPECT_EQ(count.value(), 102);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !count.isRolling(); }, 5000));
}

TEST(Motion, WidgetScaleFadeEndsWithoutAnEffect) {
  QWidget window;
  window.resize(200, 200);
  auto* child = new QWidget(&window);
  child->setGeometry(10, 10, 50, 50);
  window.show();
  bool done = false;
  motion::scaleFade(child, true, 0.96, Curve::timed(0.1, Ease::out), {}, [&done] { done = true; });
  auto* effect = qobject_cast<ScaleFadeEffect*>(child->graphicsEffect());
  ASSERT_NE(effect, nullptr);
  EXPECT_LT(effect->opacity(), 0.01);
  EXPECT_NEAR(effect->scale(), 0.96, 1e-6);
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_EQ(child->graphicsEffect(), nullptr) << "nothing drawn through an effect at rest";

  motion::moveTo(child, QRect(100, 100, 50, 50), Curve::springOf(0.25, 0.85));
  EXPECT_EQ(child->pos(), QPoint(10, 10)) << "starts where it is";
  ASSERT_TRUE(QTest::qWaitFor([&] { return child->pos() == QPoint(100, 100); }, 5000));
}

}  // namespace
}  // namespace tavolune
