#include "app/platform/linux/X11IdleClock.hpp"

#include "app/platform/linux/XcbConnection.hpp"

#include <xcb/screensaver.h>

#include <cstdlib>

namespace tavolune {

X11IdleClock::X11IdleClock(const QString& display) : x_(std::make_unique<XcbConnection>(display)) {
  if (!x_->has(&xcb_screensaver_id)) x_.reset();
}

X11IdleClock::~X11IdleClock() = default;

bool X11IdleClock::available() const { return x_ && x_->ok(); }

double X11IdleClock::secondsSinceLastInput() {
  if (!available()) return 0;
  xcb_connection_t* c = x_->get();
  auto* info = xcb_screensaver_query_info_reply(c, xcb_screensaver_query_info(c, x_->root()), nullptr);
  const double seconds = info ? info->ms_since_user_input / 1000.0 : 0.0;
  std::free(info);
  return seconds;
}

}  // namespace tavolune
