#include "app/platform/linux/Syslog.hpp"

#include <syslog.h>

#include <string>

namespace tavolune {

Syslog::Syslog() { openlog("Tavolune", LOG_PID, LOG_USER); }

Syslog::~Syslog() { closelog(); }

void Syslog::error(std::string_view message) {
  const std::string line = "Tavolune: " + std::string(message);
  syslog(LOG_ERR, "%s", line.c_str());
}

}  // namespace tavolune
