// ArtStageView: placements, layout, the surround and painting.
#include "app/stage/ArtStageView.hpp"

#include "app/render/FrameRenderer.hpp"
#include "app/render/WallpaperComposer.hpp"
#include "app/stage/ArtPage.hpp"
#include "app/stage/GifView.hpp"
#include "app/stage/PlayerView.hpp"
#include "core/base/Enum.hpp"

#include <QPainter>
#include <QWebEngineView>
#include <QWindow>

namespace tavolune {

void ArtStageView::setFraming(Framing framing) {
  framing_ = framing;
  relayout();
}

void ArtStageView::setAspect(double aspect) {
  aspect_ = aspect;
  relayout();
}

void ArtStageView::setFullBleed(bool fullBleed) {
  fullBleed_ = fullBleed;
  relayout();
}

void ArtStageView::setStillImage(const QImage& image) {
  still_ = image;
  update();
}

void ArtStageView::setStillVisible(bool visible) {
  stillVisible_ = visible;
  update();
}

void ArtStageView::apply(const Placement& placement) {
  hanging_.reset();
  fullBleed_ = false;
  aspectLocked_ = true;
  if (const auto* framed = placement.as<Placement::Framed>()) {
    framing_ = framed->framing;
    aspect_ = framed->ratio;
  } else if (const auto* inFrame = placement.as<Placement::InFrame>()) {
    hanging_ = std::pair{inFrame->style, inFrame->ratio};
    if (inFrame->ratio) aspect_ = *inFrame->ratio;
  } else {
    fullBleed_ = true;
  }
  relayout();
}

void ArtStageView::relayout() {
  const Rect bounds{0, 0, double(width()), double(height())};
  Rect art;
  if (hanging_) {
    art = FrameRenderer::layout(hanging_->first, hanging_->second, bounds).art;
  } else {
    surroundVisible_ = false;
    art = fullBleed_ ? bounds : WallpaperComposer::artRect(aspect_, bounds, framing_);
  }
  // Layouts are y-up; widgets are y-down.
  artRect_ = art.toQt(bounds.height);
  if (hanging_) updateSurround();
  if (auto* p = page(); p && p->backgroundColor() != pageBackground()) p->setBackgroundColor(pageBackground());
  const QRect frame = artRect_.toAlignedRect() & rect();
  if (webView_) webView_->setGeometry(webOnStage_ ? frame : frame.translated(0, height()));
  if (playerView_) playerView_->setGeometry(videoOnStage_ ? frame : QRect(frame.topLeft(), QSize(1, 1)));
  if (gifView_) gifView_->setGeometry(frame);
  update();
}

void ArtStageView::updateSurround() {
  const auto& [style, ratio] = *hanging_;
  const QWindow* handle = window()->windowHandle();
  const double scale = handle ? handle->devicePixelRatio() : 2.0;
  const QString key = QStringLiteral("%1|%2|%3x%4|%5")
                          .arg(QString::fromUtf8(rawValue(style).data(), qsizetype(rawValue(style).size())))
                          .arg(ratio.value_or(0))
                          .arg(width())
                          .arg(height())
                          .arg(scale);
  surroundVisible_ = true;
  if (key == surroundKey_ || width() <= 0) return;
  surroundKey_ = key;
  surround_ = FrameRenderer::surround(style, ratio, QSizeF(width() * scale, height() * scale));
  // One colour fills the art rectangle, so its middle tells it.
  const QPoint middle = (artRect_.center() * scale).toPoint();
  surroundArt_ = surround_.valid(middle) ? surround_.pixelColor(middle) : QColor();
}

void ArtStageView::setLayerBackground(const QColor& colour) {
  if (colour == background_) return;
  background_ = colour;
  if (auto* p = page()) p->setBackgroundColor(pageBackground());
  update();
}

QColor ArtStageView::matte() const {
  QColor colour = background_.isValid() ? background_ : WallpaperComposer::defaultMatte();
  colour.setAlpha(255);
  return colour;
}

QColor ArtStageView::pageBackground() const {
  if (hanging_ && surroundArt_.isValid()) return surroundArt_.toRgb();
  return matte();
}

void ArtStageView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), matte());
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (surroundVisible_ && !surround_.isNull()) painter.drawImage(QRectF(rect()), surround_);
  if (stillVisible_ && !still_.isNull() && !artRect_.isEmpty()) {
    QSizeF size = still_.size();
    size.scale(artRect_.size(), Qt::KeepAspectRatio);
    const QRectF target(artRect_.center().x() - size.width() / 2, artRect_.center().y() - size.height() / 2,
                        size.width(), size.height());
    painter.drawImage(target, still_);
  }
  // Frames the stage paints itself, over the still that waits beneath.
  if (videoVisible_ && videoOnStage_ && !videoFrame_.isNull() && !artRect_.isEmpty()) {
    QSizeF size = videoFrame_.size();
    size.scale(artRect_.size(), Qt::KeepAspectRatio);
    const QRectF target(artRect_.center().x() - size.width() / 2, artRect_.center().y() - size.height() / 2,
                        size.width(), size.height());
    painter.drawImage(target, videoFrame_);
  }
}

void ArtStageView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  relayout();
}

}  // namespace tavolune
