#pragma once
// Where a painter's drawing lands in device pixels: pictures made for their
// place are put on whole device pixels, not scaled by a fraction.

#include <QPaintDevice>
#include <QPainter>
#include <QRect>

#include <cmath>

namespace tavolune::DevicePixels {

inline qreal ratio(const QPainter& painter) {
  return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

// `rect`, in the painter's coordinates, in device pixels, unrounded.
inline QRectF of(const QPainter& painter, const QRectF& rect) {
  const QRectF logical = painter.transform().mapRect(rect);
  const qreal r = ratio(painter);
  return QRectF(logical.topLeft() * r, logical.size() * r);
}

// Each side to its nearest device pixel: a fill's edges stay where they were.
inline QRect sidesRounded(const QRectF& device) {
  return QRect(QPoint(int(std::lround(device.left())), int(std::lround(device.top()))),
               QPoint(int(std::lround(device.right())) - 1, int(std::lround(device.bottom())) - 1));
}

// The corner to its nearest device pixel and the size rounded on its own: a
// picture made for the size keeps it wherever it lies.
inline QRect cornerRounded(const QRectF& device) {
  return QRect(int(std::lround(device.x())), int(std::lround(device.y())), int(std::lround(device.width())),
               int(std::lround(device.height())));
}

}  // namespace tavolune::DevicePixels
