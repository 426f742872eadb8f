#include "tests/app/screensaver/SaverRig.hpp"

#include "app/platform/linux/X11DisplaySource.hpp"
#include "app/platform/linux/Xcb.hpp"
#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/XClient.hpp"
#include "tests/support/LoopbackServer.hpp"

#include <QSignalSpy>

#include <xcb/xtest.h>

#include <cstdlib>

namespace tavolune {
namespace {

using testsupport::PrivateXServer;
using testsupport::XClient;

template <class Reply>
using Owned = std::unique_ptr<Reply, decltype(&std::free)>;

// Two monitors side by side, shaped like the shared display the windows go to.
TEST(ScreenSaverX11, CoversTwoMonitorsAboveEverythingAndPointerMotionEndsIt) {
  PrivateXServer layout(QStringLiteral("1920x1080x24"));
  ASSERT_TRUE(layout.ok());
  ASSERT_TRUE(layout.xrandr({QStringLiteral("--setmonitor"), QStringLiteral("LEFT"), QStringLiteral("960/254x1080/286+0+0"),
                             QStringLiteral("screen")}));
  ASSERT_TRUE(layout.xrandr({QStringLiteral("--setmonitor"), QStringLiteral("RIGHT"),
                             QStringLiteral("960/254x1080/286+960+0"), QStringLiteral("none")}));
  X11DisplaySource displays(layout.display());
  ASSERT_TRUE(QTest::qWaitFor([&] { return displays.displays().size() == 2; }, 5000));

  auto windows = makeDesktopWindows();
  // The saver's own clock, moved by hand: the grace period is crossed when
  // the test says so, however slowly the events arrive.
  ScreenSaver::Clock::time_point now = ScreenSaver::Clock::now();
  auto timings = testsupport::shortSaverTimings([&now] { return now; });
  timings.grace = std::chrono::milliseconds(1000);
  testsupport::SaverRig rig(1, windows.get(), &displays, timings);
  rig.idle.seconds = 1e6;  // only the windows' own input can end it
  rig.addWork("1", MediaKind::image, QColor(20, 120, 160));

  XClient input(QString::fromLocal8Bit(qgetenv("DISPLAY")));
  auto pointerTo = [&](int x, int y) {
    xcb_test_fake_input(input.connection(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, input.root(), int16_t(x),
                        int16_t(y), 0);
    input.sync();
  };
  pointerTo(100, 100);
  rig.saver->show();
  ASSERT_TRUE(rig.saver->isShowing());
  pointerTo(400, 300);  // within the grace period: ignored
  ASSERT_TRUE(rig.waitStill(QColor(20, 120, 160), 1));

  std::vector<QRect> covered;
  for (SaverWindow* w : rig.saver->windows()) {
    const auto id = static_cast<xcb_window_t>(w->window()->winId());
    Owned<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(input.connection(), xcb_get_window_attributes(input.connection(), id), nullptr),
        &std::free);
    ASSERT_TRUE(attributes);
    EXPECT_TRUE(attributes->override_redirect);
    EXPECT_EQ(attributes->map_state, XCB_MAP_STATE_VIEWABLE);
    Owned<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(input.connection(), xcb_get_geometry(input.connection(), id), nullptr),
                                      &std::free);
    ASSERT_TRUE(g);
    covered.emplace_back(g->x, g->y, g->width, g->height);
  }
  std::sort(covered.begin(), covered.end(), [](const QRect& a, const QRect& b) { return a.x() < b.x(); });
  EXPECT_EQ(covered, (std::vector<QRect>{QRect(0, 0, 960, 1080), QRect(960, 0, 960, 1080)}));
  // The saver holds the keyboard: no other client can take it.
  Owned<xcb_grab_keyboard_reply_t> grab(
      xcb_grab_keyboard_reply(input.connection(),
                              xcb_grab_keyboard(input.connection(), 0, input.root(), XCB_CURRENT_TIME,
                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                              nullptr),
      &std::free);
  ASSERT_TRUE(grab);
  EXPECT_NE(grab->status, XCB_GRAB_STATUS_SUCCESS);

  // After the grace period motion ends the saver.
  now += timings.grace + std::chrono::milliseconds(1);
  EXPECT_TRUE(rig.saver->isShowing());
  QSignalSpy showing(rig.saver.get(), &ScreenSaver::showingChanged);
  pointerTo(900, 700);
  ASSERT_TRUE(showing.wait(3000));
  EXPECT_FALSE(rig.saver->isShowing());
}

// A live work's picture shows on screen as soon as it arrives, whether the
// work is still loading or failed before it came.
TEST(ScreenSaverX11, AStillArrivingWhileAWorkLoadsOrAfterItFailedShowsAtOnce) {
  testsupport::LoopbackServer gateway;
  const std::string clip = "QmYwAPJzv5CZsnA625s3Xf2nemtYgPpHdWEz79ojWnPbdG/clip.mp4";
  gateway.on("GET", "/ipfs/" + clip, testsupport::CannedResponse{.body = "late", .contentType = "video/mp4"}.after(
                              std::chrono::seconds(15)));
  using Kind = ArtStageView::Status::Kind;
  const struct {
    const char* name;
    MediaKind kind;
    std::optional<std::string> media;
    Kind status;
  } rows[] = {{"a video that loads slowly", MediaKind::video, "ipfs://" + clip, Kind::loading},
              {"a page-less work that failed", MediaKind::generative, std::nullopt, Kind::failed}};
  const QColor still(200, 0, 200);
  XClient x(QString::fromLocal8Bit(qgetenv("DISPLAY")));
  // What the screen shows at a point.
  const auto shown = [&](QPoint at) {
    x.sync();
    Owned<xcb_get_image_reply_t> image(
        xcb_get_image_reply(x.connection(),
                            xcb_get_image(x.connection(), XCB_IMAGE_FORMAT_Z_PIXMAP, x.root(), int16_t(at.x()),
                                          int16_t(at.y()), 1, 1, ~0u),
                            nullptr),
        &std::free);
    if (!image) return QColor();
    const auto* d = xcb_get_image_data(image.get());
    return QColor(d[2], d[1], d[0]);
  };
  for (const auto& row : rows) {
    auto windows = makeDesktopWindows();
    testsupport::SaverRig rig(1, windows.get(), nullptr, std::nullopt,
                              [&](AppModel::Options& o) { o.services.gateways = {gateway.baseURL()}; });
    rig.idle.seconds = 1e6;
    const Artwork work = rig.addWork("live", row.kind, still);
    // The writer may run the edit after this row: it holds copies.
    seedLibrary(*rig.desk.model, [id = work.id, media = row.media](LibraryState& s) {
      s.artworks[id].animationURI = media;
      s.touch();
    });
    rig.media->hold(*work.imageURI);
    rig.saver->show();
    ArtStageView& stage = rig.stage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return stage.status().kind == row.status; }, 5000)) << row.name;
    QWidget& window = *rig.window().window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint centre = window.geometry().center();
    EXPECT_NE(shown(centre), still) << row.name;
    rig.media->release(*work.imageURI);
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown(centre) == still; }, 5000))
        << row.name << ": " << shown(centre).name().toStdString();
    EXPECT_EQ(stage.status().kind, row.status) << row.name;
  }
}

}  // namespace
}  // namespace tavolune
