#include "app/menubar/PillButton.hpp"

#include "app/components/PlainText.hpp"
#include "app/menubar/PopoverPaint.hpp"
#include "app/style/Theme.hpp"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace tavolune {
namespace {

constexpr int iconSide = 12;
constexpr int gap = 4;
constexpr int padX = 10;
constexpr int padY = 5;

}  // namespace

PillButton::PillButton(const QString& title, std::string symbol, bool active, const QString& help, QWidget* parent)
    : PopoverButton(parent) {
  setFont(PopoverPaint::font(12, QFont::Medium));
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  for (MotionValue* v : {&tint_, &bounce_, &retitle_}) {
    v->setParent(this);
    v->setOwner(this);
    connect(v, &MotionValue::valueChanged, this, qOverload<>(&QWidget::update));
  }
  setText(title);
  symbol_ = std::move(symbol);
  active_ = active;
  tint_.jumpTo(active ? 1 : 0);
  setToolTip(plaintext::toolTip(help));
}

void PillButton::set(const QString& title, std::string symbol, bool active, const QString& help, bool animated) {
  if (title == text() && symbol == symbol_ && active == active_ && plaintext::toolTip(help) == toolTip()) return;
  const bool resized = title != text();
  if (!animated) {
    retitle_.jumpTo(1);
    tint_.jumpTo(active ? 1 : 0);
    bounce_.jumpTo(1);
    settleSymbol();
  } else if (resized && !text().isEmpty()) {
    oldTitle_ = text();
    retitle_.jumpTo(0);
    retitle_.animateTo(1, Curve::timed(replaceSeconds, Ease::inOut), MotionKind::fade);
  }
  if (animated && symbol != symbol_) replacingSymbol(symbol_);
  if (animated && active != active_) {
    tint_.animateTo(active ? 1 : 0, Curve::springOf(0.2, 0.85), MotionKind::fade);
    bounce_.nudge(5, Curve::springOf(0.3, 0.5));
  }
  setText(title);
  symbol_ = std::move(symbol);
  active_ = active;
  setToolTip(plaintext::toolTip(help));
  if (resized) updateGeometry();
  update();
}

QSize PillButton::sizeHint() const {
  const QFontMetrics m(font());
  return {padX + iconSide + gap + m.horizontalAdvance(text()) + padX, padY + std::max(m.height(), iconSide) + padY};
}

void PillButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor accent = Theme::accent(palette());
  const QColor primary = PopoverPaint::primary(palette());
  const double on = std::clamp(tint_.value(), 0.0, 1.0);
  const QColor fill = motion::mix(PopoverPaint::withAlpha(primary, isHovered() && isEnabled() ? 0.14 : 0.07),
                          PopoverPaint::withAlpha(accent, 0.16), on);
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath capsule;
  capsule.addRoundedRect(r, r.height() / 2, r.height() / 2);
  p.fillPath(capsule, fill);

  const QColor ink = PopoverPaint::withAlpha(motion::mix(primary, accent, on), isEnabled() ? 1.0 : 0.35);
  const QSize hint = sizeHint();
  const int x = (width() - hint.width()) / 2 + padX;
  paintSymbol(p, QRectF(x, (height() - iconSide) / 2, iconSide, iconSide), symbol_, ink, bounce_.value());
  p.setPen(ink);
  p.setFont(font());
  const QRect line(x + iconSide + gap, 0, width() - x - iconSide - gap, height());
  // The title interpolates: the old one fades out as the new one fades in.
  const double t = retitle_.value();
  if (t < 1) {
    p.setOpacity(1 - t);
    p.drawText(line, Qt::AlignVCenter | Qt::AlignLeft, oldTitle_);
    p.setOpacity(t);
  }
  p.drawText(line, Qt::AlignVCenter | Qt::AlignLeft, text());
}

}  // namespace tavolune
