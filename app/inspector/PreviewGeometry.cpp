#include "app/inspector/PreviewGeometry.hpp"

#include "app/render/FrameRenderer.hpp"
#include "app/render/Geometry.hpp"
#include "app/render/WallpaperComposer.hpp"

#include <algorithm>

namespace tavolune {

PreviewGeometry PreviewGeometry::of(const Placement& placement, QSizeF size, int quarterTurns) {
  PreviewGeometry g;
  g.bounds = QRectF(QPointF(0, 0), size);
  g.turns = ((quarterTurns % 4) + 4) % 4;
  const Rect bounds{0, 0, size.width(), size.height()};
  Rect art = bounds;
  if (const auto* framed = placement.as<Placement::Framed>()) {
    art = WallpaperComposer::artRect(framed->ratio, bounds, framed->framing);
  } else if (const auto* inFrame = placement.as<Placement::InFrame>()) {
    art = FrameRenderer::layout(inFrame->style, inFrame->ratio, bounds).art;
    g.frame = inFrame->style;
    g.frameRatio = inFrame->ratio;
  }
  // Layouts are y-up; the miniature is y-down.
  g.art = art.toQt(size.height());
  g.stillBox = (g.turns & 1) ? g.art.size().transposed() : g.art.size();
  return g;
}

PreviewGeometry::Layer PreviewGeometry::layer(bool live, bool hasStill) const {
  if (turns == 0 && live) return Layer::live;
  return hasStill ? Layer::still : Layer::spinner;
}

void PreviewGeometry::paint(QPainter& painter, const QColor& matte, const QImage& surround,
                            const QImage& still) const {
  painter.save();
  painter.setClipRect(bounds, Qt::IntersectClip);
  if (frame && !surround.isNull()) {
    painter.drawImage(bounds, surround);
  } else {
    painter.fillRect(bounds, matte);
  }
  if (!still.isNull()) paintStill(painter, still);
  painter.restore();
}

void PreviewGeometry::paintStill(QPainter& painter, const QImage& still) const {
  if (still.isNull() || art.isEmpty() || stillBox.isEmpty()) return;
  painter.save();
  painter.setClipRect(art, Qt::IntersectClip);
  painter.translate(art.center());
  painter.rotate(turns * 90.0);
  const QRectF box(QPointF(-stillBox.width() / 2, -stillBox.height() / 2), stillBox);
  painter.setClipRect(box, Qt::IntersectClip);
  // Aspect fill: the still covers the box, centred.
  const double scale = std::max(box.width() / still.width(), box.height() / still.height());
  const QSizeF drawn(still.width() * scale, still.height() * scale);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(QRectF(QPointF(-drawn.width() / 2, -drawn.height() / 2), drawn), still);
  painter.restore();
}

}  // namespace tavolune
