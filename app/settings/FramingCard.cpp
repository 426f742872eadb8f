#include "app/settings/FramingCard.hpp"

#include "app/qt/Convert.hpp"

#include <QLinearGradient>
#include <QPainter>

namespace tavolune {

FramingCard::FramingCard(Framing framing, QWidget* parent)
    : SettingsCard(qt::str(label(framing)), parent),
      framing_(framing) {}

void FramingCard::paintArt(QPainter& painter, const QRectF& area, Framing framing) {
  painter.fillRect(area, QColor::fromRgbF(0.16f, 0.16f, 0.16f));
  QSizeF art = area.size();
  if (framing == Framing::fit) art = QSizeF(53, 80);
  if (framing == Framing::passePartout) art = QSizeF(40, 60);
  QRectF rect(QPointF(), art);
  rect.moveCenter(area.center());
  QLinearGradient gradient(rect.topLeft(), rect.bottomRight());
  gradient.setColorAt(0, QColor::fromRgbF(0.47f, 0.32f, 0.95f));
  gradient.setColorAt(1, QColor::fromRgbF(1.0f, 0.45f, 0.42f));
  painter.fillRect(rect, gradient);
}

void FramingCard::paintPicture(QPainter& painter, const QRectF& area) { paintArt(painter, area, framing_); }

}  // namespace tavolune
