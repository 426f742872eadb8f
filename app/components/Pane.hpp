#pragma once
// A column set off from its neighbour: a faint tint over the window colour
// and a hairline along one edge (the sidebar's right, the inspector's
// left). GUI thread only.

#include "app/components/Divider.hpp"

#include <QPainter>
#include <QWidget>

namespace tavolune {

class Pane : public QWidget {
 public:
  explicit Pane(Qt::Edge edge, QWidget* parent = nullptr) : QWidget(parent), edge_(edge) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QColor tint = palette().color(QPalette::WindowText);
    tint.setAlphaF(0.03);
    p.fillRect(rect(), tint);
    const int x = edge_ == Qt::RightEdge ? width() - 1 : 0;
    p.fillRect(QRect(x, 0, 1, height()), Divider::color(palette()));
  }

 private:
  Qt::Edge edge_;
};

}  // namespace tavolune
