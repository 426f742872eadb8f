#include "app/platform/SessionPlatform.hpp"

#include <gtest/gtest.h>

namespace tavolune {
namespace {

TEST(SessionPlatform, WaylandWithAnXDisplayRunsOnXcbUnlessTheUserChose) {
  struct Row {
    const char* name;
    SessionEnvironment session;
    QString platform;
  };
  const QString x = QStringLiteral(":0"), w = QStringLiteral("wayland-0");
  const QString wayland = QStringLiteral("wayland"), x11 = QStringLiteral("x11");
  const Row rows[] = {
      {"Wayland with XWayland", {wayland, w, x, {}}, QStringLiteral("xcb")},
      {"Wayland named in capitals", {QStringLiteral("Wayland"), w, x, {}}, QStringLiteral("xcb")},
      {"Wayland display without a session type", {{}, w, x, {}}, QStringLiteral("xcb")},
      {"Wayland session type without its display", {wayland, {}, x, {}}, QStringLiteral("xcb")},
      {"Wayland without XWayland", {wayland, w, {}, {}}, {}},
      {"the user chose Wayland", {wayland, w, x, QStringLiteral("wayland")}, {}},
      {"the user chose xcb", {wayland, w, x, QStringLiteral("xcb")}, {}},
      {"X11 session", {x11, {}, x, {}}, {}},
      {"X11 session, no display", {x11, {}, {}, {}}, {}},
      {"nothing known (a tty)", {{}, {}, {}, {}}, {}},
      {"X display only", {{}, {}, x, {}}, {}},
  };
  for (const Row& row : rows) EXPECT_EQ(qtPlatformFor(row.session), row.platform) << row.name;
}

}  // namespace
}  // namespace tavolune
