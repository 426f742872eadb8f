#pragma once
// A session whose lock and sleep the test sets. GUI thread only.

#include "app/platform/SessionWatch.hpp"

namespace tavolune::testsupport {

class FakeSessionWatch final : public SessionWatch {
 public:
  bool locked() const override { return locked_; }
  bool asleep() const override { return asleep_; }
  void refresh() override { ++refreshes; }

  // Reports like a real source: the signal fires even when nothing changed.
  void setLocked(bool locked) {
    locked_ = locked;
    emit lockedChanged(locked);
  }
  void setAsleep(bool asleep) {
    asleep_ = asleep;
    emit asleepChanged(asleep);
  }
  // Before the policy starts: no signal.
  void presetLocked(bool locked) { locked_ = locked; }

  int refreshes = 0;

 private:
  bool locked_ = false;
  bool asleep_ = false;
};

}  // namespace tavolune::testsupport
