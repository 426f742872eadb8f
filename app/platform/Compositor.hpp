#pragma once
// Whether a compositing manager runs on the screen: without one, translucent
// windows show black where they should be clear, so such a window is cut to
// the part it paints fully. GUI thread only; one round trip to the window
// system per question.

#include <QRegion>

#include <memory>
#include <optional>

class QWidget;

namespace tavolune {

class Compositor {
 public:
  virtual ~Compositor() = default;
  virtual bool isActive() const = 0;
  // Cuts the window to `shape`, in device pixels from its top-left corner:
  // nothing outside it is drawn and what lies under the window shows there.
  // None gives the window its whole rectangle back.
  virtual void setShape(QWidget& window, const std::optional<QRegion>& shape) const = 0;
};

// X11's _NET_WM_CM_S selection and the shape extension; elsewhere never
// active, and shapes do nothing.
std::unique_ptr<Compositor> makeCompositor();

}  // namespace tavolune
