#include "app/platform/linux/X11WindowCoverage.hpp"

#include <QCoreApplication>
#include <QPointer>

#include <xcb/xcb.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unordered_map>

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
  // What is known of one listed window. The kind (type, state, workspace)
  // is read for every window, the place (frame, pid, opacity) only once it
  // may cover; events mark either as stale.
  struct Entry {
    StackedWindow window;
    bool kindKnown = false;
    bool placeKnown = false;
  };

  std::mutex mutex;
  QString display;
  xcb_connection_t* c = nullptr;
  xcb_window_t root = XCB_NONE;
  std::array<xcb_atom_t, atomCount> atoms{};
  bool failed = false;
  // The root's list and workspace as last read; stale once the root says
  // either changed.
  bool listKnown = false;
  std::vector<xcb_window_t> list;
  std::optional<uint32_t> currentWorkspace;
  std::unordered_map<xcb_window_t, Entry> entries;

  ~X() { close(); }

  // Forgets the connection and all it knew.
  void close() {
    if (c) xcb_disconnect(c);
    c = nullptr;
    listKnown = false;
    list.clear();
    entries.clear();
  }

  // Connects on first use, on the worker, and from then on hears of every
  // change to the root's stacking list and current workspace.
  bool ready() {
    if (c && !xcb_connection_has_error(c)) return true;
    // A new connection knows nothing of what the old one watched.
    close();
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
    // Selected before the list is first read, so no change slips between.
    watch(root, XCB_EVENT_MASK_PROPERTY_CHANGE);
    return true;
  }

  void watch(xcb_window_t w, uint32_t mask) { xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &mask); }

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

  // Marks what the events received so far made stale. Errors (a window
  // gone before a request about it arrived) come here too and are dropped.
  void takeEvents() {
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
      switch (event->response_type & 0x7f) {
        case XCB_PROPERTY_NOTIFY: {
          const auto* e = reinterpret_cast<xcb_property_notify_event_t*>(event);
          if (e->window == root) {
            if (e->atom == atoms[clientListStacking] || e->atom == atoms[currentDesktop]) listKnown = false;
          } else if (auto it = entries.find(e->window); it != entries.end()) {
            if (e->atom == atoms[wmWindowType] || e->atom == atoms[wmState] || e->atom == atoms[wmDesktop]) {
              it->second.kindKnown = false;
            } else if (e->atom == atoms[wmPid] || e->atom == atoms[wmOpacity] || e->atom == atoms[frameExtents]) {
              it->second.placeKnown = false;
            }
          }
          break;
        }
        case XCB_CONFIGURE_NOTIFY:
          // Window managers send one (synthetic) when they move a frame.
          placeChanged(reinterpret_cast<xcb_configure_notify_event_t*>(event)->window);
          break;
        case XCB_REPARENT_NOTIFY:
          placeChanged(reinterpret_cast<xcb_reparent_notify_event_t*>(event)->window);
          break;
        case XCB_DESTROY_NOTIFY:
          entries.erase(reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window);
          listKnown = false;
          break;
        default:
          break;
      }
      std::free(event);
    }
  }

  void placeChanged(xcb_window_t w) {
    if (auto it = entries.find(w); it != entries.end()) it->second.placeKnown = false;
  }

  void readList() {
    auto listCookie = property(root, clientListStacking, XCB_ATOM_WINDOW, 1u << 16);
    auto desktopCookie = property(root, currentDesktop, XCB_ATOM_CARDINAL, 1);
    list = values(xcb_get_property_reply(c, listCookie, nullptr));
    const auto d = values(xcb_get_property_reply(c, desktopCookie, nullptr));
    currentWorkspace = d.empty() ? std::nullopt : std::optional<uint32_t>(d[0]);
    listKnown = true;

    std::unordered_map<xcb_window_t, Entry> kept;
    kept.reserve(list.size());
    for (xcb_window_t w : list) {
      if (auto it = entries.find(w); it != entries.end()) {
        kept.insert(entries.extract(it));
      } else if (!kept.contains(w)) {
        // Watched before its properties are read: nothing changes unheard.
        watch(w, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
        kept.emplace(w, Entry{});
      }
    }
    // Windows that left the list but still exist stop reporting.
    for (const auto& [w, entry] : entries) watch(w, XCB_EVENT_MASK_NO_EVENT);
    entries = std::move(kept);
  }

  // Two batches, one round trip each: what the changed windows are, then
  // where the changed ones that may cover are. The replies are read after a
  // final round trip, in large blocks instead of one wake-up each.
  void readKinds() {
    struct Kind {
      Entry* entry;
      xcb_get_property_cookie_t type, state, desktop;
    };
    std::vector<Kind> kinds;
    for (auto& [w, entry] : entries) {
      if (entry.kindKnown) continue;
      kinds.push_back({&entry, property(w, wmWindowType, XCB_ATOM_ATOM, 16), property(w, wmState, XCB_ATOM_ATOM, 32),
                       property(w, wmDesktop, XCB_ATOM_CARDINAL, 1)});
    }
    if (kinds.empty()) return;
    sync();
    for (const Kind& k : kinds) {
      StackedWindow& window = k.entry->window;
      window.type = typeOf(values(xcb_get_property_reply(c, k.type, nullptr)));
      window.hidden = window.fullscreen = false;
      for (uint32_t s : values(xcb_get_property_reply(c, k.state, nullptr))) {
        window.hidden |= s == atoms[stateHidden];
        window.fullscreen |= s == atoms[stateFullscreen];
      }
      const auto v = values(xcb_get_property_reply(c, k.desktop, nullptr));
      window.workspace = v.empty() ? std::nullopt : std::optional<uint32_t>(v[0]);
      k.entry->kindKnown = true;
    }
  }

  void readPlaces(const WindowStack& stack) {
    struct Place {
      Entry* entry;
      xcb_get_property_cookie_t pid, opacity, extents;
      xcb_get_geometry_cookie_t geometry;
      xcb_translate_coordinates_cookie_t origin;
    };
    std::vector<Place> places;
    for (auto& [w, entry] : entries) {
      if (entry.placeKnown || !stack.mayCover(entry.window)) continue;
      places.push_back({&entry, property(w, wmPid, XCB_ATOM_CARDINAL, 1), property(w, wmOpacity, XCB_ATOM_CARDINAL, 1),
                        property(w, frameExtents, XCB_ATOM_CARDINAL, 4), xcb_get_geometry(c, w),
                        xcb_translate_coordinates(c, w, root, 0, 0)});
    }
    if (places.empty()) return;
    sync();
    for (const Place& k : places) {
      StackedWindow& window = k.entry->window;
      auto v = values(xcb_get_property_reply(c, k.pid, nullptr));
      window.pid = v.empty() ? std::nullopt : std::optional<std::int64_t>(v[0]);
      v = values(xcb_get_property_reply(c, k.opacity, nullptr));
      window.opacity = v.empty() ? std::nullopt : std::optional<double>(v[0] / double(0xFFFFFFFFu));
      const auto extents = values(xcb_get_property_reply(c, k.extents, nullptr));
      auto* geometry = xcb_get_geometry_reply(c, k.geometry, nullptr);
      auto* origin = xcb_translate_coordinates_reply(c, k.origin, nullptr);
      window.frame = QRect();
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
      k.entry->placeKnown = true;
    }
  }

  // The first read asks about every window; later ones make one round trip
  // to collect the events sent so far and ask only about what changed.
  WindowStack read() {
    WindowStack stack;
    if (!ready()) return stack;
    if (listKnown) sync();
    takeEvents();
    if (!listKnown) readList();
    stack.currentWorkspace = currentWorkspace;
    readKinds();
    readPlaces(stack);
    stack.windows.reserve(list.size());
    for (xcb_window_t w : list) {
      StackedWindow window = entries[w].window;
      if (!stack.mayCover(window)) {
        window.frame = QRect();
        window.pid.reset();
        window.opacity.reset();
      }
      stack.windows.push_back(window);
    }
    return stack;
  }
};

