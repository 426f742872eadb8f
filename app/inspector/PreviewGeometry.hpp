#pragma once
// Where and how the desktop preview draws a work in a miniature of W by H:
// the art rectangle of the placement (fit, fill, mat, in a frame, full
// bleed), the still's box with width and height exchanged for odd quarter
// turns, the backdrop and which artwork layer shows. Pure; the painting
// functions draw into any painter (GUI thread or not).

#include "core/model/Placement.hpp"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSizeF>

#include <optional>

namespace tavolune {

struct PreviewGeometry {
  enum class Layer { live, still, spinner };

  QRectF bounds;  // the miniature, y down
  QRectF art;     // the art rectangle, y down; may overflow bounds (fill)
  int turns = 0;  // 0...3
  // The still's box before turning: the art's size, exchanged when turns are odd.
  QSizeF stillBox;
  // The frame drawn around the art, when the placement hangs it in one.
  std::optional<FrameStyle> frame;
  std::optional<double> frameRatio;

  // Live only when asked and not turned; else the still when there is one.
  Layer layer(bool live, bool hasStill) const;

  static PreviewGeometry of(const Placement& placement, QSizeF size, int quarterTurns);

  // Backdrop (the frame's surround when given, else the matte) and the
  // still turned into the art rectangle, clipped to the miniature. The
  // surround must have been drawn for this geometry's bounds.
  void paint(QPainter& painter, const QColor& matte, const QImage& surround, const QImage& still) const;
  // The still scaled to fill the box (kept aspect, overflow cut), turned by
  // the quarter turns about the art's centre.
  void paintStill(QPainter& painter, const QImage& still) const;
};

}  // namespace tavolune
