#include "app/components/RollingCountLabel.hpp"

#include <QPainter>

namespace tavolune {

RollingCountLabel::RollingCountLabel(QString suffix, QWidget* parent) : QLabel(parent), suffix_(std::move(suffix)) {
  setTextFormat(Qt::PlainText);
}

void RollingCountLabel::setCount(long long count) {
  if (counted_ && count == number_.value()) return;
  if (counted_) {
    number_.set(count, Curve::springOf(0.5, 0.85));
  } else {
    number_.jumpTo(count);
  }
  counted_ = true;
  setText(QString::number(count) + suffix_);
}

void RollingCountLabel::paintEvent(QPaintEvent* event) {
  if (!isRolling()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter p(this);
  p.setFont(font());
  p.setPen(palette().color(foregroundRole()));
  const QRect box = contentsRect();
  const int digits = fontMetrics().horizontalAdvance(QString::number(number_.value()));
  number_.paint(p, QRect(box.left(), box.top(), digits, box.height()));
  p.drawText(box.adjusted(digits, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, suffix_);
}

}  // namespace tavolune
