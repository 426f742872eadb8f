#pragma once
// A display's rectangles in Qt's coordinates: Qt keeps each screen's origin
// in device pixels and divides sizes and offsets by the screen's scale.
// Thread-safe (pure functions).

#include "app/platform/DisplaySource.hpp"

#include <QRect>

namespace tavolune {

inline QRect logicalRect(const QRect& device, const Display& display) {
  const double scale = display.scale > 0 ? display.scale : 1.0;
  const QPoint origin = display.geometry.topLeft();
  const QPoint offset = device.topLeft() - origin;
  return QRect(origin + QPoint(qRound(offset.x() / scale), qRound(offset.y() / scale)),
               QSize(qRound(device.width() / scale), qRound(device.height() / scale)));
}

}  // namespace tavolune
