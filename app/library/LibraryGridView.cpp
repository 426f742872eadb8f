#include "app/library/LibraryGridView.hpp"

#include "app/library/ArtworkDrag.hpp"
#include "app/style/Theme.hpp"

#include "app/components/ThumbnailLoader.hpp"
#include "app/library/LibraryGridAccessible.hpp"
#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryTileDelegate.hpp"
#include "app/model/AppModel.hpp"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

#include <algorithm>
#include <tuple>
#include <cmath>
#include <unordered_set>

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
  viewport()->setAutoFillBackground(false);
  // A still that arrived repaints its cell, when the cell still shows.
  connect(&loader_, &ThumbnailLoader::thumbnailChanged, this, [this](const QString& key) {
    if (firstPainted_ < 0) return;
    const std::string k = key.toStdString();
    for (int row = firstPainted_; row <= lastPainted_ && row < model_.rowCount(); ++row) {
      if (ThumbnailLoader::key(model_.id(row), ArtworkTile::maxPixel) == k) {
        viewport()->update(cellRect(row));
        return;
      }
    }
  });
}

void LibraryGridView::setColumnCount(int columns) {
  columns = std::max(1, columns);
  if (columns == columns_) return;
  columns_ = columns;
  updateGeometries();
  viewport()->update();
  emit columnCountChanged(columns_);
}

void LibraryGridView::setBottomMargin(int margin) {
  if (margin == bottomMargin_) return;
  bottomMargin_ = margin;
  updateGeometries();
}

int LibraryGridView::cellWidth() const {
  const double free = viewport()->width() - 2 * sideMargin - columnSpacing * (columns_ - 1);
  return std::max(10, int(std::floor(free / columns_)));
}

int LibraryGridView::cellHeight() const { return delegate_.heightFor(cellWidth()); }

QRect LibraryGridView::cellRect(int row) const {
  if (row < 0 || row >= model_.rowCount()) return {};
  const double free = viewport()->width() - 2 * sideMargin - columnSpacing * (columns_ - 1);
  const double w = std::max(10.0, free / columns_);
  const int col = row % columns_;
  const int line = row / columns_;
  const int x = sideMargin + int(std::lround(col * (w + columnSpacing)));
  const int y = topMargin + line * rowPitch() - verticalOffset();
  return QRect(x, y, cellWidth(), cellHeight());
}

int LibraryGridView::rowAt(const QPoint& p) const {
  const int count = model_.rowCount();
  if (count == 0) return -1;
  const int y = p.y() + verticalOffset() - topMargin;
  if (y < 0) return -1;
  const int line = y / rowPitch();
  const double free = viewport()->width() - 2 * sideMargin - columnSpacing * (columns_ - 1);
  const double w = std::max(10.0, free / columns_);
  const int col = int(std::floor((p.x() - sideMargin) / (w + columnSpacing)));
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

void LibraryGridView::resizeEvent(QResizeEvent* event) {
  QAbstractItemView::resizeEvent(event);
  updateGeometries();
}

void LibraryGridView::scrollContentsBy(int dx, int dy) {
  QAbstractItemView::scrollContentsBy(dx, dy);
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
  if (r.top() < 0) {
    bar->setValue(bar->value() + r.top() - topMargin / 2);
  } else if (r.bottom() > viewport()->height()) {
    bar->setValue(bar->value() + r.bottom() - viewport()->height() + bottomMargin_);
  }
}

void LibraryGridView::scrollTo(const QModelIndex& index, ScrollHint) {
  if (index.isValid()) ensureVisible(index.row());
}

QModelIndex LibraryGridView::indexAt(const QPoint& point) const {
  const int row = rowAt(point);
  return row < 0 ? QModelIndex() : model_.index(row);
}

std::pair<int, int> LibraryGridView::visibleRows() const { return {firstPainted_, lastPainted_}; }

void LibraryGridView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const int count = model_.rowCount();
  firstPainted_ = lastPainted_ = -1;
  if (count == 0) return;
  delegate_.beginFrame();
  const int pitch = rowPitch();
  auto rowsIn = [&](const QRect& r) {
    const int top = std::max(0, (r.top() + verticalOffset() - topMargin) / pitch);
    const int bottom = std::max(0, (r.bottom() + verticalOffset() - topMargin) / pitch);
    return std::pair(std::min(count - 1, top * columns_), std::min(count - 1, (bottom + 1) * columns_ - 1));
  };
  const QRect dirty = event->rect();
  const auto [first, last] = rowsIn(dirty);
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  for (int row = first; row <= last; ++row) {
    option.rect = cellRect(row);
    if (!option.rect.intersects(dirty)) continue;
    option.state = QStyle::State_Enabled;
    if (row == hovered_) option.state |= QStyle::State_MouseOver;
    delegate_.paint(&painter, option, model_.index(row));
  }
  if (dropTarget_ >= 0 && dropTarget_ < count) {
    // The insertion bar in the gap before the tile the works will precede.
    const QRect cell = cellRect(dropTarget_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::accent(palette()));
    painter.drawRoundedRect(QRectF(cell.left() - 12 - 1.5, cell.top(), 3, cell.height()), 1.5, 1.5);
  }
  // What the whole view shows, whatever part was painted now.
  std::tie(firstPainted_, lastPainted_) = rowsIn(viewport()->rect());
  pruneRequests(firstPainted_, lastPainted_);
}

