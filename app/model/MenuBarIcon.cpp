#include "app/model/MenuBarIcon.hpp"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace tavolune::MenuBarIcon {

QColor inkFor(const QPalette& palette) {
  return palette.color(QPalette::Window).lightness() < 128 ? QColor(0xF2, 0xF2, 0xF2) : QColor(0x20, 0x20, 0x20);
}

QImage draw(bool live, int pixels, const QColor& ink) {
  if (pixels <= 0) return {};
  QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  // The 18 x 16 point drawing, y down, centred in the square.
  const double scale = pixels / 18.0;
  p.translate(0, (pixels - 16 * scale) / 2);
  p.scale(scale, scale);

  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  p.drawRoundedRect(QRectF(1, 1, 16, 1.6), 0.8, 0.8);  // the rail

  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(ink, 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  p.drawLine(QPointF(9, 2.5), QPointF(5, 5.5));  // the wire
  p.drawLine(QPointF(9, 2.5), QPointF(13, 5.5));
  p.setPen(QPen(ink, 1.5));
  p.drawRoundedRect(QRectF(3.25, 5.75, 11.5, 9.5), 1.0, 1.0);  // the frame

  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  if (live) {
    p.drawRoundedRect(QRectF(5.25, 7.75, 7.5, 5.5), 0.4, 0.4);
  } else {
    p.drawEllipse(QRectF(6.1, 8.4, 2.2, 2.2));  // the sun
    QPainterPath hill;
    hill.moveTo(5.25, 13.25);
    hill.lineTo(5.25, 12.4);
    hill.cubicTo(8.2, 12.6, 9.6, 9.4, 12.75, 9.6);
    hill.lineTo(12.75, 13.25);
    hill.closeSubpath();
    p.drawPath(hill);
  }
  return image;
}

QIcon icon(bool live) {
  const QColor ink = inkFor(QGuiApplication::palette());
  QIcon out;
  for (int size : pixelSizes) out.addPixmap(QPixmap::fromImage(draw(live, size, ink)));
  return out;
}

}  // namespace tavolune::MenuBarIcon
