#include "app/style/Motion.hpp"

#include "app/platform/PowerSources.hpp"

#include <QFontMetricsF>
#include <QCoreApplication>
#include <QLayout>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tavolune {

Spring::Sample Spring::at(double t, double x0, double v0) const {
  const double w0 = 2 * std::numbers::pi / std::max(response, 1e-3);
  const double z = std::max(dampingFraction, 0.0);
  if (z < 1) {
    const double wd = w0 * std::sqrt(1 - z * z);
    const double a = x0;
    const double b = (v0 + z * w0 * x0) / wd;
    const double e = std::exp(-z * w0 * t);
    const double c = std::cos(wd * t);
    const double s = std::sin(wd * t);
    return {e * (a * c + b * s), e * (-z * w0 * (a * c + b * s) + wd * (b * c - a * s))};
  }
  if (z == 1) {
    const double b = v0 + w0 * x0;
    const double e = std::exp(-w0 * t);
    return {(x0 + b * t) * e, (b - w0 * (x0 + b * t)) * e};
  }
  const double root = std::sqrt(z * z - 1);
  const double r1 = -w0 * (z - root);
  const double r2 = -w0 * (z + root);
  const double c2 = (v0 - r1 * x0) / (r2 - r1);
  const double c1 = x0 - c2;
  return {c1 * std::exp(r1 * t) + c2 * std::exp(r2 * t), r1 * c1 * std::exp(r1 * t) + r2 * c2 * std::exp(r2 * t)};
}

double Spring::settleTime(double eps) const {
  double last = 0;
  for (int ms = 0; ms <= 20'000; ++ms) {
    if (std::abs(at(ms / 1000.0, 1).x) > eps) last = (ms + 1) / 1000.0;
  }
  return last;
}

double eased(Ease ease, double f) {
  f = std::clamp(f, 0.0, 1.0);
  switch (ease) {
    case Ease::linear: return f;
    case Ease::in: return f * f * f;
    case Ease::out: return 1 - std::pow(1 - f, 3);
    case Ease::inOut: return f < 0.5 ? 4 * f * f * f : 1 - std::pow(-2 * f + 2, 3) / 2;
  }
  return f;
}

MotionPreferences& MotionPreferences::shared() {
  static MotionPreferences* prefs = new MotionPreferences;  // lives as long as the process
  return *prefs;
}

void MotionPreferences::setReduced(bool reduced) {
  if (reduced == reduced_) return;
  reduced_ = reduced;
  emit reducedChanged(reduced);
}

void MotionPreferences::follow(const PowerSources& power) {
  setReduced(power.readings().reduceMotion);
  connect(&power, &PowerSources::readingsChanged, this,
          [this, p = &power] { setReduced(p->readings().reduceMotion); });
}

namespace {

bool shows(const QWidget* w) { return w->isVisible() && !w->window()->isMinimized(); }

}  // namespace

bool MotionPreferences::playsFor(const QWidget* owner) {
  return !shared().reduced() && (!owner || shows(owner));
}

MotionValue::MotionValue(double value, QObject* parent)
    : QAbstractAnimation(parent), value_(value), target_(value) {}

void MotionValue::jumpTo(double value) {
  target_ = value;
  land();
}

void MotionValue::land() {
  const bool was = isMoving();
  stop();
  velocity_ = 0;
  const bool moved = value_ != target_;
  value_ = target_;
  if (moved) emit valueChanged(value_);
  if (was || moved) emit settled();
}

void MotionValue::animateTo(double target, const Curve& curve, MotionKind kind) {
  target_ = target;
  const bool reduced = MotionPreferences::shared().reduced();
  if ((kind == MotionKind::movement && reduced) || (owner_ && !shows(owner_))) {
    land();
    return;
  }
  if (value_ == target_ && velocity_ == 0) {
    stop();
    return;
  }
  curve_ = curve;
  if (reduced) {
    const double seconds = curve.kind == Curve::Kind::timed ? curve.duration : MotionPreferences::reducedFadeSeconds;
    curve_ = Curve::timed(std::min(seconds, MotionPreferences::reducedFadeSeconds), Ease::inOut);
  }
  from_ = value_;
  fromV_ = velocity_;
  stop();
  start();
}

