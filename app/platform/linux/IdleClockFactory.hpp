#pragma once
// Picks the IdleClock for this session: the X server's count where it sees
// all input (an X11 session), GNOME's idle monitor on Wayland or where X11
// has none. GUI thread only; blocks for one round trip to the local X server.

#include "app/platform/IdleClock.hpp"

#include <QDBusConnection>
#include <QString>

#include <memory>

namespace tavolune {

// Empty display: $DISPLAY.
std::unique_ptr<IdleClock> makeIdleClock(QDBusConnection sessionBus, const QString& display = {});

}  // namespace tavolune
