#include "app/platform/DesktopWindows.hpp"
#include "app/platform/linux/Xcb.hpp"

#include <QWindow>

#include <algorithm>
#include <array>

#include <cstdlib>

namespace tavolune {
namespace {

// Qt's own window-type property (its xcb plugin reads it whenever it writes
// the window type), with the plugin's values for the types used here.
constexpr const char* qtTypeProperty = "_q_xcb_wm_window_type";
constexpr int qtTypeDesktop = 0x2;
constexpr int qtTypeUtility = 0x20;
constexpr std::uint32_t allWorkspaces = 0xFFFFFFFF;

class NoDesktopWindows final : public DesktopWindows {
 public:
  void prepare(QWidget&, WindowLevel) override {}
  bool shown(QWidget&, WindowLevel) override { return true; }
  void release(QWidget&) override {}
  bool atDesktopLevel() const override { return false; }
};

class X11DesktopWindows final : public DesktopWindows {
 public:
  explicit X11DesktopWindows(xcb_connection_t* c) : c_(c), root_(xcb::qtRoot()) {}

  void prepare(QWidget& window, WindowLevel level) override {
    const auto id = static_cast<xcb_window_t>(window.winId());
    if (level == WindowLevel::saver) return;  // override-redirect: no manager reads hints
    if (auto* handle = window.windowHandle()) {
      handle->setProperty(qtTypeProperty, level == WindowLevel::desktop ? qtTypeDesktop : qtTypeUtility);
    }
    const xcb_atom_t type = atom(level == WindowLevel::desktop ? "_NET_WM_WINDOW_TYPE_DESKTOP"
                                                               : "_NET_WM_WINDOW_TYPE_UTILITY");
    xcb::setCardinals(c_, id, atom("_NET_WM_WINDOW_TYPE"), XCB_ATOM_ATOM, {type});
    writeHints(id);
    xcb_flush(c_);
  }

  bool shown(QWidget& window, WindowLevel level) override {
    const auto id = static_cast<xcb_window_t>(window.winId());
    if (level == WindowLevel::saver) {
      const bool held = grab(id);
      xcb_flush(c_);
      return held;
    }
    if (xcb::hasWindowManager(c_, root_)) {
      // A mapped window asks the manager: two states per message.
      const auto states = stateAtoms();
      for (std::size_t i = 0; i < states.size(); i += 2) {
        send(id, atom("_NET_WM_STATE"), {1, states[i], i + 1 < states.size() ? states[i + 1] : 0, 1, 0});
      }
      send(id, atom("_NET_WM_DESKTOP"), {allWorkspaces, 1, 0, 0, 0});
    } else {
      // No manager: the properties are ours to write (Qt rewrites the
      // state when it maps the window).
      writeHints(id);
    }
    xcb_flush(c_);
    return true;
  }

  bool atDesktopLevel() const override { return true; }

  void release(QWidget&) override {
    xcb_ungrab_keyboard(c_, XCB_CURRENT_TIME);
    xcb_ungrab_pointer(c_, XCB_CURRENT_TIME);
    xcb_flush(c_);
  }

 private:
  xcb_atom_t atom(std::string_view name) { return xcb::atom(c_, name); }

  std::vector<std::uint32_t> stateAtoms() {
    return {atom("_NET_WM_STATE_BELOW"), atom("_NET_WM_STATE_STICKY"), atom("_NET_WM_STATE_SKIP_TASKBAR"),
            atom("_NET_WM_STATE_SKIP_PAGER")};
  }

  void writeHints(xcb_window_t id) {
    xcb::setCardinals(c_, id, atom("_NET_WM_STATE"), XCB_ATOM_ATOM, stateAtoms());
    xcb::setCardinals(c_, id, atom("_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL, {allWorkspaces});
  }

  void send(xcb_window_t id, xcb_atom_t type, std::array<std::uint32_t, 5> data) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = type;
    std::copy(data.begin(), data.end(), event.data.data32);
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
  }

  bool grab(xcb_window_t id) {
    using KeyboardReply = std::unique_ptr<xcb_grab_keyboard_reply_t, decltype(&std::free)>;
    using PointerReply = std::unique_ptr<xcb_grab_pointer_reply_t, decltype(&std::free)>;
    KeyboardReply keyboard(
        xcb_grab_keyboard_reply(c_,
                                xcb_grab_keyboard(c_, 1, id, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                                  XCB_GRAB_MODE_ASYNC),
                                nullptr),
        &std::free);
    const auto mask = static_cast<std::uint16_t>(XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                                 XCB_EVENT_MASK_POINTER_MOTION);
    PointerReply pointer(xcb_grab_pointer_reply(c_,
                                                xcb_grab_pointer(c_, 1, id, mask, XCB_GRAB_MODE_ASYNC,
                                                                 XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                                                 XCB_CURRENT_TIME),
                                                nullptr),
                         &std::free);
    return keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS && pointer &&
           pointer->status == XCB_GRAB_STATUS_SUCCESS;
  }

  xcb_connection_t* c_;
  xcb_window_t root_;
};

}  // namespace

std::unique_ptr<DesktopWindows> makeDesktopWindows() {
  if (auto* c = xcb::qtConnection()) return std::make_unique<X11DesktopWindows>(c);
  return std::make_unique<NoDesktopWindows>();
}

}  // namespace tavolune
