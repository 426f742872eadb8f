#pragma once
// The welcome window's icon and title block, painted: full with the two
// lines under the title, or compact once a collection was found, the
// change played with a spring (response 0.5, damping 0.85). Its entrance
// (scale, fade and a small rise; spring 0.7, 0.8, 0.1 s late) runs once
// each time it shows. GUI thread only.

#include "app/style/Motion.hpp"

#include <QTimer>
#include <QWidget>

#include <cmath>

namespace tavolune {

class WelcomeHeader final : public QWidget {
  Q_OBJECT
 public:
  static const QString title;
  static const QString tagline;
  static const QString description;

  explicit WelcomeHeader(QWidget* parent = nullptr);

  bool compact() const { return compact_; }
  void setCompact(bool compact);
  // 0 before the entrance, 1 after it.
  double appeared() const { return appeared_; }
  // Between the full and the compact form while the change plays.
  int iconSide() const { return int(std::lround(motion::lerp(104, 64, compactness_.value()))); }
  int titleSize() const { return int(std::lround(motion::lerp(40, 28, compactness_.value()))); }
  bool isMoving() const { return compactness_.isMoving() || entrance_.isMoving() || delay_.isActive(); }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QFont titleFont() const;
  QFont taglineFont() const;
  QFont descriptionFont() const;
  int spacing() const { return int(std::lround(motion::lerp(12, 8, compactness_.value()))); }

  bool compact_ = false;
  double appeared_ = 0;
  MotionValue entrance_{0};
  MotionValue compactness_{0};
  QTimer delay_;
};

}  // namespace tavolune
