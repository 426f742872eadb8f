#pragma once
// Plays an animated image scaled up or down to fit, keeping its aspect.
// GUI thread only.

#include <QByteArray>
#include <QBuffer>
#include <QMovie>
#include <QWidget>

#include <memory>

namespace tavolune {

class GifView final : public QWidget {
  Q_OBJECT

 public:
  // Null when the bytes are not a raster image (raster::formatOf) Qt can
  // read, or are WebP or AVIF, which are stills here.
  static std::unique_ptr<GifView> make(QByteArray bytes, QWidget* parent);

  void startAnimation();
  void stopAnimation();
  bool isAnimating() const { return movie_.state() == QMovie::Running; }
  QImage currentImage() const { return movie_.currentImage(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  explicit GifView(QByteArray bytes, QWidget* parent);

  QByteArray bytes_;
  QBuffer buffer_;
  QMovie movie_;
};

}  // namespace tavolune
