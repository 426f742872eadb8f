#include "app/platform/linux/X11DisplaySource.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"

#include <QSignalSpy>

namespace tavolune {
namespace {

using testsupport::PrivateXServer;

TEST(X11DisplaySource, FollowsMonitorsAddedAndRemoved) {
  PrivateXServer x;
  ASSERT_TRUE(x.ok());
  X11DisplaySource source(x.display());
  ASSERT_TRUE(source.connected());
  auto one = source.displays();
  ASSERT_EQ(one.size(), 1u);
  const std::uint32_t output = one[0].number;
  EXPECT_EQ(one[0].key, QStringLiteral("display-%1").arg(output)) << "Xvfb gives no EDID";
  EXPECT_EQ(one[0].connector, QStringLiteral("screen"));
  EXPECT_EQ(one[0].geometry, QRect(0, 0, 3840, 1080));
  EXPECT_EQ(one[0].available, one[0].geometry);
  EXPECT_TRUE(one[0].isMain) << "without a primary monitor the first is the main display";

  QSignalSpy changed(&source, &DisplaySource::displaysChanged);
  ASSERT_TRUE(x.xrandr({QStringLiteral("--setmonitor"), QStringLiteral("LEFT"), QStringLiteral("1920/508x1080/286+0+0"),
                        QStringLiteral("screen")}));
  ASSERT_TRUE(x.xrandr({QStringLiteral("--setmonitor"), QStringLiteral("RIGHT"), QStringLiteral("1920/508x1080/286+1920+0"),
                        QStringLiteral("none")}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return source.displays().size() == 2; }, 5000));
  EXPECT_GE(changed.count(), 1);
  auto two = source.displays();
  std::sort(two.begin(), two.end(), [](auto& a, auto& b) { return a.geometry.x() < b.geometry.x(); });
  EXPECT_EQ(two[0].geometry, QRect(0, 0, 1920, 1080));
  EXPECT_EQ(two[0].number, output);
  EXPECT_EQ(two[1].geometry, QRect(1920, 0, 1920, 1080));
  EXPECT_EQ(two[1].connector, QStringLiteral("RIGHT"));
  EXPECT_NE(two[1].number, output) << "a monitor without an output still gets a number of its own";
  EXPECT_NE(two[0].key, two[1].key);
  EXPECT_EQ(std::count_if(two.begin(), two.end(), [](auto& d) { return d.isMain; }), 1);
  EXPECT_EQ(source.display(two[1].key)->number, two[1].number);

  ASSERT_TRUE(x.xrandr({QStringLiteral("--output"), QStringLiteral("screen"), QStringLiteral("--primary")}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return source.display(two[0].key) && source.display(two[0].key)->isMain; }, 5000));

  ASSERT_TRUE(x.xrandr({QStringLiteral("--delmonitor"), QStringLiteral("RIGHT")}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return source.displays().size() == 1; }, 5000));
  EXPECT_EQ(source.displays()[0].key, two[0].key);
  EXPECT_FALSE(source.display(two[1].key));
}

TEST(X11DisplaySource, NoServerMeansNotConnected) {
  X11DisplaySource source(QStringLiteral(":987654"));
  EXPECT_FALSE(source.connected());
  EXPECT_TRUE(source.displays().empty());
}

}  // namespace
}  // namespace tavolune
