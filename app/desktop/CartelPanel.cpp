#include "app/desktop/CartelPanel.hpp"

#include "app/desktop/DisplayArea.hpp"

#include <cmath>
#include <limits>

namespace tavolune {

CartelPanel::CartelPanel(DesktopWindows& windows, const Compositor& compositor, Timings timings, QWidget* parent)
    : QWidget(parent,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus |
                  Qt::WindowStaysOnBottomHint | Qt::NoDropShadowWindowHint),
      windows_(windows),
      compositor_(compositor),
      timings_(timings),
      view_(new CartelView(Artwork{}, true, CartelStyle::classic, this)),
      fadeIn_(this, "windowOpacity"),
      fadeOut_(this, "windowOpacity") {
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  view_->hide();
  resize(340, 90);
  fadeTimer_.setSingleShot(true);
  connect(&fadeTimer_, &QTimer::timeout, this, &CartelPanel::fadeOut);
  fadeIn_.setEndValue(1.0);
  fadeOut_.setEndValue(0.0);
  connect(&fadeIn_, &QPropertyAnimation::finished, this, &CartelPanel::fadedIn);
  connect(&fadeOut_, &QPropertyAnimation::finished, this, &CartelPanel::orderOutIfClear);
}

void CartelPanel::show(const Artwork& artwork, const Display& display, CartelStyle style) {
  fadeTimer_.stop();
  const bool composited = compositor_.isActive();
  view_->setArtwork(artwork);
  view_->setStyle(style);
  view_->setOpaque(!composited);
  view_->setPadding(style == CartelStyle::editorial ? 24 : 14);
  view_->show();

  const QSize size = view_->sizeHint();
  const QRect free = logicalRect(display.available, display);
  setGeometry(QRect(QPoint(free.left() + inset, free.bottom() + 1 - inset - size.height()), size));
  view_->setGeometry(rect());
  update();

  fadeOut_.stop();
  if (!isVisible()) setWindowOpacity(composited ? 0.0 : 1.0);
  if (!prepared_) {
    windows_.prepare(*this, WindowLevel::label);
    prepared_ = true;
  }
  // Clear pixels would show black without a compositor: keep only the card's.
  compositor_.setShape(*this, composited ? std::nullopt : std::optional(view_->cardPixels()));
  QWidget::show();
  windows_.shown(*this, WindowLevel::label);
  raise();
  if (!composited) {
    fadeIn_.stop();
    setWindowOpacity(1.0);
    emit fadedIn();
    return;
  }
  fadeIn_.stop();
  fadeIn_.setDuration(timings_.fadeInMs);
  fadeIn_.setStartValue(windowOpacity());
  fadeIn_.start();
}

void CartelPanel::scheduleFadeOut(double seconds) {
  fadeTimer_.stop();
  // Converting a negative, non-finite or huge delay to an integer is
  // undefined: those fade now, or wait the longest a timer can.
  if (!std::isfinite(seconds) || seconds <= 0) {
    fadeOut();
    return;
  }
  const double ms = std::min(seconds * 1000.0, double(std::numeric_limits<int>::max()));
  fadeTimer_.start(static_cast<int>(std::ceil(ms)));
}

void CartelPanel::fadeOut() {
  fadeIn_.stop();
  if (!compositor_.isActive()) {
    setWindowOpacity(0.0);
    orderOutIfClear();
    return;
  }
  fadeOut_.stop();
  fadeOut_.setDuration(timings_.fadeOutMs);
  fadeOut_.setStartValue(windowOpacity());
  fadeOut_.start();
}

void CartelPanel::orderOutIfClear() {
  // A show during the fade raised the opacity again: stay.
  if (windowOpacity() != 0.0) return;
  hide();
  emit orderedOut();
}

}  // namespace tavolune
