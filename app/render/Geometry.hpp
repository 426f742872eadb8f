#pragma once

#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QSizeF>

#include <optional>

namespace tavolune {

// A rectangle in drawing coordinates with the origin at the bottom left and
// y growing upwards, the convention every layout in app/render is written in.
// Qt paints y-down: convert with toQt(canvasHeight) or paint through
// yUp(painter, height).
struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  double minX() const { return x; }
  double minY() const { return y; }
  double maxX() const { return x + width; }
  double maxY() const { return y + height; }
  double midX() const { return x + width / 2; }
  double midY() const { return y + height / 2; }

  bool isFinite() const;
  // Negative sizes flipped to positive, as Core Graphics reads them.
  Rect standardized() const;
  Rect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }
  Rect grownBy(double d) const { return insetBy(-d, -d); }
  // The smallest rectangle with whole-number edges that contains this one.
  Rect integral() const;
  // This rectangle in a y-down canvas of the given height.
  QRectF toQt(double canvasHeight) const { return {x, canvasHeight - y - height, width, height}; }
  // The same numbers as a QRectF, for a painter already turned y-up.
  QRectF logical() const { return {x, y, width, height}; }

  friend bool operator==(const Rect&, const Rect&) = default;
};

namespace geometry {

// True for a finite number above zero: the only sizes and ratios worth drawing.
bool isPositive(double v);
// A pixel size truncated toward zero; none when either side is not finite,
// comes out at zero or less, or is beyond what the raster engine can paint.
std::optional<QSize> truncatedPixelSize(QSizeF size);
// The largest side length we paint (the raster engine's coordinate limit).
inline constexpr int maxPixelSide = 32767;
// Turns the painter so that Rect coordinates paint where they mean to.
void yUp(QPainter& painter, double canvasHeight);
// A new transparent bitmap in the format all our drawing uses; null on failure.
QImage newCanvas(QSize size);
// The same, filled with a colour instead.
QImage newCanvas(QSize size, const QColor& fill);
// Draws an image stretched into target (device coordinates) at high quality:
// large reductions are averaged first rather than sampled.
void drawImageHighQuality(QPainter& painter, const QRectF& target, const QImage& image);

}  // namespace geometry
}  // namespace tavolune
