#pragma once
// The chrome of floating bars: a capsule of translucent window colour with a
// hairline white border at 8 % and a soft shadow (black 25 %, 16 px radius,
// 6 px down). It adds no padding: callers pad their content. GUI thread only.

#include <QWidget>

namespace tavolune {

class FloatingBar final : public QWidget {
  Q_OBJECT
 public:
  static constexpr double borderOpacity = 0.08;
  static constexpr double shadowOpacity = 0.25;
  static constexpr double shadowRadius = 16;
  static constexpr double shadowOffset = 6;

  explicit FloatingBar(QWidget* parent = nullptr);
  // The capsule's fill: the window colour, slightly translucent.
  static QColor material(const QPalette& palette);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace tavolune
