#pragma once
// A plain widget painted as a rounded card: a fill and, when given, a one
// pixel outline, both taken from the widget's palette at each paint so the
// card follows the window's appearance. GUI thread only.

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QWidget>

#include <functional>
#include <optional>

namespace tavolune {

class RoundedCard final : public QWidget {
 public:
  using Colour = std::function<QColor(const QPalette&)>;
  using Outline = std::function<std::optional<QColor>(const QPalette&)>;

  RoundedCard(double radius, Colour fill, Outline outline = {}, QWidget* parent = nullptr)
      : QWidget(parent), radius_(radius), fill_(std::move(fill)), outline_(std::move(outline)) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const std::optional<QColor> line = outline_ ? outline_(palette()) : std::nullopt;
    // An outlined card is inset half a pixel so its line falls on whole pixels.
    const QRectF shape = line ? QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5) : QRectF(rect());
    QPainterPath path;
    path.addRoundedRect(shape, radius_, radius_);
    p.fillPath(path, fill_(palette()));
    if (line) {
      p.setPen(QPen(*line, 1));
      p.drawPath(path);
    }
  }

 private:
  double radius_;
  Colour fill_;
  Outline outline_;
};

}  // namespace tavolune
