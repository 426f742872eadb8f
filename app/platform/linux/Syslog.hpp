#pragma once
// SystemLog on syslog(3), identity "Tavolune". Thread-safe; does not block
// beyond the local socket write.

#include "app/platform/SystemLog.hpp"

namespace tavolune {

class Syslog final : public SystemLog {
 public:
  Syslog();
  ~Syslog() override;
  void error(std::string_view message) override;
};

}  // namespace tavolune
