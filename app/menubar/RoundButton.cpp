#include "app/menubar/RoundButton.hpp"

#include "app/menubar/PopoverPaint.hpp"

#include <QPainter>

namespace tavolune {

RoundButton::RoundButton(std::string symbol, bool large, const QString& help, QWidget* parent)
    : PopoverButton(parent), symbol_(std::move(symbol)), large_(large) {
  setToolTip(help);
  setAccessibleName(help);
  setCursor(Qt::ArrowCursor);
  setFixedSize(sizeHint());
}

void RoundButton::setSymbol(std::string symbol, const QString& help, bool animated) {
  if (symbol == symbol_ && help == toolTip()) return;
  if (symbol != symbol_) {
    if (animated) {
      replacingSymbol(symbol_);
    } else {
      settleSymbol();
    }
  }
  symbol_ = std::move(symbol);
  setToolTip(help);
  setAccessibleName(help);
  update();
}

QSize RoundButton::sizeHint() const { return large_ ? QSize(44, 44) : QSize(34, 34); }

void RoundButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink = PopoverPaint::withAlpha(PopoverPaint::primary(palette()), isEnabled() ? 1.0 : 0.35);
  p.setPen(Qt::NoPen);
  p.setBrush(PopoverPaint::withAlpha(PopoverPaint::primary(palette()), isHovered() && isEnabled() ? 0.16 : 0.08));
  p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
  const int side = large_ ? 16 : 12;
  paintSymbol(p, QRectF((width() - side) / 2, (height() - side) / 2, side, side), symbol_, ink);
}

}  // namespace tavolune
