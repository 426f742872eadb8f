#pragma once
// A connection of our own to an X server, for the small X11 services that
// ask it one thing at a time. GUI thread only; connecting and atom() each
// block for one round trip to the (local) server.

#include <QString>

#include <xcb/xcb.h>

namespace tavolune {

class XcbConnection {
 public:
  // Empty display: $DISPLAY; no connection when that is unset too.
  explicit XcbConnection(const QString& display);
  ~XcbConnection();
  XcbConnection(const XcbConnection&) = delete;
  XcbConnection& operator=(const XcbConnection&) = delete;

  // Connected and not broken since.
  bool ok() const { return c_ && !xcb_connection_has_error(c_); }
  xcb_connection_t* get() const { return c_; }
  xcb_window_t root() const { return root_; }
  // Whether the server offers the extension (answer cached by xcb).
  bool has(xcb_extension_t* extension) const;
  // XCB_ATOM_NONE when it cannot be had.
  xcb_atom_t atom(const char* name) const;

 private:
  xcb_connection_t* c_ = nullptr;
  xcb_window_t root_ = XCB_NONE;
};

}  // namespace tavolune