X11WindowCoverage::X11WindowCoverage(const QString& display, QThreadPool* pool, std::chrono::milliseconds keep)
    : x_(std::make_shared<X>()), jobs_(QCoreApplication::instance(), pool) {
  x_->display = display;
  idle_.setSingleShot(true);
  idle_.setTimerType(Qt::VeryCoarseTimer);
  idle_.setInterval(keep);
  // Off the GUI thread: a read may hold the connection for a moment.
  QObject::connect(&idle_, &QTimer::timeout, &idle_, [this] {
    jobs_.start([x = x_] {
      std::lock_guard lock(x->mutex);
      x->close();
    });
  });
}

X11WindowCoverage::~X11WindowCoverage() { jobs_.stop(); }

WindowStack X11WindowCoverage::read() {
  std::lock_guard lock(x_->mutex);
  return x_->read();
}

bool X11WindowCoverage::connected() const {
  std::lock_guard lock(x_->mutex);
  return x_->c != nullptr;
}

void X11WindowCoverage::fetch(QObject* receiver, std::function<void(WindowStack)> done) {
  idle_.stop();
  // The job keeps the connection alive. The answer is looked at on the GUI
  // thread, where the receiver's pointer can be trusted; the connection's
  // time runs from the answer.
  jobs_.run(
      [x = x_] {
        std::lock_guard lock(x->mutex);
        return x->read();
      },
      [receiver = QPointer<QObject>(receiver), idle = QPointer<QTimer>(&idle_), done = std::move(done)](
          WindowStack stack) {
        if (idle) idle->start();
        if (receiver) done(std::move(stack));
      });
}

}  // namespace tavolune
