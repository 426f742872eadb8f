#pragma once
// An idle count the test sets. GUI thread only.

#include "app/platform/IdleClock.hpp"

namespace tavolune::testsupport {

class FakeIdleClock final : public IdleClock {
 public:
  double secondsSinceLastInput() override {
    ++reads;
    return seconds;
  }

  double seconds = 0;
  int reads = 0;
};

}  // namespace tavolune::testsupport
