#include "app/platform/linux/X11IdleClock.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/XClient.hpp"

#include <QElapsedTimer>

#include <xcb/xtest.h>

namespace tavolune {
namespace {

using testsupport::PrivateXServer;

// Moves the server's pointer as a device would.
void fakeMotion(const QString& display, int x, int y) {
  testsupport::XClient client(display);
  xcb_test_fake_input(client.connection(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, client.root(), int16_t(x), int16_t(y), 0);
  client.sync();
}

TEST(X11IdleClock, GrowsWithoutInputAndResetsOnMotion) {
  PrivateXServer x(QStringLiteral("1280x800x24"));
  ASSERT_TRUE(x.ok());
  X11IdleClock clock(x.display());
  ASSERT_TRUE(clock.available());

  // No reading exceeds the time since the motion was sent (a millisecond
  // of rounding aside).
  QElapsedTimer sinceMotion;
  sinceMotion.start();
  fakeMotion(x.display(), 10, 10);
  const double start = clock.secondsSinceLastInput();
  EXPECT_LE(start, sinceMotion.elapsed() / 1000.0 + 0.002);
  ASSERT_TRUE(QTest::qWaitFor([&] { return clock.secondsSinceLastInput() >= 1.2; }, 5000));
  const double idle = clock.secondsSinceLastInput();
  EXPECT_GT(idle, start);

  sinceMotion.start();
  fakeMotion(x.display(), 200, 300);
  const double reset = clock.secondsSinceLastInput();
  EXPECT_LT(reset, idle);
  EXPECT_LE(reset, sinceMotion.elapsed() / 1000.0 + 0.002);
}

TEST(X11IdleClock, NoServerReadsZero) {
  X11IdleClock clock(QStringLiteral(":4711"));
  EXPECT_FALSE(clock.available());
  EXPECT_EQ(clock.secondsSinceLastInput(), 0.0);
}

}  // namespace
}  // namespace tavolune
