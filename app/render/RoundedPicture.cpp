#include "app/render/RoundedPicture.hpp"

#include "app/render/DevicePixels.hpp"
#include "app/render/NinePatch.hpp"
#include "app/render/PaintedPicture.hpp"

#include <QCache>

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

// A fill whose sides fall between device pixels is drawn to the nearest
// ones: stretched from one small picture, a fill of any size costs no new
// picture (a grid's placeholders take the size of each work's still).
bool stretchFill(QPainter& painter, const QRectF& rect, double radius, const QColor& color) {
  const QTransform& t = painter.transform();
  if (t.type() > QTransform::TxTranslate) return false;
  const qreal dpr = DevicePixels::ratio(painter);
  const QRect target = DevicePixels::sidesRounded(DevicePixels::of(painter, rect));
  const double r = std::max(0.0, radius * dpr);
  const int corner = int(std::ceil(r)) + 1;
  if (target.width() < 2 * corner + 1 || target.height() < 2 * corner + 1) return false;
  static QCache<quint64, QImage> pictures(64);
  const quint64 key = (quint64(color.rgba()) << 32) | quint64(std::lround(r * 4) & 0xffffffff);
  QImage* picture = pictures.object(key);
  if (!picture) {
    picture = new QImage(2 * corner + 1, 2 * corner + 1, QImage::Format_ARGB32_Premultiplied);
    picture->fill(Qt::transparent);
    QPainter p(picture);
    draw(p, QRectF(picture->rect()), r, color, 0);
    p.end();
    pictures.insert(key, picture);
  }
  return NinePatch::draw(painter, target, *picture, corner);
}

}  // namespace

void paint(QPainter& painter, const QRectF& rect, double radius, const QColor& color, double strokeWidth) {
  if (color.alpha() == 0 || rect.isEmpty()) return;
  if (strokeWidth <= 0 && stretchFill(painter, rect, radius, color)) return;
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
