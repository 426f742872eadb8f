#include "app/menubar/PopoverHeight.hpp"

#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QWidget>

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
}

bool PopoverHeight::eventFilter(QObject* watched, QEvent* event) {
  if (watched == content_ && event->type() == QEvent::LayoutRequest) {
    follow();
  } else if (watched == window_ && event->type() == QEvent::Resize) {
    placeContent();
  }
  return false;
}

void PopoverHeight::follow() {
  if (!window_->isVisible()) {
    fitNow();
    return;
  }
  const int wanted = wantedHeight();
  if (wanted == contentHeight_ && wanted == std::lround(height_.target())) return;
  if (!isMoving()) {
    // The edge nearer the screen's middle moves; the one at the tray holds.
    const QScreen* screen = window_->screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    bottomAnchored_ = available.isValid() && window_->geometry().center().y() > available.center().y();
  }
  contentHeight_ = wanted;
  placeContent();
  height_.animateTo(wanted, curve());
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
}

void PopoverHeight::placeContent() {
  if (!content_) return;
  const int y = bottomAnchored_ ? window_->height() - contentHeight_ : 0;
  const QRect g(0, y, window_->width(), contentHeight_);
  if (content_->geometry() != g) content_->setGeometry(g);
}

}  // namespace tavolune