void MotionValue::nudge(double velocity, const Curve& curve) {
  if (MotionPreferences::shared().reduced() || (owner_ && !shows(owner_))) return;
  curve_ = curve;
  from_ = value_;
  fromV_ = velocity_ + velocity;
  stop();
  start();
}

void MotionValue::updateCurrentTime(int ms) {
  if (state() != Running) return;
  if (owner_ && !shows(owner_)) {
    land();  // nothing shows it: no frames for it
    return;
  }
  const double t = ms / 1000.0;
  if (curve_.kind == Curve::Kind::spring) {
    const Spring::Sample s = curve_.spring.at(t, from_ - target_, fromV_);
    const double w0 = 2 * std::numbers::pi / std::max(curve_.spring.response, 1e-3);
    const double reach = std::max({std::abs(from_ - target_), std::abs(fromV_) / w0, 1e-9});
    const double eps = std::max(reach * 1e-3, 1e-4);
    if (std::abs(s.x) < eps && std::abs(s.v) < eps * w0) {
      land();
      return;
    }
    value_ = target_ + s.x;
    velocity_ = s.v;
  } else {
    const double f = curve_.duration <= 0 ? 1 : t / curve_.duration;
    if (f >= 1) {
      land();
      return;
    }
    const double next = from_ + (target_ - from_) * eased(curve_.ease, f);
    const double dt = 1.0 / 120;
    const double ahead = from_ + (target_ - from_) * eased(curve_.ease, std::min(1.0, f + dt / curve_.duration));
    velocity_ = (ahead - next) / dt;
    value_ = next;
  }
  emit valueChanged(value_);
}

namespace motion {

QRectF lerp(const QRectF& a, const QRectF& b, double t) {
  return {lerp(a.x(), b.x(), t), lerp(a.y(), b.y(), t), lerp(a.width(), b.width(), t), lerp(a.height(), b.height(), t)};
}

QColor mix(const QColor& a, const QColor& b, double t) {
  return QColor::fromRgbF(float(lerp(a.redF(), b.redF(), t)), float(lerp(a.greenF(), b.greenF(), t)),
                          float(lerp(a.blueF(), b.blueF(), t)), float(lerp(a.alphaF(), b.alphaF(), t)));
}

QRectF scaledAbout(const QRectF& r, double scale) {
  const QPointF c = r.center();
  const QSizeF s = r.size() * scale;
  return {c.x() - s.width() / 2, c.y() - s.height() / 2, s.width(), s.height()};
}

}  // namespace motion

void ScaleFadeEffect::set(double opacity, double scale, QPointF offset) {
  opacity_ = std::clamp(opacity, 0.0, 1.0);
  scale_ = scale;
  offset_ = offset;
  update();
}

void ScaleFadeEffect::setReach(QPointF reach) {
  if (reach == reach_) return;
  reach_ = reach;
  updateBoundingRect();
}

void ScaleFadeEffect::setShift(QPointF shift) {
  if (shift == shift_) return;
  shift_ = shift;
  update();
}

void ScaleFadeEffect::setShiftReach(QPointF reach) {
  if (reach == shiftReach_) return;
  shiftReach_ = reach;
  updateBoundingRect();
}

void ScaleFadeEffect::draw(QPainter* painter) {
  if (opacity_ >= 0.999 && std::abs(scale_ - 1) < 1e-4 && offset_.isNull() && shift_.isNull()) {
    drawSource(painter);
    return;
  }
  if (opacity_ <= 0) return;
  QPoint at;
  const QPixmap pm = sourcePixmap(Qt::LogicalCoordinates, &at, QGraphicsEffect::NoPad);
  if (pm.isNull()) return;
  painter->save();
  painter->setOpacity(painter->opacity() * opacity_);
  painter->setRenderHint(QPainter::SmoothPixmapTransform);
  const QRectF r(QPointF(at), QSizeF(pm.size()) / pm.devicePixelRatio());
  painter->drawPixmap(motion::scaledAbout(r, scale_).translated(offset_ + shift_), pm, QRectF(pm.rect()));
  painter->restore();
}

