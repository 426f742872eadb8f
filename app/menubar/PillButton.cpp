#include "app/menubar/PillButton.hpp"

#include "app/components/PlainText.hpp"
#include "app/menubar/PopoverPaint.hpp"
#include "app/style/Theme.hpp"

#include <QPainter>
#include <QPainterPath>

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
  set(title, std::move(symbol), active, help);
}

void PillButton::set(const QString& title, std::string symbol, bool active, const QString& help) {
  if (title == text() && symbol == symbol_ && active == active_ && plaintext::toolTip(help) == toolTip()) return;
  const bool resized = title != text();
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
  QColor fill;
  if (active_) {
    fill = PopoverPaint::withAlpha(accent, 0.16);
  } else {
    fill = PopoverPaint::withAlpha(primary, isHovered() && isEnabled() ? 0.14 : 0.07);
  }
  const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath capsule;
  capsule.addRoundedRect(r, r.height() / 2, r.height() / 2);
  p.fillPath(capsule, fill);

  const QColor ink = PopoverPaint::withAlpha(active_ ? accent : primary, isEnabled() ? 1.0 : 0.35);
  const QSize hint = sizeHint();
  const int x = (width() - hint.width()) / 2 + padX;
  p.drawPixmap(QRect(x, (height() - iconSide) / 2, iconSide, iconSide),
               PopoverPaint::symbol(symbol_, iconSide, ink, devicePixelRatioF()));
  p.setPen(ink);
  p.setFont(font());
  p.drawText(QRect(x + iconSide + gap, 0, width() - x - iconSide - gap, height()), Qt::AlignVCenter | Qt::AlignLeft,
             text());
}

}  // namespace tavolune
