#pragma once
// The orange "TEST" capsule that marks a test build. It shows wherever it is
// placed; it has no condition of its own. GUI thread only.

#include "app/style/CapsuleBadge.hpp"

namespace tavolune {

class TestVersionBadge final : public CapsuleBadge {
  Q_OBJECT
 public:
  explicit TestVersionBadge(QWidget* parent = nullptr);
};

}  // namespace tavolune
