#include "app/platform/Compositor.hpp"
#include "app/platform/linux/Xcb.hpp"

#include <cstdlib>
#include <string>

namespace tavolune {
namespace {

class X11Compositor final : public Compositor {
 public:
  X11Compositor(xcb_connection_t* c, int screen) : c_(c), selection_(xcb::atom(c, "_NET_WM_CM_S" + std::to_string(screen))) {}
  bool isActive() const override {
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, selection_), nullptr), &std::free);
    return reply && reply->owner != XCB_NONE;
  }

 private:
  xcb_connection_t* c_;
  xcb_atom_t selection_;
};

class NoCompositor final : public Compositor {
 public:
  bool isActive() const override { return false; }
};

}  // namespace

std::unique_ptr<Compositor> makeCompositor() {
  if (auto* c = xcb::qtConnection()) return std::make_unique<X11Compositor>(c, 0);
  return std::make_unique<NoCompositor>();
}

}  // namespace tavolune
