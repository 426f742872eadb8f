#include "app/desktop/StageWindow.hpp"

#include "tests/support/fakes/FakeDesktopWindows.hpp"

#include <QLabel>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

using testsupport::FakeDesktopWindows;

Display display(QRect geometry, double scale = 1.0) {
  Display d;
  d.key = "display-2";
  d.geometry = geometry;
  d.available = geometry;
  d.scale = scale;
  return d;
}

TEST(StageWindow, DesktopAndSaverWindowsByUse) {
  struct Case {
    bool interactive;
    WindowLevel level;
  };
  for (const Case c : {Case{false, WindowLevel::desktop}, Case{true, WindowLevel::saver}}) {
    SCOPED_TRACE(c.interactive);
    FakeDesktopWindows windows;
    auto* stage = new QLabel("stage");
    StageWindow w(display(QRect(1920, 0, 2560, 1440)), stage, c.interactive, windows);
    EXPECT_EQ(w.stage(), stage);
    EXPECT_EQ(stage->parentWidget(), &w);
    EXPECT_EQ(w.canBecomeKey(), c.interactive);
    EXPECT_FALSE(w.canBecomeMain());
    EXPECT_EQ(w.geometry(), QRect(1920, 0, 2560, 1440));
    EXPECT_EQ(w.windowFlags().testFlag(Qt::WindowTransparentForInput), !c.interactive);
    EXPECT_EQ(w.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus), !c.interactive);
    EXPECT_EQ(w.windowFlags().testFlag(Qt::X11BypassWindowManagerHint), c.interactive);
    EXPECT_EQ(w.hasMouseTracking(), c.interactive);
    EXPECT_EQ(w.palette().color(QPalette::Window), QColor(Qt::black));

    EXPECT_TRUE(w.present());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.present());  // again: prepared once, shown twice
    EXPECT_EQ(windows.count(FakeDesktopWindows::Call::prepare), 1);
    EXPECT_EQ(windows.count(FakeDesktopWindows::Call::shown), 2);
    EXPECT_EQ(windows.calls.front().level, c.level);
    w.hide();
    EXPECT_EQ(windows.count(FakeDesktopWindows::Call::release), c.interactive ? 1 : 0);
  }
}

TEST(StageWindow, CoversAScaledDisplayAndFollowsItsChanges) {
  FakeDesktopWindows windows;
  StageWindow w(display(QRect(2560, 0, 3840, 2160), 2.0), new QWidget, false, windows);
  EXPECT_EQ(w.geometry(), QRect(2560, 0, 1920, 1080));
  w.cover(display(QRect(0, 0, 1280, 800)));
  EXPECT_EQ(w.geometry(), QRect(0, 0, 1280, 800));
  windows.grabs = false;
  StageWindow saver(display(QRect(0, 0, 1280, 800)), new QWidget, true, windows);
  EXPECT_FALSE(saver.present());  // the saver learns that it does not hold the keyboard
}

}  // namespace
}  // namespace tavolune
