#pragma once
// Displays the test sets. GUI thread only.

#include "app/platform/DisplaySource.hpp"

namespace tavolune::testsupport {

class FakeDisplaySource final : public DisplaySource {
 public:
  std::vector<Display> displays() const override { return displays_; }
  void set(std::vector<Display> displays) {
    displays_ = std::move(displays);
    emit displaysChanged();
  }

 private:
  std::vector<Display> displays_;
};

}  // namespace tavolune::testsupport
