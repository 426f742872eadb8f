#pragma once
// A finished picture of a small shape stretched to any size: its corners
// copied, its middle row and column repeated. The shapes that vary only in
// size (a shadow, a rounded fill) then need no new picture per size. GUI
// thread only.

#include <QImage>
#include <QPainter>
#include <QRect>

namespace tavolune::NinePatch {

// Draws `picture` over `target` (in device pixels, whatever the painter's
// transform): the `corner` device pixels of each side as they are, the
// picture's middle row and column stretched between them. False, drawing
// nothing, when the target is smaller than the two corners of a side or the
// picture has no middle. Without `middle` the part between the corners and
// sides is left out (what the caller draws over it anyway).
bool draw(QPainter& painter, const QRect& target, const QImage& picture, int corner, bool middle = true);

}  // namespace tavolune::NinePatch
