#include "app/shell/CapsuleBadge.hpp"

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

QSize CapsuleBadge::sizeHint() const {
  QFontMetricsF fm(font());
  double width = fm.horizontalAdvance(look_.text) + 2 * horizontalPadding;
  if (look_.playMark) width += markSize + markSpacing;
  const double height = fm.height() + 2 * look_.verticalPadding;
  return {static_cast<int>(std::ceil(width)), static_cast<int>(std::ceil(height))};
}

void CapsuleBadge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF r = rect();
  const double radius = r.height() / 2;
  p.setPen(Qt::NoPen);
  p.setBrush(look_.background);
  p.drawRoundedRect(r, radius, radius);

  p.setPen(look_.foreground);
  double x = horizontalPadding;
  if (look_.playMark) {
    // The play symbol at its own small size, centred on the text line.
    const double top = (r.height() - markSize) / 2;
    QPainterPath triangle;
    triangle.moveTo(x, top);
    triangle.lineTo(x + markSize * 0.87, top + markSize / 2);
    triangle.lineTo(x, top + markSize);
    triangle.closeSubpath();
    p.fillPath(triangle, look_.foreground);
    x += markSize + markSpacing;
  }
  p.setFont(font());
  p.drawText(QRectF(x, 0, r.width() - x - horizontalPadding, r.height()), Qt::AlignVCenter | Qt::AlignLeft, look_.text);
}

}  // namespace tavolune
