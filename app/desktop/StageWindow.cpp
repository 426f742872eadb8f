#include "app/desktop/StageWindow.hpp"

#include "app/desktop/DisplayArea.hpp"

#include <QPalette>
#include <QVBoxLayout>

namespace tavolune {
namespace {

Qt::WindowFlags flagsFor(bool interactive) {
  if (interactive) {
    return Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint | Qt::WindowStaysOnTopHint |
           Qt::NoDropShadowWindowHint;
  }
  return Qt::Window | Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
         Qt::WindowStaysOnBottomHint | Qt::NoDropShadowWindowHint;
}

}  // namespace

StageWindow::StageWindow(const Display& display, QWidget* stage, bool interactive, DesktopWindows& windows,
                         QWidget* parent)
    : QWidget(parent, flagsFor(interactive)), stage_(stage), interactive_(interactive), windows_(windows) {
  QPalette black = palette();
  black.setColor(QPalette::Window, Qt::black);
  setPalette(black);
  setAutoFillBackground(true);
  if (!interactive) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  } else {
    setMouseTracking(true);
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  if (stage_) {
    layout->addWidget(stage_);
    stage_->setMouseTracking(interactive);
  }
  cover(display);
}

StageWindow::~StageWindow() = default;

void StageWindow::cover(const Display& display) {
  const QRect frame = logicalRect(display.geometry, display);
  if (geometry() != frame) setGeometry(frame);
}

bool StageWindow::present() {
  const WindowLevel level = interactive_ ? WindowLevel::saver : WindowLevel::desktop;
  if (!prepared_) {
    windows_.prepare(*this, level);
    prepared_ = true;
  }
  show();
  if (interactive_) {
    raise();
    activateWindow();
  }
  return windows_.shown(*this, level);
}

void StageWindow::hideEvent(QHideEvent* event) {
  if (interactive_) windows_.release(*this);
  QWidget::hideEvent(event);
}

}  // namespace tavolune
