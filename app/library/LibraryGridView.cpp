// The view that ties the grid together: its cells' geometry, scrolling and
// the requests for stills; motion, painting and input have files of their own.
#include "app/library/LibraryGridView.hpp"

#include "app/components/ThumbnailLoader.hpp"
#include "app/library/LibraryGridAccessible.hpp"
#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryTileDelegate.hpp"
#include "app/style/ScrollBarStyle.hpp"

#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace tavolune {

LibraryGridView::LibraryGridView(LibraryGridModel& model, LibraryTileDelegate& delegate, ThumbnailLoader& loader,
                                 QWidget* parent)
    : QAbstractItemView(parent), model_(model), delegate_(delegate), loader_(loader) {
  installLibraryGridAccessible();
  setModel(&model_);
  setItemDelegate(&delegate_);
  setSelectionMode(NoSelection);
  setEditTriggers(NoEditTriggers);
  setFocusPolicy(Qt::StrongFocus);
  setMouseTracking(true);
  setFrameShape(QFrame::NoFrame);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollMode(ScrollPerPixel);
  setAcceptDrops(true);
  setDragDropMode(DragDrop);
  setAttribute(Qt::WA_MacShowFocusRect, false);  // no focus ring
  // Opaque: a scroll moves what shows and paints only what scrolled in
  // (a see-through viewport is repainted whole with what lies under it).
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  // Nor may anything lie over it: the window's sidebar divider grabs the
  // pointer two pixels either side of its line, and the grid's empty left
  // margin starts past that.
  setViewportMargins(2, 0, 0, 0);
  verticalScrollBar()->setStyle(new ScrollBarStyle(this));
  layout_.setParent(this);
  layout_.setOwner(viewport());
  connect(&layout_, &MotionValue::valueChanged, viewport(), qOverload<>(&QWidget::update));
  connect(&layout_, &MotionValue::settled, this, [this] {
    if (layout_.value() < 1) return;  // a new motion starts from where tiles were
    from_.clear();
    leaving_.clear();
    arriving_.clear();
    recycleShots();
    fromGeometry_.reset();
    fromRows_ = {-1, -1};
    viewport()->update();
  });
  scroll_.setParent(this);
  scroll_.setOwner(viewport());
  connect(&scroll_, &MotionValue::valueChanged, this,
          [this](double v) { verticalScrollBar()->setValue(int(std::lround(v))); });
  bottom_.setParent(this);
  bottom_.setOwner(viewport());
  connect(&bottom_, &MotionValue::valueChanged, this, [this](double v) {
    bottomMargin_ = int(std::lround(v));
    updateGeometries();
  });
  watchModel();
  // A still that arrived repaints its cell, when the cell still shows.
  connect(&loader_, &ThumbnailLoader::thumbnailChanged, this, [this](const QString& key) {
    if (firstPainted_ < 0) return;
    const std::string k = key.toStdString();
    for (int row = firstPainted_; row <= lastPainted_ && row < model_.rowCount(); ++row) {
      if (ThumbnailLoader::key(model_.id(row), ArtworkTile::maxPixel) == k) {
        tileShots_.erase(model_.id(row));
        stillArrived(row);
        viewport()->update(cellRect(row));
        return;
      }
    }
  });
}

void LibraryGridView::setColumnCount(int columns, std::optional<Curve> motion) {
  columns = std::max(1, columns);
  if (columns == columns_) return;
  const bool moves = motion && MotionPreferences::playsFor(viewport()) && model_.rowCount() > 0;
  if (moves) {
    captureLayout();
    fromGeometry_ = geometry();
  }
  columns_ = columns;
  updateGeometries();
  if (moves) startLayoutMotion(*motion, true);
  viewport()->update();
  emit columnCountChanged(columns_);
}

void LibraryGridView::setBottomMargin(int margin, std::optional<Curve> motion) {
  if (motion) {
    bottom_.animateTo(margin, *motion);
  } else {
    bottom_.jumpTo(margin);
  }
}
bool LibraryGridView::isMoving() const {
  if (layout_.isMoving() || bottom_.isMoving() || scroll_.isMoving()) return true;
  return std::any_of(rowMotion_.begin(), rowMotion_.end(), [](const auto& m) { return m.second->isMoving(); });
}

double LibraryGridView::freeWidth() const {
  // The view's whole width: the scroll bar lies in the trailing margin.
  return width() - 2 * sideMargin - columnSpacing * (columns_ - 1);
}

int LibraryGridView::firstColumnX() const { return sideMargin - viewport()->x(); }

LibraryGridView::Geometry LibraryGridView::geometry() const {
  return {columns_, std::max(10.0, freeWidth() / columns_) + columnSpacing, cellWidth(), cellHeight()};
}

QRectF LibraryGridView::contentRect(int row, const Geometry& g) const {
  const int col = row % g.columns;
  const int line = row / g.columns;
  return QRectF(firstColumnX() + std::lround(col * g.pitchX), topMargin + line * (g.cellHeight + rowSpacing),
                g.cellWidth, g.cellHeight);
}