RollingNumber::RollingNumber(QWidget* owner) {
  progress_.setParent(owner);
  progress_.setOwner(owner);
  QObject::connect(&progress_, &MotionValue::valueChanged, owner, qOverload<>(&QWidget::update));
}

void RollingNumber::set(long long value, const Curve& curve) {
  if (value == to_) return;
  from_ = QString::number(to_);
  to_ = value;
  progress_.jumpTo(0);
  progress_.animateTo(1, curve, MotionKind::fade);
}

void RollingNumber::jumpTo(long long value) {
  from_.clear();
  to_ = value;
  progress_.jumpTo(1);
}

void RollingNumber::paint(QPainter& painter, const QRect& rect) const {
  const QString now = QString::number(to_);
  const double t = std::clamp(progress_.value(), 0.0, 1.0);
  if (t >= 1 || from_.isEmpty()) {
    painter.drawText(rect, Qt::AlignVCenter | Qt::AlignRight, now);
    return;
  }
  // Digit by digit from the right, so that units stay over units.
  const QFontMetricsF m(painter.font());
  const double lift = m.height() * 0.6;
  const double baseline = rect.center().y() + (m.ascent() - m.descent()) / 2;
  double right = rect.right() + 1;
  painter.save();
  painter.setClipRect(rect.adjusted(0, -2, 0, 2));
  const double opacity = painter.opacity();
  for (qsizetype i = 1; i <= std::max(now.size(), from_.size()); ++i) {
    const QChar a = i <= from_.size() ? from_[from_.size() - i] : QChar();
    const QChar b = i <= now.size() ? now[now.size() - i] : QChar();
    const double w = m.horizontalAdvance(b.isNull() ? a : b);
    if (a == b) {
      painter.drawText(QPointF(right - w, baseline), QString(b));
    } else {
      if (!a.isNull()) {
        painter.setOpacity(opacity * (1 - t));
        painter.drawText(QPointF(right - m.horizontalAdvance(a), baseline - lift * t), QString(a));
      }
      if (!b.isNull()) {
        painter.setOpacity(opacity * t);
        painter.drawText(QPointF(right - w, baseline + lift * (1 - t)), QString(b));
      }
      painter.setOpacity(opacity);
    }
    right -= w;
  }
  painter.restore();
}

namespace motion {
namespace {

// Where a widget waiting for its entering copy will land.
constexpr const char* restProperty = "motionRest";

// A still copy of a widget that leaves.
class Snapshot final : public QWidget {
 public:
  Snapshot(const QPixmap& pixmap, QWidget* parent) : QWidget(parent), pixmap_(pixmap) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawPixmap(0, 0, pixmap_); }

 private:
  QPixmap pixmap_;
};

}  // namespace

void scaleFade(QWidget* widget, bool entering, double scale, const Curve& curve, QPointF offset,
               std::function<void()> done) {
  auto* effect = qobject_cast<ScaleFadeEffect*>(widget->graphicsEffect());
  MotionValue* shown = effect ? effect->findChild<MotionValue*>() : nullptr;
  if (!effect) {
    effect = new ScaleFadeEffect(widget);
    widget->setGraphicsEffect(effect);
  }
  if (!shown) shown = new MotionValue(entering ? 0 : 1, effect);
  shown->setOwner(widget->window());
  shown->disconnect();
  const bool reduced = MotionPreferences::shared().reduced();
  const double s0 = reduced ? 1 : scale;
  const QPointF o0 = reduced ? QPointF() : offset;
  const QPointer<ScaleFadeEffect> guard(effect);
  QObject::connect(shown, &MotionValue::valueChanged, effect, [guard, s0, o0](double p) {
    if (guard) guard->set(p, lerp(s0, 1, p), o0 * (1 - p));
  });
  QObject::connect(shown, &MotionValue::settled, effect, [guard, widget = QPointer<QWidget>(widget), done] {
    // The effect goes once at rest, so that nothing is drawn through it.
    if (!widget) return;
    QMetaObject::invokeMethod(
        widget.data(),
        [guard, widget, done] {
          if (guard && widget && widget->graphicsEffect() == guard) {
            const auto* v = guard->findChild<MotionValue*>();
            if (v && v->isMoving()) return;
            // A move of its place still under way removes it at its end.
            if (guard->shift().isNull()) widget->setGraphicsEffect(nullptr);
          }
          if (done) done();
        },
        Qt::QueuedConnection);
  });
  effect->setReach(o0);
  effect->set(shown->value(), lerp(s0, 1, shown->value()), o0 * (1 - shown->value()));
  shown->animateTo(entering ? 1 : 0, curve, MotionKind::fade);
}

