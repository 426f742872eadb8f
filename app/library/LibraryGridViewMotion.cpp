// The grid's motion: tiles moving to new cells as rows or columns change,
// and each tile's hover, selection and My Selection springs.
#include "app/library/LibraryGridView.hpp"

#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryTileDelegate.hpp"

#include <QScrollBar>

#include <algorithm>
#include <utility>

namespace tavolune {

QRectF LibraryGridView::drawnRect(int row) const {
  const QRectF target = cellRect(row);
  if (!layout_.isMoving() || row < 0 || row >= model_.rowCount()) return target;
  QRectF from;
  if (const auto it = from_.find(model_.id(row)); it != from_.end()) {
    from = it->second;
  } else if (fromGeometry_) {
    from = contentRect(row, *fromGeometry_);
  } else {
    return target;
  }
  return motion::lerp(from.translated(0, -verticalOffset()), target, layout_.value());
}

LibraryGridView::RowMotion& LibraryGridView::rowMotion(const std::string& id) {
  auto& slot = rowMotion_[id];
  if (!slot) {
    slot = std::make_unique<RowMotion>();
    RowMotion* m = slot.get();
    for (MotionValue* v : {&m->hover, &m->selected, &m->symbolSwap, &m->symbolBounce, &m->still}) {
      v->setOwner(viewport());
      connect(v, &MotionValue::valueChanged, viewport(), [this, m] { viewport()->update(m->area); });
    }
  }
  return *slot;
}

void LibraryGridView::watchModel() {
  connect(&model_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] { captureLayout(); });
  connect(&model_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int last) {
    if (from_.empty() && leaving_.empty()) return;  // nothing shown moves
    for (int row = first; row <= last && row - first < 2000; ++row) {
      if (cellRect(row).intersects(viewport()->rect())) arriving_.insert(model_.id(row));
    }
    startLayoutMotion(reflowSpring(), false, last - first + 1);
  });
  connect(&model_, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this](const QModelIndex&, int first, int last) {
    captureLayout();
    for (int row = std::max(first, firstPainted_); row <= last && row <= lastPainted_; ++row) {
      const QRectF r = drawnRect(row);
      if (r.intersects(viewport()->rect())) leaving_[model_.id(row)] = r.translated(0, verticalOffset());
    }
  });
  connect(&model_, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex&, int first, int last) {
    startLayoutMotion(reflowSpring(), false, last - first + 1);
  });
  connect(&model_, &QAbstractItemModel::rowsAboutToBeMoved, this, [this] { captureLayout(); });
  connect(&model_, &QAbstractItemModel::rowsMoved, this, [this] { startLayoutMotion(reflowSpring(), false); });
  connect(&model_, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { captureLayout(); });
  connect(&model_, &QAbstractItemModel::layoutChanged, this, [this] { startLayoutMotion(reflowSpring(), false); });
  connect(&model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    if (resetMotion_) captureLayout();
  });
  connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
    rowMotion_.clear();
    drawn_.clear();
    hovered_ = -1;
    if (!resetMotion_) {
      from_.clear();
      leaving_.clear();
      layout_.jumpTo(1);
      return;
    }
    // Tiles that were not shown before come in with a fade.
    for (int row = 0; row < model_.rowCount(); ++row) {
      if (!cellRect(row).intersects(viewport()->rect())) {
        if (cellRect(row).top() > viewport()->height()) break;
        continue;
      }
      if (!from_.contains(model_.id(row))) arriving_.insert(model_.id(row));
    }
    for (auto it = from_.begin(); it != from_.end();) {
      if (model_.row(it->first) < 0) {
        leaving_.insert(*it);
        it = from_.erase(it);
      } else {
        ++it;
      }
    }
    startLayoutMotion(*resetMotion_, false);
  });
  connect(&model_, &QAbstractItemModel::dataChanged, this, [this] {
    mySelectionChanged();
    viewport()->update();
  });
}

void LibraryGridView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
  // A range repaints through the viewport's update (watchModel); the base
  // would first measure every cell of it, all 20,000 for a change of all.
  if (topLeft == bottomRight) QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

void LibraryGridView::captureLayout() {
  if (!MotionPreferences::playsFor(viewport()) || firstPainted_ < 0 || model_.rowCount() == 0) {
    from_.clear();
    return;
  }
  std::unordered_map<std::string, QRectF> next;
  const auto [first, last] = paintRange(firstPainted_, lastPainted_);
  const QRectF shown = viewport()->rect();
  for (int row = first; row <= last; ++row) {
    const QRectF r = drawnRect(row);
    if (r.intersects(shown)) next.emplace(model_.id(row), r.translated(0, verticalOffset()));
  }
  from_ = std::move(next);
  capturedRows_ = {first, last};
}

