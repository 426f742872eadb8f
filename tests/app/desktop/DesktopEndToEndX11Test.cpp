#include "tests/app/desktop/DesktopRig.hpp"

#include "app/platform/linux/RootWallpaper.hpp"
#include "app/platform/linux/X11DisplaySource.hpp"
#include "app/platform/linux/Xcb.hpp"
#include "tests/app/platform/PrivateDesktop.hpp"

#include <cstdlib>

namespace tavolune {
namespace {

// The root window's picture, read back as a client of the X server sees it.
QColor rootPixel(int x, int y) {
  xcb::Connection c = xcb::connect();
  const xcb_window_t root = xcb::screenOf(c.get(), 0)->root;
  const auto pixmap = xcb::cardinal(c.get(), root, xcb::atom(c.get(), "_XROOTPMAP_ID"));
  if (!pixmap) return {};
  std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
      xcb_get_image_reply(c.get(), xcb_get_image(c.get(), XCB_IMAGE_FORMAT_Z_PIXMAP, *pixmap, x, y, 1, 1, ~0u),
                          nullptr),
      &std::free);
  if (!image) return {};
  const auto* d = xcb_get_image_data(image.get());
  return QColor(d[2], d[1], d[0]);
}

TEST(DesktopEndToEnd, TheCurrentWorkBecomesTheRootPicture) {
  testsupport::PrivateRootDisplay x;
  ASSERT_TRUE(x.ok());
  testsupport::DesktopRig rig;
  rig.addWork("1", MediaKind::image, QColor(200, 30, 40));
  X11DisplaySource displays(x.display());
  ASSERT_FALSE(displays.displays().empty());
  RootWallpaper backend(rig.log);
  auto& c = rig.make(displays, backend);
  c.start();
  const QString key = displays.displays().front().key;
  ASSERT_TRUE(rig.waitApplied(key, 15000)) << testing::PrintToString(rig.log.lines());
  const QRect g = displays.displays().front().geometry;
  const QColor centre = rootPixel(g.center().x(), g.center().y());
  EXPECT_NEAR(centre.red(), 200, 16);
  EXPECT_NEAR(centre.green(), 30, 16);
  EXPECT_NEAR(centre.blue(), 40, 16);
  EXPECT_TRUE(rig.log.lines().empty());
  // One picture on disk for the display, no temporaries.
  EXPECT_EQ(rig.files(), std::vector<std::string>{c.applied(key)->file.filename().string()});
}

}  // namespace
}  // namespace tavolune
