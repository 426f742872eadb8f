#include "app/platform/linux/X11DisplaySource.hpp"

#include "app/platform/linux/ScreenKeys.hpp"

#include <QGuiApplication>
#include <QScreen>
#include <QSocketNotifier>

#include <xcb/randr.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace tavolune {

namespace {

template <typename T>
struct Reply {
  T* p = nullptr;
  explicit Reply(T* r) : p(r) {}
  ~Reply() { std::free(p); }
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;
  T* operator->() const { return p; }
  explicit operator bool() const { return p != nullptr; }
};

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
  Reply reply(xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

QString atomName(xcb_connection_t* c, xcb_atom_t atom) {
  Reply reply(xcb_get_atom_name_reply(c, xcb_get_atom_name(c, atom), nullptr));
  if (!reply) return {};
  return QString::fromUtf8(xcb_get_atom_name_name(reply.p), xcb_get_atom_name_name_length(reply.p));
}

// Qt's scale for the screen of that name, where the application shows on the same server.
double scaleOf(const QString& connector) {
  if (!qGuiApp) return 1.0;
  for (QScreen* screen : QGuiApplication::screens()) {
    if (screen->name() == connector) return screen->devicePixelRatio();
  }
  return 1.0;
}

}  // namespace

struct X11DisplaySource::X {
  xcb_connection_t* c = nullptr;
  xcb_window_t root = XCB_NONE;
  uint8_t randrEvent = 0;
  bool monitors = false;  // RandR 1.5
  xcb_atom_t edid = XCB_ATOM_NONE, workArea = XCB_ATOM_NONE, currentDesktop = XCB_ATOM_NONE;
  ~X() {
    if (c) xcb_disconnect(c);
  }
};

X11DisplaySource::X11DisplaySource(const QString& display, QObject* parent)
    : DisplaySource(parent), x_(std::make_unique<X>()) {
  const QByteArray name = display.toLocal8Bit();
  int screen = 0;
  x_->c = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screen);
  if (xcb_connection_has_error(x_->c)) {
    xcb_disconnect(x_->c);
    x_->c = nullptr;
    return;
  }
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(x_->c));
  for (int i = 0; i < screen && roots.rem; ++i) xcb_screen_next(&roots);
  x_->root = roots.data->root;
  if (const auto* ext = xcb_get_extension_data(x_->c, &xcb_randr_id); ext && ext->present) {
    Reply version(xcb_randr_query_version_reply(x_->c, xcb_randr_query_version(x_->c, 1, 5), nullptr));
    x_->monitors = version && (version->major_version > 1 || version->minor_version >= 5);
    x_->randrEvent = ext->first_event;
    xcb_randr_select_input(x_->c, x_->root,
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY);
  }
  // The work area (available rectangle) is a root property; adding or
  // removing a monitor reconfigures the root window.
  const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  xcb_change_window_attributes(x_->c, x_->root, XCB_CW_EVENT_MASK, &mask);
  x_->edid = intern(x_->c, "EDID");
  x_->workArea = intern(x_->c, "_NET_WORKAREA");
  x_->currentDesktop = intern(x_->c, "_NET_CURRENT_DESKTOP");
  xcb_flush(x_->c);
  notifier_ = new QSocketNotifier(xcb_get_file_descriptor(x_->c), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &X11DisplaySource::drainEvents);
  rebuild();
}

X11DisplaySource::~X11DisplaySource() = default;

bool X11DisplaySource::connected() const { return x_->c != nullptr; }

void X11DisplaySource::drainEvents() {
  bool relevant = false;
  while (xcb_generic_event_t* event = xcb_poll_for_event(x_->c)) {
    const uint8_t type = event->response_type & 0x7f;
    if (type == XCB_PROPERTY_NOTIFY) {
      const auto* p = reinterpret_cast<xcb_property_notify_event_t*>(event);
      relevant |= p->atom == x_->workArea || p->atom == x_->currentDesktop;
    } else if (type == XCB_CONFIGURE_NOTIFY) {
      relevant = true;
    } else if (x_->randrEvent && (type == x_->randrEvent + XCB_RANDR_SCREEN_CHANGE_NOTIFY ||
                                  type == x_->randrEvent + XCB_RANDR_NOTIFY)) {
      relevant = true;
    }
    std::free(event);
  }
  if (xcb_connection_has_error(x_->c)) {
    notifier_->setEnabled(false);
    return;
  }
  if (relevant) rebuild();
}

