#pragma once
// An inhibition the test sets, answered on the next turn of the event loop
// like the real one. GUI thread only.

#include "app/platform/DisplayInhibitors.hpp"

#include <QMetaObject>
#include <QObject>

namespace tavolune::testsupport {

class FakeDisplayInhibitors final : public DisplayInhibitors {
 public:
  void check(QObject* context, std::function<void(bool)> done) override {
    ++checks;
    QMetaObject::invokeMethod(
        context,
        [this, done = std::move(done), answer = inhibited] {
          last_ = answer;
          done(answer);
        },
        Qt::QueuedConnection);
  }
  bool lastKnown() const override { return last_; }

  bool inhibited = false;
  int checks = 0;

 private:
  bool last_ = false;
};

}  // namespace tavolune::testsupport
