#pragma once
// A focused window the test sets; records the windows asked to be
// activated. GUI thread only.

#include "app/platform/ActiveWindow.hpp"

#include <vector>

namespace tavolune::testsupport {

class FakeActiveWindow final : public ActiveWindow {
 public:
  std::optional<FocusedWindow> focused() override { return focus; }
  void activate(std::uint32_t window) override { activated.push_back(window); }

  std::optional<FocusedWindow> focus;
  std::vector<std::uint32_t> activated;
};

}  // namespace tavolune::testsupport
