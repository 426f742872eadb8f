#include "app/menubar/PictureBlock.hpp"

#include "app/menubar/NextChangeBar.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tavolune {

PictureBlock::PictureBlock(QWidget* image, QWidget* bar, QWidget* parent)
    : QWidget(parent), image_(image), bar_(bar) {
  image_->setParent(this);
  bar_->setParent(this);
  setFixedHeight(imageHeight + 2 * padding);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
  setToolTip(QStringLiteral("Open in the Library"));
}

void PictureBlock::setMatte(const QColor& color) {
  if (color == matte_) return;
  matte_ = color;
  update();
}

void PictureBlock::resizeEvent(QResizeEvent*) {
  image_->setGeometry(padding, padding, width() - 2 * padding, imageHeight);
  const int barArea = NextChangeBar::barHeight + NextChangeBar::insetBottom;
  bar_->setGeometry(0, height() - barArea, width(), barArea);
  bar_->raise();
}

void PictureBlock::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  QPainterPath shape;
  shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
  p.fillPath(shape, matte_);
  QPainterPath edge;
  edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
  p.setPen(QPen(QColor(255, 255, 255, int(255 * 0.08)), 1));
  p.drawPath(edge);
}

void PictureBlock::mousePressEvent(QMouseEvent* event) {
  pressed_ = event->button() == Qt::LeftButton;
  event->accept();
}

void PictureBlock::mouseReleaseEvent(QMouseEvent* event) {
  const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
  pressed_ = false;
  event->accept();
  if (click) emit clicked();
}

}  // namespace tavolune
