#pragma once
// Which Qt platform the program runs on. On a Wayland session with XWayland
// the program runs as an X11 client: desktop-level windows, window levels
// and covering windows exist only there (compositors honour the desktop
// window type of X clients). Idle time and the desktop picture still come
// from the desktop's own services. A platform the user set is kept. Pure;
// thread-safe.

#include <QString>

namespace tavolune {

struct SessionEnvironment {
  QString sessionType;     // XDG_SESSION_TYPE
  QString waylandDisplay;  // WAYLAND_DISPLAY
  QString display;         // DISPLAY
  QString userPlatform;    // QT_QPA_PLATFORM

  static SessionEnvironment ofProcess();
};

// The platform to set before the application object exists; empty leaves
// Qt's own choice.
QString qtPlatformFor(const SessionEnvironment& session);

}  // namespace tavolune
