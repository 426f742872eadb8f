#include "app/onboarding/WalletPreviewMosaic.hpp"

#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace tavolune {

WalletPreviewMosaic::WalletPreviewMosaic(ImageServices services, const std::vector<Artwork>& works, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setSpacing(spacing);
  grid->setAlignment(Qt::AlignHCenter);
  const std::size_t count = std::min(works.size(), maxTiles);
  for (std::size_t i = 0; i < count; ++i) {
    ArtworkImage* tile = printTile(works[i], i);
    grid->addWidget(tile, int(i / columns), int(i % columns));
    tiles_.push_back(tile);
  }
}

std::chrono::milliseconds WalletPreviewMosaic::landingDelay(std::size_t index) {
  return std::chrono::milliseconds(150 + 60 * std::int64_t(index));
}

ArtworkImage* WalletPreviewMosaic::printTile(const Artwork& artwork, std::size_t index) {
  auto* tile = new ArtworkImage(services_, this);
  tile->setObjectName(QStringLiteral("tile%1").arg(index));
  tile->setArtwork(artwork, maxPixel, ArtworkImage::ContentMode::fill);
  tile->setFixedSize(tileSide, tileSide);
  QPainterPath rounded;
  rounded.addRoundedRect(QRectF(0, 0, tileSide, tileSide), 6, 6);
  tile->setMask(QRegion(rounded.toFillPolygon().toPolygon()));
  auto* opacity = new QGraphicsOpacityEffect(tile);
  opacity->setOpacity(0);
  tile->setGraphicsEffect(opacity);
  return tile;
}

void WalletPreviewMosaic::showEvent(QShowEvent*) {
  if (shown_) return;
  shown_ = true;
  for (std::size_t i = 0; i < tiles_.size(); ++i) {
    auto* effect = static_cast<QGraphicsOpacityEffect*>(tiles_[i]->graphicsEffect());
    QTimer::singleShot(landingDelay(i), effect, [effect] {
      auto* fade = new QPropertyAnimation(effect, "opacity", effect);
      fade->setDuration(450);
      fade->setEndValue(1.0);
      fade->setEasingCurve(QEasingCurve::OutCubic);
      fade->start(QAbstractAnimation::DeleteWhenStopped);
    });
  }
}

}  // namespace tavolune
