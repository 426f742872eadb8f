#include "app/render/SVGDrawing.hpp"

#include <librsvg/rsvg.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tavolune::svgdrawing {
namespace {

bool positive(double v) { return std::isfinite(v) && v > 0; }

// The document's shape: its intrinsic size, else its view box for a
// relative or missing width and height.
bool intrinsicSize(RsvgHandle* handle, double& w, double& h) {
  if (rsvg_handle_get_intrinsic_size_in_pixels(handle, &w, &h)) return positive(w) && positive(h);
  gboolean hasW = false, hasH = false, hasBox = false;
  RsvgLength lw{}, lh{};
  RsvgRectangle box{};
  rsvg_handle_get_intrinsic_dimensions(handle, &hasW, &lw, &hasH, &lh, &hasBox, &box);
  if (!hasBox) return false;
  w = box.width;
  h = box.height;
  return positive(w) && positive(h);
}

// librsvg reports cairo's failed allocations only in its error text.
bool outOfMemory(cairo_t* cr, const GError* error) {
  if (cairo_status(cr) == CAIRO_STATUS_NO_MEMORY) return true;
  return error && error->message &&
         (std::strstr(error->message, "NoMemory") != nullptr || std::strstr(error->message, "out of memory") != nullptr);
}

}  // namespace

Drawing drawing(const unsigned char* data, std::size_t size, int maxPixel, const Canvas& canvas) {
  if (maxPixel <= 0 || size == 0 || !data) return Drawing::failed;
  GError* error = nullptr;
  RsvgHandle* handle = rsvg_handle_new_from_data(data, gsize(size), &error);
  if (!handle) {
    g_clear_error(&error);
    return Drawing::failed;
  }
  Drawing drawn = Drawing::failed;
  double w = 0, h = 0;
  if (intrinsicSize(handle, w, h)) {
    const double scale = maxPixel / std::max(w, h);
    const double pw = std::max(1.0, std::round(w * scale));
    const double ph = std::max(1.0, std::round(h * scale));
    if (pw <= maxSide && ph <= maxSide && pw * ph * 4 <= maxDecodedBytes) {
      const int width = int(pw), height = int(ph);
      const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
      unsigned char* pixels = stride == width * 4 ? canvas(width, height, stride) : nullptr;
      cairo_surface_t* surface =
          pixels ? cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride) : nullptr;
      if (surface && cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_t* cr = cairo_create(surface);
        const RsvgRectangle viewport{0, 0, pw, ph};
        if (rsvg_handle_render_document(handle, cr, &viewport, &error)) {
          drawn = Drawing::drawn;
        } else if (outOfMemory(cr, error)) {
          drawn = Drawing::outOfMemory;
        }
        g_clear_error(&error);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
      }
      if (surface) cairo_surface_destroy(surface);
    }
  }
  g_object_unref(handle);
  return drawn;
}

}  // namespace tavolune::svgdrawing
