#include "app/library/LibraryGridView.hpp"

#include "app/library/ArtworkDrag.hpp"
#include "app/style/ScrollBarStyle.hpp"
#include "app/style/Theme.hpp"

#include "app/components/ThumbnailLoader.hpp"
#include "app/library/LibraryGridAccessible.hpp"
#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryTileDelegate.hpp"
#include "app/model/AppModel.hpp"
#include "app/render/DevicePixels.hpp"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <tuple>
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

LibraryGridView::Geometry LibraryGridView::geometry() const {
  const double free = viewport()->width() - 2 * sideMargin - columnSpacing * (columns_ - 1);
  return {columns_, std::max(10.0, free / columns_) + columnSpacing, cellWidth(), cellHeight()};
}

QRectF LibraryGridView::contentRect(int row, const Geometry& g) const {
  const int col = row % g.columns;
  const int line = row / g.columns;
  return QRectF(sideMargin + std::lround(col * g.pitchX), topMargin + line * (g.cellHeight + rowSpacing), g.cellWidth,
                g.cellHeight);
}

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
    for (MotionValue* v : {&m->hover, &m->selected, &m->symbolSwap, &m->symbolBounce}) {
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

const QPixmap& LibraryGridView::tileShot(const std::string& id, QSize cell, const TileState& state, qreal dpr) {
  QPixmap& shot = tileShots_[id];
  const QSize size = (cell + QSize(2 * shotMargin, 2 * shotMargin)) * dpr;
  if (shot.size() != size) {
    if (!spareShots_.empty() && size == spareSize_) {
      shot = std::move(spareShots_.back());
      spareShots_.pop_back();
    } else {
      shot = QPixmap(size);
    }
    shot.setDevicePixelRatio(dpr);
    // Opaque on the grid's own background: copied, not blended, each frame.
    shot.fill(palette().color(QPalette::Window));
    QPainter p(&shot);
    delegate_.paintTile(p, QRect(QPoint(shotMargin, shotMargin), cell), id, state);
  }
  return shot;
}

void LibraryGridView::recycleShots() {
  for (auto& [id, shot] : tileShots_) {
    if (spareShots_.size() >= sparesWanted_) break;
    if (shot.size() == spareSize_) spareShots_.push_back(std::move(shot));
  }
  tileShots_.clear();
}

void LibraryGridView::keepSpareShots() {
  const qreal dpr = viewport()->devicePixelRatioF();
  const QSize size = (QSize(cellWidth(), cellHeight()) + QSize(2 * shotMargin, 2 * shotMargin)) * dpr;
  if (size != spareSize_) {
    spareShots_.clear();
    spareSize_ = size;
  }
  // The tiles of a screen and a row more, what one motion draws, within a
  // budget: a motion past it makes the rest then.
  static constexpr qint64 budget = 24 * 1024 * 1024;
  const qint64 bytes = std::max<qint64>(1, qint64(size.width()) * size.height() * 4);
  sparesWanted_ = std::min(std::size_t(columns_) * std::size_t(viewport()->height() / std::max(1, rowPitch()) + 2),
                           std::size_t(budget / bytes));
  if (sparing_ || spareShots_.size() >= sparesWanted_ || size.isEmpty()) return;
  sparing_ = true;
  const QColor background = palette().color(QPalette::Window);
  QThreadPool::globalInstance()->start(
      [count = sparesWanted_ - spareShots_.size(), size, background, mailbox = mailbox_, self = this] {
        std::vector<QImage> made;
        made.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
          made.emplace_back(size, QImage::Format_RGB32);
          made.back().fill(background);
        }
        mailbox->post([self, size, made]() mutable {
          self->sparing_ = false;
          if (size != self->spareSize_) return;  // the tiles changed size meanwhile
          for (QImage& image : made) {
            if (self->spareShots_.size() >= self->sparesWanted_) break;
            self->spareShots_.push_back(QPixmap::fromImage(std::move(image)));
          }
        });
      });
}

void LibraryGridView::drawScaled(QPainter& painter, const QPixmap& shot, const QRectF& target) {
  // Scaled, without smoothing, in bands of a few dozen pixel rows: Qt hands
  // a taller scaled picture's rows to its painting threads, and waking them
  // costs more than drawing a hundred tiles on this one.
  static constexpr int band = 48;
  const double sy = target.height() / shot.height();
  // Bands meet on whole device pixels: a fraction between them would leave
  // a row unpainted.
  const qreal dpr = DevicePixels::ratio(painter);
  const auto edge = [&](int y) { return std::round((target.y() + y * sy) * dpr) / dpr; };
  for (int y = 0; y < shot.height(); y += band) {
    const int rows = std::min(band, shot.height() - y);
    const double top = edge(y);
    painter.drawPixmap(QRectF(target.x(), top, target.width(), edge(y + rows) - top), shot,
                       QRectF(0, y, shot.width(), rows));
  }
}

