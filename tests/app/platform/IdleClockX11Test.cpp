#include "app/platform/linux/X11IdleClock.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"

#include <QElapsedTimer>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>

namespace tavolune {
namespace {

using testsupport::PrivateXServer;

// Moves the server's pointer as a device would.
void fakeMotion(const QString& display, int x, int y) {
  xcb_connection_t* c = xcb_connect(display.toLocal8Bit().constData(), nullptr);
  ASSERT_FALSE(xcb_connection_has_error(c));
  const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
  xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root, int16_t(x), int16_t(y), 0);
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
  xcb_disconnect(c);
}

TEST(X11IdleClock, GrowsWithoutInputAndResetsOnMotion) {
  PrivateXServer x(QStringLiteral("1280x800x24"));
  ASSERT_TRUE(x.ok());
  X11IdleClock clock(x.display());
  ASSERT_TRUE(clock.available());

  fakeMotion(x.display(), 10, 10);
  const double start = clock.secondsSinceLastInput();
  EXPECT_LT(start, 1.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return clock.secondsSinceLastInput() >= 1.2; }, 5000));
  EXPECT_GT(clock.secondsSinceLastInput(), start);

  fakeMotion(x.display(), 200, 300);
  EXPECT_LT(clock.secondsSinceLastInput(), 0.5);
}

TEST(X11IdleClock, NoServerReadsZeroAtOnce) {
  QElapsedTimer timer;
  timer.start();
  X11IdleClock clock(QStringLiteral(":4711"));
  EXPECT_FALSE(clock.available());
  EXPECT_EQ(clock.secondsSinceLastInput(), 0.0);
  EXPECT_LT(timer.elapsed(), 500);
}

}  // namespace
}  // namespace tavolune
