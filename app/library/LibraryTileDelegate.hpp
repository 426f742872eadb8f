#pragma once
// Paints the grid's cells with ArtworkTile: the work from the library, its
// selection from the window state, its still from the thumbnail loader
// (asked for only when missing). Stills are scaled to the cell once and
// kept in a bounded cache, so that a frame is mostly copies; a frame does
// at most a few such scalings and draws the rest straight from the decoded
// still. Each work's caption texts and scaled-still key are kept between
// paints, checked against the library's texts. Never fetches or decodes.
// GUI thread only.

#include "app/components/ArtworkTile.hpp"

#include <QAbstractItemDelegate>
#include <QCache>
#include <QElapsedTimer>
#include <QImage>

#include <optional>
#include <string>
#include <unordered_map>

namespace tavolune {

class AppModel;
class LibraryWindowState;
class ThumbnailLoader;

class LibraryTileDelegate final : public QAbstractItemDelegate {
  Q_OBJECT
 public:
  static constexpr qint64 scaledCacheKiB = 24 * 1024;
  static constexpr int scalingBudgetMs = 2;

  LibraryTileDelegate(AppModel& model, const LibraryWindowState& windowState, ThumbnailLoader& loader,
                      QObject* parent = nullptr);

  const ArtworkTile& tile() const { return tile_; }
  void setPalette(const QPalette& palette) { tile_.setPalette(palette); }
  // Cell heights follow the cell width.
  int heightFor(int width) const { return tile_.heightFor(width); }

  // Called by the view before and after painting one frame.
  void beginFrame();
  // Whether the frame drew stills unscaled, over its budget: the view
  // paints again soon, and they are scaled then.
  bool owesScaling() const { return owed_; }

  // What the cell of this id shows now (null artwork: not in the library).
  TileData dataFor(const std::string& id, const QRect& cell, qreal dpr) const;
  // What the work's tile showed when last painted; nothing before.
  std::optional<TileLook> painted(const std::string& id) const;
  TileState stateFor(const std::string& id, bool hovered) const;
  bool inMySelection(const std::string& id) const;
  // Whether the work's still is at hand (never asks for it).
  bool hasStill(const std::string& id) const;

  // One tile as the grid animates it.
  void paintTile(QPainter& painter, const QRect& cell, const std::string& id, TileState state) const;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  struct Kept {
    std::string title;  // as the library had them
    std::optional<std::string> artist;
    QString shownTitle;
    QString shownArtist;
    QSize scaledSize;
    QString scaledKey;
    std::optional<TileLook> painted;
  };
  static constexpr std::size_t keptLimit = 4096;
  Kept& kept(const Artwork& artwork) const;
  // kept: where the work's look is noted once painted (null: not in the library).
  TileData dataFor(const std::string& id, const QRect& cell, qreal dpr, Kept*& kept) const;
  QImage scaled(Kept& kept, const std::string& id, const QImage& still, const QSizeF& area, qreal dpr) const;

  AppModel& model_;
  const LibraryWindowState& windowState_;
  ThumbnailLoader& loader_;
  ArtworkTile tile_;
  mutable QCache<QString, QImage> scaled_;
  mutable std::unordered_map<std::string, Kept> kept_;
  mutable QElapsedTimer frame_;
  mutable qint64 scalingMs_ = 0;
  mutable bool owed_ = false;
};

}  // namespace tavolune
