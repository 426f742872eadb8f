#pragma once
// The grid's scrolling surface: a uniform grid of cells over the grid
// model, as many columns as the grid says, the cells sharing the view's
// whole width between 28-point margins and 22-point gaps, rows 30 points
// apart; the thin scroll bar lies in the trailing margin. It
// paints only the visible rows through the tile delegate, tracks the
// pointer for hover, and passes clicks, double clicks, the toggle's
// clicks, key presses, context menus and drops to its owner, which holds
// the selection rules. The toggle is a button of its own: no click on it,
// double or not, reaches the tile's rules. Only tiles take drops: a drop
// in a gap or past the last tile is refused. Thumbnail requests more than a screen away from
// what shows are cancelled as it scrolls.
//
// Motion is painted, never a widget per tile: a hovered tile lifts with a
// spring, a selection change springs its ring and badges in, and a change
// of columns or of rows moves each shown tile from where it was to its new
// cell with one spring for the whole grid (arriving tiles fade in, leaving
// ones fade out), and a still that arrives after its tile was first drawn
// fades in growing from 0.985 over 0.35 s. Each moving tile keeps its own small state; none is kept
// at rest. GUI thread only.

#include "app/components/ArtworkTile.hpp"
#include "app/qt/ResultMailbox.hpp"
#include "app/style/Motion.hpp"

#include <QAbstractItemView>
#include <QPixmap>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

class QMimeData;

namespace tavolune {

class LibraryGridModel;
class LibraryTileDelegate;
class ThumbnailLoader;

class LibraryGridView final : public QAbstractItemView {
  Q_OBJECT
 public:
  static constexpr int sideMargin = 28;
  static constexpr int topMargin = 24;
  static constexpr int columnSpacing = 22;
  static constexpr int rowSpacing = 30;
  static constexpr int bottomMargin = 28;
  static constexpr int bottomMarginWithBar = 90;

  struct Handlers {
    std::function<void(int row, Qt::KeyboardModifiers modifiers)> click{};
    std::function<void(int row)> doubleClick{};
    std::function<void(int row)> toggle{};  // the My Selection toggle of a tile
    // Whether the press was handled; an ignored one goes to the window.
    std::function<bool(QKeyEvent* event)> key{};
    std::function<void(int row, const QPoint& globalPos)> contextMenu{};
    std::function<bool()> acceptsDrops{};
    // Works dropped on the tile of a row.
    std::function<bool(const QMimeData& data, int row)> drop{};
  };

  LibraryGridView(LibraryGridModel& model, LibraryTileDelegate& delegate, ThumbnailLoader& loader,
                  QWidget* parent = nullptr);
  ~LibraryGridView() override;

  // Springs of the grid: a tile under the pointer, a selection change, a
  // change of rows (the reorder of an exhibition among them).
  static Curve hoverSpring() { return Curve::springOf(0.3, 0.75); }
  static Curve selectionSpring() { return Curve::springOf(0.2, 0.85); }
  static Curve reflowSpring() { return Curve::springOf(0.35, 0.85); }
  // A tile's My Selection symbol, when the work joins or leaves it: the
  // old symbol is replaced by the new one, which bounces.
  static Curve symbolReplace() { return Curve::timed(0.3, Ease::inOut); }
  static Curve symbolBounce() { return Curve::springOf(0.3, 0.5); }
  static constexpr double symbolBounceVelocity = 1.5;  // scale per second
  // A still that arrives in a tile already drawn.
  static Curve stillEntrance() { return Curve::timed(0.35, Ease::out); }

  void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
  // With a curve the tiles move to their new cells; without, they jump.
  void setColumnCount(int columns, std::optional<Curve> motion = std::nullopt);
  int columnCount() const { return columns_; }
  void setBottomMargin(int margin, std::optional<Curve> motion = std::nullopt);
  int bottomMarginNow() const { return bottomMargin_; }
  // The next reset of the model (a whole new listing) moves the tiles it
  // keeps instead of redrawing them in place.
  // Unset: resets show at once again.
  void moveOnNextReset(std::optional<Curve> curve) { resetMotion_ = curve; }
  // The window's selection changed: shown tiles whose state changed spring.
  void selectionChanged();
  // Works joined or left My Selection: the shown tiles' symbols are replaced.
  void mySelectionChanged();
  // Whether anything in the grid moves now.
  bool isMoving() const;

  int cellWidth() const;
  int cellHeight() const;
  // The cell of a row in viewport coordinates (scrolled).
  QRect cellRect(int row) const;
  int rowAt(const QPoint& viewportPos) const;  // -1 between cells
  // Where the row's tile shows now, in viewport coordinates: its cell, or
  // on its way there.
  QRectF drawnRect(int row) const;
  int hoveredRow() const { return hovered_; }
  // Rows painted by the last frame, first and last (empty: -1, -1).
  std::pair<int, int> visibleRows() const;
  int contentHeight() const;
  // Scrolls the least that brings the row into view (eased out, 0.15 s).
  void ensureVisible(int row);

