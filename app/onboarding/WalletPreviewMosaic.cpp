#include "app/onboarding/WalletPreviewMosaic.hpp"

#include "app/style/Motion.hpp"

#include <QGraphicsEffect>
#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cstdint>

namespace tavolune {

namespace {

// Draws a tile rounded, with its shadow, and on its way in: faded, lower
// and turned by `turn` degrees until `landed` reaches 1.
class TileLanding final : public QGraphicsEffect {
 public:
  TileLanding(double turn, QWidget* tile) : QGraphicsEffect(tile), turn_(turn) {
    landing_.setParent(this);
    landing_.setOwner(tile);
    connect(&landing_, &MotionValue::valueChanged, this, [this] { update(); });
  }

  double landed() const { return landing_.value(); }
  bool isLanding() const { return landing_.isMoving(); }
  // Lands with the spring; at once where motion is reduced.
  void land(const Curve& spring) { landing_.animateTo(1, spring); }

  QRectF boundingRectFor(const QRectF& rect) const override { return rect.adjusted(-12, -12, 12, 26); }

 protected:
  void draw(QPainter* painter) override {
    QPoint offset;
    const QPixmap still = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
    const QRectF area(offset, still.deviceIndependentSize());
    const double landed = landing_.value();
    const double away = 1 - landed;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    painter->setOpacity(std::clamp(landed, 0.0, 1.0));
    painter->translate(area.center() + QPointF(0, 14 * away));
    painter->rotate(turn_ * away);
    painter->translate(-area.center());
    QPainterPath rounded;
    rounded.addRoundedRect(area, 6, 6);
    // A soft shadow, 3 points down, only around the tile (stills may be
    // transparent).
    QPainterPath around;
    around.addRect(area.adjusted(-12, -12, 12, 18));
    painter->setClipPath(around.subtracted(rounded));
    painter->setPen(Qt::NoPen);
    painter->setBrush(QColor(0, 0, 0, 14));
    for (int i = 1; i <= 4; ++i) {
      painter->drawRoundedRect(area.translated(0, 3).adjusted(-i, -i + 1, i, i), 6 + i, 6 + i);
    }
    painter->setClipPath(rounded);
    painter->drawPixmap(area.topLeft(), still);
    painter->restore();
  }

 private:
  const double turn_;
  MotionValue landing_{0};
};

}  // namespace

WalletPreviewMosaic::WalletPreviewMosaic(ImageServices services, const std::vector<Artwork>& works, QWidget* parent)
    : QWidget(parent), services_(std::move(services)) {
  auto* grid = new QGridLayout(this);
  // Room for the shadows and the tiles' rise.
  grid->setContentsMargins(12, 12, 12, 26);
  grid->setSpacing(spacing);
  grid->setAlignment(Qt::AlignHCenter);
  // Always four columns: a short collection fills the first ones of the row.
  for (int c = 0; c < columns; ++c) grid->setColumnMinimumWidth(c, tileSide);
  const std::size_t count = std::min(works.size(), maxTiles);
  for (std::size_t i = 0; i < count; ++i) {
    ArtworkImage* tile = printTile(works[i], i);
    grid->addWidget(tile, int(i / columns), int(i % columns));
    tiles_.push_back(tile);
  }
}

double WalletPreviewMosaic::turn(std::size_t index) { return (double(index % columns) - 2) * 3; }

double WalletPreviewMosaic::landed(std::size_t index) const {
  return static_cast<const TileLanding*>(tiles_.at(index)->graphicsEffect())->landed();
}

bool WalletPreviewMosaic::isLanding() const {
  return std::any_of(tiles_.begin(), tiles_.end(), [](const ArtworkImage* tile) {
    return static_cast<const TileLanding*>(tile->graphicsEffect())->isLanding();
  });
}

std::chrono::milliseconds WalletPreviewMosaic::landingDelay(std::size_t index) {
  return std::chrono::milliseconds(150 + 60 * std::int64_t(index));
}

ArtworkImage* WalletPreviewMosaic::printTile(const Artwork& artwork, std::size_t index) {
  auto* tile = new ArtworkImage(services_, this);
  tile->setObjectName(QStringLiteral("tile%1").arg(index));
  tile->setArtwork(artwork, maxPixel, ArtworkImage::ContentMode::fill);
  tile->setFixedSize(tileSide, tileSide);
  tile->setGraphicsEffect(new TileLanding(turn(index), tile));
  return tile;
}

void WalletPreviewMosaic::showEvent(QShowEvent*) {
  if (shown_) return;
  shown_ = true;
  // Where motion is reduced they are all there at once, without waiting.
  const bool reduced = MotionPreferences::shared().reduced();
  for (std::size_t i = 0; i < tiles_.size(); ++i) {
    auto* effect = static_cast<TileLanding*>(tiles_[i]->graphicsEffect());
    if (reduced) {
      effect->land(landingSpring());
      continue;
    }
    QTimer::singleShot(landingDelay(i), effect, [effect] { effect->land(landingSpring()); });
  }
}

}  // namespace tavolune
