#pragma once
// One cell of the library grid, painted rather than built from widgets (a
// grid may hold 20,000 works): the square mat with the still, the kind and
// chain badges, the "My Selection" toggle, the selection ring, and the title
// and artist below. The grid owns hover, clicks and stills; it hands the
// painter what to draw and asks it where the toggle sits. GUI thread only.

#include "core/model/Artwork.hpp"

#include <QCache>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QRect>
#include <QStaticText>
#include <QString>

#include <algorithm>
#include <optional>

namespace tavolune {

// What a cell shows, taken from the artwork, the library and the loader.
struct TileData {
  QString title;
  QString artist;  // empty when the work has none
  MediaKind kind = MediaKind::image;
  Chain chain = Chain::ethereum;
  bool live = false;      // Artwork::isLive
  bool animated = false;  // runs live under the current policy
  bool gif = false;       // Artwork::isAnimatedImage
  std::optional<double> aspect;
  QImage still;         // null while loading or after a failure
  bool failed = false;  // nothing could be loaded
  bool inMySelection = false;

  // animated: LibraryState::shouldAnimate; inMySelection: the work's id in
  // LibraryState::onDesktop.
  static TileData of(const Artwork& artwork, bool animated, bool inMySelection);
  // The same with the caption's texts already converted (a grid keeps them).
  static TileData of(const Artwork& artwork, bool animated, bool inMySelection, QString title, QString artist);
};

struct TileState {
  double hover = 0;  // 0 away from the pointer, 1 under it; the grid animates between
  bool selected = false;
  // How selected it looks while the grid animates a change; below 0: as selected says.
  double selection = -1;
  // The My Selection symbol's replacement after a change, 0 at the change
  // and 1 done (the old symbol shrinks and fades as the new one grows in),
  // and its bounce, added to its scale (0 at rest).
  double symbolSwap = 1;
  double symbolBounce = 0;
  // A still that arrived after the tile was first drawn: 0 as it comes, 1
  // in place (it fades in, growing from 0.985).
  double stillEntrance = 1;

  double chosen() const { return selection < 0 ? (selected ? 1.0 : 0.0) : std::clamp(selection, 0.0, 1.0); }
};

// What a painted tile shows, as its painter decides it from the data and
// the state (the motion between two looks aside): a grid keeps the last
// look of each tile it painted.
struct TileLook {
  struct Kind {
    MediaKind kind = MediaKind::image;
    bool animated = false;
    bool gif = false;
  };
  // What the mat holds: the still, the loading placeholder, or the kind's
  // symbol and the title after a failure.
  enum class Picture { placeholder, still, failed };
  Picture picture = Picture::placeholder;
  // Its width over height: the still's, or the placeholder's (square while
  // the work's shape is unknown); none for the symbol.
  std::optional<double> shape;
  QString title;
  QString artist;
  std::optional<Kind> kindBadge;  // live works only
  Chain chain = Chain::ethereum;
  bool badgesShown = false;  // selected or under the pointer; else their place is kept
  bool toggleShown = false;  // in My Selection or under the pointer
  bool inMySelection = false;
  bool ring = false;  // the accent ring of the grid's selection

  static TileLook of(const TileData& data, const TileState& state);
};

class ArtworkTile {
 public:
  static constexpr int maxPixel = 520;  // the still asked of the loader
  static constexpr double matPadding = 12;
  static constexpr double cornerRadius = 12;
  static constexpr double captionSpacing = 8;
  static constexpr double captionLineSpacing = 2;
  static constexpr double captionInset = 2;
  static constexpr double badgePadding = 8;
  static constexpr double badgeSpacing = 4;
  static constexpr double toggleSize = 18;
  static constexpr double togglePadding = 7;
  static constexpr double hoverScale = 1.02;
  static constexpr double hoverLift = 2;

  explicit ArtworkTile(const QPalette& palette);

  void setPalette(const QPalette& palette) { palette_ = palette; }
  // The cell's height for its width: the square mat and two caption lines.
  int heightFor(int width) const;

  // Returns the look it painted.
  TileLook paint(QPainter& painter, const QRect& cell, const TileData& data, TileState state) const;
  // Where a click toggles My Selection, in the cell's coordinates; empty
  // when the toggle is not shown (a work outside My Selection, not hovered).
  QRectF toggleRect(const QRect& cell, const TileData& data, TileState state) const;

  static QString toggleHelp(bool inMySelection);
  // Title, artist (left out when absent) and the kind's raw name.
  static QString accessibleText(const Artwork& artwork);

 private:
  QTransform hoverTransform(const QRect& cell, double hover) const;
  static QRectF matRect(const QRect& cell);
  void paintMat(QPainter& p, const QRectF& mat, const TileData& data, const TileLook& look, TileState state) const;
  void paintBadges(QPainter& p, const QRectF& mat, const TileLook& look, TileState state) const;
  void paintToggle(QPainter& p, const QRectF& mat, const TileLook& look, TileState state) const;
  void paintSymbol(QPainter& p, const QRectF& circle, bool on, double opacity, double scale) const;
  void paintCaption(QPainter& p, const QRectF& mat, const TileLook& look) const;
  const QStaticText& caption(const QString& text, const QFont& font, double width) const;
  // A resting tile's shadow under its art, stretched from one kept picture.
  // covered: the art is opaque and hides the shadow's middle.
  void paintRestingShadow(QPainter& p, const QRectF& art, bool covered) const;

  QPalette palette_;
  QFont titleFont_;
  QFont artistFont_;
  struct CaptionKey {
    bool title;
    int quarterWidth;
    QString text;
    bool operator==(const CaptionKey&) const = default;
    friend size_t qHash(const CaptionKey& k, size_t seed = 0) {
      return qHashMulti(seed, k.title, k.quarterWidth, k.text);
    }
  };
  mutable QCache<CaptionKey, QStaticText> captions_{4000};  // elided lines, by font, width and text
  mutable QCache<quint64, QImage> shadows_{200};          // the square; small arts by size
};

}  // namespace tavolune
