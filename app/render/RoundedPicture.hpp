#pragma once
// Translucent rounded rectangles, filled or outlined, drawn from a finished
// picture per size and colour. Filling a tall antialiased shape hands its
// spans to Qt's painting threads, a wake-up each time; a grid draws dozens
// of them a frame, and copying a picture costs less. GUI thread only.

#include <QColor>
#include <QPainter>
#include <QRectF>

namespace tavolune::RoundedPicture {

// Fills `rect` rounded by `radius`, or with `strokeWidth` > 0 strokes the
// outline a pen of that width draws centred on it, in the painter's
// coordinates and opacity. A fill's sides fall on the nearest device
// pixels. Shapes drawn turned or scaled, and large outlines, are drawn as
// shapes.
void paint(QPainter& painter, const QRectF& rect, double radius, const QColor& color, double strokeWidth = 0);

}  // namespace tavolune::RoundedPicture
