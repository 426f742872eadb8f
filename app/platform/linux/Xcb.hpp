#pragma once
// Small helpers over xcb: atoms, window properties, Qt's own connection.
// Thread-safe on a connection used by one thread at a time; every call that
// takes a reply makes one round trip to the X server.

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace tavolune::xcb {

// Qt's connection to the X server and its default screen's root, or none
// when Qt does not run on X11.
xcb_connection_t* qtConnection();
xcb_window_t qtRoot();

// A connection of our own, closed when the pointer goes.
struct Disconnect {
  void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
using Connection = std::unique_ptr<xcb_connection_t, Disconnect>;
// None when the display cannot be reached.
Connection connect(int* screenNumber = nullptr);
xcb_screen_t* screenOf(xcb_connection_t* c, int screenNumber);

xcb_atom_t atom(xcb_connection_t* c, std::string_view name);

// The 32-bit values of a property (atoms, windows, cardinals); empty when absent.
std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property);
std::optional<std::uint32_t> cardinal(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property);
void setCardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                  const std::vector<std::uint32_t>& values);

// Whether a window manager that follows the EWMH runs on this root.
bool hasWindowManager(xcb_connection_t* c, xcb_window_t root);

}  // namespace tavolune::xcb
