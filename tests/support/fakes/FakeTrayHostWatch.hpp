#pragma once
// A tray host the test starts and stops. GUI thread only.

#include "app/platform/TrayHostWatch.hpp"

namespace tavolune::testsupport {

class FakeTrayHostWatch final : public TrayHostWatch {
 public:
  bool available() const override { return available_; }
  void set(bool available) {
    available_ = available;
    emit availableChanged(available);
  }

 private:
  bool available_ = false;
};

}  // namespace tavolune::testsupport
