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
  // A part shown or hidden since the last layout pass counts now.
  if (QLayout* layout = content_->layout()) layout->activate();
  // The layout put the parts on their way at their new places.
  if (!parts_.empty()) moveParts(progress());
  const int width = window_->width();
  return content_->hasHeightForWidth() ? content_->heightForWidth(width) : content_->sizeHint().height();
}

void PopoverHeight::fitNow() {
  // Wrapped texts measure against the width they were laid out at: lay the
  // content out at its height until the measure holds.
  int wanted = wantedHeight();
  for (int pass = 0; pass < 3 && wanted != contentHeight_; ++pass) {
    contentHeight_ = wanted;
    placeContent();
    wanted = wantedHeight();
  }
  height_.jumpTo(contentHeight_);
  apply(height_.value());
  laidOut_.clear();
  for (const auto& part : partsNow()) laidOut_.push_back(part.first);
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
  const int edge = bottomAnchored_ ? content_->height() : 0;
  for (QWidget* part : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (part->isVisibleTo(content_)) parts.emplace_back(part, part->geometry().translated(0, -edge));
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
  // Before the layout runs: the parts are where they show.
  const auto before = partsNow();
  const int wanted = wantedHeight();
  if (wanted == contentHeight_ && wanted == std::lround(height_.target())) return;
  contentHeight_ = wanted;
  placeContent();
  if (QLayout* layout = content_ ? content_->layout() : nullptr) layout->activate();
  parts_.clear();
  const auto after = partsNow();
  for (const auto& [widget, to] : after) {
    // A part that was not laid out before (just shown) comes at its place.
    const auto was = std::find_if(before.begin(), before.end(), [&](const auto& b) { return b.first == widget; });
    const bool laid = std::find(laidOut_.begin(), laidOut_.end(), widget) != laidOut_.end();
    if (laid && was != before.end() && was->second != to) parts_.push_back({widget, was->second, to});
  }
  laidOut_.clear();
  for (const auto& part : after) laidOut_.push_back(part.first);
  startHeight_ = height_.value();
  height_.animateTo(wanted, curve());
  if (isMoving()) moveParts(0);
}

void PopoverHeight::moveParts(double progress) const {
  const int edge = bottomAnchored_ ? contentHeight_ : 0;
  for (const Part& part : parts_) {
    if (!part.widget) continue;
    const QRectF r = motion::lerp(QRectF(part.from), QRectF(part.to), progress);
    part.widget->setGeometry(r.toRect().translated(0, edge));
  }
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
  if (p >= 1) parts_.clear();
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
