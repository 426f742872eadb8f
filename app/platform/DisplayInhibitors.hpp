#pragma once
// Whether another application keeps the display awake (a video player, a
// presentation), in which case the screen saver must not start. GUI thread
// only; asking never blocks: the answer arrives later on the GUI thread.

#include <functional>

class QObject;

namespace tavolune {

class DisplayInhibitors {
 public:
  virtual ~DisplayInhibitors() = default;
  // Asks the system; done(true) when some other process holds an inhibition
  // of idleness. done runs later on the GUI thread, unless context is gone.
  // Checks asked for while one runs share its answer.
  virtual void check(QObject* context, std::function<void(bool inhibited)> done) = 0;
  // The last answer; false before the first.
  virtual bool lastKnown() const = 0;
};

}  // namespace tavolune
