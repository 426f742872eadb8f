#include "app/render/RoundedPicture.hpp"

#include "app/render/PaintedPicture.hpp"

#include <algorithm>
#include <cmath>

namespace tavolune::RoundedPicture {
namespace {

void draw(QPainter& p, const QRectF& rect, double radius, const QColor& color, double strokeWidth) {
  p.setRenderHint(QPainter::Antialiasing);
  if (strokeWidth > 0) {
    p.setPen(QPen(color, strokeWidth));
    p.setBrush(Qt::NoBrush);
  } else {
    p.setPen(Qt::NoPen);
    p.setBrush(color);
  }
  p.drawRoundedRect(rect, radius, radius);
}

}  // namespace

void paint(QPainter& painter, const QRectF& rect, double radius, const QColor& color, double strokeWidth) {
  if (color.alpha() == 0 || rect.isEmpty()) return;
  const double margin = strokeWidth / 2 + 1;
  const auto quarter = [](double v) { return quint64(std::clamp(std::lround(v * 4), 0L, 0xffffL)); };
  // Kind 1: rounded rectangles, with their size: two rectangles in one
  // area are not one picture.
  const quint64 look = (quint64(color.rgba()) << 32) | (quarter(radius) << 16) | quarter(strokeWidth);
  const bool drawn = PaintedPicture::draw(painter, rect.adjusted(-margin, -margin, margin, margin),
                                          (quint64(1) << 56) | (quarter(rect.width()) << 24) | quarter(rect.height()),
                                          look, [&](QPainter& p) { draw(p, rect, radius, color, strokeWidth); });
  if (!drawn) {
    painter.save();
    draw(painter, rect, radius, color, strokeWidth);
    painter.restore();
  }
}

}  // namespace tavolune::RoundedPicture
