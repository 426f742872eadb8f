#pragma once
// Records the lines written to the system log. Thread-safe.

#include <mutex>
#include <string>
#include <vector>

#include "app/platform/SystemLog.hpp"

namespace tavolune::testsupport {

class FakeSystemLog final : public SystemLog {
 public:
  void error(std::string_view message) override {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(message);
  }
  std::vector<std::string> lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
};

}  // namespace tavolune::testsupport
