#include "app/style/CapsuleBadge.hpp"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace tavolune {

QFont badgeFont(int pixelSize) {
  QFont f = QGuiApplication::font();
  f.setPixelSize(pixelSize);
  f.setWeight(QFont::Bold);
  return f;
}

CapsuleBadge::CapsuleBadge(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void CapsuleBadge::setLook(Look look) {
  setFont(look.font);
  look_ = std::move(look);
  updateGeometry();
  update();
}

QSizeF CapsuleBadge::size(const Look& look) {
  QFontMetricsF fm(look.font);
  double width = fm.horizontalAdvance(look.text) + 2 * horizontalPadding;
  if (look.playMark) width += markSize + markSpacing;
  return {width, fm.height() + 2 * look.verticalPadding};
}

QSize CapsuleBadge::sizeHint() const {
  const QSizeF s = size(look_);
  return {static_cast<int>(std::ceil(s.width())), static_cast<int>(std::ceil(s.height()))};
}

void CapsuleBadge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  paint(p, rect(), look_);
}

void CapsuleBadge::paint(QPainter& p, const QRectF& r, const Look& look) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const double radius = r.height() / 2;
  p.setPen(Qt::NoPen);
  p.setBrush(look.background);
  p.drawRoundedRect(r, radius, radius);

  p.setPen(look.foreground);
  double x = r.x() + horizontalPadding;
  if (look.playMark) {
    // The play symbol at its own small size, centred on the text line.
    const double top = r.y() + (r.height() - markSize) / 2;
    QPainterPath triangle;
    triangle.moveTo(x, top);
    triangle.lineTo(x + markSize * 0.87, top + markSize / 2);
    triangle.lineTo(x, top + markSize);
    triangle.closeSubpath();
    p.fillPath(triangle, look.foreground);
    x += markSize + markSpacing;
  }
  p.setFont(look.font);
  p.drawText(QRectF(x, r.y(), r.right() - x - horizontalPadding, r.height()), Qt::AlignVCenter | Qt::AlignLeft,
             look.text);
  p.restore();
}

}  // namespace tavolune