void LibraryGridView::pruneRequests(int first, int last) {
  if (first == prunedAt_) return;
  prunedAt_ = first;
  // What shows, and a screen either way, keeps its requests.
  const int screen = std::max(columns_, (viewport()->height() / std::max(1, rowPitch()) + 1) * columns_);
  const int from = std::max(0, first - screen);
  const int to = std::min(model_.rowCount() - 1, last + screen);
  std::unordered_set<std::string> keep;
  keep.reserve(std::size_t(to - from + 1));
  for (int row = from; row <= to; ++row) keep.insert(ThumbnailLoader::key(model_.id(row), ArtworkTile::maxPixel));
  loader_.cancelAllExcept(keep);
}

void LibraryGridView::setHovered(int row) {
  if (row == hovered_) return;
  const int old = hovered_;
  hovered_ = row;
  // A lifted tile reaches a little past its cell.
  if (old >= 0) viewport()->update(cellRect(old).adjusted(-16, -16, 16, 16));
  if (row >= 0) viewport()->update(cellRect(row).adjusted(-16, -16, 16, 16));
}

void LibraryGridView::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  const QPoint p = event->position().toPoint();
  const int row = rowAt(p);
  pressPos_.reset();
  pressRow_ = -1;
  if (row < 0) return;
  if (event->button() == Qt::LeftButton) {
    pressPos_ = p;
    pressRow_ = row;
    setHovered(row);
    if (handlers_.toggle && onToggle(row, p)) {
      pressPos_.reset();
      handlers_.toggle(row);
      return;
    }
    if (handlers_.click) handlers_.click(row, event->modifiers());
  }
}

bool LibraryGridView::onToggle(int row, const QPoint& p) const {
  const auto& state = delegate_.stateFor(model_.id(row), true);
  const TileData data = delegate_.dataFor(model_.id(row), cellRect(row), devicePixelRatioF());
  return delegate_.tile().toggleRect(cellRect(row), data, state).contains(p);
}

bool LibraryGridView::viewportEvent(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QAbstractItemView::viewportEvent(event);
  // A tile's one help text is its toggle's, shown over the toggle only.
  const auto* help = static_cast<QHelpEvent*>(event);
  const int row = rowAt(help->pos());
  if (row >= 0 && onToggle(row, help->pos())) {
    QToolTip::showText(help->globalPos(), model_.data(model_.index(row), Qt::ToolTipRole).toString(), viewport(),
                       cellRect(row));
  } else {
    QToolTip::hideText();
  }
  return true;
}

void LibraryGridView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  setHovered(rowAt(p));
  if (pressPos_ && (event->buttons() & Qt::LeftButton) &&
      (p - *pressPos_).manhattanLength() >= QApplication::startDragDistance()) {
    pressPos_.reset();
    startDrag(Qt::CopyAction | Qt::MoveAction);
  }
}

void LibraryGridView::mouseReleaseEvent(QMouseEvent*) { pressPos_.reset(); }

void LibraryGridView::mouseDoubleClickEvent(QMouseEvent* event) {
  const int row = rowAt(event->position().toPoint());
  if (row >= 0 && event->button() == Qt::LeftButton && handlers_.doubleClick) handlers_.doubleClick(row);
}

void LibraryGridView::leaveEvent(QEvent* event) {
  QAbstractItemView::leaveEvent(event);
  setHovered(-1);
}

void LibraryGridView::keyPressEvent(QKeyEvent* event) {
  // A held key moves once.
  if (event->isAutoRepeat()) {
    event->accept();
    return;
  }
  if (handlers_.key && handlers_.key(event)) {
    event->accept();
    return;
  }
  event->ignore();
}

void LibraryGridView::contextMenuEvent(QContextMenuEvent* event) {
  const int row = rowAt(event->pos());
  if (row >= 0 && handlers_.contextMenu) handlers_.contextMenu(row, event->globalPos());
}

void LibraryGridView::startDrag(Qt::DropActions actions) {
  if (pressRow_ < 0 || pressRow_ >= model_.rowCount()) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(model_.mimeData({model_.index(pressRow_)}));
  drag->exec(actions, Qt::CopyAction);
}

void LibraryGridView::dragEnterEvent(QDragEnterEvent* event) { dragMoveEvent(event); }

void LibraryGridView::dragMoveEvent(QDragMoveEvent* event) {
  if (ArtworkDrag::isOurs(*event->mimeData()) && handlers_.acceptsDrops && handlers_.acceptsDrops()) {
    event->acceptProposedAction();
    setDropTarget(rowAt(event->position().toPoint()));
  } else {
    event->ignore();
    setDropTarget(-1);
  }
}

void LibraryGridView::dragLeaveEvent(QDragLeaveEvent*) { setDropTarget(-1); }

void LibraryGridView::setDropTarget(int row) {
  if (row == dropTarget_) return;
  dropTarget_ = row;
  viewport()->update();
}

void LibraryGridView::dropEvent(QDropEvent* event) {
  setDropTarget(-1);
  if (!ArtworkDrag::isOurs(*event->mimeData()) || !handlers_.drop) {
    event->ignore();
    return;
  }
  const int row = rowAt(event->position().toPoint());
  if (handlers_.drop(*event->mimeData(), row < 0 ? std::nullopt : std::optional<int>(row))) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

}  // namespace tavolune
