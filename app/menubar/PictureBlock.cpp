#include "app/menubar/PictureBlock.hpp"

#include "app/components/ArtworkImage.hpp"
#include "app/components/LoadingPlaceholder.hpp"
#include "app/menubar/NextChangeBar.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace tavolune {

PictureBlock::PictureBlock(ArtworkImage* image, QWidget* bar, QWidget* parent)
    : QWidget(parent), image_(image), bar_(bar) {
  image_->setParent(this);
  bar_->setParent(this);
  setFixedHeight(imageHeight + 2 * padding);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
  setToolTip(QStringLiteral("Open in the Library"));
  // The shadow follows the still's shape.
  connect(image_, &ArtworkImage::loadFinished, this, qOverload<>(&QWidget::update));
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
  QRectF art;
  if (const QImage still = image_->shownStill(); !still.isNull()) {
    art = LoadingPlaceholder::fitted(QRectF(image_->geometry()), double(still.width()) / still.height());
  }
  const qreal dpr = devicePixelRatioF();
  const QSize pixels = (QSizeF(size()) * dpr).toSize();
  if (drawn_.size() != pixels || drawnArt_ != art || drawnMatte_ != matte_) {
    drawn_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    drawn_.setDevicePixelRatio(dpr);
    drawn_.fill(Qt::transparent);
    QPainter p(&drawn_);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    p.fillPath(shape, matte_);
    QPainterPath edge;
    edge.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
    p.setPen(QPen(QColor(255, 255, 255, int(255 * 0.08)), 1));
    p.drawPath(edge);
    // A shadow 3 pixels down, fading out over 6 pixels, under the fitted still.
    if (!art.isEmpty()) {
      p.setPen(Qt::NoPen);
      constexpr int radius = 6;
      for (int i = radius; i >= 1; --i) {
        p.setBrush(QColor(0, 0, 0, int(255 * 0.4 / radius)));
        p.drawRoundedRect(art.translated(0, 3).adjusted(-i, -i, i, i), i, i);
      }
    }
    drawnArt_ = art;
    drawnMatte_ = matte_;
  }
  QPainter p(this);
  p.drawImage(QPointF(0, 0), drawn_);
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
