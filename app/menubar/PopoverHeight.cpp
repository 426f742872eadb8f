#include "app/menubar/PopoverHeight.hpp"

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tavolune {

PopoverHeight::PopoverHeight(QWidget* window, QWidget* content) : QObject(window), window_(window), content_(content) {
  content->setParent(window);
  content->move(0, 0);
  height_.setParent(this);
  height_.setOwner(window);
  connect(&height_, &MotionValue::valueChanged, this, &PopoverHeight::apply);
  connect(&height_, &MotionValue::settled, this, &PopoverHeight::settled);
  content->installEventFilter(this);
  window->installEventFilter(this);
}

int PopoverHeight::wantedHeight() const {
  if (!content_) return window_->height();
  const int width = window_->width();
  return content_->hasHeightForWidth() ? content_->heightForWidth(width) : content_->sizeHint().height();
}

int PopoverHeight::laidOutHeight() {
  // A part shown or hidden since the last layout pass counts now; parts on
  // their way are drawn from where they showed, wherever the layout puts them.
  if (QLayout* layout = content_ ? content_->layout() : nullptr) layout->activate();
  if (!parts_.empty()) moveParts(progress());
  return wantedHeight();
}

void PopoverHeight::fitNow() {
  endParts();
  // Wrapped texts measure against the width they were laid out at: lay the
  // content out at its height until the measure holds.
  int wanted = laidOutHeight();
  for (int pass = 0; pass < 3 && wanted != contentHeight_; ++pass) {
    contentHeight_ = wanted;
    placeContent();
    wanted = laidOutHeight();
  }
  height_.jumpTo(contentHeight_);
  apply(height_.value());
  shown_ = partsNow();
  shownHeight_ = contentHeight_;
}

bool PopoverHeight::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && event->type() == QEvent::LayoutRequest) {
    follow();
  } else if (watched == window_ && event->type() == QEvent::Resize) {
    placeContent();
  }
  return false;
}

std::vector<std::pair<QPointer<QWidget>, QRect>> PopoverHeight::partsNow() const {
  std::vector<std::pair<QPointer<QWidget>, QRect>> parts;
  if (!content_) return parts;
  for (QWidget* part : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (part->isVisibleTo(content_)) parts.emplace_back(part, part->geometry());
  }
  return parts;
}

void PopoverHeight::follow() {
  if (!window_->isVisible()) {
    fitNow();
    return;
  }
  if (!isMoving()) {
    // The edge nearer the screen's middle moves; the one at the tray holds.
    const QScreen* screen = window_->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    bottomAnchored_ = available.isValid() && window_->geometry().center().y() > available.center().y();
  }
  const int wanted = laidOutHeight();
  if (wanted == contentHeight_ && wanted == std::lround(height_.target())) {
    // The same height: the parts show where the layout put them.
    if (!isMoving()) shown_ = partsNow();
    return;
  }
  contentHeight_ = wanted;
  placeContent();
  if (QLayout* layout = content_ ? content_->layout() : nullptr) layout->activate();
  endParts();
  auto after = partsNow();
  // Kept from the edge the content sits against.
  const int fromEdge = bottomAnchored_ ? shownHeight_ : 0;
  const int toEdge = bottomAnchored_ ? contentHeight_ : 0;
  std::vector<QWidget*> arriving;
  for (const auto& [widget, to] : after) {
    // From where it showed; a part that did not show comes at its place.
    const auto was = std::find_if(shown_.begin(), shown_.end(), [&](const auto& s) { return s.first == widget; });
    if (was == shown_.end()) {
      arriving.push_back(widget);
      continue;
    }
    const QRect from = was->second.translated(0, -fromEdge);
    if (from.topLeft() != to.translated(0, -toEdge).topLeft()) parts_.push_back({widget, from});
  }
  shown_ = std::move(after);
  shownHeight_ = contentHeight_;
  startHeight_ = height_.value();
  height_.animateTo(wanted, curve());
  if (!isMoving()) return;
  moveParts(0);
  // A part that comes fades in as the others make room (one with a motion
  // of its own keeps it).
  for (QWidget* widget : arriving) {
    if (!widget->graphicsEffect()) motion::scaleFade(widget, true, 1.0, curve());
  }
}

// The layout keeps each part where it lands; its picture is drawn shifted
// to where it shows on its way, so that no layout pass can snap it there.
void PopoverHeight::moveParts(double progress) {
  const int edge = bottomAnchored_ ? contentHeight_ : 0;
  for (const Part& part : parts_) {
    QWidget* widget = part.widget;
    if (!widget) continue;
    const QRect at = widget->geometry();
    const QPointF from = part.from.translated(0, edge).topLeft();
    const QPoint drawn = motion::lerp(QRectF(from, QSizeF(at.size())), QRectF(at), progress).toRect().topLeft();
    const QPoint shift = drawn - at.topLeft();
    auto* effect = qobject_cast<ScaleFadeEffect*>(widget->graphicsEffect());
    if (!effect && !widget->graphicsEffect()) {
      effect = new ScaleFadeEffect(widget);
      widget->setGraphicsEffect(effect);
    }
    if (effect) {
      // The drawn area grows only when a layout pass moved the part beyond it.
      const QPointF reach = effect->shiftReach();
      const auto within = [](double v, double r) { return r >= 0 ? v >= 0 && v <= r : v <= 0 && v >= r; };
      if (!within(shift.x(), reach.x()) || !within(shift.y(), reach.y())) effect->setShiftReach(shift);
      effect->setShift(shift);
    }
    for (auto& [w, r] : shown_) {
      if (w == widget) r = QRect(drawn, at.size());
    }
  }
}

void PopoverHeight::endParts() {
  for (const Part& part : parts_) {
    if (!part.widget) continue;
    auto* effect = qobject_cast<ScaleFadeEffect*>(part.widget->graphicsEffect());
    if (!effect) continue;
    effect->setShift({});
    effect->setShiftReach({});
    // An entrance of its own keeps the effect and removes it at its end.
    const auto* own = effect->findChild<MotionValue*>();
    if (!own || !own->isMoving()) part.widget->setGraphicsEffect(nullptr);
  }
  parts_.clear();
}

QRect PopoverHeight::shownGeometry(const QWidget* part) const {
  const auto* effect = qobject_cast<const ScaleFadeEffect*>(part->graphicsEffect());
  return effect ? part->geometry().translated(effect->shift().toPoint()) : part->geometry();
}

void PopoverHeight::apply(double height) {
  const int h = std::max(1, int(std::lround(height)));
  QRect g = window_->geometry();
  if (bottomAnchored_) {
    g.setTop(g.bottom() + 1 - h);
  } else {
    g.setHeight(h);
  }
  if (g != window_->geometry()) window_->setGeometry(g);
  placeContent();
  if (parts_.empty()) return;
  const double p = progress();
  moveParts(p);
  if (p >= 1) endParts();
}

double PopoverHeight::progress() const {
  const double span = height_.target() - startHeight_;
  return !isMoving() || span == 0 ? 1.0 : std::clamp((height_.value() - startHeight_) / span, 0.0, 1.0);
}

void PopoverHeight::placeContent() {
  if (!content_) return;
  const int y = bottomAnchored_ ? window_->height() - contentHeight_ : 0;
  const QRect g(0, y, window_->width(), contentHeight_);
  if (content_->geometry() != g) content_->setGeometry(g);
}

}  // namespace tavolune
