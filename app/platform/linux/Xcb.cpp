#include "app/platform/linux/Xcb.hpp"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <string>

namespace tavolune::xcb {

xcb_connection_t* qtConnection() {
  auto* app = qGuiApp;
  if (!app) return nullptr;
  auto* x11 = app->nativeInterface<QNativeInterface::QX11Application>();
  return x11 ? x11->connection() : nullptr;
}

xcb_window_t qtRoot() {
  auto* c = qtConnection();
  if (!c) return XCB_NONE;
  // Qt's default screen is the first one of its connection's display string.
  auto* s = screenOf(c, 0);
  return s ? s->root : XCB_NONE;
}

Connection connect(int* screenNumber) {
  int number = 0;
  Connection c(xcb_connect(nullptr, &number));
  if (!c || xcb_connection_has_error(c.get())) return nullptr;
  if (screenNumber) *screenNumber = number;
  return c;
}

xcb_screen_t* screenOf(xcb_connection_t* c, int screenNumber) {
  auto it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; it.rem; ++i, xcb_screen_next(&it)) {
    if (i == screenNumber) return it.data;
  }
  return nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, std::string_view name) {
  auto cookie = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.data());
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(xcb_intern_atom_reply(c, cookie, nullptr),
                                                                      &std::free);
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::vector<std::uint32_t> cardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  auto cookie = xcb_get_property(c, 0, w, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024);
  std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(xcb_get_property_reply(c, cookie, nullptr),
                                                                       &std::free);
  if (!reply || reply->format != 32) return {};
  const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
  const int n = xcb_get_property_value_length(reply.get()) / 4;
  return {data, data + n};
}

std::optional<std::uint32_t> cardinal(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
  auto values = cardinals(c, w, property);
  if (values.empty()) return std::nullopt;
  return values.front();
}

void setCardinals(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                  const std::vector<std::uint32_t>& values) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 32, static_cast<std::uint32_t>(values.size()),
                      values.data());
}

bool hasWindowManager(xcb_connection_t* c, xcb_window_t root) {
  const auto check = cardinal(c, root, atom(c, "_NET_SUPPORTING_WM_CHECK"));
  return check && *check != XCB_NONE;
}

}  // namespace tavolune::xcb
