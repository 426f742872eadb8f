#include "app/desktop/PowerPolicy.hpp"
#include "app/platform/linux/X11DisplaySource.hpp"
#include "app/platform/linux/X11WindowCoverage.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/XClient.hpp"

#include <QSignalSpy>

#include <functional>


namespace tavolune {
namespace {

using testsupport::PrivateXServer;

// Plays the window manager on a private server: client windows with EWMH
// properties, and the root's stacking list.
class FakeWindowManager : public testsupport::XClient {
 public:
  using XClient::XClient;
  xcb_window_t window(QRect r) {
    windows_.push_back(createWindow(r));
    return windows_.back();
  }
  void publish(uint32_t currentDesktop) {
    set(root(), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW, windows_);
    set(root(), "_NET_CURRENT_DESKTOP", XCB_ATOM_CARDINAL, {currentDesktop});
    sync();
  }

 private:
  std::vector<uint32_t> windows_;
};

TEST(X11WindowCoverage, ReadsTheStackAndFindsCoveredDisplays) {
  PrivateXServer x;
  ASSERT_TRUE(x.ok());
  ASSERT_TRUE(x.xrandr({QStringLiteral("--setmonitor"), QStringLiteral("LEFT"), QStringLiteral("1920/508x1080/286+0+0"),
                        QStringLiteral("screen")}));
  ASSERT_TRUE(x.xrandr({QStringLiteral("--setmonitor"), QStringLiteral("RIGHT"), QStringLiteral("1920/508x1080/286+1920+0"),
                        QStringLiteral("none")}));
  FakeWindowManager wm(x.display());
  const xcb_atom_t cardinal = XCB_ATOM_CARDINAL, atomType = XCB_ATOM_ATOM;

  // Covers LEFT with its frame: the client leaves room for a 30-pixel title bar.
  const auto editor = wm.window({0, 30, 1920, 1050});
  wm.set(editor, "_NET_FRAME_EXTENTS", cardinal, {0, 0, 30, 0});
  wm.set(editor, "_NET_WM_WINDOW_TYPE", atomType, {wm.atom("_NET_WM_WINDOW_TYPE_NORMAL")});
  wm.set(editor, "_NET_WM_DESKTOP", cardinal, {1});
  wm.set(editor, "_NET_WM_PID", cardinal, {77});
  wm.set(editor, "_NET_WM_WINDOW_OPACITY", cardinal, {0xFFFFFFFFu});
  // Would cover RIGHT, but is minimised.
  const auto player = wm.window({1920, 0, 1920, 1080});
  wm.set(player, "_NET_WM_STATE", atomType, {wm.atom("_NET_WM_STATE_FULLSCREEN"), wm.atom("_NET_WM_STATE_HIDDEN")});
  // A panel over everything.
  const auto panel = wm.window({0, 0, 3840, 1080});
  wm.set(panel, "_NET_WM_WINDOW_TYPE", atomType, {wm.atom("_NET_WM_WINDOW_TYPE_DOCK")});
  // On another workspace.
  const auto away = wm.window({1920, 0, 1920, 1080});
  wm.set(away, "_NET_WM_DESKTOP", cardinal, {2});
  wm.publish(1);

  X11WindowCoverage coverage(x.display());
  const WindowStack stack = coverage.read();
  EXPECT_EQ(stack.currentWorkspace, 1u);
  ASSERT_EQ(stack.windows.size(), 4u);
  const StackedWindow& e = stack.windows[0];
  EXPECT_EQ(e.frame, QRect(0, 0, 1920, 1080));
  EXPECT_EQ(e.type, StackedWindow::Type::normal);
  EXPECT_EQ(e.workspace, 1u);
  EXPECT_EQ(e.pid, 77);
  ASSERT_TRUE(e.opacity);
  EXPECT_DOUBLE_EQ(*e.opacity, 1.0);
  EXPECT_TRUE(stack.windows[1].hidden);
  EXPECT_TRUE(stack.windows[1].fullscreen);
  EXPECT_FALSE(stack.windows[1].opacity);
  EXPECT_EQ(stack.windows[2].type, StackedWindow::Type::dock);
  EXPECT_EQ(stack.windows[3].workspace, 2u);

  const auto displays = X11DisplaySource(x.display()).displays();
  ASSERT_EQ(displays.size(), 2u);
  const auto left = std::find_if(displays.begin(), displays.end(), [](auto& d) { return d.geometry.x() == 0; });
  EXPECT_EQ(PowerPolicy::coveredDisplays(stack, displays, /*ownPid=*/1), std::set<std::uint32_t>{left->number});
  EXPECT_TRUE(PowerPolicy::coveredDisplays(stack, displays, /*ownPid=*/77).empty()) << "our own window";

  // The asynchronous read reaches the receiver on this thread.
  QObject receiver;
  std::optional<WindowStack> fetched;
  coverage.fetch(&receiver, [&](WindowStack s) { fetched = std::move(s); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return fetched.has_value(); }, 5000));
  EXPECT_EQ(fetched->windows, stack.windows);
}

// A reader that keeps the stack between reads must see each change as a
// fresh reader does, after one round trip.
TEST(X11WindowCoverage, FollowsTheStackBetweenReads) {
  PrivateXServer x;
  ASSERT_TRUE(x.ok());
  testsupport::XClient wm(x.display());
  const xcb_atom_t cardinal = XCB_ATOM_CARDINAL, atomType = XCB_ATOM_ATOM;
  std::vector<uint32_t> listed{wm.createWindow({0, 0, 100, 100}), wm.createWindow({200, 0, 100, 100})};
  const uint32_t a = listed[0], b = listed[1];
  const auto publish = [&](uint32_t workspace) {
    wm.set(wm.root(), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW, listed);
    wm.set(wm.root(), "_NET_CURRENT_DESKTOP", cardinal, {workspace});
  };
  publish(0);
  wm.sync();
  X11WindowCoverage coverage(x.display());
  ASSERT_EQ(coverage.read().windows.size(), 2u);

  uint32_t c = 0;
  struct Row {
    const char* name;
    std::function<void()> change;
    std::function<bool(const WindowStack&)> seen;
  };
  const std::vector<Row> rows{
      {"moved and resized",
       [&] {
         const uint32_t g[4] = {40, 50, 300, 200};
         xcb_configure_window(wm.connection(), a,
                              XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH |
                                  XCB_CONFIG_WINDOW_HEIGHT,
                              g);
       },
       [](const WindowStack& s) { return s.windows[0].frame == QRect(40, 50, 300, 200); }},
      {"frame extents", [&] { wm.set(a, "_NET_FRAME_EXTENTS", cardinal, {1, 1, 20, 1}); },
       [](const WindowStack& s) { return s.windows[0].frame == QRect(39, 30, 302, 221); }},
      {"pid and opacity",
       [&] {
         wm.set(b, "_NET_WM_PID", cardinal, {42});
         wm.set(b, "_NET_WM_WINDOW_OPACITY", cardinal, {0x7FFFFFFFu});
       },
       [](const WindowStack& s) { return s.windows[1].pid == 42 && s.windows[1].opacity < 0.6; }},
      {"minimised", [&] { wm.set(b, "_NET_WM_STATE", atomType, {wm.atom("_NET_WM_STATE_HIDDEN")}); },
       [](const WindowStack& s) { return s.windows[1].hidden && s.windows[1].frame.isNull(); }},
      {"restored full screen", [&] { wm.set(b, "_NET_WM_STATE", atomType, {wm.atom("_NET_WM_STATE_FULLSCREEN")}); },
       [](const WindowStack& s) { return !s.windows[1].hidden && s.windows[1].fullscreen && s.windows[1].pid == 42; }},
      {"a dock", [&] { wm.set(b, "_NET_WM_WINDOW_TYPE", atomType, {wm.atom("_NET_WM_WINDOW_TYPE_DOCK")}); },
       [](const WindowStack& s) { return s.windows[1].type == StackedWindow::Type::dock; }},
      {"to another workspace", [&] { wm.set(a, "_NET_WM_DESKTOP", cardinal, {1}); },
       [](const WindowStack& s) { return s.windows[0].workspace == 1u && s.windows[0].frame.isNull(); }},
      {"moved while away",
       [&] {
         const uint32_t g[2] = {5, 6};
         xcb_configure_window(wm.connection(), a, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, g);
       },
       [](const WindowStack& s) { return s.windows[0].frame.isNull(); }},
      {"workspace switched", [&] { publish(1); },
       [](const WindowStack& s) { return s.currentWorkspace == 1u && s.windows[0].frame == QRect(4, -14, 302, 221); }},
      {"opened on top",
       [&] {
         c = wm.createWindow({500, 500, 50, 50});
         listed.push_back(c);
         publish(1);
       },
       [](const WindowStack& s) { return s.windows.size() == 3 && s.windows[2].frame == QRect(500, 500, 50, 50); }},
      {"raised", [&] {
         listed = {b, c, a};
         publish(1);
       },
       [](const WindowStack& s) { return s.windows.size() == 3 && s.windows[2].workspace == 1u; }},
      {"closed",
       [&] {
         xcb_destroy_window(wm.connection(), c);
         listed = {b, a};
         publish(1);
       },
       [](const WindowStack& s) { return s.windows.size() == 2; }},
  };
  for (const Row& row : rows) {
    row.change();
    wm.sync();
    const WindowStack kept = coverage.read();
    EXPECT_TRUE(row.seen(kept)) << row.name;
    EXPECT_EQ(kept.currentWorkspace, X11WindowCoverage(x.display()).read().currentWorkspace) << row.name;
    EXPECT_EQ(kept.windows, X11WindowCoverage(x.display()).read().windows) << row.name;
  }
}

// Unasked, the server would keep the window events for it indefinitely.
TEST(X11WindowCoverage, LetsItsConnectionGoWhenNobodyAsks) {
  PrivateXServer x;
  ASSERT_TRUE(x.ok());
  FakeWindowManager wm(x.display());
  wm.window({0, 0, 100, 100});
  wm.publish(0);
  X11WindowCoverage coverage(x.display(), nullptr, std::chrono::milliseconds(50));
  QObject receiver;
  std::optional<WindowStack> fetched;
  coverage.fetch(&receiver, [&](WindowStack s) { fetched = std::move(s); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return fetched.has_value(); }, 5000));
  EXPECT_EQ(fetched->windows.size(), 1u);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !coverage.connected(); }, 5000));
  wm.window({0, 0, 50, 50});
  wm.publish(0);
  EXPECT_EQ(coverage.read().windows.size(), 2u) << "the next read starts afresh";
}

TEST(X11WindowCoverage, NoXServerMeansNothingCovers) {
  X11WindowCoverage coverage(QStringLiteral(":987654"));
  EXPECT_TRUE(coverage.read().windows.empty());
  QObject receiver;
  bool called = false;
  coverage.fetch(&receiver, [&](WindowStack s) { called = s.windows.empty(); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return called; }, 5000));
}

}  // namespace
}  // namespace tavolune
