// The grid's painting: the tiles of a frame, at rest or on their way, and
// the pictures moving tiles are drawn from.
#include "app/library/LibraryGridView.hpp"

#include "app/library/LibraryGridModel.hpp"
#include "app/library/LibraryTileDelegate.hpp"
#include "app/render/DevicePixels.hpp"
#include "app/style/Theme.hpp"

#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <tuple>

namespace tavolune {

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
    if (auto [drawn, fresh] = drawn_.try_emplace(id, Drawn{state.selected, false, false}); fresh) {
      drawn->second.inMySelection = delegate_.inMySelection(id);
      drawn->second.hadStill = delegate_.hasStill(id);
    } else {
      drawn->second.selected = state.selected;
    }
    if (const auto it = rowMotion_.find(id); it != rowMotion_.end()) {
      const RowMotion& m = *it->second;
      state.hover = m.hover.value();
      if (m.selected.isMoving()) state.selection = m.selected.value();
      state.symbolSwap = m.symbolSwap.value();
      state.symbolBounce = m.symbolBounce.value();
      state.stillEntrance = m.still.value();
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

}  // namespace tavolune
