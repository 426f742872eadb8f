#include "app/platform/linux/X11WindowCoverage.hpp"

#include <QCoreApplication>
#include <QPointer>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>

namespace tavolune {

namespace {

enum Atom {
  clientListStacking, currentDesktop, wmWindowType, wmState, wmDesktop, wmPid, wmOpacity, frameExtents,
  typeNormal, typeDialog, typeUtility, typeDesktop, typeDock, typeToolbar, typeMenu, typeSplash, typeNotification,
  stateHidden, stateFullscreen, atomCount
};
constexpr std::array<const char*, atomCount> atomNames{
    "_NET_CLIENT_LIST_STACKING", "_NET_CURRENT_DESKTOP", "_NET_WM_WINDOW_TYPE", "_NET_WM_STATE", "_NET_WM_DESKTOP",
    "_NET_WM_PID", "_NET_WM_WINDOW_OPACITY", "_NET_FRAME_EXTENTS", "_NET_WM_WINDOW_TYPE_NORMAL",
    "_NET_WM_WINDOW_TYPE_DIALOG", "_NET_WM_WINDOW_TYPE_UTILITY", "_NET_WM_WINDOW_TYPE_DESKTOP",
    "_NET_WM_WINDOW_TYPE_DOCK", "_NET_WM_WINDOW_TYPE_TOOLBAR", "_NET_WM_WINDOW_TYPE_MENU",
    "_NET_WM_WINDOW_TYPE_SPLASH", "_NET_WM_WINDOW_TYPE_NOTIFICATION", "_NET_WM_STATE_HIDDEN",
    "_NET_WM_STATE_FULLSCREEN"};

// The 32-bit items of a property reply (frees it).
std::vector<uint32_t> values(xcb_get_property_reply_t* reply) {
  std::vector<uint32_t> out;
  if (reply && reply->format == 32) {
    const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(reply));
    out.assign(v, v + xcb_get_property_value_length(reply) / 4);
  }
  std::free(reply);
  return out;
}

}  // namespace

struct X11WindowCoverage::X {
  std::mutex mutex;
  QString display;
  xcb_connection_t* c = nullptr;
  xcb_window_t root = XCB_NONE;
  std::array<xcb_atom_t, atomCount> atoms{};
  bool failed = false;

  ~X() {
    if (c) xcb_disconnect(c);
  }

