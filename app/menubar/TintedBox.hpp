#pragma once
// A box drawn as a rounded rectangle (radius 8) of one colour, for the
// popover's sync warning and notice; a clickable box reports a click
// anywhere on it. GUI thread only.

#include <QColor>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace tavolune {

class TintedBox final : public QWidget {
  Q_OBJECT
 public:
  TintedBox(QColor fill, bool clickable, QWidget* parent = nullptr)
      : QWidget(parent), fill_(fill), clickable_(clickable) {
    if (clickable_) setCursor(Qt::PointingHandCursor);
  }
  QColor fill() const { return fill_; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 8, 8);
    p.fillPath(shape, fill_);
  }
  void mousePressEvent(QMouseEvent* event) override {
    pressed_ = clickable_ && event->button() == Qt::LeftButton;
    event->setAccepted(clickable_);
  }
  void mouseReleaseEvent(QMouseEvent* event) override {
    const bool click = pressed_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->setAccepted(clickable_);
    if (click) emit clicked();
  }

 private:
  QColor fill_;
  bool clickable_;
  bool pressed_ = false;
};

}  // namespace tavolune
