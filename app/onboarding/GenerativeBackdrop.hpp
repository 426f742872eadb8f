#pragma once
// The slowly turning rings behind the welcome window: 18 arcs from a fixed
// generator, the same on every run, drawn from the wall-clock time at most
// ten times a second and only while shown; repaints in between (widgets
// animating above it) reuse the last frame. Ignores the mouse. GUI thread
// only.

#include <QColor>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <vector>

class QPainter;

namespace tavolune {

class GenerativeBackdrop final : public QWidget {
  Q_OBJECT
 public:
  struct Ring {
    double radius;  // points
    double start;   // radians at time zero
    double span;    // radians
    double speed;   // radians per second, either way
    bool accent;
  };

  static constexpr std::chrono::milliseconds frameInterval{100};

  explicit GenerativeBackdrop(QWidget* parent = nullptr);

  // The fixed list, generated once per process.
  static const std::vector<Ring>& rings();
  static const std::array<QColor, 4>& palette();
  // 1 - radius / 440, never below 0.
  static double fade(double radius);
  // Seconds since 1 January 2001, the time the rings turn by.
  static double now();
  static void paint(QPainter& painter, const QSizeF& size, double t, const QColor& primary);

  bool isAnimating() const { return timer_.isActive(); }
  int frameTimerInterval() const { return timer_.interval(); }

 signals:
  // A new frame was drawn (not a repaint of the last one).
  void framePainted();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QTimer timer_;
  QPixmap frame_;
  double time_ = now();
};

}  // namespace tavolune