void leaveAsSnapshot(QWidget* widget, double scale, const Curve& curve, QPointF offset) {
  QWidget* parent = widget->parentWidget();
  if (!parent || !shows(widget) || widget->size().isEmpty()) return;
  auto* copy = new Snapshot(widget->grab(), parent);
  copy->setGeometry(widget->geometry());
  copy->show();
  copy->raise();
  scaleFade(copy, false, scale, curve, offset, [copy = QPointer<QWidget>(copy)] {
    if (copy) copy->deleteLater();
  });
}

void enterAsSnapshot(QWidget* widget, double scale, const Curve& curve, QPointF offset) {
  QWidget* parent = widget->parentWidget();
  if (!parent || !shows(widget) || widget->size().isEmpty()) return;
  // Just shown: its layout has not run yet, and the copy is of what it will show.
  QCoreApplication::sendPostedEvents(widget, QEvent::LayoutRequest);
  for (QWidget* child : widget->findChildren<QWidget*>()) QCoreApplication::sendPostedEvents(child, QEvent::LayoutRequest);
  if (widget->layout()) widget->layout()->activate();
  auto* copy = new Snapshot(widget->grab(), parent);
  copy->setGeometry(widget->geometry());
  // Drawn by the copy until it lands: the widget waits just past the
  // parent's bottom edge, out of sight but shown.
  widget->setProperty(restProperty, widget->pos());
  widget->move(widget->x(), parent->height());
  copy->show();
  copy->raise();
  scaleFade(copy, true, scale, curve, offset, [copy = QPointer<QWidget>(copy), widget = QPointer<QWidget>(widget)] {
    if (widget && widget->property(restProperty).isValid()) {
      const QPoint rest = widget->property(restProperty).toPoint();
      widget->setProperty(restProperty, QVariant());
      widget->move(rest);
    }
    if (copy) copy->deleteLater();
  });
}

void place(QWidget* widget, QPoint pos) {
  if (!widget->property(restProperty).isValid()) {
    widget->move(pos);
    return;
  }
  widget->setProperty(restProperty, pos);
  if (widget->parentWidget()) widget->move(pos.x(), widget->parentWidget()->height());
}

void moveTo(QWidget* widget, const QRect& geometry, const Curve& curve) {
  auto* progress = widget->findChild<MotionValue*>(QStringLiteral("motion.geometry"), Qt::FindDirectChildrenOnly);
  if (!progress) {
    progress = new MotionValue(1, widget);
    progress->setObjectName(QStringLiteral("motion.geometry"));
    progress->setOwner(widget);
  }
  progress->disconnect();
  const QRectF from = widget->geometry();
  const QRectF to = geometry;
  QObject::connect(progress, &MotionValue::valueChanged, widget,
                   [widget, from, to](double p) { widget->setGeometry(lerp(from, to, p).toRect()); });
  if (!shows(widget) || MotionPreferences::shared().reduced()) {
    progress->jumpTo(1);
    widget->setGeometry(geometry);
    return;
  }
  progress->jumpTo(0);
  progress->animateTo(1, curve);
}

}  // namespace motion
}  // namespace tavolune
