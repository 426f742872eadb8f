#include "app/components/FloatingBar.hpp"

#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

namespace tavolune {

FloatingBar::FloatingBar(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  auto* shadow = new QGraphicsDropShadowEffect(this);
  shadow->setBlurRadius(shadowRadius * 2);  // Qt's blur radius spans both sides
  shadow->setOffset(0, shadowOffset);
  shadow->setColor(QColor(0, 0, 0, int(255 * shadowOpacity)));
  setGraphicsEffect(shadow);
}

QColor FloatingBar::material(const QPalette& palette) {
  QColor c = palette.color(QPalette::Window);
  c.setAlphaF(0.88);
  return c;
}

void FloatingBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = r.height() / 2;
  QPainterPath capsule;
  capsule.addRoundedRect(r, radius, radius);
  p.fillPath(capsule, material(palette()));
  QColor border(Qt::white);
  border.setAlphaF(borderOpacity);
  p.setPen(QPen(border, 1));
  p.drawPath(capsule);
}

}  // namespace tavolune
