#include "app/desktop/CartelPanel.hpp"

#include "tests/support/fakes/FakeCompositor.hpp"
#include "tests/support/fakes/FakeDesktopWindows.hpp"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace tavolune {
namespace {

using testsupport::FakeCompositor;
using testsupport::FakeDesktopWindows;

Artwork work(std::string title) {
  return Artwork::make({.chain = Chain::base, .contract = "0xA", .tokenId = title, .title = title, .artist = "Ana"});
}

// A 1920 x 1080 display whose free area leaves a 70-pixel dock at the bottom
// and a 30-pixel bar at the top.
Display screen() {
  Display d;
  d.key = "display-1";
  d.geometry = QRect(1920, 0, 1920, 1080);
  d.available = QRect(1920, 30, 1920, 980);
  return d;
}

struct Panel {
  FakeDesktopWindows windows;
  FakeCompositor compositor;
  CartelPanel panel{windows, compositor, {20, 30}};
};

TEST(CartelPanel, SitsInTheBottomLeftOfTheFreeAreaWithItsPadding) {
  for (CartelStyle style : {CartelStyle::classic, CartelStyle::museum, CartelStyle::minimal, CartelStyle::editorial}) {
    SCOPED_TRACE(rawValue(style));
    Panel p;
    p.panel.show(work("Dunes"), screen(), style);
    const int padding = style == CartelStyle::editorial ? 24 : 14;
    EXPECT_EQ(p.panel.view().padding(), padding);
    const QRect frame = p.panel.geometry();
    EXPECT_EQ(frame.size(), p.panel.view().sizeHint());
    EXPECT_EQ(frame.left(), 1920 + 14);
    EXPECT_EQ(frame.bottom(), 30 + 980 - 1 - 14);
    EXPECT_TRUE(p.panel.isVisible());
    EXPECT_TRUE(p.panel.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(p.panel.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(p.panel.testAttribute(Qt::WA_ShowWithoutActivating));
    ASSERT_EQ(p.windows.count(FakeDesktopWindows::Call::prepare), 1);
    EXPECT_EQ(p.windows.calls.front().level, WindowLevel::label);
  }
}

TEST(CartelPanel, FadesInThenOutAndLeavesTheScreen) {
  Panel p;
  QSignalSpy in(&p.panel, &CartelPanel::fadedIn), out(&p.panel, &CartelPanel::orderedOut);
  p.panel.show(work("Dunes"), screen(), CartelStyle::classic);
  EXPECT_EQ(p.panel.windowOpacity(), 0.0);  // a hidden panel starts clear
  ASSERT_TRUE(in.wait(2000));
  EXPECT_EQ(p.panel.windowOpacity(), 1.0);

  p.panel.scheduleFadeOut(0.02);
  EXPECT_TRUE(p.panel.fadeOutPending());
  ASSERT_TRUE(out.wait(2000));
  EXPECT_FALSE(p.panel.isVisible());
  EXPECT_EQ(p.panel.windowOpacity(), 0.0);
}

TEST(CartelPanel, ANewWorkWhileShownDoesNotFlashAndCancelsTheFadeOut) {
  Panel p;
  QSignalSpy in(&p.panel, &CartelPanel::fadedIn), out(&p.panel, &CartelPanel::orderedOut);
  p.panel.show(work("Dunes"), screen(), CartelStyle::classic);
  ASSERT_TRUE(in.wait(2000));
  p.panel.scheduleFadeOut(0.05);
  p.panel.show(work("Tides"), screen(), CartelStyle::classic);
  EXPECT_EQ(p.panel.windowOpacity(), 1.0);
  EXPECT_FALSE(p.panel.fadeOutPending());
  EXPECT_EQ(p.panel.view().texts().front(), "Tides");
  ASSERT_TRUE(in.wait(2000));
  EXPECT_FALSE(out.wait(150));
  EXPECT_TRUE(p.panel.isVisible());
}

TEST(CartelPanel, AShowDuringTheFadeOutKeepsThePanel) {
  Panel p;
  p.panel.show(work("Dunes"), screen(), CartelStyle::classic);
  QSignalSpy in(&p.panel, &CartelPanel::fadedIn), out(&p.panel, &CartelPanel::orderedOut);
  ASSERT_TRUE(in.wait(2000));
  p.panel.fadeOut();
  p.panel.show(work("Tides"), screen(), CartelStyle::classic);
  ASSERT_TRUE(in.wait(2000));
  EXPECT_TRUE(out.isEmpty());
  EXPECT_TRUE(p.panel.isVisible());
  EXPECT_EQ(p.panel.windowOpacity(), 1.0);
}

TEST(CartelPanel, TheLaterOfTwoSchedulesWins) {
  Panel p;
  QSignalSpy in(&p.panel, &CartelPanel::fadedIn), out(&p.panel, &CartelPanel::orderedOut);
  p.panel.show(work("Dunes"), screen(), CartelStyle::classic);
  ASSERT_TRUE(in.wait(2000));
  p.panel.scheduleFadeOut(0.01);
  p.panel.scheduleFadeOut(0.3);
  EXPECT_FALSE(out.wait(150));  // the first schedule is gone
  ASSERT_TRUE(out.wait(2000));
  EXPECT_EQ(out.size(), 1);
}

TEST(CartelPanel, UnusableDelaysFadeAtOnce) {
  for (double delay : {-1.0, 0.0, std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::infinity()}) {
    SCOPED_TRACE(delay);
    Panel p;
    QSignalSpy in(&p.panel, &CartelPanel::fadedIn), out(&p.panel, &CartelPanel::orderedOut);
    p.panel.show(work("Dunes"), screen(), CartelStyle::classic);
    ASSERT_TRUE(in.wait(2000));
    p.panel.scheduleFadeOut(delay);
    EXPECT_FALSE(p.panel.fadeOutPending());
    ASSERT_TRUE(out.wait(2000));
  }
  // A delay past what a timer holds waits, rather than wrapping around.
  Panel p;
  p.panel.show(work("Dunes"), screen(), CartelStyle::classic);
  p.panel.scheduleFadeOut(1e12);
  EXPECT_TRUE(p.panel.fadeOutPending());
}

TEST(CartelPanel, WithoutACompositorShowsAndHidesAtOnceOnASolidCard) {
  Panel p;
  p.compositor.active = false;
  QSignalSpy out(&p.panel, &CartelPanel::orderedOut);
  p.panel.show(work("Dunes"), screen(), CartelStyle::minimal);
  EXPECT_EQ(p.panel.windowOpacity(), 1.0);
  EXPECT_FALSE(p.panel.view().cardShape().isEmpty());
  // The window is cut to the card: the padding around it is not part of it.
  const auto& shape = p.compositor.shapes[&p.panel];
  ASSERT_TRUE(shape.has_value());
  EXPECT_FALSE(shape->contains(QPoint(2, 2)));
  EXPECT_TRUE(shape->contains(p.panel.rect().center()));
  p.panel.fadeOut();
  EXPECT_EQ(out.size(), 1);
  EXPECT_FALSE(p.panel.isVisible());

  // A compositor that came since: the next label is whole and clear around.
  p.compositor.active = true;
  p.panel.show(work("Dunes"), screen(), CartelStyle::minimal);
  EXPECT_FALSE(p.compositor.shapes[&p.panel].has_value());
  EXPECT_TRUE(p.panel.view().cardShape().isEmpty());
}

}  // namespace
}  // namespace tavolune
