#include "app/menubar/PopoverButton.hpp"

#include "app/menubar/PopoverPaint.hpp"

namespace tavolune {

PopoverButton::PopoverButton(QWidget* parent) : QAbstractButton(parent) {
  replace_.setParent(this);
  replace_.setOwner(this);
  connect(&replace_, &MotionValue::valueChanged, this, qOverload<>(&QWidget::update));
}

void PopoverButton::replacingSymbol(const std::string& old) {
  oldSymbol_ = old;
  replace_.jumpTo(0);
  replace_.animateTo(1, Curve::timed(replaceSeconds, Ease::inOut), MotionKind::fade);
}

void PopoverButton::paintSymbol(QPainter& p, const QRectF& square, const std::string& symbol, const QColor& ink,
                                double scale) const {
  const double t = replace_.value();
  const int side = int(square.width());
  auto draw = [&](const std::string& name, double opacity, double s) {
    if (opacity <= 0) return;
    p.save();
    p.setOpacity(p.opacity() * opacity);
    p.setRenderHint(QPainter::SmoothPixmapTransform, s != 1);
    const QPixmap pm = PopoverPaint::symbol(name, side, ink, devicePixelRatioF());
    p.drawPixmap(motion::scaledAbout(square, s), pm, QRectF(pm.rect()));
    p.restore();
  };
  if (t < 1 && !oldSymbol_.empty()) draw(oldSymbol_, 1 - t, scale * motion::lerp(1, 0.5, t));
  draw(symbol, t, scale * motion::lerp(0.5, 1, t));
}

}  // namespace tavolune
