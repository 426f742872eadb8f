#include "app/components/LoadingPlaceholder.hpp"

#include "app/render/RoundedPicture.hpp"

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
  // A grid shows dozens of these a frame while it scrolls.
  RoundedPicture::paint(painter, shape, cornerRadius, fill);
}

void LoadingPlaceholder::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paint(p, rect(), aspect_, palette());
}

}  // namespace tavolune
