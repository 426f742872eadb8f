#include "app/platform/linux/X11IdleClock.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/XClient.hpp"


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

  // Each motion starts the count again: the reading after it is lower
  // than the one before.
  fakeMotion(x.display(), 10, 10);
  const double start = clock.secondsSinceLastInput();
  ASSERT_TRUE(QTest::qWaitFor([&] { return clock.secondsSinceLastInput() >= 1.2; }, 5000));
  const double idle = clock.secondsSinceLastInput();
  EXPECT_GT(idle, start);

  fakeMotion(x.display(), 200, 300);
  const double reset = clock.secondsSinceLastInput();
  EXPECT_LT(reset, idle);
}

TEST(X11IdleClock, NoServerReadsZero) {
  X11IdleClock clock(QStringLiteral(":4711"));
  EXPECT_FALSE(clock.available());
  EXPECT_EQ(clock.secondsSinceLastInput(), 0.0);
}

}  // namespace
}  // namespace tavolune
