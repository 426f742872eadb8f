// The saver's input: the events its windows receive (grace period, pointer
// jiggle, slideshow keys) and the activity watch for input they never see.

#include "app/screensaver/ScreenSaver.hpp"

#include "app/desktop/StageWindow.hpp"
#include "app/platform/IdleClock.hpp"
#include "app/screensaver/SaverWindow.hpp"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

#include <cstdlib>

namespace tavolune {

bool ScreenSaver::isOurs(QObject* object) const {
  if (auto* widget = qobject_cast<QWidget*>(object)) {
    QWidget* top = widget->window();
    for (const auto& w : windows_) {
      if (w->window() == top) return true;
    }
    return false;
  }
  if (auto* window = qobject_cast<QWindow*>(object)) {
    for (const auto& w : windows_) {
      if (w->window() && w->window()->windowHandle() == window) return true;
    }
  }
  return false;
}

bool ScreenSaver::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
      break;
    default:
      return false;
  }
  if (!showing_ || !isOurs(watched)) return false;
  handle(event);
  return true;  // the saver's input goes no further
}

void ScreenSaver::handle(QEvent* event) {
  const auto type = event->type();
  int travel = 0;
  if (type == QEvent::MouseMove) {
    // The pointer's own movement in this event, grace period or not.
    const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
    travel = std::abs(at.x() - lastPointer_.x()) + std::abs(at.y() - lastPointer_.y());
    lastPointer_ = at;
  }
  if (timings_.now() - shownAt_ <= timings_.grace) return;

  // The cursor is hidden until the pointer moves, by however little.
  if (type == QEvent::MouseMove && travel > 0 && cursorHidden_) {
    cursorHidden_ = false;
    for (auto& w : windows_) w->setCursorHidden(false);
  }
  if (slideshow_) {
    if (type == QEvent::MouseMove || type == QEvent::Wheel) return;
    if (type == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Right || key == Qt::Key_Space) {
        if (rotateTimer_.isActive()) rotateTimer_.start();  // the next automatic step a full period away
        rotate();
        return;
      }
    }
  }
  if (type == QEvent::MouseMove && travel < jiggle) return;
  dismiss();
}

void ScreenSaver::watch() {
  if (!showing_ || slideshow_) return;
  if (timings_.now() - shownAt_ <= timings_.watchAfter) return;
  if (services_.idle.secondsSinceLastInput() < timings_.inputRecent) dismiss();
}

}  // namespace tavolune
