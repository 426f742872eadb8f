#pragma once
// A compositing manager that is there or not, as the test says. GUI thread only.

#include "app/platform/Compositor.hpp"

namespace tavolune::testsupport {

class FakeCompositor final : public Compositor {
 public:
  explicit FakeCompositor(bool active = true) : active(active) {}
  bool isActive() const override { return active; }
  bool active;
};

}  // namespace tavolune::testsupport
