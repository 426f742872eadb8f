#pragma once
// The popover's picture of the current work: the still fitted 190 pixels
// high with a soft shadow, on a mat (the series' background, else the
// theme's matte) with rounded corners and a faint edge, the next-change bar
// along its bottom; a click anywhere on it is reported. The mat, edge and
// shadow are drawn once into a picture kept until they change: the bar's
// slide repaints a strip of this widget, and a blit of that strip keeps the
// raster engine from splitting path fills across the GUI thread pool, whose
// threads would otherwise wake on every frame. GUI thread only.

#include <QColor>
#include <QImage>
#include <QWidget>

namespace tavolune {

class ArtworkImage;

class PictureBlock final : public QWidget {
  Q_OBJECT
 public:
  static constexpr int imageHeight = 190;
  static constexpr int padding = 10;
  static constexpr double cornerRadius = 12;

  // Takes the image and the bar as children.
  PictureBlock(ArtworkImage* image, QWidget* bar, QWidget* parent = nullptr);

  void setMatte(const QColor& color);
  QColor matte() const { return matte_; }

 signals:
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  ArtworkImage* image_;
  QWidget* bar_;
  QColor matte_;
  bool pressed_ = false;
  QImage drawn_;
  QRectF drawnArt_;  // the still's shadow rectangle drawn_ holds
  QColor drawnMatte_;
};

}  // namespace tavolune