int LibraryGridView::cellWidth() const { return std::max(10, int(std::floor(freeWidth() / columns_))); }

int LibraryGridView::cellHeight() const { return delegate_.heightFor(cellWidth()); }

QRect LibraryGridView::cellRect(int row) const {
  if (row < 0 || row >= model_.rowCount()) return {};
  const double w = std::max(10.0, freeWidth() / columns_);
  const int col = row % columns_;
  const int line = row / columns_;
  const int x = firstColumnX() + int(std::lround(col * (w + columnSpacing)));
  const int y = topMargin + line * rowPitch() - verticalOffset();
  return QRect(x, y, cellWidth(), cellHeight());
}

int LibraryGridView::rowAt(const QPoint& p) const {
  const int count = model_.rowCount();
  if (count == 0) return -1;
  const int y = p.y() + verticalOffset() - topMargin;
  if (y < 0) return -1;
  const int line = y / rowPitch();
  const double w = std::max(10.0, freeWidth() / columns_);
  const int col = int(std::floor((p.x() - firstColumnX()) / (w + columnSpacing)));
  if (col < 0 || col >= columns_) return -1;
  const int row = line * columns_ + col;
  if (row >= count) return -1;
  return cellRect(row).contains(p) ? row : -1;
}

int LibraryGridView::contentHeight() const {
  const int rows = (model_.rowCount() + columns_ - 1) / columns_;
  if (rows == 0) return 0;
  return topMargin + rows * cellHeight() + (rows - 1) * rowSpacing + bottomMargin_;
}

int LibraryGridView::verticalOffset() const { return verticalScrollBar()->value(); }

void LibraryGridView::updateGeometries() {
  const int viewHeight = viewport()->height();
  verticalScrollBar()->setRange(0, std::max(0, contentHeight() - viewHeight));
  verticalScrollBar()->setPageStep(viewHeight);
  verticalScrollBar()->setSingleStep(std::max(20, rowPitch() / 4));
  QAbstractItemView::updateGeometries();
}

LibraryGridView::~LibraryGridView() { mailbox_->close(); }

void LibraryGridView::hideEvent(QHideEvent* event) {
  // A hidden grid keeps no memory for motions it cannot show.
  spareShots_.clear();
  spareSize_ = {};
  QAbstractItemView::hideEvent(event);
}

void LibraryGridView::resizeEvent(QResizeEvent* event) {
  QAbstractItemView::resizeEvent(event);
  updateGeometries();
}

void LibraryGridView::scrollContentsBy(int dx, int dy) {
  // Moves what shows (the base class would repaint it all); what a
  // layout motion draws outside the cells is not where it moves to.
  if (layout_.isMoving()) {
    viewport()->update();
  } else {
    viewport()->scroll(dx, dy);
  }
  // The pointer now rests over another tile.
  const QPoint p = viewport()->mapFromGlobal(QCursor::pos());
  if (hovered_ >= 0) setHovered(viewport()->rect().contains(p) ? rowAt(p) : -1);
}

QRect LibraryGridView::visualRect(const QModelIndex& index) const {
  return index.isValid() ? cellRect(index.row()) : QRect();
}

void LibraryGridView::ensureVisible(int row) {
  const QRect r = cellRect(row);
  if (r.isNull()) return;
  QScrollBar* bar = verticalScrollBar();
  // Where a scroll under way goes counts as where the view is.
  const int at = scroll_.isMoving() ? int(std::lround(scroll_.target())) : bar->value();
  const int top = r.top() - (bar->value() - at);
  const int bottom = r.bottom() - (bar->value() - at);
  int target = at;
  if (top < 0) {
    target = at + top - topMargin / 2;
  } else if (bottom > viewport()->height()) {
    target = at + bottom - viewport()->height() + bottomMargin_;
  }
  target = std::clamp(target, bar->minimum(), bar->maximum());
  if (target == at) return;
  // The least scrolling that shows the cell, eased out over 0.15 s.
  if (!scroll_.isMoving()) scroll_.jumpTo(bar->value());
  scroll_.animateTo(target, Curve::timed(0.15, Ease::out));
}

void LibraryGridView::scrollTo(const QModelIndex& index, ScrollHint) {
  if (index.isValid()) ensureVisible(index.row());
}

QModelIndex LibraryGridView::indexAt(const QPoint& point) const {
  const int row = rowAt(point);
  return row < 0 ? QModelIndex() : model_.index(row);
}

std::pair<int, int> LibraryGridView::visibleRows() const { return {firstPainted_, lastPainted_}; }

void LibraryGridView::pruneRequests(int first, int last) {
  if (first == prunedAt_) return;
  prunedAt_ = first;
  // What shows, and a screen either way, keeps its requests.
  const int screen = std::max(columns_, (viewport()->height() / std::max(1, rowPitch()) + 1) * columns_);
  const int from = std::max(0, first - screen);
  const int to = std::min(model_.rowCount() - 1, last + screen);
  loader_.cancelWhere([&](const std::string& id) {
    const int row = model_.row(id);
    return row < from || row > to;
  });
}

}  // namespace tavolune