std::pair<int, int> LibraryGridView::paintRange(int first, int last) const {
  if (!layout_.isMoving() || fromRows_.first < 0) return {first, last};
  const int count = model_.rowCount();
  return {std::max(0, std::min(first, fromRows_.first)), std::min(count - 1, std::max(last, fromRows_.second))};
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

void LibraryGridView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  // A scroll and a still's arrival in one frame dirty two strips: only
  // they are painted, not what lies between.
  const QRegion& region = event->region();
  for (const QRect& r : region) painter.fillRect(r, palette().color(QPalette::Window));
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
  const bool moving = layout_.isMoving();
  const double p = layout_.value();
  auto [first, last] = rowsIn(dirty);
  if (moving) std::tie(first, last) = paintRange(first, last);
  for (int row = first; row <= last; ++row) {
    const QRect cell = cellRect(row);
    const QRectF drawn = moving ? drawnRect(row) : QRectF(cell);
    const QRect area = drawn.toAlignedRect().adjusted(-16, -16, 16, 16);
    if (!region.intersects(area)) continue;
    const std::string& id = model_.id(row);
    TileState state = delegate_.stateFor(id, row == hovered_);
    // The selection as drawn now; the symbol as first drawn.
    if (auto [drawn, fresh] = drawn_.try_emplace(id, Drawn{state.selected, false}); fresh) {
      drawn->second.inMySelection = delegate_.inMySelection(id);
    } else {
      drawn->second.selected = state.selected;
    }
    if (const auto it = rowMotion_.find(id); it != rowMotion_.end()) {
      const RowMotion& m = *it->second;
      state.hover = m.hover.value();
      if (m.selected.isMoving()) state.selection = m.selected.value();
      state.symbolSwap = m.symbolSwap.value();
      state.symbolBounce = m.symbolBounce.value();
    }
    const double opacity = moving && arriving_.contains(id) ? std::clamp(p, 0.0, 1.0) : 1.0;
    if (opacity <= 0) continue;  // not in yet: nothing to see
    painter.setOpacity(opacity);
    if (!moving || drawn == QRectF(cell)) {
      // At rest, or come to rest where it was: drawn as it is.
      delegate_.paintTile(painter, cell, id, state);
    } else if (rowMotion_.contains(id)) {
      delegate_.paintTile(painter, drawn.toRect(), id, state);
    } else {
      // On its way: the tile as it was drawn before, painted once (its
      // still and captions are cached at that size) and then moved and
      // scaled as a picture, frame after frame.
      QSize was = cell.size();
      if (const auto it = from_.find(id); it != from_.end()) {
        was = it->second.size().toSize();
      } else if (fromGeometry_) {
        was = QSize(fromGeometry_->cellWidth, fromGeometry_->cellHeight);
      }
      const QPixmap& shot = tileShot(id, was, state, painter.device()->devicePixelRatioF());
      drawScaled(painter, shot, QRectF(drawn.x() - shotMargin * drawn.width() / was.width(),
                                       drawn.y() - shotMargin * drawn.height() / was.height(),
                                       (was.width() + 2 * shotMargin) * drawn.width() / was.width(),
                                       (was.height() + 2 * shotMargin) * drawn.height() / was.height()));
    }
  }
  if (moving) {
    for (const auto& [id, r] : leaving_) {
      painter.setOpacity(std::clamp(1 - p, 0.0, 1.0));
      delegate_.paintTile(painter, r.translated(0, -verticalOffset()).toRect(), id, {});
    }
  }
  painter.setOpacity(1);
  // Tiles at rest keep no motion state.
  for (auto it = rowMotion_.begin(); it != rowMotion_.end();) {
    const RowMotion& m = *it->second;
    const bool rests = !m.isMoving() && m.hover.value() == 0;
    it = rests ? rowMotion_.erase(it) : std::next(it);
  }
  if (dropTarget_ >= 0 && dropTarget_ < count) {
    // The insertion bar in the gap before the tile the works will precede.
    const QRect cell = cellRect(dropTarget_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::accent(palette()));
    painter.drawRoundedRect(QRectF(cell.left() - 12, cell.top(), 3, cell.height()), 1.5, 1.5);
  }
  // What the whole view shows, whatever part was painted now.
  std::tie(firstPainted_, lastPainted_) = rowsIn(viewport()->rect());
  // Works scrolled out of sight are forgotten now and then.
  if (drawn_.size() > 4 * std::size_t(lastPainted_ - firstPainted_ + 1) + 256) {
    std::erase_if(drawn_, [&](const auto& entry) {
      const int row = model_.row(entry.first);
      return row < firstPainted_ || row > lastPainted_;
    });
  }
  pruneRequests(firstPainted_, lastPainted_);
  if (!layout_.isMoving()) keepSpareShots();
  if (delegate_.owesScaling()) QTimer::singleShot(0, viewport(), [v = viewport()] { v->update(); });
}

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
