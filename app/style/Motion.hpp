#pragma once
// The motion kit: springs given as response and damping fraction (a damped
// harmonic oscillator of unit mass: stiffness (2π/response)², damping
// 4π·fraction/response), eased curves, an animated value driven by Qt's
// shared animation timer, and helpers that fade, scale and move widgets or
// painted items with them. An animated value runs only while it moves, and
// not at all while its widget is hidden or the desktop asks for reduced
// motion: movements then land at once and fades stay short. GUI thread only.

#include <QAbstractAnimation>
#include <QColor>
#include <QGraphicsEffect>
#include <QPixmap>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <functional>

namespace tavolune {

class PowerSources;

struct Spring {
  double response = 0.55;  // seconds: the period without damping
  double dampingFraction = 0.825;

  struct Sample {
    double x;  // displacement from rest
    double v;  // velocity, per second
  };
  // The displacement and velocity t seconds after starting at x0 with v0.
  Sample at(double t, double x0, double v0 = 0) const;
  // When the motion from a unit displacement at rest stays within eps of rest.
  double settleTime(double eps = 0.001) const;
};

enum class Ease { linear, in, out, inOut };

struct Curve {
  enum class Kind { spring, timed };
  Kind kind = Kind::timed;
  Spring spring{};
  double duration = 0.35;  // seconds, timed only
  Ease ease = Ease::inOut;

  static Curve springOf(double response, double dampingFraction) {
    return {.kind = Kind::spring, .spring = {response, dampingFraction}};
  }
  static Curve timed(double seconds, Ease ease) { return {.kind = Kind::timed, .duration = seconds, .ease = ease}; }
};

// Progress 0…1 of an eased curve at a fraction 0…1 of its time.
double eased(Ease ease, double fraction);

// What changes: a movement (position, size, scale) or a fade (opacity).
enum class MotionKind { movement, fade };

// The desktop's reduce-motion wish, process-wide.
class MotionPreferences final : public QObject {
  Q_OBJECT
 public:
  static constexpr double reducedFadeSeconds = 0.15;

  static MotionPreferences& shared();
  bool reduced() const { return reduced_; }
  void setReduced(bool reduced);
  // Follows the power sources' animation reading from now on.
  void follow(const PowerSources& power);
  // Whether a motion of a widget should play now: motion not reduced for
  // movements, and the widget (when given) visible in a window not minimized.
  static bool playsFor(const QWidget* owner);

 signals:
  void reducedChanged(bool reduced);

 private:
  bool reduced_ = false;
};

// One animated number. animateTo() starts from where the value is, with the
// velocity it has, so a new target mid-way bends the motion without a jump.
class MotionValue final : public QAbstractAnimation {
  Q_OBJECT
 public:
  explicit MotionValue(double value = 0, QObject* parent = nullptr);

  // Without an owner the value moves whether or not anything shows it.
  void setOwner(QWidget* owner) { owner_ = owner; }
  void animateTo(double target, const Curve& curve, MotionKind kind = MotionKind::movement);
  // Lands at once; a running motion stops.
  void jumpTo(double value);
  // Pushes the value with a velocity; a spring brings it back to its target
  // (a bounce). Nothing moves where motion is reduced.
  void nudge(double velocity, const Curve& curve);

  double value() const { return value_; }
  double target() const { return target_; }
  double velocity() const { return velocity_; }
  bool isMoving() const { return state() == Running; }

  int duration() const override { return -1; }

 signals:
  void valueChanged(double value);
  void settled();

 protected:
  void updateCurrentTime(int ms) override;

 private:
  void land();

  QPointer<QWidget> owner_;
  double value_;
  double target_;
  double velocity_ = 0;
  Curve curve_{};
  double from_ = 0;      // the value at the start of this motion
  double fromV_ = 0;     // its velocity then
};

namespace motion {

inline double lerp(double a, double b, double t) { return a + (b - a) * t; }
QRectF lerp(const QRectF& a, const QRectF& b, double t);
// Each channel, alpha too, part way from a to b.
QColor mix(const QColor& a, const QColor& b, double t);
// A rectangle scaled about its centre.
QRectF scaledAbout(const QRectF& r, double scale);

}  // namespace motion

// Draws a widget with an opacity, a scale about its centre and an offset.
// At rest (1, 1, 0) it draws the widget as is.
class ScaleFadeEffect final : public QGraphicsEffect {
  Q_OBJECT
 public:
  using QGraphicsEffect::QGraphicsEffect;
  void set(double opacity, double scale, QPointF offset = {});
  // How far the offset may reach while it moves: the drawn area is set once
  // (growing it repaints the whole parent).
  void setReach(QPointF reach);
  // A second offset, for a move of the widget's place that its layout does
  // not make (the layout keeps it where it lands), with its own reach.
  void setShift(QPointF shift);
  void setShiftReach(QPointF reach);
  double opacity() const { return opacity_; }
  double scale() const { return scale_; }
  QPointF shift() const { return shift_; }
  QPointF shiftReach() const { return shiftReach_; }

 protected:
  void draw(QPainter* painter) override;
  // A moved widget draws beyond its own rectangle.
  QRectF boundingRectFor(const QRectF& rect) const override {
    const QRectF r = rect.united(rect.translated(reach_));
    return r.united(r.translated(shiftReach_));
  }

 private:
  double opacity_ = 1;
  double scale_ = 1;
  QPointF offset_;
  QPointF reach_;
  QPointF shift_;
  QPointF shiftReach_;
};

// A count that rolls to its new value: the digits that change slide up and
// fade out as the new ones slide up into place (counting up, the way a
// numeric text transition shows it). Painted by its owner.
class RollingNumber {
 public:
  explicit RollingNumber(QWidget* owner);
  void set(long long value, const Curve& curve);
  void jumpTo(long long value);
  long long value() const { return to_; }
  bool isRolling() const { return progress_.isMoving(); }
  // Right-aligned and vertically centred in the rectangle, in the painter's font and pen.
  void paint(QPainter& painter, const QRect& rect) const;

 private:
  QString from_;
  long long to_ = 0;
  MotionValue progress_{1};
};

// Widget motions. Each returns at once; with motion reduced or the widget
// hidden the end state shows at once (fades run briefly).
namespace motion {

// Fades and scales a widget in from (opacity 0, scale) or, with entering
// false, out to it; the effect is removed at the end, and done runs then.
void scaleFade(QWidget* widget, bool entering, double scale, const Curve& curve, QPointF offset = {},
               std::function<void()> done = {});
// A still copy of the widget as it is now, left in its place over its
// parent, fading and scaling out, deleted at the end.
void leaveAsSnapshot(QWidget* widget, double scale, const Curve& curve, QPointF offset = {});
// The same entrance played by a still copy of the widget, which is drawn
// once: for widgets dear to draw. The widget itself stays shown but out of
// its parent's sight until the copy has arrived.
void enterAsSnapshot(QWidget* widget, double scale, const Curve& curve, QPointF offset = {});
// Moves a widget; while its copy enters, only where it will land changes.
void place(QWidget* widget, QPoint pos);
// Moves a widget to a geometry with a curve; a new target mid-way retargets.
void moveTo(QWidget* widget, const QRect& geometry, const Curve& curve);

}  // namespace motion

}  // namespace tavolune
