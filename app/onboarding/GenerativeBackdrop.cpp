#include "app/onboarding/GenerativeBackdrop.hpp"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace tavolune {

namespace {

std::vector<GenerativeBackdrop::Ring> generate() {
  std::uint64_t s = 7;  // never reseeded: the same rings on every run
  auto next = [&s] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return double(s >> 33) * std::ldexp(1.0, -31);
  };
  std::vector<GenerativeBackdrop::Ring> rings;
  for (int i = 0; 60 + 22 * i < 456; ++i) {
    const double u1 = next(), u2 = next(), u3 = next();
    rings.push_back({double(60 + 22 * i), u1 * std::numbers::pi * 2, (u2 + 0.4) * std::numbers::pi,
                     (u3 - 0.5) * 0.12, i % 3 == 1});
  }
  return rings;
}

}  // namespace

GenerativeBackdrop::GenerativeBackdrop(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  timer_.setInterval(int(frameInterval.count()));
  connect(&timer_, &QTimer::timeout, this, [this] {
    time_ = now();
    frame_ = {};
    update();
  });
}

const std::vector<GenerativeBackdrop::Ring>& GenerativeBackdrop::rings() {
  static const std::vector<Ring> list = generate();
  return list;
}

const std::array<QColor, 4>& GenerativeBackdrop::palette() {
  static const std::array<QColor, 4> colours{QColor::fromRgbF(0.2f, 0.45f, 1.0f), QColor::fromRgbF(0.5f, 0.35f, 0.98f),
                                             QColor::fromRgbF(0.9f, 0.33f, 0.74f), QColor::fromRgbF(1.0f, 0.48f, 0.4f)};
  return colours;
}

double GenerativeBackdrop::fade(double radius) { return std::max(0.0, 1.0 - radius / 440.0); }

double GenerativeBackdrop::now() {
  static const qint64 reference = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
  return double(QDateTime::currentMSecsSinceEpoch() - reference) / 1000.0;
}

void GenerativeBackdrop::paint(QPainter& painter, const QSizeF& size, double t, const QColor& primary) {
  painter.setRenderHint(QPainter::Antialiasing);
  const QPointF centre(0.5 * size.width(), 0.42 * size.height());
  for (const Ring& ring : rings()) {
    // Wrapped before the multiplication so large t keeps its precision.
    const double a0 = std::fmod(ring.speed * t + ring.start, 2 * std::numbers::pi);
    const double degrees = 180.0 / std::numbers::pi;
    const QRectF box(centre.x() - ring.radius, centre.y() - ring.radius, 2 * ring.radius, 2 * ring.radius);
    QPainterPath path;
    // Qt counts angles anticlockwise with y up; the arc runs the other way
    // on screen, as it would with y down.
    path.arcMoveTo(box, -a0 * degrees);
    path.arcTo(box, -a0 * degrees, -ring.span * degrees);
    QColor colour = ring.accent ? palette()[std::size_t(ring.radius) % 4] : primary;
    colour.setAlphaF(float(fade(ring.radius) * (ring.accent ? 0.28 : 0.06)));
    QPen pen(colour, ring.accent ? 2.5 : 1.5, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    painter.strokePath(path, pen);
  }
}

void GenerativeBackdrop::paintEvent(QPaintEvent*) {
  const qreal ratio = devicePixelRatioF();
  if (frame_.isNull() || frame_.deviceIndependentSize() != QSizeF(size())) {
    frame_ = QPixmap(size() * ratio);
    frame_.setDevicePixelRatio(ratio);
    frame_.fill(Qt::transparent);
    QPainter f(&frame_);
    paint(f, size(), time_, QWidget::palette().color(QPalette::WindowText));
    f.end();
    emit framePainted();
  }
  QPainter(this).drawPixmap(0, 0, frame_);
}

void GenerativeBackdrop::showEvent(QShowEvent*) {
  time_ = now();
  frame_ = {};
  timer_.start();
}

void GenerativeBackdrop::hideEvent(QHideEvent*) {
  timer_.stop();
  frame_ = {};
}

}  // namespace tavolune
