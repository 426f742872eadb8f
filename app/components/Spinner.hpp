#pragma once
// A small indeterminate progress indicator: twelve spokes turning, painted.
// It animates only while visible. GUI thread only.

#include <QTimer>
#include <QWidget>

namespace tavolune {

class Spinner final : public QWidget {
  Q_OBJECT
 public:
  enum class Size { mini = 12, small = 16 };
  explicit Spinner(Size size = Size::small, QWidget* parent = nullptr);
  bool isSpinning() const { return timer_.isActive(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QTimer timer_;
  int step_ = 0;
};

}  // namespace tavolune
