#pragma once
// Whether a compositing manager runs on the screen: without one, translucent
// windows show black where they should be clear. GUI thread only; one round
// trip to the window system per question.

#include <memory>

namespace tavolune {

class Compositor {
 public:
  virtual ~Compositor() = default;
  virtual bool isActive() const = 0;
};

// X11's _NET_WM_CM_S selection; false where Qt does not run on X11.
std::unique_ptr<Compositor> makeCompositor();

}  // namespace tavolune
