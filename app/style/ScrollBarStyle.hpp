#pragma once
// A thin scroll bar without arrows or groove: only a rounded handle, which
// darkens under the pointer. The grid scrolls every frame of a fling, and
// the platform style's gradients and arrows cost a fifth of such a frame.
// Lays itself over the application's style: as the application's style,
// or for the widgets given it.

#include <QProxyStyle>

namespace tavolune {

class ScrollBarStyle final : public QProxyStyle {
  Q_OBJECT
 public:
  static constexpr int extent = 11;
  static constexpr int minHandle = 24;

  explicit ScrollBarStyle(QObject* parent = nullptr);

  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
  QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                       const QWidget* widget = nullptr) const override;
  void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                          const QWidget* widget = nullptr) const override;
};

}  // namespace tavolune
