#include "app/platform/linux/X11ActiveWindow.hpp"

#include "app/platform/linux/XcbConnection.hpp"

#include <QCoreApplication>

#include <cstdlib>

namespace tavolune {

namespace {
// The first 32-bit value of a property; nullopt when absent (frees both).
std::optional<std::uint32_t> first(xcb_get_property_reply_t* reply, xcb_generic_error_t* error) {
  std::optional<std::uint32_t> value;
  if (reply && reply->format == 32 && xcb_get_property_value_length(reply) >= 4) {
    value = *static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
  }
  std::free(reply);
  std::free(error);
  return value;
}
}  // namespace

X11ActiveWindow::X11ActiveWindow(const QString& display, qint64 ownPid)
    : x_(std::make_unique<XcbConnection>(display)), ownPid_(ownPid ? ownPid : QCoreApplication::applicationPid()) {
  if (!x_->ok()) return;
  activeAtom_ = x_->atom("_NET_ACTIVE_WINDOW");
  pidAtom_ = x_->atom("_NET_WM_PID");
}

X11ActiveWindow::~X11ActiveWindow() = default;

bool X11ActiveWindow::connected() const { return x_->ok(); }

std::optional<FocusedWindow> X11ActiveWindow::focused() {
  if (!connected() || !activeAtom_) return std::nullopt;
  xcb_connection_t* c = x_->get();
  xcb_generic_error_t* error = nullptr;
  auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, x_->root(), activeAtom_, XCB_ATOM_WINDOW, 0, 1), &error);
  const auto window = first(reply, error);
  if (!window || *window == XCB_NONE) return std::nullopt;
  // A window gone meanwhile answers with an error: not ours.
  error = nullptr;
  reply = xcb_get_property_reply(c, xcb_get_property(c, 0, *window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), &error);
  const auto pid = first(reply, error);
  return FocusedWindow{*window, pid && qint64(*pid) == ownPid_};
}

void X11ActiveWindow::activate(std::uint32_t window) {
  if (!connected() || !activeAtom_ || window == XCB_NONE) return;
  xcb_client_message_event_t event{};
  event.response_type = XCB_CLIENT_MESSAGE;
  event.format = 32;
  event.window = window;
  event.type = activeAtom_;
  event.data.data32[0] = 2;  // source: a pager, i.e. the user's direct request
  event.data.data32[1] = XCB_CURRENT_TIME;
  event.data.data32[2] = XCB_NONE;  // we hold no active window of our own to name
  xcb_connection_t* c = x_->get();
  xcb_send_event(c, 0, x_->root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&event));
  xcb_flush(c);
}

}  // namespace tavolune
