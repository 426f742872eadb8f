#pragma once
// A window stack the test sets, answered on the next turn of the event loop
// like the real one. GUI thread only.

#include "app/platform/WindowCoverage.hpp"

#include <QMetaObject>

namespace tavolune::testsupport {

class FakeWindowCoverage final : public WindowCoverage {
 public:
  void fetch(QObject* receiver, std::function<void(WindowStack)> done) override {
    ++fetches;
    QMetaObject::invokeMethod(
        receiver, [done = std::move(done), stack = stack] { done(stack); }, Qt::QueuedConnection);
  }

  WindowStack stack;
  int fetches = 0;
};

}  // namespace tavolune::testsupport
