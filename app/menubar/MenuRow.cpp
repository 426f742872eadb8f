#include "app/menubar/MenuRow.hpp"

#include "app/menubar/MenuBarTexts.hpp"
#include "app/menubar/PopoverPaint.hpp"
#include "app/style/Theme.hpp"

#include <QPainter>
#include <QPainterPath>

namespace tavolune {
namespace {

constexpr int iconColumn = 18;
constexpr int iconSide = 14;
constexpr int spacing = 6;
constexpr int padX = 8;
constexpr int padY = 5;

}  // namespace

MenuRow::MenuRow(const QString& title, std::string symbol, std::optional<QString> shortcut, QWidget* parent)
    : PopoverButton(parent), symbol_(std::move(symbol)), shortcut_(std::move(shortcut)) {
  setText(title);
  setFont(PopoverPaint::font(13));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

std::optional<QString> MenuRow::shortcutHint() const {
  if (!shortcut_) return std::nullopt;
  return MenuBarTexts::shortcutHint(*shortcut_);
}

QSize MenuRow::sizeHint() const {
  const QFontMetrics m(font());
  int w = padX + iconColumn + spacing + m.horizontalAdvance(text()) + padX;
  if (auto hint = shortcutHint()) w += spacing + m.horizontalAdvance(*hint);
  return {w, padY + std::max(m.height(), iconSide) + padY};
}

void MenuRow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const bool lit = isHighlighted();
  if (lit) {
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 5, 5);
    p.fillPath(shape, PopoverPaint::withAlpha(Theme::accent(palette()), 0.85));
  }
  QColor ink = lit ? QColor(Qt::white) : PopoverPaint::primary(palette());
  if (!isEnabled()) ink = PopoverPaint::withAlpha(ink, 0.35);
  const int iconX = padX + (iconColumn - iconSide) / 2;
  p.drawPixmap(QRect(iconX, (height() - iconSide) / 2, iconSide, iconSide),
               PopoverPaint::symbol(symbol_, iconSide, ink, devicePixelRatioF()));
  const QRect textArea(padX + iconColumn + spacing, 0, width() - 2 * padX - iconColumn - spacing, height());
  p.setFont(font());
  if (auto hint = shortcutHint()) {
    QColor hintInk = PopoverPaint::tertiary(palette());
    if (lit) hintInk = PopoverPaint::withAlpha(Qt::white, 0.6);
    p.setPen(hintInk);
    p.drawText(textArea, Qt::AlignVCenter | Qt::AlignRight, *hint);
  }
  p.setPen(ink);
  p.drawText(textArea, Qt::AlignVCenter | Qt::AlignLeft, text());
}

}  // namespace tavolune
