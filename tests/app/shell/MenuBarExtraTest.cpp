#include "app/model/MenuBarIcon.hpp"
#include "app/shell/MenuBarExtra.hpp"
#include "app/shell/PopoverHost.hpp"
#include "tests/support/fakes/FakeTrayHostWatch.hpp"

#include <QApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace tavolune {
namespace {

TEST(PopoverHost, PlacedAtTheIconOrThePointerInsideTheScreen) {
  const QRect screen(0, 0, 1920, 1080);
  const QSize size(320, 400);
  struct Case {
    const char* name;
    QRect icon;
    QPoint pointer;
    QPoint expected;
  };
  const Case cases[] = {
      {"top panel: below the icon, centred", {1000, 0, 24, 24}, {}, {851, 24}},
      {"bottom panel: above the icon", {1000, 1056, 24, 24}, {}, {851, 656}},
      {"icon at the right edge: kept on screen", {1896, 0, 24, 24}, {}, {1600, 24}},
      {"icon at the left edge: kept on screen", {0, 1056, 24, 24}, {}, {0, 656}},
      {"no geometry: at the pointer", {}, {500, 300}, {500, 300}},
      {"no geometry, pointer low: above it", {}, {500, 1000}, {500, 600}},
      {"no geometry, pointer at the right: kept on screen", {}, {1900, 10}, {1600, 10}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PopoverHost::placement(c.icon, size, c.pointer, screen), c.expected) << c.name;
  }
}

TEST(MenuBarExtra, IconOnlyWithATrayHostAndMadeAgainWhenTheHostRestarts) {
  testsupport::FakeTrayHostWatch host;
  int contentBuilt = 0;
  MenuBarExtra extra(host, [&contentBuilt] {
    ++contentBuilt;
    return new QLabel("menu");
  });
  QSignalSpy shown(&extra, &MenuBarExtra::iconShown);
  EXPECT_EQ(extra.icon(), nullptr);  // no panel yet, as at an early login

  host.set(true);
  ASSERT_NE(extra.icon(), nullptr);
  EXPECT_EQ(shown.count(), 1);
  const qint64 idleKey = extra.icon()->icon().cacheKey();
  extra.setLivePlaying(true);
  EXPECT_NE(extra.icon()->icon().cacheKey(), idleKey);

  // The desktop turns dark and back: the ink follows.
  const auto ink = [&] {
    const QImage image = extra.icon()->icon().pixmap(32).toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2).rgb();  // inside the filled picture
  };
  const QPalette light = QApplication::palette();
  ASSERT_EQ(ink(), MenuBarIcon::inkFor(light).rgb());
  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  QApplication::setPalette(dark);
  EXPECT_EQ(ink(), MenuBarIcon::inkFor(dark).rgb());
  QApplication::setPalette(light);
  EXPECT_EQ(ink(), MenuBarIcon::inkFor(light).rgb());

  host.set(false);  // the panel went away
  EXPECT_EQ(extra.icon(), nullptr);
  host.set(true);
  ASSERT_NE(extra.icon(), nullptr);
  EXPECT_EQ(shown.count(), 2);

  // The popover is built once and kept across openings.
  extra.togglePopover();
  PopoverHost* popover = extra.popover();
  ASSERT_NE(popover, nullptr);
  EXPECT_TRUE(popover->isVisible());
  EXPECT_EQ(popover->width(), PopoverHost::popoverWidth);
  extra.togglePopover();
  EXPECT_FALSE(popover->isVisible());
  // The click that just closed it does not open it again.
  extra.togglePopover();
  EXPECT_FALSE(popover->isVisible());
  EXPECT_EQ(extra.popover(), popover);
  EXPECT_EQ(contentBuilt, 1);
}

}  // namespace
}  // namespace tavolune
