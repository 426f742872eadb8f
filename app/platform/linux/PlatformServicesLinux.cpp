#include "app/platform/PlatformServices.hpp"

#include "app/platform/linux/NetworkUpdateFeed.hpp"
#include "app/platform/linux/Syslog.hpp"
#include "app/platform/linux/XdgAutostart.hpp"

namespace tavolune {

PlatformServices PlatformServices::linuxDesktop(std::string executable) {
  PlatformServices services;
  services.log = std::make_unique<Syslog>();
  services.autostart = std::make_unique<XdgAutostart>(std::move(executable));
  services.updateFeed = std::make_unique<NetworkUpdateFeed>();
  return services;
}

}  // namespace tavolune
