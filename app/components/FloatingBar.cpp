#include "app/components/FloatingBar.hpp"

#include "app/render/RoundedPicture.hpp"
#include "app/render/Shadow.hpp"

#include <QGraphicsEffect>
#include <QPainter>

namespace tavolune {
namespace {

// The capsule's shadow from a blurred mask kept per size: the bar repaints
// with whatever moves under it, and a blur of the bar each time (Qt's drop
// shadow effect) cost more than the rest of such a frame.
class CapsuleShadow final : public QGraphicsEffect {
 public:
  static constexpr double sigma = FloatingBar::shadowRadius / 2;

  using QGraphicsEffect::QGraphicsEffect;
  QRectF boundingRectFor(const QRectF& rect) const override {
    const double reach = 3 * sigma;
    return rect.united(rect.adjusted(-reach, -reach, reach, reach).translated(0, FloatingBar::shadowOffset));
  }

 protected:
  void draw(QPainter* painter) override {
    Shadow::drawCapsuleShadow(*painter, sourceBoundingRect(Qt::LogicalCoordinates),
                              QPointF(0, FloatingBar::shadowOffset), sigma, FloatingBar::shadowOpacity);
    drawSource(painter);
  }
};

}  // namespace

FloatingBar::FloatingBar(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
  setGraphicsEffect(new CapsuleShadow(this));
}

QColor FloatingBar::material(const QPalette& palette) {
  QColor c = palette.color(QPalette::Window);
  c.setAlphaF(0.88);
  return c;
}

void FloatingBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // From kept pictures: the bar repaints with whatever moves under it, and
  // an antialiased path wakes Qt's painting threads each time.
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const double radius = r.height() / 2;
  RoundedPicture::paint(p, r, radius, material(palette()));
  QColor border(Qt::white);
  border.setAlphaF(borderOpacity);
  RoundedPicture::paint(p, r, radius, border, 1);
}

}  // namespace tavolune
