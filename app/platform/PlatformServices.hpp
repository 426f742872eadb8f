#pragma once
// The platform services of one process: main() builds them once and hands
// references to the controllers, which never build or look up a service
// themselves. Built and destroyed on the GUI thread; building blocks briefly
// (connections to the X server and the buses).

#include "app/platform/ActiveWindow.hpp"
#include "app/platform/AutostartService.hpp"
#include "app/platform/Compositor.hpp"
#include "app/platform/DesktopWindows.hpp"
#include "app/platform/DisplayInhibitors.hpp"
#include "app/platform/DisplaySource.hpp"
#include "app/platform/IdleClock.hpp"
#include "app/platform/MachineInfo.hpp"
#include "app/platform/PowerSources.hpp"
#include "app/platform/SessionWatch.hpp"
#include "app/platform/SystemLog.hpp"
#include "app/platform/TrayHostWatch.hpp"
#include "app/platform/UrlLauncher.hpp"
#include "app/platform/UpdateFeed.hpp"
#include "app/platform/WallpaperBackend.hpp"
#include "app/platform/WindowCoverage.hpp"
#include "app/platform/WorkspaceWatch.hpp"
#include "app/render/SVGRasterizer.hpp"

#include <QString>

#include <memory>
#include <string>

namespace tavolune {

struct PlatformServices {
  std::unique_ptr<SystemLog> log;
  std::unique_ptr<AutostartService> autostart;
  std::unique_ptr<UpdateFeed> updateFeed;
  std::unique_ptr<DisplaySource> displays;
  std::unique_ptr<SessionWatch> session;
  std::unique_ptr<PowerSources> power;
  std::unique_ptr<WindowCoverage> coverage;
  std::unique_ptr<WallpaperBackend> wallpaper;
  std::unique_ptr<DesktopWindows> desktopWindows;
  std::unique_ptr<Compositor> compositor;
  std::unique_ptr<WorkspaceWatch> workspace;
  std::unique_ptr<IdleClock> idleClock;
  std::unique_ptr<DisplayInhibitors> inhibitors;
  std::unique_ptr<ActiveWindow> activeWindow;
  std::unique_ptr<MachineInfo> machine;
  std::unique_ptr<TrayHostWatch> trayHost;
  std::unique_ptr<UrlLauncher> urls;
  // Shared with the image pipeline's work on the pool, which may outlive these.
  std::shared_ptr<SVGRasterizer> svg;

  // The Linux services; executable is the program the login entry starts,
  // wallpaperFolder takes the pictures desktops that need a file read.
  // Needs the application object.
  static PlatformServices linuxDesktop(std::string executable, const QString& wallpaperFolder);
};

}  // namespace tavolune
