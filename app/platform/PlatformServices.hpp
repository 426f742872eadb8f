#pragma once
// The platform services of one process: main() builds them once and hands
// references to the controllers, which never build or look up a service
// themselves. Built and destroyed on the GUI thread.

#include "app/platform/AutostartService.hpp"
#include "app/platform/SystemLog.hpp"
#include "app/platform/UpdateFeed.hpp"

#include <memory>
#include <string>

namespace tavolune {

struct PlatformServices {
  std::unique_ptr<SystemLog> log;
  std::unique_ptr<AutostartService> autostart;
  std::unique_ptr<UpdateFeed> updateFeed;

  // The Linux services; executable is the program the login entry starts.
  static PlatformServices linuxDesktop(std::string executable);
};

}  // namespace tavolune
