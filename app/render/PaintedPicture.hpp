#pragma once
// Small painted shapes kept as finished pictures. Qt hands an antialiased
// shape's spans to its painting threads, a wake-up each time, and strokes
// and ellipses are costly to fill; a grid draws dozens of the same shapes a
// frame, and copying a picture costs far less. GUI thread only.

#include <QPainter>
#include <QRectF>

#include <functional>

namespace tavolune::PaintedPicture {

// What `paint` draws within `area` (the painter's coordinates), from a
// picture kept under `kind` and `look` (everything that changes the drawing
// but its place) and drawn with the painter's opacity. The picture is made
// at the place `area` lies between device pixels, so it matches drawing the
// shapes there. False, drawing nothing, when the painter turns or scales or
// the area is large: the caller draws the shapes itself then.
bool draw(QPainter& painter, const QRectF& area, quint64 kind, quint64 look,
          const std::function<void(QPainter&)>& paint);

}  // namespace tavolune::PaintedPicture
