#include "app/platform/linux/X11ActiveWindow.hpp"

#include "tests/app/platform/PrivateDesktop.hpp"

#include <QCoreApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace tavolune {
namespace {

using testsupport::PrivateXServer;

// Plays the window manager: owns two plain windows, publishes which one is
// active and takes activation requests sent to the root window.
class FakeWindowManager {
 public:
  explicit FakeWindowManager(const QString& display) {
    c_ = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &mask);
    active_ = atom("_NET_ACTIVE_WINDOW");
    pid_ = atom("_NET_WM_PID");
  }
  ~FakeWindowManager() { xcb_disconnect(c_); }

  xcb_atom_t atom(const char* name) {
    auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r->atom;
    std::free(r);
    return a;
  }
  xcb_window_t window(uint32_t pid) {
    const xcb_window_t w = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, 0, 0, 100, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, pid_, XCB_ATOM_CARDINAL, 32, 1, &pid);
    sync();
    return w;
  }
  void setActive(xcb_window_t w) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, root_, active_, XCB_ATOM_WINDOW, 32, 1, &w);
    sync();
  }
  // Serves activation requests as a window manager would; the first one's
  // source indication lands in `source`.
  bool serveActivation(int timeoutMs, uint32_t* source) {
    return QTest::qWaitFor(
        [&] {
          while (auto* event = xcb_poll_for_event(c_)) {
            const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type != active_) continue;
            *source = message->data.data32[0];
            setActive(message->window);
            return true;
          }
          return false;
        },
        timeoutMs);
  }
  void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

 private:
  xcb_connection_t* c_;
  xcb_window_t root_;
  xcb_atom_t active_, pid_;
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
  uint32_t source = 0;
  ASSERT_TRUE(wm.serveActivation(5000, &source));
  EXPECT_EQ(source, 2u);
  EXPECT_EQ(active.focused(), (FocusedWindow{editor, false}));

  // The window manager clears the hint when nothing has the focus.
  wm.setActive(XCB_NONE);
  EXPECT_EQ(active.focused(), std::nullopt);
}

}  // namespace
}  // namespace tavolune