  // Connects on first use, on the worker.
  bool ready() {
    if (c && !xcb_connection_has_error(c)) return true;
    if (c) {
      xcb_disconnect(c);
      c = nullptr;
    }
    if (failed) return false;
    const QByteArray name = display.toLocal8Bit();
    if (name.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")) return !(failed = true);
    int screen = 0;
    c = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screen);
    if (xcb_connection_has_error(c)) {
      xcb_disconnect(c);
      c = nullptr;
      return !(failed = true);
    }
    auto roots = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen && roots.rem; ++i) xcb_screen_next(&roots);
    root = roots.data->root;
    std::array<xcb_intern_atom_cookie_t, atomCount> cookies;
    for (int i = 0; i < atomCount; ++i) {
      cookies[i] = xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(atomNames[i])), atomNames[i]);
    }
    for (int i = 0; i < atomCount; ++i) {
      auto* reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
      atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
      std::free(reply);
    }
    return true;
  }

  // Waits until every request sent so far has been answered.
  void sync() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

  xcb_get_property_cookie_t property(xcb_window_t w, Atom name, xcb_atom_t type, uint32_t length) {
    return xcb_get_property(c, 0, w, atoms[name], type, 0, length);
  }

  StackedWindow::Type typeOf(const std::vector<uint32_t>& types) const {
    // The first type the window lists that we know wins; none means normal.
    using T = StackedWindow::Type;
    for (uint32_t t : types) {
      if (t == atoms[typeNormal]) return T::normal;
      if (t == atoms[typeDialog]) return T::dialog;
      if (t == atoms[typeUtility]) return T::utility;
      if (t == atoms[typeDesktop]) return T::desktop;
      if (t == atoms[typeDock]) return T::dock;
      if (t == atoms[typeToolbar]) return T::toolbar;
      if (t == atoms[typeMenu]) return T::menu;
      if (t == atoms[typeSplash]) return T::splash;
      if (t == atoms[typeNotification]) return T::notification;
    }
    return types.empty() ? T::normal : T::other;
  }

  WindowStack read() {
    WindowStack stack;
    if (!ready()) return stack;
    auto listCookie = property(root, clientListStacking, XCB_ATOM_WINDOW, 1u << 16);
    auto desktopCookie = property(root, currentDesktop, XCB_ATOM_CARDINAL, 1);
    const std::vector<uint32_t> list = values(xcb_get_property_reply(c, listCookie, nullptr));
    if (auto d = values(xcb_get_property_reply(c, desktopCookie, nullptr)); !d.empty()) stack.currentWorkspace = d[0];

    // Two batches, one round trip each: what every window is, then where
    // the windows that may cover are. The replies are read after a final
    // round trip, in large blocks instead of one wake-up each.
    struct Kind {
      xcb_get_property_cookie_t type, state, desktop;
    };
    std::vector<Kind> kinds;
    kinds.reserve(list.size());
    for (xcb_window_t w : list) {
      kinds.push_back({property(w, wmWindowType, XCB_ATOM_ATOM, 16), property(w, wmState, XCB_ATOM_ATOM, 32),
                       property(w, wmDesktop, XCB_ATOM_CARDINAL, 1)});
    }
    sync();
    stack.windows.reserve(list.size());
    for (const Kind& k : kinds) {
      StackedWindow window;
      window.type = typeOf(values(xcb_get_property_reply(c, k.type, nullptr)));
      for (uint32_t s : values(xcb_get_property_reply(c, k.state, nullptr))) {
        window.hidden |= s == atoms[stateHidden];
        window.fullscreen |= s == atoms[stateFullscreen];
      }
      if (auto v = values(xcb_get_property_reply(c, k.desktop, nullptr)); !v.empty()) window.workspace = v[0];
      stack.windows.push_back(window);
    }

    struct Place {
      std::size_t index;
      xcb_get_property_cookie_t pid, opacity, extents;
      xcb_get_geometry_cookie_t geometry;
      xcb_translate_coordinates_cookie_t origin;
    };
    std::vector<Place> places;
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (!stack.mayCover(stack.windows[i])) continue;
      const xcb_window_t w = list[i];
      places.push_back({i, property(w, wmPid, XCB_ATOM_CARDINAL, 1), property(w, wmOpacity, XCB_ATOM_CARDINAL, 1),
                        property(w, frameExtents, XCB_ATOM_CARDINAL, 4), xcb_get_geometry(c, w),
                        xcb_translate_coordinates(c, w, root, 0, 0)});
    }
    if (!places.empty()) sync();
    for (const Place& k : places) {
      StackedWindow& window = stack.windows[k.index];
      if (auto v = values(xcb_get_property_reply(c, k.pid, nullptr)); !v.empty()) window.pid = v[0];
      if (auto v = values(xcb_get_property_reply(c, k.opacity, nullptr)); !v.empty()) window.opacity = v[0] / double(0xFFFFFFFFu);
      const auto extents = values(xcb_get_property_reply(c, k.extents, nullptr));
      auto* geometry = xcb_get_geometry_reply(c, k.geometry, nullptr);
      auto* origin = xcb_translate_coordinates_reply(c, k.origin, nullptr);
      if (geometry && origin) {
        QRect frame(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        // The window manager's decorations are part of what covers.
        if (extents.size() == 4) {
          frame.adjust(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3]));
        }
        window.frame = frame;
      }
      std::free(geometry);
      std::free(origin);
    }
    return stack;
  }
};

X11WindowCoverage::X11WindowCoverage(const QString& display, QThreadPool* pool)
    : x_(std::make_shared<X>()), jobs_(QCoreApplication::instance(), pool) {
  x_->display = display;
}

X11WindowCoverage::~X11WindowCoverage() { jobs_.stop(); }

WindowStack X11WindowCoverage::read() {
  std::lock_guard lock(x_->mutex);
  return x_->read();
}

void X11WindowCoverage::fetch(QObject* receiver, std::function<void(WindowStack)> done) {
  // The job keeps the connection alive. The answer is looked at on the GUI
  // thread, where the receiver's pointer can be trusted.
  jobs_.run(
      [x = x_] {
        std::lock_guard lock(x->mutex);
        return x->read();
      },
      [receiver = QPointer<QObject>(receiver), done = std::move(done)](WindowStack stack) {
        if (receiver) done(std::move(stack));
      });
}

}  // namespace tavolune
