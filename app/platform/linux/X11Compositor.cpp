#include "app/platform/Compositor.hpp"
#include "app/platform/linux/Xcb.hpp"

#include <QWidget>

#include <xcb/shape.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace tavolune {
namespace {

class X11Compositor final : public Compositor {
 public:
  X11Compositor(xcb_connection_t* c, int screen)
      : c_(c),
        selection_(xcb::atom(c, "_NET_WM_CM_S" + std::to_string(screen))),
        shapes_(xcb_get_extension_data(c, &xcb_shape_id) && xcb_get_extension_data(c, &xcb_shape_id)->present) {}

  bool isActive() const override {
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> reply(
        xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, selection_), nullptr), &std::free);
    return reply && reply->owner != XCB_NONE;
  }

  void setShape(QWidget& window, const std::optional<QRegion>& shape) const override {
    if (!shapes_) return;
    const auto id = static_cast<xcb_window_t>(window.winId());
    if (!shape) {
      xcb_shape_mask(c_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, id, 0, 0, XCB_NONE);
    } else {
      std::vector<xcb_rectangle_t> rects;
      rects.reserve(static_cast<std::size_t>(shape->rectCount()));
      for (const QRect& r : *shape) {
        rects.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                         static_cast<std::uint16_t>(r.width()), static_cast<std::uint16_t>(r.height())});
      }
      xcb_shape_rectangles(c_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, id, 0, 0,
                           static_cast<std::uint32_t>(rects.size()), rects.data());
    }
    xcb_flush(c_);
  }

 private:
  xcb_connection_t* c_;
  xcb_atom_t selection_;
  bool shapes_;
};

class NoCompositor final : public Compositor {
 public:
  bool isActive() const override { return false; }
  void setShape(QWidget&, const std::optional<QRegion>&) const override {}
};

}  // namespace

std::unique_ptr<Compositor> makeCompositor() {
  if (auto* c = xcb::qtConnection()) return std::make_unique<X11Compositor>(c, 0);
  return std::make_unique<NoCompositor>();
}

}  // namespace tavolune
