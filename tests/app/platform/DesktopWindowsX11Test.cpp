#include "app/desktop/CartelPanel.hpp"
#include "app/desktop/StageWindow.hpp"
#include "app/platform/Compositor.hpp"
#include "app/platform/DesktopWindows.hpp"
#include "app/platform/WorkspaceWatch.hpp"
#include "app/platform/linux/Xcb.hpp"

#include <QSignalSpy>

#include <xcb/xcb_icccm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace tavolune {
namespace {

// Everything Qt and our code sent has reached the server.
void sync() {
  auto* c = xcb::qtConnection();
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

struct Observer {
  xcb::Connection c = xcb::connect();
  xcb_atom_t atom(const char* name) { return xcb::atom(c.get(), name); }
  std::vector<std::uint32_t> get(xcb_window_t w, const char* property) {
    return xcb::cardinals(c.get(), w, atom(property));
  }
  bool hasState(xcb_window_t w, const char* state) {
    const auto states = get(w, "_NET_WM_STATE");
    return std::find(states.begin(), states.end(), atom(state)) != states.end();
  }
  std::optional<bool> inputHint(xcb_window_t w) {
    xcb_icccm_wm_hints_t hints{};
    if (!xcb_icccm_get_wm_hints_reply(c.get(), xcb_icccm_get_wm_hints(c.get(), w), &hints, nullptr)) return {};
    if (!(hints.flags & XCB_ICCCM_WM_HINT_INPUT)) return {};
    return hints.input != 0;
  }
};

Display whole() {
  Display d;
  d.key = "display-1";
  d.geometry = QRect(0, 0, 1920, 1080);
  d.available = d.geometry;
  return d;
}

TEST(DesktopWindows, DesktopStageWindowAndLabelPanelCarryTheirHints) {
  auto windows = makeDesktopWindows();
  auto compositor = makeCompositor();
  StageWindow stage(whole(), new QWidget, false, *windows);
  ASSERT_TRUE(stage.present());
  CartelPanel panel(*windows, *compositor);
  panel.show(Artwork::make({.title = "Dunes"}), whole(), CartelStyle::museum);
  sync();

  Observer x;
  ASSERT_TRUE(x.c);
  struct Case {
    const char* what;
    xcb_window_t id;
    const char* type;
  };
  for (const Case& c : {Case{"stage", static_cast<xcb_window_t>(stage.winId()), "_NET_WM_WINDOW_TYPE_DESKTOP"},
                        Case{"panel", static_cast<xcb_window_t>(panel.winId()), "_NET_WM_WINDOW_TYPE_UTILITY"}}) {
    SCOPED_TRACE(c.what);
    const auto types = x.get(c.id, "_NET_WM_WINDOW_TYPE");
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), x.atom(c.type));
    for (const char* state :
         {"_NET_WM_STATE_BELOW", "_NET_WM_STATE_STICKY", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
      EXPECT_TRUE(x.hasState(c.id, state)) << state;
    }
    EXPECT_EQ(x.get(c.id, "_NET_WM_DESKTOP"), std::vector<std::uint32_t>{0xFFFFFFFF});
    EXPECT_EQ(x.inputHint(c.id), std::optional<bool>(false));  // never focused
  }
}

TEST(DesktopWindows, SaverWindowBypassesTheManagerAndHoldsKeyboardAndPointer) {
  auto windows = makeDesktopWindows();
  StageWindow saver(whole(), new QWidget, true, *windows);
  ASSERT_TRUE(saver.present());
  sync();
  Observer x;
  const auto id = static_cast<xcb_window_t>(saver.winId());
  std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
      xcb_get_window_attributes_reply(x.c.get(), xcb_get_window_attributes(x.c.get(), id), nullptr), &std::free);
  ASSERT_TRUE(attributes);
  EXPECT_TRUE(attributes->override_redirect);
  EXPECT_EQ(attributes->map_state, XCB_MAP_STATE_VIEWABLE);

  // Another client cannot take the keyboard while the saver holds it.
  auto tryGrab = [&] {
    const xcb_window_t root = xcb::screenOf(x.c.get(), 0)->root;
    std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&std::free)> reply(
        xcb_grab_keyboard_reply(
            x.c.get(),
            xcb_grab_keyboard(x.c.get(), 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
            nullptr),
        &std::free);
    const bool got = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
    xcb_ungrab_keyboard(x.c.get(), XCB_CURRENT_TIME);
    xcb_flush(x.c.get());
    return got;
  };
  EXPECT_FALSE(tryGrab());
  saver.hide();
  sync();
  EXPECT_TRUE(tryGrab());
}

TEST(DesktopWindows, CompositorIsTheOwnerOfTheScreensSelection) {
  auto compositor = makeCompositor();
  EXPECT_FALSE(compositor->isActive());
  Observer x;
  auto* screen = xcb::screenOf(x.c.get(), 0);
  const xcb_window_t owner = xcb_generate_id(x.c.get());
  xcb_create_window(x.c.get(), XCB_COPY_FROM_PARENT, owner, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                    XCB_COPY_FROM_PARENT, 0, nullptr);
  xcb_set_selection_owner(x.c.get(), owner, x.atom("_NET_WM_CM_S0"), XCB_CURRENT_TIME);
  std::free(xcb_get_input_focus_reply(x.c.get(), xcb_get_input_focus(x.c.get()), nullptr));
  EXPECT_TRUE(compositor->isActive());
  xcb_destroy_window(x.c.get(), owner);
  std::free(xcb_get_input_focus_reply(x.c.get(), xcb_get_input_focus(x.c.get()), nullptr));
  EXPECT_FALSE(compositor->isActive());
}

TEST(WorkspaceWatch, FollowsTheRootsCurrentDesktop) {
  auto watch = makeWorkspaceWatch();
  QSignalSpy changed(watch.get(), &WorkspaceWatch::currentChanged);
  Observer x;
  const xcb_window_t root = xcb::screenOf(x.c.get(), 0)->root;
  auto moveTo = [&](std::uint32_t n) {
    xcb::setCardinals(x.c.get(), root, x.atom("_NET_CURRENT_DESKTOP"), XCB_ATOM_CARDINAL, {n});
    xcb_flush(x.c.get());
  };
  moveTo(2);
  ASSERT_TRUE(changed.wait(3000));
  EXPECT_EQ(changed.takeFirst().at(0).toInt(), 2);
  EXPECT_EQ(watch->current(), 2);
  moveTo(2);  // the same workspace again is no change
  moveTo(0);
  ASSERT_TRUE(changed.wait(3000));
  EXPECT_EQ(changed.size(), 1);
  EXPECT_EQ(changed.takeFirst().at(0).toInt(), 0);
}

}  // namespace
}  // namespace tavolune
