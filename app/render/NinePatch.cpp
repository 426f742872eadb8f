#include "app/render/NinePatch.hpp"

#include "app/render/DevicePixels.hpp"

#include <algorithm>

namespace tavolune::NinePatch {
namespace {

constexpr int band = 48;

// Stretched in bands of a few dozen rows: Qt hands a taller drawing's rows
// to its painting threads, and waking them costs more than the copy.
void stretch(QPainter& painter, const QRect& target, const QImage& picture, const QRect& source) {
  if (target.isEmpty()) return;
  if (target.height() <= band) {
    painter.drawImage(target, picture, source);
    return;
  }
  for (int y = target.top(); y <= target.bottom(); y += band) {
    painter.drawImage(QRect(target.left(), y, target.width(), std::min(band, target.bottom() + 1 - y)), picture,
                      source);
  }
}

}  // namespace

bool draw(QPainter& painter, const QRect& target, const QImage& picture, int corner, bool middle) {
  const int w = picture.width(), h = picture.height();
  if (corner <= 0 || w != 2 * corner + 1 || h != 2 * corner + 1 || target.width() < 2 * corner + 1 ||
      target.height() < 2 * corner + 1)
    return false;
  const int x0 = target.left(), y0 = target.top();
  const int x1 = target.right() + 1 - corner, y1 = target.bottom() + 1 - corner;
  const int midW = x1 - x0 - corner, midH = y1 - y0 - corner;
  const int c = corner;
  painter.save();
  const qreal dpr = DevicePixels::ratio(painter);
  painter.setTransform(QTransform::fromScale(1 / dpr, 1 / dpr));
  // Repeating one row or column must not blend in its neighbours.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QPoint(x0, y0), picture, QRect(0, 0, c, c));
  painter.drawImage(QPoint(x1, y0), picture, QRect(c + 1, 0, c, c));
  painter.drawImage(QPoint(x0, y1), picture, QRect(0, c + 1, c, c));
  painter.drawImage(QPoint(x1, y1), picture, QRect(c + 1, c + 1, c, c));
  painter.drawImage(QRect(x0 + c, y0, midW, c), picture, QRect(c, 0, 1, c));
  painter.drawImage(QRect(x0 + c, y1, midW, c), picture, QRect(c, c + 1, 1, c));
  stretch(painter, QRect(x0, y0 + c, c, midH), picture, QRect(0, c, c, 1));
  stretch(painter, QRect(x1, y0 + c, c, midH), picture, QRect(c + 1, c, c, 1));
  if (middle) {
    // One colour: filled, in bands, costs less than stretching a pixel.
    const QColor colour = QColor::fromRgba(qUnpremultiply(picture.pixel(c, c)));
    for (int y = y0 + c; y < y1; y += band) painter.fillRect(QRect(x0 + c, y, midW, std::min(band, y1 - y)), colour);
  }
  painter.restore();
  return true;
}

}  // namespace tavolune::NinePatch
