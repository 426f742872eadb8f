#pragma once

#include "app/render/Geometry.hpp"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <cstddef>

namespace tavolune {

// Soft drop shadows of rectangles: a blurred alpha mask, computed small and
// stretched, kept in a little cache keyed by its size so that redrawing the
// same layout costs no blur.
namespace Shadow {

// Box-blurs an 8-bit alpha image in place, three passes per axis (close to a
// Gaussian of sigma sqrt(radius * (radius + 1))).
void boxBlur(QImage& alphaMask, int radius);

// A blurred rectangle mask: a (width x height) block of full alpha with
// `pad` empty pixels on every side, blurred with `radius`; its corners
// rounded by `corner` pixels. Cached.
QImage rectangleMask(int width, int height, int pad, int radius, int corner = 0);

// Paints the shadow that filling `shape` would cast, in the painter's current
// y-up coordinates: offset (dx, dy) and blur in those units, black at alpha.
// Paints nothing for a non-finite or empty shape.
void drawRectShadow(QPainter& painter, const Rect& shape, double dx, double dy, double blur, double alpha);

// The same for a capsule (a rectangle whose short sides are half circles)
// in the painter's own y-down coordinates, with a Gaussian blur of `sigma`.
void drawCapsuleShadow(QPainter& painter, const QRectF& shape, QPointF offset, double sigma, double alpha);

std::size_t cachedMaskCount();
void clearMaskCache();

}  // namespace Shadow
}  // namespace tavolune
