#include "app/stage/GifView.hpp"

#include "app/render/RasterFormat.hpp"

#include <QPainter>

namespace tavolune {

GifView::GifView(QByteArray bytes, QWidget* parent) : QWidget(parent), bytes_(std::move(bytes)) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  buffer_.setBuffer(&bytes_);
  buffer_.open(QIODevice::ReadOnly);
  // Told, never guessed: a guess could hand the bytes to Qt's SVG reader.
  movie_.setFormat(raster::formatOf(bytes_));
  movie_.setDevice(&buffer_);
  movie_.setCacheMode(QMovie::CacheNone);
  connect(&movie_, &QMovie::frameChanged, this, qOverload<>(&QWidget::update));
}

std::unique_ptr<GifView> GifView::make(QByteArray bytes, QWidget* parent) {
  // Only GIF plays: a WebP or AVIF animation is shown as its first frame, a still.
  const QByteArray format = raster::formatOf(bytes);
  if (format.isEmpty() || format == "webp" || format == "avif") return nullptr;
  std::unique_ptr<GifView> view(new GifView(std::move(bytes), parent));
  if (!view->movie_.isValid() || !view->movie_.jumpToFrame(0) || view->movie_.currentImage().isNull()) return nullptr;
  return view;
}

void GifView::startAnimation() {
  if (movie_.state() == QMovie::Paused) {
    movie_.setPaused(false);
  } else if (movie_.state() == QMovie::NotRunning) {
    movie_.start();
  }
}

void GifView::stopAnimation() {
  if (movie_.state() == QMovie::Running) movie_.setPaused(true);
}

void GifView::paintEvent(QPaintEvent*) {
  const QImage frame = movie_.currentImage();
  if (frame.isNull() || width() <= 0 || height() <= 0) return;
  QSizeF size = frame.size();
  size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
  const QRectF target((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height());
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, frame);
}

}  // namespace tavolune
