#include "app/render/FrameRenderer.hpp"

#include "app/render/Shadow.hpp"

#include <QColor>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tavolune::FrameRenderer {
namespace {

struct Geometry {
  double moulding, mat, wallMargin;
};

Geometry geometryOf(FrameStyle style) {
  switch (style) {
    case FrameStyle::none: return {0, 0, 10};
    case FrameStyle::galleryWhite: return {1.1, 5.5, 10};
    case FrameStyle::blackFloat: return {0.9, 3.2, 10};
    case FrameStyle::naturalOak: return {1.4, 4.8, 10};
    case FrameStyle::museumLight: return {0, 0, 14};
  }
  return {0, 0, 10};
}

QColor srgb(double r, double g, double b, double a = 1) { return QColor::fromRgbF(float(r), float(g), float(b), float(a)); }
QColor grey(double g, double a = 1) { return srgb(g, g, g, a); }

struct Paint {
  QColor mouldingFrom, mouldingTo;
  bool grain;
  double lightEdge, darkEdge;
  QColor mat;
  double shadeAlpha, shadeDepth;
  bool floatingEdge;
};

Paint paintOf(FrameStyle style) {
  switch (style) {
    case FrameStyle::blackFloat:
      return {grey(0.17), grey(0.07), false, 0.1, 0.35, grey(0.105), 0.55, 1.6, true};
    case FrameStyle::naturalOak:
      return {srgb(0.85, 0.73, 0.56), srgb(0.72, 0.56, 0.37), true, 0.55, 0.12, srgb(0.972, 0.965, 0.945),
              0.1, 0.7, false};
    case FrameStyle::none:
    case FrameStyle::galleryWhite:
    case FrameStyle::museumLight:
      break;
  }
  return {grey(1.0), grey(0.91), false, 0.55, 0.12, srgb(0.985, 0.98, 0.968), 0.1, 0.7, false};
}

const QColor wallColor = srgb(0.84, 0.835, 0.82);

void fill(QPainter& p, const Rect& r, const QColor& c) { p.fillRect(r.logical(), c); }

void drawGrain(QPainter& p, const Layout& l, double u) {
  const double k = 0.32 * u;
  if (!(k > 0)) return;
  std::uint64_t s = 0x9e3779b97f4a7c15ULL;
  auto next = [&s] {
    s = s * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<double>(s >> 33) / 2147483647.0;
  };
  QPainterPath path;
  for (double y = l.outer.minY(); y < l.outer.maxY();) {
    const double j = next() - 0.5;
    if (y < l.inner.minY() || y > l.inner.maxY()) {
      path.moveTo(l.outer.minX(), y + j * k);
      path.lineTo(l.outer.maxX(), y - j * k);
    }
    y += (next() + 0.6) * k;
  }
  for (double x = l.outer.minX(); x < l.outer.maxX();) {
    const double j = next() - 0.5;
    if (x < l.inner.minX() || x > l.inner.maxX()) {
      path.moveTo(x + j * k, l.inner.minY());
      path.lineTo(x - j * k, l.inner.maxY());
    }
    x += (next() + 0.6) * k;
  }
  QPen pen(srgb(0.42, 0.29, 0.16, 0.1));
  pen.setWidthF(std::max(0.05 * u, 0.5));
  pen.setCapStyle(Qt::FlatCap);
  p.strokePath(path, pen);
}

}  // namespace

Layout layout(FrameStyle style, std::optional<double> ratio, const Rect& rect) {
  if (!rect.isFinite()) return {};
  const Rect R = rect.standardized();
  const Geometry g = geometryOf(style);
  const double u = std::min(R.width, R.height) / 100;
  const double inset = (g.wallMargin + g.moulding + g.mat) * u;
  const Rect A = R.insetBy(inset, inset);
  const double r = (ratio && geometry::isPositive(*ratio)) ? *ratio : A.width / std::max(A.height, 1.0);
  double w = A.width;
  double h = w / std::max(r, 0.01);
  if (h > A.height) {
    h = A.height;
    w = r * h;
  }
  Layout l;
  l.art = Rect{A.midX() - w / 2, A.midY() - h / 2, w, h}.integral();
  l.inner = l.art.grownBy(g.mat * u);
  l.outer = l.inner.grownBy(g.moulding * u);
  return l;
}

