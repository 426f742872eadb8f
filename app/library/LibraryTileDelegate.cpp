#include "app/library/LibraryTileDelegate.hpp"

#include "app/components/LoadingPlaceholder.hpp"
#include "app/components/ThumbnailLoader.hpp"
#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryWindowState.hpp"
#include "app/model/AppModel.hpp"
#include "app/qt/Convert.hpp"
#include "app/render/DevicePixels.hpp"

#include <QGuiApplication>
#include <QPainter>

#include <cmath>

namespace tavolune {

LibraryTileDelegate::LibraryTileDelegate(AppModel& model, const LibraryWindowState& windowState,
                                         ThumbnailLoader& loader, QObject* parent)
    : QAbstractItemDelegate(parent),
      model_(model),
      windowState_(windowState),
      loader_(loader),
      tile_(QGuiApplication::palette()),
      scaled_(scaledCacheKiB) {
  frame_.start();
}

void LibraryTileDelegate::beginFrame() {
  frame_.restart();
  scalingMs_ = 0;
  owed_ = false;
}

LibraryTileDelegate::Kept& LibraryTileDelegate::kept(const Artwork& artwork) const {
  auto it = kept_.find(artwork.id);
  if (it == kept_.end()) {
    // A bounded set: many screens' worth, dropped whole when full.
    if (kept_.size() >= keptLimit) kept_.clear();
    it = kept_.emplace(artwork.id, Kept{}).first;
  }
  Kept& k = it->second;
  if (k.shownTitle.isNull() || k.title != artwork.title || k.artist != artwork.artist) {
    k.title = artwork.title;
    k.artist = artwork.artist;
    k.shownTitle = qt::str(artwork.title);
    k.shownArtist = artwork.artist ? qt::str(*artwork.artist) : QString();
  }
  return k;
}

QImage LibraryTileDelegate::scaled(Kept& kept, const std::string& id, const QImage& still, const QSizeF& area,
                                   qreal dpr) const {
  const QRectF fitted = LoadingPlaceholder::fitted(QRectF(QPointF(0, 0), area), double(still.width()) / still.height());
  const QSize pixels(std::max(1, int(std::lround(fitted.width() * dpr))),
                     std::max(1, int(std::lround(fitted.height() * dpr))));
  if (pixels.width() >= still.width()) return still;  // nothing to gain
  if (kept.scaledSize != pixels || kept.scaledKey.isEmpty()) {
    kept.scaledSize = pixels;
    kept.scaledKey = qt::str(id) + QLatin1Char('@') + QString::number(pixels.width()) + QLatin1Char('x') +
                     QString::number(pixels.height());
  }
  const QString& key = kept.scaledKey;
  if (const QImage* hit = scaled_.object(key)) return *hit;
  // Over this frame's budget: draw the decoded still, scaled as it is drawn.
  if (scalingMs_ >= scalingBudgetMs) {
    owed_ = true;
    return still;
  }
  QElapsedTimer t;
  t.start();
  QImage small = still.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  small.setDevicePixelRatio(1);
  scalingMs_ += std::max<qint64>(1, t.elapsed());
  scaled_.insert(key, new QImage(small), std::max<qint64>(1, small.sizeInBytes() / 1024));
  return small;
}

TileData LibraryTileDelegate::dataFor(const std::string& id, const QRect& cell, qreal dpr) const {
  Kept* k = nullptr;
  return dataFor(id, cell, dpr, k);
}

TileData LibraryTileDelegate::dataFor(const std::string& id, const QRect& cell, qreal dpr, Kept*& noted) const {
  const LibraryState& state = model_.state();
  const auto it = state.artworks.find(id);
  if (it == state.artworks.end()) return {};
  const Artwork& artwork = it->second;
  Kept& k = kept(artwork);
  noted = &k;
  TileData data = TileData::of(artwork, state.shouldAnimate(artwork), state.onDesktop.contains(id), k.shownTitle,
                               k.shownArtist);
  const QImage still = loader_.cached(artwork, ArtworkTile::maxPixel);
  if (!still.isNull()) {
    const double inner = cell.width() - 2 * ArtworkTile::matPadding;
    data.still = scaled(k, id, still, QSizeF(inner, inner), dpr);
    return data;
  }
  data.failed = loader_.ask(artwork, ArtworkTile::maxPixel) == ThumbnailLoader::Status::failed;
  return data;
}

TileState LibraryTileDelegate::stateFor(const std::string& id, bool hovered) const {
  return {.hover = hovered ? 1.0 : 0.0, .selected = windowState_.selection().contains(id)};
}

bool LibraryTileDelegate::inMySelection(const std::string& id) const {
  return model_.state().onDesktop.contains(id);
}

bool LibraryTileDelegate::hasStill(const std::string& id) const {
  const auto& artworks = model_.state().artworks;
  const auto it = artworks.find(id);
  return it != artworks.end() && !loader_.cached(it->second, ArtworkTile::maxPixel).isNull();
}

std::optional<TileLook> LibraryTileDelegate::painted(const std::string& id) const {
  const auto it = kept_.find(id);
  return it == kept_.end() ? std::nullopt : it->second.painted;
}

void LibraryTileDelegate::paintTile(QPainter& painter, const QRect& cell, const std::string& id,
                                    TileState state) const {
  Kept* k = nullptr;
  const TileData data = dataFor(id, cell, DevicePixels::ratio(painter), k);
  TileLook look = tile_.paint(painter, cell, data, state);
  if (k) k->painted = std::move(look);
}

void LibraryTileDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
  const std::string id = qt::str(index.data(LibraryGridModel::IdRole).toString());
  paintTile(*painter, option.rect, id, stateFor(id, option.state.testFlag(QStyle::State_MouseOver)));
}

QSize LibraryTileDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {option.rect.width(), tile_.heightFor(option.rect.width())};
}

}  // namespace tavolune