void X11DisplaySource::rebuild() {
  xcb_connection_t* c = x_->c;
  struct Raw {
    Display display;
    QByteArray edid;
  };
  std::vector<Raw> raws;

  if (x_->monitors) {
    Reply monitors(xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, x_->root, 1), nullptr));
    if (monitors) {
      for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.p); it.rem; xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* m = it.data;
        Raw raw;
        raw.display.geometry = QRect(m->x, m->y, m->width, m->height);
        raw.display.isMain = m->primary;
        const int outputs = xcb_randr_monitor_info_outputs_length(m);
        if (outputs > 0) {
          const xcb_randr_output_t output = xcb_randr_monitor_info_outputs(m)[0];
          raw.display.number = output;
          Reply info(xcb_randr_get_output_info_reply(c, xcb_randr_get_output_info(c, output, XCB_CURRENT_TIME), nullptr));
          if (info) {
            raw.display.connector = QString::fromUtf8(reinterpret_cast<const char*>(xcb_randr_get_output_info_name(info.p)),
                                                      xcb_randr_get_output_info_name_length(info.p));
          }
          Reply edid(xcb_randr_get_output_property_reply(
              c, xcb_randr_get_output_property(c, output, x_->edid, XCB_ATOM_ANY, 0, 256, 0, 0), nullptr));
          if (edid) {
            raw.edid = QByteArray(reinterpret_cast<const char*>(xcb_randr_get_output_property_data(edid.p)),
                                  xcb_randr_get_output_property_data_length(edid.p));
          }
        } else {
          // A virtual monitor: its name atom is the one stable number it has.
          raw.display.number = m->name;
        }
        const QString monitorName = atomName(c, m->name);
        if (raw.display.connector.isEmpty()) raw.display.connector = monitorName;
        raws.push_back(std::move(raw));
      }
    }
  }
  if (raws.empty()) {
    // No RandR 1.5: the whole root window is one display.
    Reply geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, x_->root), nullptr));
    Raw raw;
    raw.display.geometry = geometry ? QRect(0, 0, geometry->width, geometry->height) : QRect();
    raw.display.isMain = true;
    raw.display.connector = QStringLiteral("screen");
    raws.push_back(std::move(raw));
  }

  // The work area of the current workspace, where a window manager sets one.
  QRect workArea;
  {
    Reply desktop(xcb_get_property_reply(c, xcb_get_property(c, 0, x_->root, x_->currentDesktop, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    uint32_t current = 0;
    if (desktop && xcb_get_property_value_length(desktop.p) == 4) {
      current = *static_cast<const uint32_t*>(xcb_get_property_value(desktop.p));
    }
    Reply area(xcb_get_property_reply(c, xcb_get_property(c, 0, x_->root, x_->workArea, XCB_ATOM_CARDINAL, current * 4, 4), nullptr));
    if (area && xcb_get_property_value_length(area.p) == 16) {
      const auto* v = static_cast<const uint32_t*>(xcb_get_property_value(area.p));
      workArea = QRect(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
    }
  }

  std::vector<KeyedDisplay> keyed;
  bool anyMain = false;
  for (auto& raw : raws) {
    keyed.push_back({raw.display.number, raw.display.connector, parseEdid(raw.edid)});
    anyMain |= raw.display.isMain;
  }
  const std::vector<QString> keys = screenKeys(keyed);
  std::vector<Display> next;
  for (std::size_t i = 0; i < raws.size(); ++i) {
    Display d = raws[i].display;
    d.key = keys[i];
    const auto& identity = keyed[i].identity;
    d.name = identity && !identity->name.isEmpty() ? identity->name : d.connector;
    // Without a primary monitor, the first one is the main display.
    if (!anyMain && i == 0) d.isMain = true;
    d.available = workArea.isValid() ? d.geometry.intersected(workArea) : d.geometry;
    if (d.available.isEmpty()) d.available = d.geometry;
    d.scale = scaleOf(d.connector);
    next.push_back(std::move(d));
  }
  if (next == displays_) return;
  displays_ = std::move(next);
  emit displaysChanged();
}

QtScreenDisplaySource::QtScreenDisplaySource(QObject* parent) : DisplaySource(parent) {
  connect(qGuiApp, &QGuiApplication::screenAdded, this, [this] {
    watch();
    emit displaysChanged();
  });
  connect(qGuiApp, &QGuiApplication::screenRemoved, this, &DisplaySource::displaysChanged);
  connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &DisplaySource::displaysChanged);
  watch();
}

void QtScreenDisplaySource::watch() {
  for (QScreen* screen : QGuiApplication::screens()) {
    connect(screen, &QScreen::geometryChanged, this, &DisplaySource::displaysChanged, Qt::UniqueConnection);
    connect(screen, &QScreen::availableGeometryChanged, this, &DisplaySource::displaysChanged, Qt::UniqueConnection);
  }
}

std::vector<Display> QtScreenDisplaySource::displays() const {
  const QList<QScreen*> screens = QGuiApplication::screens();
  std::vector<KeyedDisplay> keyed;
  std::vector<Display> out;
  for (qsizetype i = 0; i < screens.size(); ++i) {
    QScreen* s = screens[i];
    MonitorIdentity identity{s->manufacturer(), s->model(), s->serialNumber(), s->model()};
    keyed.push_back({std::uint32_t(i + 1), s->name(), identity});
    Display d;
    d.number = std::uint32_t(i + 1);
    d.name = s->model().isEmpty() ? s->name() : s->model();
    d.isMain = s == QGuiApplication::primaryScreen();
    d.scale = s->devicePixelRatio();
    // Device pixels, anchored at the screen's own origin.
    const QRect g = s->geometry();
    const QRect a = s->availableGeometry();
    d.geometry = QRect(g.topLeft(), g.size() * d.scale);
    d.available = QRect(g.topLeft() + (a.topLeft() - g.topLeft()) * d.scale, a.size() * d.scale);
    d.connector = s->name();
    out.push_back(d);
  }
  const auto keys = screenKeys(keyed);
  for (std::size_t i = 0; i < out.size(); ++i) out[i].key = keys[i];
  return out;
}

std::unique_ptr<DisplaySource> makeDisplaySource() {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    auto x11 = std::make_unique<X11DisplaySource>();
    if (x11->connected()) return x11;
  }
  return std::make_unique<QtScreenDisplaySource>();
}

}  // namespace tavolune
