#pragma once
// The grid's scrolling surface: a uniform grid of cells over the grid
// model, as many columns as the grid says, the cells sharing the width
// between 28-point margins and 22-point gaps, rows 30 points apart. It
// paints only the visible rows through the tile delegate, tracks the
// pointer for hover, and passes clicks, double clicks, the toggle's
// clicks, key presses, context menus and drops to its owner, which holds
// the selection rules. Thumbnail requests more than a screen away from
// what shows are cancelled as it scrolls. GUI thread only.

#include <QAbstractItemView>

#include <functional>
#include <optional>
#include <string>
#include <utility>

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
    std::function<bool(const QMimeData& data, std::optional<int> row)> drop{};
  };

  LibraryGridView(LibraryGridModel& model, LibraryTileDelegate& delegate, ThumbnailLoader& loader,
                  QWidget* parent = nullptr);

  void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }
  void setColumnCount(int columns);
  int columnCount() const { return columns_; }
  void setBottomMargin(int margin);

  int cellWidth() const;
  int cellHeight() const;
  // The cell of a row in viewport coordinates (scrolled).
  QRect cellRect(int row) const;
  int rowAt(const QPoint& viewportPos) const;  // -1 between cells
  int hoveredRow() const { return hovered_; }
  // Rows painted by the last frame, first and last (empty: -1, -1).
  std::pair<int, int> visibleRows() const;
  int contentHeight() const;
  // Scrolls the least that brings the row into view.
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
  void scrollContentsBy(int dx, int dy) override;

  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
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
  void setHovered(int row);
  // Whether the point is on the row's My Selection toggle, the tile hovered.
  bool onToggle(int row, const QPoint& p) const;
  // The tile a drag of ours hovers over on an exhibition's page: the works go before it.
  void setDropTarget(int row);
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
};

}  // namespace tavolune
