#pragma once
// The system log: the two lines the program ever logs (the desktop picture
// could not be set; the login item could not be changed). Thread-safe.

#include <string_view>

namespace tavolune {

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  // One line; the implementation puts the product name in front.
  virtual void error(std::string_view message) = 0;
};

}  // namespace tavolune
