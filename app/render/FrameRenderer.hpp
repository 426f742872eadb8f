#pragma once

#include "core/model/DisplayChoices.hpp"
#include "app/render/Geometry.hpp"

#include <QImage>
#include <QPainter>
#include <QSizeF>

#include <optional>

namespace tavolune {

// The gallery setting around a framed work: wall, light, shadows, moulding,
// mat and the cut edge. Sizes are in hundredths of the shorter side, so a
// preview and a full display look alike. Layouts are y-up (see Rect).
namespace FrameRenderer {

struct Layout {
  Rect art;    // where the artwork goes, whole pixels
  Rect outer;  // outer edge of the moulding
  Rect inner;  // inner edge of the moulding = outer edge of the mat
  friend bool operator==(const Layout&, const Layout&) = default;
};

// Where art, mat and moulding go in rect for an artwork of width/height
// ratio. A missing, non-finite or non-positive ratio takes the available
// area's own ratio; a non-finite rect gives an all-zero layout.
Layout layout(FrameStyle style, std::optional<double> ratio, const Rect& rect);

// Paints everything but the artwork. The painter must already be y-up over
// the canvas (geometry::yUp); bounds is the whole painted area.
void drawSurround(FrameStyle style, const Layout& layout, const Rect& bounds, QPainter& painter);

// Wall, frame and mat without the artwork, at a pixel size; null when the
// size truncates to nothing or is not finite.
QImage surround(FrameStyle style, std::optional<double> ratio, QSizeF pixelSize);

}  // namespace FrameRenderer
}  // namespace tavolune
