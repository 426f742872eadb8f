#include "app/platform/linux/XcbConnection.hpp"

#include <cstdlib>
#include <cstring>

namespace tavolune {

XcbConnection::XcbConnection(const QString& display) {
  const QByteArray name = display.toLocal8Bit();
  if (name.isEmpty() && qEnvironmentVariableIsEmpty("DISPLAY")) return;
  int screen = 0;
  c_ = xcb_connect(name.isEmpty() ? nullptr : name.constData(), &screen);
  if (xcb_connection_has_error(c_)) {
    xcb_disconnect(c_);
    c_ = nullptr;
    return;
  }
  auto roots = xcb_setup_roots_iterator(xcb_get_setup(c_));
  for (int i = 0; i < screen && roots.rem; ++i) xcb_screen_next(&roots);
  root_ = roots.data->root;
}

XcbConnection::~XcbConnection() {
  if (c_) xcb_disconnect(c_);
}

bool XcbConnection::has(xcb_extension_t* extension) const {
  if (!ok()) return false;
  const auto* data = xcb_get_extension_data(c_, extension);
  return data && data->present;
}

xcb_atom_t XcbConnection::atom(const char* name) const {
  if (!ok()) return XCB_ATOM_NONE;
  auto* reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(reply);
  return atom;
}

}  // namespace tavolune
