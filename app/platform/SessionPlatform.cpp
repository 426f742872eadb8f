#include "app/platform/SessionPlatform.hpp"

#include <QtGlobal>

namespace tavolune {

SessionEnvironment SessionEnvironment::ofProcess() {
  return {qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"),
          qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("QT_QPA_PLATFORM")};
}

QString qtPlatformFor(const SessionEnvironment& session) {
  if (!session.userPlatform.isEmpty()) return {};
  const bool wayland =
      session.sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0 || !session.waylandDisplay.isEmpty();
  return wayland && !session.display.isEmpty() ? QStringLiteral("xcb") : QString();
}

}  // namespace tavolune
