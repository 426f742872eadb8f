#pragma once
// A plain X client of a test's own, for playing the window manager or an
// input device on a private X server. GUI thread; every call blocks on the
// server.

#include <QRect>
#include <QString>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace tavolune::testsupport {

class XClient {
 public:
  explicit XClient(const QString& display) {
    c_ = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
  }
  ~XClient() { xcb_disconnect(c_); }
  XClient(const XClient&) = delete;
  XClient& operator=(const XClient&) = delete;

  xcb_connection_t* connection() const { return c_; }
  xcb_window_t root() const { return root_; }
  xcb_atom_t atom(const char* name) {
    auto* r = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = r->atom;
    std::free(r);
    return a;
  }
  void set(xcb_window_t w, const char* name, xcb_atom_t type, std::vector<uint32_t> values) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, w, atom(name), type, 32, uint32_t(values.size()), values.data());
  }
  xcb_window_t createWindow(QRect r) {
    const xcb_window_t w = xcb_generate_id(c_);
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, w, root_, int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()),
                      uint16_t(r.height()), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
    return w;
  }
  // Returns once the server has handled everything sent.
  void sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

 private:
  xcb_connection_t* c_;
  xcb_window_t root_;
};

}  // namespace tavolune::testsupport
