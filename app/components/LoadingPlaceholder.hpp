#pragma once
// The quiet grey rounded rectangle shown in an artwork's proportions while
// its still loads. A widget for layouts, and a paint function for painters
// that draw many at once. GUI thread only.

#include <QPainter>
#include <QPalette>
#include <QWidget>

#include <optional>

namespace tavolune {

class LoadingPlaceholder final : public QWidget {
  Q_OBJECT
 public:
  static constexpr double cornerRadius = 3;
  static constexpr double fillOpacity = 0.06;

  // aspect: width over height; none is square.
  explicit LoadingPlaceholder(std::optional<double> aspect = std::nullopt, QWidget* parent = nullptr);

  std::optional<double> aspect() const { return aspect_; }
  void setAspect(std::optional<double> aspect);

  // The rectangle of that aspect fitted and centred in `area`. A missing,
  // non-finite or non-positive aspect counts as square.
  static QRectF fitted(const QRectF& area, std::optional<double> aspect);
  static void paint(QPainter& painter, const QRectF& area, std::optional<double> aspect, const QPalette& palette);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::optional<double> aspect_;
};

}  // namespace tavolune
