#include "app/shell/PopoverHost.hpp"

#include "app/menubar/PopoverHeight.hpp"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <utility>

namespace tavolune {

PopoverHost::PopoverHost(QWidget* content, QWidget* parent)
    : QWidget(parent, Qt::Popup | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("popover"));
  setFixedWidth(popoverWidth);
  // The window's height follows the content's, moving while it is open.
  if (content) height_ = new PopoverHeight(this, content);
}

void PopoverHost::toggle(const QRect& iconGeometry) {
  if (isVisible()) {
    hide();
    return;
  }
  if (sinceHidden_.isValid() && sinceHidden_.elapsed() < reopenGuardMs) return;
  iconGeometry_ = iconGeometry;
  pointer_ = QCursor::pos();
  placeOnShow_ = true;
  show();
  raise();
  activateWindow();
}

void PopoverHost::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // The content has brought itself up to date by now (its show comes
  // first) and the window is not mapped yet: placed at its final size, so a
  // first open does not run off the screen.
  if (!std::exchange(placeOnShow_, false)) return;
  if (height_) height_->fitNow();
  const QPoint anchor = iconGeometry_.isEmpty() ? pointer_ : iconGeometry_.center();
  QScreen* screen = QGuiApplication::screenAt(anchor);
  if (!screen) screen = QGuiApplication::primaryScreen();
  const QRect available = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size());
  move(placement(iconGeometry_, size(), pointer_, available));
}

QPoint PopoverHost::placement(const QRect& iconGeometry, const QSize& size, const QPoint& pointer,
                              const QRect& available) {
  QPoint at;
  if (iconGeometry.isEmpty()) {
    // Below and right of the pointer, flipped where the screen ends.
    at = pointer;
    if (at.y() + size.height() > available.bottom()) at.ry() -= size.height();
  } else {
    at = QPoint(iconGeometry.center().x() - size.width() / 2, iconGeometry.bottom() + 1);
    // A panel at the bottom: open upwards.
    if (iconGeometry.center().y() > available.center().y()) at.setY(iconGeometry.top() - size.height());
  }
  at.setX(std::clamp(at.x(), available.left(), std::max(available.left(), available.right() + 1 - size.width())));
  at.setY(std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() + 1 - size.height())));
  return at;
}

void PopoverHost::hideEvent(QHideEvent* event) {
  sinceHidden_.start();
  QWidget::hideEvent(event);
}

}  // namespace tavolune
