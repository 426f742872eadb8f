#include "app/components/LoadingPlaceholder.hpp"

#include <QCache>
#include <QImage>

#include <algorithm>
#include <cmath>

namespace tavolune {

LoadingPlaceholder::LoadingPlaceholder(std::optional<double> aspect, QWidget* parent)
    : QWidget(parent), aspect_(aspect) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LoadingPlaceholder::setAspect(std::optional<double> aspect) {
  aspect_ = aspect;
  update();
}

QRectF LoadingPlaceholder::fitted(const QRectF& area, std::optional<double> aspect) {
  const double ratio = aspect && std::isfinite(*aspect) && *aspect > 0 ? *aspect : 1.0;
  double w = area.width(), h = area.height();
  if (w / ratio > h) {
    w = h * ratio;
  } else {
    h = w / ratio;
  }
  return {area.center().x() - w / 2, area.center().y() - h / 2, w, h};
}

void LoadingPlaceholder::paint(QPainter& painter, const QRectF& area, std::optional<double> aspect,
                               const QPalette& palette) {
  QColor fill = palette.color(QPalette::WindowText);
  fill.setAlphaF(float(fillOpacity));
  const QRectF shape = fitted(area, aspect);
  const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
  const int w = std::max(1, int(std::lround(shape.width() * dpr)));
  const int h = std::max(1, int(std::lround(shape.height() * dpr)));
  // Large ones (a preview's) are drawn as shapes, and so is one drawn turned or scaled.
  if (painter.transform().type() > QTransform::TxTranslate || w > 640 || h > 640) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(shape, cornerRadius, cornerRadius);
    painter.restore();
    return;
  }
  // A grid shows dozens of these a frame while it scrolls. Filling a
  // translucent antialiased shape hands its spans to Qt's painting threads
  // (a wake-up each time); a finished picture of each size is one copy.
  static QCache<std::pair<quint64, int>, QImage> pictures(8 * 1024);  // KiB, far more than one picture
  const std::pair key((quint64(quint16(w)) << 48) | (quint64(quint16(h)) << 32) | fill.rgba(), int(std::lround(dpr * 100)));
  QImage* picture = pictures.object(key);
  if (!picture) {
    picture = new QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    picture->fill(Qt::transparent);
    QPainter p(picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0, 0, w, h), cornerRadius * dpr, cornerRadius * dpr);
    p.end();
    picture->setDevicePixelRatio(dpr);
    pictures.insert(key, picture, std::max<qsizetype>(1, picture->sizeInBytes() / 1024));
  }
  painter.drawImage(shape.topLeft(), *picture);
}

void LoadingPlaceholder::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paint(p, rect(), aspect_, palette());
}

}  // namespace tavolune
