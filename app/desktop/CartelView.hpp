#pragma once
// The wall label that names a work on the desktop: title, artist, collection
// and a line of facts, in the classic, museum, minimal or editorial style,
// compact or regular (only classic differs). Painted, no child widgets.
// GUI thread only.

#include "app/desktop/CartelLayout.hpp"

#include <QWidget>

namespace tavolune {

class CartelView final : public QWidget {
  Q_OBJECT
 public:
  CartelView(Artwork artwork, bool compact, CartelStyle style, QWidget* parent = nullptr);

  void setArtwork(Artwork artwork);
  void setStyle(CartelStyle style);
  // Without a compositor nothing behind the label shows through: every
  // style gets a solid card, and the panel cuts its window to that card.
  void setOpaque(bool opaque);
  // Clear space around the label, for the panel (and room for shadows).
  void setPadding(int padding);

  const Artwork& artwork() const { return artwork_; }
  CartelStyle style() const { return style_; }
  bool compact() const { return compact_; }
  int padding() const { return padding_; }
  // The card's outline in widget coordinates; empty for styles without one.
  QPainterPath cardShape() const;
  // The device pixels the card covers at least half, from the widget's
  // top-left. Opaque, each is painted solid: a window cut to them shows no
  // half-clear edge, which would be darkened without a compositor.
  QRegion cardPixels() const;
  // The texts as drawn, in order (upper-cased, elided).
  const QStringList& texts() const { return layout_.texts; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void relayout();
  void paintTextShadows(QPainter& painter);
  QRegion rasteriseCard(qreal ratio) const;

  Artwork artwork_;
  bool compact_;
  CartelStyle style_;
  bool opaque_ = false;
  int padding_ = 0;
  cartel::Layout layout_;
  mutable QRegion pixels_;
  mutable qreal pixelsRatio_ = 0;  // the ratio pixels_ was made at; 0 when stale
};

}  // namespace tavolune
