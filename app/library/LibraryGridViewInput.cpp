// The grid's input: the pointer, keys, the context menu and drags, passed on
// to the owner's handlers.
#include "app/library/LibraryGridView.hpp"

#include "app/library/ArtworkDrag.hpp"
#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryTileDelegate.hpp"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QToolTip>

namespace tavolune {

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
  const QPoint p = event->position().toPoint();
  const int row = rowAt(p);
  if (row < 0 || event->button() != Qt::LeftButton) return;
  // The toggle is a button: the second press of a double click is one more
  // press of it, as any button takes it.
  if (handlers_.toggle && onToggle(row, p)) {
    handlers_.toggle(row);
    return;
  }
  if (handlers_.doubleClick) handlers_.doubleClick(row);
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

bool LibraryGridView::takesDrag(const QMimeData& data) const {
  return ArtworkDrag::isOurs(data) && handlers_.acceptsDrops && handlers_.acceptsDrops();
}

void LibraryGridView::dragEnterEvent(QDragEnterEvent* event) {
  // Taken over the whole view, or no move would follow; each move says
  // whether the point takes the works.
  if (takesDrag(*event->mimeData())) {
    event->acceptProposedAction();
    setDropTarget(rowAt(event->position().toPoint()));
  } else {
    event->ignore();
  }
}

void LibraryGridView::dragMoveEvent(QDragMoveEvent* event) {
  const int row = takesDrag(*event->mimeData()) ? rowAt(event->position().toPoint()) : -1;
  setDropTarget(row);
  if (row >= 0) {
    event->acceptProposedAction();
  } else {
    event->ignore();  // only tiles take drops
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
  if (row >= 0 && handlers_.drop(*event->mimeData(), row)) {
    event->acceptProposedAction();
  } else {
    event->ignore();
  }
}

}  // namespace tavolune