void LibraryGridView::startLayoutMotion(const Curve& curve, bool rowsKept, int reach) {
  if (!rowsKept) fromGeometry_.reset();
  if (!MotionPreferences::playsFor(viewport()) || (from_.empty() && leaving_.empty() && arriving_.empty())) {
    from_.clear();
    leaving_.clear();
    arriving_.clear();
    layout_.jumpTo(1);
    viewport()->update();
    return;
  }
  if (rowsKept) {
    fromRows_ = capturedRows_;
  } else {
    // Where the captured tiles went: those still on their way are painted too.
    int lo = -1, hi = -1;
    std::size_t found = 0;
    const int count = model_.rowCount();
    const bool near = reach >= 0 && capturedRows_.first >= 0;
    const int start = near ? std::max(0, capturedRows_.first - reach) : 0;
    const int end = near ? std::min(count, capturedRows_.second + reach + 1) : count;
    for (int row = start; row < end && found < from_.size(); ++row) {
      if (!from_.contains(model_.id(row))) continue;
      ++found;
      if (lo < 0) lo = row;
      hi = row;
    }
    fromRows_ = {lo, hi};
  }
  layout_.jumpTo(0);
  layout_.animateTo(1, curve);
  viewport()->update();
}

std::pair<int, int> LibraryGridView::paintRange(int first, int last) const {
  if (!layout_.isMoving() || fromRows_.first < 0) return {first, last};
  const int count = model_.rowCount();
  return {std::max(0, std::min(first, fromRows_.first)), std::min(count - 1, std::max(last, fromRows_.second))};
}

void LibraryGridView::stillArrived(int row) {
  const std::string& id = model_.id(row);
  const auto it = drawn_.find(id);
  if (it == drawn_.end() || it->second.hadStill || !delegate_.hasStill(id)) return;
  it->second.hadStill = true;
  RowMotion& m = rowMotion(id);
  m.area = cellRect(row).adjusted(-16, -16, 16, 16);
  m.still.jumpTo(0);
  m.still.animateTo(1, stillEntrance(), MotionKind::fade);
}

void LibraryGridView::mySelectionChanged() {
  // Against the symbols as first drawn: a repaint may already have drawn
  // the new one before the model's report of the change comes.
  for (auto& [id, drawn] : drawn_) {
    const bool now = delegate_.inMySelection(id);
    if (drawn.inMySelection == now) continue;
    drawn.inMySelection = now;
    const int row = model_.row(id);
    if (row < firstPainted_ || row > lastPainted_) continue;  // out of sight: no motion
    tileShots_.erase(id);
    RowMotion& m = rowMotion(id);
    m.area = cellRect(row).adjusted(-16, -16, 16, 16);
    m.symbolSwap.jumpTo(0);
    m.symbolSwap.animateTo(1, symbolReplace());
    m.symbolBounce.nudge(symbolBounceVelocity, symbolBounce());
  }
}

void LibraryGridView::selectionChanged() {
  recycleShots();
  // Every tile in sight, also those a scroll moved without repainting.
  for (int row = std::max(0, firstPainted_); row <= lastPainted_ && row < model_.rowCount(); ++row) {
    const std::string& id = model_.id(row);
    const auto it = drawn_.find(id);
    const bool now = delegate_.stateFor(id, false).selected;
    if (it == drawn_.end() || it->second.selected == now) continue;
    const bool was = std::exchange(it->second.selected, now);
    RowMotion& m = rowMotion(id);
    m.area = cellRect(row).adjusted(-16, -16, 16, 16);
    if (!m.selected.isMoving()) m.selected.jumpTo(was ? 1 : 0);
    m.selected.animateTo(now ? 1 : 0, selectionSpring(), MotionKind::fade);
  }
  viewport()->update();
}

void LibraryGridView::setHovered(int row) {
  if (row == hovered_) return;
  const int old = hovered_;
  hovered_ = row;
  auto lift = [this](int r, bool on) {
    if (r < 0 || r >= model_.rowCount()) return;
    // A lifted tile reaches a little past its cell.
    const QRect area = cellRect(r).adjusted(-16, -16, 16, 16);
    RowMotion& m = rowMotion(model_.id(r));
    m.area = area;
    m.hover.animateTo(on ? 1 : 0, hoverSpring());
    viewport()->update(area);
  };
  lift(old, false);
  lift(row, true);
}

}  // namespace tavolune
