#include "app/platform/linux/X11ActiveWindow.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"
#include "tests/app/platform/XClient.hpp"

#include <QCoreApplication>

#include <cstdlib>
#include <memory>

namespace tavolune {
namespace {

using testsupport::PrivateXServer;

// Plays the window manager: publishes which window is active and takes
// activation requests sent to the root window.
class FakeWindowManager : public testsupport::XClient {
 public:
  explicit FakeWindowManager(const QString& display) : XClient(display) {
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_change_window_attributes(connection(), root(), XCB_CW_EVENT_MASK, &mask);
    active_ = atom("_NET_ACTIVE_WINDOW");
  }
  xcb_window_t window(uint32_t pid) {
    const xcb_window_t w = createWindow({0, 0, 100, 100});
    set(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {pid});
    sync();
    return w;
  }
  void setActive(xcb_window_t w) {
    set(root(), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {w});
    sync();
  }
  // Serves the first activation request as a window manager would and
  // returns its source indication.
  std::optional<uint32_t> serveActivation(int timeoutMs) {
    std::optional<uint32_t> source;
    (void)QTest::qWaitFor(
        [&] {
          while (auto* event = xcb_poll_for_event(connection())) {
            const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type != active_) continue;
            source = message->data.data32[0];
            setActive(message->window);
            return true;
          }
          return false;
        },
        timeoutMs);
    return source;
  }

 private:
  xcb_atom_t active_;
};

TEST(X11ActiveWindow, NotesTheFocusedWindowAndGivesTheFocusBack) {
  PrivateXServer x(QStringLiteral("1280x800x24"));
  ASSERT_TRUE(x.ok());
  FakeWindowManager wm(x.display());
  const auto editor = wm.window(4242);
  const auto ours = wm.window(uint32_t(QCoreApplication::applicationPid()));

  X11ActiveWindow active(x.display());
  ASSERT_TRUE(active.connected());
  EXPECT_EQ(active.focused(), std::nullopt);  // no window manager has said

  wm.setActive(editor);
  EXPECT_EQ(active.focused(), (FocusedWindow{editor, false}));
  wm.setActive(ours);
  EXPECT_EQ(active.focused(), (FocusedWindow{ours, true}));

  // The saver hands the focus back to the editor.
  active.activate(editor);
  EXPECT_EQ(wm.serveActivation(5000), 2u);
  EXPECT_EQ(active.focused(), (FocusedWindow{editor, false}));

  // The window manager clears the hint when nothing has the focus.
  wm.setActive(XCB_NONE);
  EXPECT_EQ(active.focused(), std::nullopt);
}

}  // namespace
}  // namespace tavolune
