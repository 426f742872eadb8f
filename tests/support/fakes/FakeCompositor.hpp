#pragma once
// A compositing manager that is there or not, as the test says; keeps the
// shape each window was last given. GUI thread only.

#include "app/platform/Compositor.hpp"

#include <map>

namespace tavolune::testsupport {

class FakeCompositor final : public Compositor {
 public:
  explicit FakeCompositor(bool active = true) : active(active) {}
  bool isActive() const override { return active; }
  void setShape(QWidget& window, const std::optional<QRegion>& shape) const override { shapes[&window] = shape; }
  bool active;
  mutable std::map<const QWidget*, std::optional<QRegion>> shapes;
};

}  // namespace tavolune::testsupport
