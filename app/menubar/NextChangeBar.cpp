#include "app/menubar/NextChangeBar.hpp"

#include "app/components/PlainText.hpp"
#include "app/desktop/DesktopController.hpp"
#include "app/model/AppModel.hpp"
#include "app/model/Diagnostics.hpp"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tavolune {

NextChangeBar::NextChangeBar(AppModel& model, DesktopController& desktop, std::function<Date()> now, QWidget* parent)
    : QWidget(parent), model_(model), desktop_(desktop), now_(std::move(now)) {
  step_.setInterval(stepMs);
  step_.setTimerType(Qt::CoarseTimer);
  connect(&step_, &QTimer::timeout, this, &NextChangeBar::refresh);
  slide_.setTimerType(Qt::PreciseTimer);
  connect(&slide_, &QTimer::timeout, this, &NextChangeBar::slideTick);
}

void NextChangeBar::slideTick() {
  ++slideFrame_;
  drawn_ = slideFrame_ >= slideFrames_ ? target_
                                       : slideFrom_ + (target_ - slideFrom_) * double(slideFrame_) / slideFrames_;
  if (slideFrame_ >= slideFrames_) slide_.stop();
  update();
}

double NextChangeBar::fraction(Date lastChange, double interval, Date now) {
  const double elapsed = std::chrono::duration<double>(now - lastChange).count();
  const double share = elapsed / interval;
  if (std::isnan(share) || share < 0) return 0;
  return std::min(share, 1.0);
}

void NextChangeBar::refresh() {
  const double interval = model_.state().settings.rotationInterval;
  std::optional<Date> last;
  if (const auto key = desktop_.mainKey()) last = desktop_.config(*key).lastChange;
  const bool show = last && !desktop_.userPaused() && interval > 0;
  if (!show) {
    if (showing_) {
      showing_ = false;
      setToolTip({});
      update();
    }
    return;
  }
  const Date now = now_();
  const double next = fraction(*last, interval, now);
  const bool appearing = !showing_;
  showing_ = true;
  // An interval too long for a date prints no time.
  const double seconds = std::min(interval, 1e15);
  const Date due = *last + std::chrono::seconds(static_cast<long long>(seconds));
  setToolTip(plaintext::toolTip(QStringLiteral("Next artwork ") +
                                Diagnostics::relativeTime(due, now, {}, text::RelativeStyle::named)));
  if (next == target_ && !appearing) return;
  target_ = next;
  slide_.stop();
  if (appearing || !isVisible()) {
    drawn_ = next;
    update();
    return;
  }
  // One frame per device pixel the end moves, at most 60 a second.
  const double pixels = std::abs(next - drawn_) * std::max(0, width() - 2 * insetX) * devicePixelRatioF();
  slideFrames_ = std::clamp(int(std::ceil(pixels)), 1, slideMs * 60 / 1000);
  slideFrame_ = 0;
  slideFrom_ = drawn_;
  slide_.setInterval(slideMs / slideFrames_);
  slide_.start();
}

void NextChangeBar::paintEvent(QPaintEvent*) {
  if (!showing_) return;
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF track(insetX, height() - insetBottom - barHeight, width() - 2 * insetX, barHeight);
  if (track.width() <= 0) return;
  QPainterPath whole;
  whole.addRoundedRect(track, 1, 1);
  p.fillPath(whole, QColor(255, 255, 255, int(255 * 0.12)));
  QPainterPath done;
  done.addRoundedRect(QRectF(track.left(), track.top(), track.width() * drawn_, track.height()), 1, 1);
  p.fillPath(done, QColor(255, 255, 255, int(255 * 0.55)));
}

void NextChangeBar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  refresh();
  step_.start();
}

void NextChangeBar::hideEvent(QHideEvent* event) {
  step_.stop();
  slide_.stop();
  drawn_ = target_;
  QWidget::hideEvent(event);
}

}  // namespace tavolune
