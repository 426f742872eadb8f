#include "app/components/Spinner.hpp"

#include <QPainter>

namespace tavolune {

Spinner::Spinner(Size size, QWidget* parent) : QWidget(parent) {
  setFixedSize(int(size), int(size));
  timer_.setInterval(83);  // one turn a second
  connect(&timer_, &QTimer::timeout, this, [this] {
    step_ = (step_ + 1) % 12;
    update();
  });
}

void Spinner::showEvent(QShowEvent*) { timer_.start(); }
void Spinner::hideEvent(QHideEvent*) { timer_.stop(); }

void Spinner::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(width() / 2.0, height() / 2.0);
  const double r = width() / 2.0;
  QColor c = palette().color(QPalette::WindowText);
  for (int i = 0; i < 12; ++i) {
    c.setAlphaF(0.15 + 0.7 * double((i + 12 - step_) % 12) / 11.0);
    p.setPen(QPen(c, std::max(1.0, r / 4), Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0, -r * 0.45), QPointF(0, -r * 0.9));
    p.rotate(30);
  }
}

}  // namespace tavolune
