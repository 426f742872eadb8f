#pragma once
// An autostart entry in memory that can be told to refuse changes. Thread-safe.

#include "app/platform/AutostartService.hpp"

#include <mutex>
#include <optional>
#include <string>
#include <stdexcept>

namespace tavolune::testsupport {

class FakeAutostartService final : public AutostartService {
 public:
  LoginItemStatus status() const override {
    std::lock_guard lock(mutex_);
    return status_;
  }
  void setEnabled(bool enabled) override {
    std::lock_guard lock(mutex_);
    if (refusal_) throw std::runtime_error(*refusal_);
    status_ = enabled ? LoginItemStatus::enabled : LoginItemStatus::notRegistered;
  }
  void refuse(std::string why) {
    std::lock_guard lock(mutex_);
    refusal_ = std::move(why);
  }

 private:
  mutable std::mutex mutex_;
  LoginItemStatus status_ = LoginItemStatus::notRegistered;
  std::optional<std::string> refusal_;
};

}  // namespace tavolune::testsupport
