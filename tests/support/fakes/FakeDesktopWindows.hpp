#pragma once
// Records which windows were put at which level. GUI thread only.

#include "app/platform/DesktopWindows.hpp"

#include <vector>

namespace tavolune::testsupport {

class FakeDesktopWindows final : public DesktopWindows {
 public:
  struct Call {
    enum Kind { prepare, shown, release } kind;
    const QWidget* window;
    WindowLevel level;
  };
  void prepare(QWidget& w, WindowLevel level) override { calls.push_back({Call::prepare, &w, level}); }
  bool shown(QWidget& w, WindowLevel level) override {
    calls.push_back({Call::shown, &w, level});
    return grabs;
  }
  void release(QWidget& w) override { calls.push_back({Call::release, &w, WindowLevel::saver}); }
  bool atDesktopLevel() const override { return desktopLevel; }

  int count(Call::Kind kind) const {
    int n = 0;
    for (const auto& c : calls) n += c.kind == kind;
    return n;
  }

  std::vector<Call> calls;
  bool grabs = true;
  bool desktopLevel = true;
};

}  // namespace tavolune::testsupport