void drawSurround(FrameStyle style, const Layout& L, const Rect& boundsIn, QPainter& p) {
  if (!boundsIn.isFinite() || !L.art.isFinite() || !L.inner.isFinite() || !L.outer.isFinite()) return;
  const Rect B = boundsIn.standardized();
  const double u = std::min(B.width, B.height) / 100;
  const bool museum = style == FrameStyle::museumLight;
  p.save();
  p.setRenderHint(QPainter::Antialiasing, true);

  // Wall and the light falling on it from above.
  fill(p, B, wallColor);
  const QColor light = museum ? srgb(0.955, 0.95, 0.935) : srgb(0.925, 0.92, 0.905);
  const QPointF centre(B.midX(), B.maxY() - 0.18 * B.height);
  const double radius = std::max(B.width, B.height) * (museum ? 0.55 : 0.8);
  if (radius > 0) {
    QRadialGradient glow(centre, radius);
    glow.setColorAt(0, light);
    glow.setColorAt(1, wallColor);
    glow.setSpread(QGradient::PadSpread);
    p.fillRect(B.logical(), glow);
  }

  // Cast and contact shadows of the frame (of the work itself in museum light).
  const Rect S = museum ? L.art : L.outer;
  if (museum)
    Shadow::drawRectShadow(p, S, 0, -2.6 * u, 6 * u, 0.4);
  else
    Shadow::drawRectShadow(p, S, 0, -1.4 * u, 4 * u, 0.3);
  fill(p, S, grey(0.5));
  Shadow::drawRectShadow(p, S, 0, -0.25 * u, 0.7 * u, 0.18);
  fill(p, S, wallColor);
  if (museum) {
    p.restore();
    return;
  }

  const Paint paint = paintOf(style);
  // Moulding, lit from the top left.
  p.save();
  QPainterPath ring;
  ring.setFillRule(Qt::OddEvenFill);
  ring.addRect(L.outer.logical());
  ring.addRect(L.inner.logical());
  p.setClipPath(ring);
  QLinearGradient wood(QPointF(L.outer.minX(), L.outer.maxY()), QPointF(L.outer.maxX(), L.outer.minY()));
  wood.setColorAt(0, paint.mouldingFrom);
  wood.setColorAt(1, paint.mouldingTo);
  p.fillRect(L.outer.logical(), wood);
  if (paint.grain) drawGrain(p, L, u);
  const double e = std::max(0.12 * u, 1.0);
  const QColor lit(255, 255, 255, int(std::lround(paint.lightEdge * 255)));
  const QColor dark(0, 0, 0, int(std::lround(paint.darkEdge * 255)));
  fill(p, {L.outer.minX(), L.outer.maxY() - e, L.outer.width, e}, lit);
  fill(p, {L.outer.minX(), L.outer.minY(), e, L.outer.height}, lit);
  fill(p, {L.inner.minX() - e, L.inner.minY() - e, L.inner.width + 2 * e, e}, lit);
  fill(p, {L.inner.maxX(), L.inner.minY() - e, e, L.inner.height + 2 * e}, lit);
  fill(p, {L.outer.minX(), L.outer.minY(), L.outer.width, e}, dark);
  fill(p, {L.outer.maxX() - e, L.outer.minY(), e, L.outer.height}, dark);
  p.restore();

  // Mat, shaded where the moulding overhangs it at the top and left.
  fill(p, L.inner, paint.mat);
  const double depth = paint.shadeDepth * u;
  if (depth > 0) {
    p.save();
    p.setClipRect(L.inner.logical());
    QLinearGradient down(QPointF(L.inner.midX(), L.inner.maxY()), QPointF(L.inner.midX(), L.inner.maxY() - depth));
    down.setColorAt(0, QColor(0, 0, 0, int(std::lround(paint.shadeAlpha * 255))));
    down.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(Rect{L.inner.minX(), L.inner.maxY() - depth, L.inner.width, depth}.logical(), down);
    QLinearGradient across(QPointF(L.inner.minX(), L.inner.midY()), QPointF(L.inner.minX() + depth, L.inner.midY()));
    across.setColorAt(0, QColor(0, 0, 0, int(std::lround(paint.shadeAlpha * 255))));
    across.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(Rect{L.inner.minX(), L.inner.minY(), depth, L.inner.height}.logical(), across);
    p.restore();
  }

  // The cut edge around the work.
  if (paint.floatingEdge) {
    Shadow::drawRectShadow(p, L.art, 0, -0.6 * u, 1.6 * u, 0.75);
    fill(p, L.art, grey(0.1));
  } else {
    fill(p, L.art.grownBy(std::max(0.28 * u, 1.0)), Qt::white);
    fill(p, L.art.grownBy(std::max(0.06 * u, 1.0)), QColor(0, 0, 0, int(std::lround(0.18 * 255))));
  }
  p.restore();
}

QImage surround(FrameStyle style, std::optional<double> ratio, QSizeF pixelSize) {
  const auto size = geometry::truncatedPixelSize(pixelSize);
  if (!size) return {};
  QImage canvas = geometry::newCanvas(*size);
  if (canvas.isNull()) return {};
  const Rect bounds{0, 0, double(size->width()), double(size->height())};
  const Layout l = layout(style, ratio, bounds);
  QPainter p(&canvas);
  geometry::yUp(p, bounds.height);
  drawSurround(style, l, bounds, p);
  p.end();
  return canvas;
}

}  // namespace tavolune::FrameRenderer
