#pragma once
// Power readings the test sets. GUI thread only.

#include "app/platform/PowerSources.hpp"

namespace tavolune::testsupport {

class FakePowerSources final : public PowerSources {
 public:
  PowerReadings readings() const override { return readings_; }
  void refresh() override { ++refreshes; }
  void set(PowerReadings readings) {
    readings_ = readings;
    emit readingsChanged();
  }

  int refreshes = 0;

 private:
  PowerReadings readings_;
};

}  // namespace tavolune::testsupport
