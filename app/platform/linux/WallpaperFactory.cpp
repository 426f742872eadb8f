#include "app/platform/WallpaperBackend.hpp"
#include "app/platform/linux/GnomeWallpaper.hpp"
#include "app/platform/linux/PlasmaWallpaper.hpp"
#include "app/platform/linux/RootWallpaper.hpp"
#include "app/platform/linux/XfceWallpaper.hpp"

namespace tavolune {

std::unique_ptr<WallpaperBackend> makeWallpaperBackend(SystemLog& log, const QString& folder, QObject* parent) {
  const QStringList desktops =
      qEnvironmentVariable("XDG_CURRENT_DESKTOP").toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts);
  auto has = [&](std::initializer_list<const char*> names) {
    for (const char* n : names) {
      if (desktops.contains(QLatin1String(n))) return true;
    }
    return false;
  };
  if (has({"kde"})) return std::make_unique<PlasmaWallpaper>(log, QDBusConnection::sessionBus(), parent);
  if (has({"xfce"})) return std::make_unique<XfceWallpaper>(log, QDBusConnection::sessionBus(), parent);
  if (has({"x-cinnamon", "cinnamon"})) {
    return std::make_unique<GnomeWallpaper>(log, folder, GnomeWallpaper::cinnamon(), parent);
  }
  if (has({"mate"})) return std::make_unique<GnomeWallpaper>(log, folder, GnomeWallpaper::mate(), parent);
  if (has({"gnome", "ubuntu", "budgie", "unity", "pantheon", "gnome-flashback", "gnome-classic"})) {
    return std::make_unique<GnomeWallpaper>(log, folder, GnomeWallpaper::gnome(), parent);
  }
  return std::make_unique<RootWallpaper>(log, parent);
}

}  // namespace tavolune
