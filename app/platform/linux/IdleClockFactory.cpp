#include "app/platform/linux/IdleClockFactory.hpp"

#include "app/platform/linux/GnomeIdleClock.hpp"
#include "app/platform/linux/X11IdleClock.hpp"

namespace tavolune {

std::unique_ptr<IdleClock> makeIdleClock(QDBusConnection sessionBus, const QString& display) {
  // XWayland only sees input sent to X clients: typing into a Wayland window
  // would look like idleness there.
  const bool wayland = qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland") ||
                       qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
  if (!wayland) {
    auto x11 = std::make_unique<X11IdleClock>(display);
    if (x11->available()) return x11;
  }
  return std::make_unique<GnomeIdleClock>(std::move(sessionBus));
}

}  // namespace tavolune