  QRect visualRect(const QModelIndex& index) const override;
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
  QModelIndex indexAt(const QPoint& point) const override;

 signals:
  void columnCountChanged(int columns);

 protected:
  QModelIndex moveCursor(CursorAction, Qt::KeyboardModifiers) override { return currentIndex(); }
  int horizontalOffset() const override { return 0; }
  int verticalOffset() const override;
  bool isIndexHidden(const QModelIndex&) const override { return false; }
  void setSelection(const QRect&, QItemSelectionModel::SelectionFlags) override {}
  QRegion visualRegionForSelection(const QItemSelection&) const override { return {}; }
  void updateGeometries() override;
  void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles = {}) override;
  void scrollContentsBy(int dx, int dy) override;

  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void dragLeaveEvent(QDragLeaveEvent* event) override;
  void startDrag(Qt::DropActions actions) override;

 private:
  struct Geometry {
    int columns;
    double pitchX;  // a cell's width and the gap after it
    int cellWidth;
    int cellHeight;
  };
  struct RowMotion {
    MotionValue hover{0};
    MotionValue selected{0};
    MotionValue symbolSwap{1};
    MotionValue symbolBounce{0};
    MotionValue still{1};
    QRect area;  // what to repaint as it moves
    bool isMoving() const {
      return hover.isMoving() || selected.isMoving() || symbolSwap.isMoving() || symbolBounce.isMoving() ||
             still.isMoving();
    }
  };
  Geometry geometry() const;
  // What the cells share across the view's whole width, and where the
  // first column starts in the viewport.
  double freeWidth() const;
  int firstColumnX() const;
  QRectF contentRect(int row, const Geometry& g) const;
  RowMotion& rowMotion(const std::string& id);
  void watchModel();
  // A still came for a shown tile drawn without it: it enters.
  void stillArrived(int row);
  // Notes where the shown tiles are before rows or columns change.
  void captureLayout();
  // reach: how many rows a captured tile may have moved by (rows inserted
  // or removed), or -1 for anywhere.
  void startLayoutMotion(const Curve& curve, bool rowsKept, int reach = -1);
  std::pair<int, int> paintRange(int first, int last) const;
  // A moving tile's picture at its cell's size, with room for its shadow.
  const QPixmap& tileShot(const std::string& id, QSize cell, const TileState& state, qreal dpr);
  static void drawScaled(QPainter& painter, const QPixmap& shot, const QRectF& target);
  // Moving tiles' pictures go back to the spares when they settle.
  void recycleShots();
  // At rest: enough spare pictures of a tile's size for the next motion,
  // made on a worker (fresh memory is slow to touch) and taken here.
  void keepSpareShots();
  void setHovered(int row);
  // Whether the point is on the row's My Selection toggle, the tile hovered.
  bool onToggle(int row, const QPoint& p) const;
  // The tile a drag of ours hovers over on an exhibition's page: the works go before it.
  void setDropTarget(int row);
  bool takesDrag(const QMimeData& data) const;
  void pruneRequests(int first, int last);
  int rowPitch() const { return cellHeight() + rowSpacing; }

  int dropTarget_ = -1;
  LibraryGridModel& model_;
  LibraryTileDelegate& delegate_;
  ThumbnailLoader& loader_;
  Handlers handlers_;
  int columns_ = 4;
  int bottomMargin_ = bottomMargin;
  int hovered_ = -1;
  int firstPainted_ = -1;
  int lastPainted_ = -1;
  int prunedAt_ = -2;
  std::optional<QPoint> pressPos_;
  int pressRow_ = -1;

  // Motion.
  std::unordered_map<std::string, std::unique_ptr<RowMotion>> rowMotion_;
  // What shown tiles drew: their selection when last painted, and whether
  // in My Selection and with their still when first painted (changes start
  // their motions).
  struct Drawn {
    bool selected;
    bool inMySelection;
    bool hadStill;
  };
  std::unordered_map<std::string, Drawn> drawn_;
  MotionValue layout_{1};                          // 0 where tiles were, 1 in their cells
  std::unordered_map<std::string, QRectF> from_;   // content coordinates
  std::optional<Geometry> fromGeometry_;           // for tiles not captured, when rows are kept
  std::pair<int, int> fromRows_{-1, -1};           // rows of the captured tiles now
  std::pair<int, int> capturedRows_{-1, -1};       // their rows when captured
  std::unordered_map<std::string, QRectF> leaving_;
  std::unordered_set<std::string> arriving_;
  static constexpr int shotMargin = 6;  // a resting tile's shadow
  std::unordered_map<std::string, QPixmap> tileShots_;  // while tiles move
  std::vector<QPixmap> spareShots_;                     // of spareSize_
  QSize spareSize_;                                     // device pixels
  std::size_t sparesWanted_ = 0;
  bool sparing_ = false;  // a worker is making some
  std::shared_ptr<ResultMailbox> mailbox_ = ResultMailbox::to(this);
  std::optional<Curve> resetMotion_;
  MotionValue bottom_{bottomMargin};
  MotionValue scroll_{0};  // a keyboard move's scroll
};

}  // namespace tavolune
