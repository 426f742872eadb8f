#include "app/platform/PlatformServices.hpp"

#include "app/platform/linux/IdleClockFactory.hpp"
#include "app/platform/linux/LinuxDisplayInhibitors.hpp"
#include "app/platform/linux/LinuxMachineInfo.hpp"
#include "app/platform/linux/LinuxPowerSources.hpp"
#include "app/platform/linux/LinuxSessionWatch.hpp"
#include "app/platform/linux/NetworkUpdateFeed.hpp"
#include "app/platform/linux/SpawnedSVGRasterizer.hpp"
#include "app/platform/linux/StatusNotifierTrayWatch.hpp"
#include "app/platform/linux/Syslog.hpp"
#include "app/platform/linux/X11ActiveWindow.hpp"
#include "app/platform/linux/X11DisplaySource.hpp"
#include "app/platform/linux/X11WindowCoverage.hpp"
#include "app/platform/linux/XdgAutostart.hpp"
#include "app/platform/linux/XdgUrlLauncher.hpp"

#include <QCoreApplication>
#include <QDBusConnection>

namespace tavolune {

PlatformServices PlatformServices::linuxDesktop(std::string executable, const QString& wallpaperFolder) {
  PlatformServices services;
  const QDBusConnection system = QDBusConnection::systemBus();
  const QDBusConnection session = QDBusConnection::sessionBus();
  services.log = std::make_unique<Syslog>();
  services.svg = std::make_shared<SpawnedSVGRasterizer>(SpawnedSVGRasterizer::besideProgram(executable));
  services.autostart = std::make_unique<XdgAutostart>(std::move(executable));
  services.updateFeed = std::make_unique<NetworkUpdateFeed>();
  services.displays = makeDisplaySource();
  services.session = std::make_unique<LinuxSessionWatch>(system, session);
  services.power = std::make_unique<LinuxPowerSources>(system, LinuxPowerSources::Options{});
  services.coverage = std::make_unique<X11WindowCoverage>();
  services.wallpaper = makeWallpaperBackend(*services.log, wallpaperFolder);
  services.desktopWindows = makeDesktopWindows();
  services.compositor = makeCompositor();
  services.workspace = makeWorkspaceWatch();
  services.idleClock = makeIdleClock(session);
  services.inhibitors = std::make_unique<LinuxDisplayInhibitors>(system, session);
  services.activeWindow = std::make_unique<X11ActiveWindow>(QString(), QCoreApplication::applicationPid());
  services.machine = std::make_unique<LinuxMachineInfo>();
  services.trayHost = std::make_unique<StatusNotifierTrayWatch>(session);
  services.urls = std::make_unique<XdgUrlLauncher>();
  return services;
}

}  // namespace tavolune
